#pragma once
// Replaces a file's whole contents so that the old file stays as it was unless the new contents
// reached the disk completely: the bytes go to a temporary file beside it, which is flushed to disk
// and then renamed over the old one. Every write is checked, so a full disk or a file size limit
// that cuts the text short fails instead of leaving a truncated file in place.

#include <QByteArray>
#include <QString>

// Empty on success; otherwise why the file could not be written (the old file is untouched). The
// Qt face of MoBaReplaceFileContents, which does the work.
QString replaceFileContents(const QString& path, const QByteArray& bytes);
