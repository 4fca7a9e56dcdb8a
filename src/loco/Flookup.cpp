#include "loco/Flookup.h"

#include "base/TLok.h"
#include "base/UserDialogs.h"

#include <exception>

QString flookup(int nr, const std::function<void()>& onDamaged)
{
    static const char* const kOff[] = {"Empty.bmp",          "func_off.bmp",  "hupe_aus.bmp",
                                       "kupplung_aus.bmp",   "wagenlicht_aus.bmp", "licht_aus.bmp",
                                       "dampf_aus.bmp",      "pfeil_dop.bmp", "slow_off.bmp"};
    static const char* const kOn[] = {"Empty.bmp",         "func_on.bmp",  "hupe_an.bmp",
                                      "kupplung_an.bmp",   "wagenlicht_an.bmp", "licht_an.bmp",
                                      "dampf_an.bmp",      "pfeil_dop.bmp", "slow_on.bmp"};
    if (nr < 0 || nr > 20) {
        if (onDamaged)
            onDamaged();
        return {};
    }
    if (nr >= 1 && nr <= 8)
        return QString::fromLatin1(kOff[nr]);
    if (nr >= 11 && nr <= 18)
        return QString::fromLatin1(kOn[nr - 10]);
    return QStringLiteral("Empty.bmp");
}

void resetLocoTable(TLok& lok, UserDialogs& dialogs, const QString& text, const QString& caption,
                    const std::function<void()>& save)
{
    dialogs.messageBox(text, caption, UserDialogs::Icon::Error);
    for (int n = 0; n < TLok::Count; ++n)
        lok.lokinit(n);
    if (!save)
        return;
    try {
        save();
    } catch (const std::exception& e) {
        dialogs.showError(QString::fromLocal8Bit(e.what()));
    }
}
