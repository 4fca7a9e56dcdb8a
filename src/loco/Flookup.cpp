#include "loco/Flookup.h"

#include "base/MessageTexts.h"
#include "base/TLok.h"
#include "base/UserDialogs.h"

#include <exception>
#include <utility>

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

QStringList repairFunctionCodes(TLok& lok, int nr)
{
    QStringList replaced;
    Dekod_Funcs f = lok.get_F(nr);
    bool changed = false;
    for (std::size_t k = 0; k < 8; ++k) {  // the entries set_F takes; the rest never change
        if (knownFunctionCode(f[k]))
            continue;
        replaced << QStringLiteral("F%1 = %2").arg(k).arg(f[k]);
        f[k] = 0;
        changed = true;
    }
    if (changed)
        lok.set_F(nr, f);
    using Get = int (TLok::*)(int) const;
    using Set = void (TLok::*)(int, int);
    const std::pair<Get, Set> buttons[] = {{&TLok::get_jb1, &TLok::set_jb1},
                                           {&TLok::get_jb2, &TLok::set_jb2},
                                           {&TLok::get_jb3, &TLok::set_jb3},
                                           {&TLok::get_jb4, &TLok::set_jb4}};
    for (std::size_t b = 0; b < 4; ++b) {
        const int code = (lok.*buttons[b].first)(nr);
        if (knownFunctionCode(code))
            continue;
        replaced << QStringLiteral("J%1 = %2").arg(b + 1).arg(code);
        (lok.*buttons[b].second)(nr, 0);
    }
    return replaced;
}

void reportRepairedCodes(TLok& lok, int nr, UserDialogs& dialogs, const QString& text, const QString& caption,
                         const std::function<void()>& save)
{
    const QStringList replaced = repairFunctionCodes(lok, nr);
    if (replaced.isEmpty())
        return;
    const QString loco = QStringLiteral("%1 (%2)").arg(nr + 1).arg(lok.get_name(nr));
    dialogs.messageBox(text.arg(loco, replaced.join(QStringLiteral(", "))), caption, UserDialogs::Icon::Error);
    if (!save)
        return;
    try {
        save();
    } catch (const std::exception& e) {
        dialogs.showError(QString::fromLocal8Bit(e.what()));
    }
}

QString functionCodesRepairedText()
{
    for (const MessageRow& row : MessageRows)
        if (row.id == MsgFunctionCodesRepaired)
            return QString::fromUtf8(row.text[1].data(), static_cast<qsizetype>(row.text[1].size()));
    return {};
}
