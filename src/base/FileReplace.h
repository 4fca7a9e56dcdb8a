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

// Keeps a copy of the file at `path` beside it before it is repaired or replaced: "<path>.bak", or,
// when an earlier copy with other contents is there, the first free "<path>.bak2", "<path>.bak3",
// ... so that no earlier copy is lost. A copy with the same contents is reused. Returns the path of
// the copy, or an empty string when none could be made.
QString keepBackupCopy(const QString& path);
