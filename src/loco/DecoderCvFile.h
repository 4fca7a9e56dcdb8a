#pragma once
// A decoder's CV values in a plain text file the user can read and edit, kept beside the layouts:
//
//   ; Quarn decoder CVs
//   ; <comment, e.g. which loco>
//   CV1=3
//   CV29=38
//
// Lines starting with ';' and blank lines are comments; every other line is CV<number>=<value>
// with a number from 1 to 1024 and a value in the CV's range (cvFileRange).

#include <QString>

#include <map>
#include <optional>

struct DecoderCvs {
    std::map<int, int> values;  // CV number -> value
    QString comment;            // the second comment line, without "; "
};

// The values a CV may hold in a file: the range of a common CV (CV 1: 1 to 127), otherwise 0 to
// 255. CV 17 keeps 0 to 255: a decoder without a long address may hold anything there.
std::pair<int, int> cvFileRange(int cv);

// Why a CV file could not be read, for the window to put into words.
struct CvFileProblem {
    enum class Kind { None, CannotOpen, TooLarge, NotAValue, NoSuchCv, OutOfRange };
    Kind kind = Kind::None;
    int line = 0;  // 1-based, for NotAValue, NoSuchCv, OutOfRange
    int cv = 0;    // NoSuchCv, OutOfRange
    int value = 0; // OutOfRange
    int min = 0;   // OutOfRange: the CV's range
    int max = 0;
    QString text;  // NotAValue: the line (shortened); CannotOpen: the system's reason
};

// Writes `cvs` to `path` (a temporary file renamed over the old one). Empty on success, otherwise
// why it could not be written; the old file then stays as it was.
QString writeDecoderCvFile(const QString& path, const DecoderCvs& cvs);

// Reads the file at `path`; nothing, with `problem` set (the first bad line), when it cannot be
// read or holds a line that is no CV value.
std::optional<DecoderCvs> readDecoderCvFile(const QString& path, CvFileProblem* problem = nullptr);
