#pragma once
// Function code -> icon file name, and what happens when a stored code is damaged.

#include <QString>

#include <functional>

class TLok;
class UserDialogs;

// The icon file name (no folder) of function code `nr` 0..20. A code outside 0..20 means the stored
// codes are damaged: `onDamaged` runs (see resetLocoTable) and the result is an empty name.
QString flookup(int nr, const std::function<void()>& onDamaged = {});

// Shows `text` with caption `caption` as an error, resets all ten locos to their defaults and saves
// the parameter file through `save` (a failing save is shown as an error too).
void resetLocoTable(TLok& lok, UserDialogs& dialogs, const QString& text, const QString& caption,
                    const std::function<void()>& save);
