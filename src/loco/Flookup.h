#pragma once
// Function code -> icon file name, and what happens when a stored code is damaged.

#include <QString>
#include <QStringList>

#include <functional>

class TLok;
class UserDialogs;

// The icon file name (no folder) of function code `nr` 0..20. A code outside 0..20 means the stored
// codes are damaged: `onDamaged` runs (see repairFunctionCodes) and the result is an empty name.
QString flookup(int nr, const std::function<void()>& onDamaged = {});

// Whether a function code (function entry or joystick button) is one that flookup knows.
inline bool knownFunctionCode(int code) { return code >= 0 && code <= 20; }

// Sets every function entry and joystick button code of loco `nr` that flookup does not know to 0,
// "no function"; its other values and the other locos stay as they were. Returns what was replaced,
// e.g. "F1 = 35", "joystick button 3 = 21"; empty when every code was known.
QStringList repairFunctionCodes(TLok& lok, int nr);

// repairFunctionCodes, and when something was replaced: shows `text` (%1 the loco, %2 what was
// replaced) with `caption` as an error and saves the parameter file through `save` (a failing save
// is shown as an error too). Nothing is shown when every code was known.
void reportRepairedCodes(TLok& lok, int nr, UserDialogs& dialogs, const QString& text, const QString& caption,
                         const std::function<void()>& save);

// The message of reportRepairedCodes, and its English text for a model without a message table.
constexpr int MsgFunctionCodesRepaired = 870;
QString functionCodesRepairedText();
