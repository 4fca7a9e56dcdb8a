#pragma once
// A decoder's CV values in a plain text file the user can read and edit, kept beside the layouts:
//
//   ; Quarn decoder CVs
//   ; <comment, e.g. which loco>
//   CV1=3
//   CV29=38
//
// Lines starting with ';' and blank lines are comments; every other line is CV<number>=<value>
// with a number from 1 to 1024 and a value from 0 to 255.

#include <QString>

#include <map>
#include <optional>

struct DecoderCvs {
    std::map<int, int> values;  // CV number -> value
    QString comment;            // the second comment line, without "; "
};

// Writes `cvs` to `path` (a temporary file renamed over the old one). Empty on success, otherwise
// why it could not be written; the old file then stays as it was.
QString writeDecoderCvFile(const QString& path, const DecoderCvs& cvs);

// Reads the file at `path`; nothing, with `why` set (the file's problem and line), when it cannot
// be read or holds a line that is no CV value.
std::optional<DecoderCvs> readDecoderCvFile(const QString& path, QString* why = nullptr);
