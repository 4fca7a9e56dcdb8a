#pragma once
// Opens a local document (the help) in the desktop's browser without waiting for it.

#include <QString>

#include <functional>

// Starts the desktop's opener for `path`. `failed` runs (on the GUI thread, possibly later) when
// no opener could be started or the opener reported that no program could show the file. The
// opener outlives the program if it is still running when the program ends (it may be the browser).
void openInBrowser(const QString& path, std::function<void()> failed);
