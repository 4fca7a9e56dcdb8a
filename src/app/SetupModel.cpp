#include "app/SetupModel.h"

#include "base/AppState.h"
#include "base/ParameterFile.h"

#include <QHostAddress>

SetupValues fillSetup(const AppState& main, const SetupValues& shown)
{
    SetupValues v = shown;
    v.host = main.Iphostchar;
    v.port = QString::number(main.Ipport);
    v.infoChannel = main.Infoport_an == 1;
    v.srcpItem = 0;
    if (main.SrcpVer == 73)
        v.srcpItem = 0;
    else if (main.SrcpVer == 80)
        v.srcpItem = 1;
    v.joyItem = main.Joy_Mode != 0 ? 1 : 0;
    v.joyChoiceEnabled = main.Dxpresent;
    if (main.Lang_id >= 1 && main.Lang_id <= 7)
        v.langItem = main.Lang_id - 1;
    v.assistItem = main.Showassist == 0 ? 0 : 1;
    v.monitorPower = main.Monitorpower == 1;
    v.autoPower = main.Autopower == 1;
    v.autoReconnect = main.Autoreconnect > 0;
    v.powerOnReconnect = main.Poweronreconnect > 0;
    v.buses = {main.BusGlMM, main.BusGlNMRA_S, main.BusGlNMRA_L, main.BusGaMM,
               main.BusGaNMRA, main.BusS88, main.Buspower};
    v.phoneOn = main.PhoneServerOn == 1;
    v.phonePort = main.PhoneServerPort;
    v.phoneAddress = main.PhoneServerAddress;
    v.phoneAllow = main.PhoneServerAllow;
    v.phoneLimit = main.PhoneServerLimit;
    v.phonePerAddress = main.PhoneServerPerAddress;
    return v;
}

void applySetup(const SetupValues& v, AppState& main)
{
    if (!v.host.isEmpty())
        main.Iphostchar = v.host;
    if (!v.port.isEmpty()) {
        bool ok = false;
        const int port = v.port.trimmed().toInt(&ok, 10);
        if (!ok)
            throw SetupConversionError(
                QStringLiteral("'%1' is not a valid integer value").arg(v.port).toStdString());
        if (port < 1 || port > 65535)
            throw SetupConversionError(QStringLiteral("The port %1 is outside 1 to 65535").arg(port).toStdString());
        main.Ipport = port;
    }
    main.Infoport_an = v.infoChannel ? 1 : 0;
    main.SrcpVer = v.srcpItem == 1 ? 80 : 73;
    main.Joy_Mode = v.joyItem == 0 ? 0 : 1;
    if (!main.Dxpresent)
        main.Joy_Mode = 1;
    if (v.langItem >= 0 && v.langItem <= 6)
        main.Lang_id = v.langItem + 1;
    main.Showassist = v.assistItem == 0 ? 0 : 1;
    main.Monitorpower = v.monitorPower ? 1 : 0;
    main.Autopower = v.autoPower ? 1 : 0;
    main.Autoreconnect = v.autoReconnect ? 1 : 0;
    main.Poweronreconnect = v.powerOnReconnect ? 1 : 0;
    // Devices sit on buses 1 to 100 (bus 0 is the server itself): anything else keeps the old value.
    int* const buses[] = {&main.BusGlMM, &main.BusGlNMRA_S, &main.BusGlNMRA_L,
                          &main.BusGaMM, &main.BusGaNMRA, &main.BusS88, &main.Buspower};
    for (std::size_t i = 0; i < v.buses.size(); ++i)
        if (v.buses[i] >= 1 && v.buses[i] <= ParameterFile::MaxBus)
            *buses[i] = v.buses[i];
    main.PhoneServerOn = v.phoneOn ? 1 : 0;
    if (v.phonePort >= 1 && v.phonePort <= 65535)
        main.PhoneServerPort = v.phonePort;
    main.PhoneServerAddress = v.phoneAddress.trimmed();
    main.PhoneServerAllow = v.phoneAllow.trimmed();
    if (v.phoneLimit >= 1 && v.phoneLimit <= 64)
        main.PhoneServerLimit = v.phoneLimit;
    if (v.phonePerAddress >= 1 && v.phonePerAddress <= 64)
        main.PhoneServerPerAddress = v.phonePerAddress;
}

namespace {
// A whole decimal number in low..high (blanks around it allowed).
bool numberIn(const QString& text, int low, int high)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    return ok && v >= low && v <= high;
}

bool hostName(const QString& text)
{
    for (const QChar c : text)
        if (!(c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char('_')
              || c == QLatin1Char(':') || c == QLatin1Char('[') || c == QLatin1Char(']')))
            return false;
    return true;
}
}  // namespace

int setupFieldProblem(SetupField field, const QString& text)
{
    const QString t = text.trimmed();
    switch (field) {
    case SetupField::Host:
        return hostName(text) ? 0 : MsgSetupHost;
    case SetupField::Port:
        return t.isEmpty() || numberIn(t, 1, 65535) ? 0 : MsgSetupPort;
    case SetupField::Bus:
        return numberIn(t, 1, ParameterFile::MaxBus) ? 0 : MsgSetupBus;
    case SetupField::PhonePort:
        return numberIn(t, 1, 65535) ? 0 : MsgSetupPhonePort;
    case SetupField::PhoneAddress:
        return t.isEmpty() || !QHostAddress(t).isNull() ? 0 : MsgSetupPhoneAddress;
    case SetupField::PhoneAllow:
        for (const QString& raw : t.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString entry = raw.trimmed();
            if (entry.isEmpty())
                continue;
            const bool ok = entry.contains(QLatin1Char('/')) ? QHostAddress::parseSubnet(entry).second >= 0
                                                             : !QHostAddress(entry).isNull();
            if (!ok)
                return MsgSetupPhoneAllow;
        }
        return 0;
    case SetupField::PhoneLimit:
        return numberIn(t, 1, 64) ? 0 : MsgSetupPhoneLimit;
    }
    return 0;
}
