#include "loco/LocoSetupModel.h"

#include "base/TLok.h"
#include "base/UserDialogs.h"

const std::array<ProtocolRow, 5>& maerklinProtocols()
{
    static const std::array<ProtocolRow, 5> rows{{
        {"M1", "M1", LocoSetupModel::mpbMotorola, 1, 1, 14, 0, 80},
        {"M2", "M2", LocoSetupModel::mpbMotorola, 1, 2, 14, 4, 80},
        {"M3", "M3", LocoSetupModel::mpbMotorola, 1, 3, 28, 4, 255},
        {"M4", "M4", LocoSetupModel::mpbMotorola, 1, 4, 14, 4, 255},
        {"M5", "M5", LocoSetupModel::mpbMotorola, 1, 5, 27, 4, 80},
    }};
    return rows;
}

const std::array<ProtocolRow, 6>& dccProtocols()
{
    static const std::array<ProtocolRow, 6> rows{{
        {"Basis", "NB", LocoSetupModel::mpbNMRA, 2, 1, 14, 0, 99},
        {"N1", "N1", LocoSetupModel::mpbNMRA, 2, 3, 28, 4, 99},
        {"N2", "N2", LocoSetupModel::mpbNMRA, 2, 4, 128, 4, 99},
        {"N3", "N3", LocoSetupModel::mpbNMRA, 3, 5, 28, 4, 10239},
        {"N4", "N4", LocoSetupModel::mpbNMRA, 3, 6, 128, 4, 10239},
        {"N5", "N5", LocoSetupModel::mpbNMRA, 2, 2, 14, 4, 99},
    }};
    return rows;
}

const std::array<QString, 5>& LocoSetupModel::comboItems()
{
    static const std::array<QString, 5> items{QStringLiteral("F1"), QStringLiteral("F2"), QStringLiteral("F3"),
                                              QStringLiteral("F4"), QStringLiteral("keine")};
    return items;
}

LocoSetupModel::LocoSetupModel(TLok& lok, UserDialogs& dialogs) : m_lok(lok), m_dialogs(dialogs)
{
    FormCreate();
}

namespace {
constexpr int MsgAddressOutOfRange = 601;
}  // namespace

QString LocoSetupModel::text(int id) const
{
    if (message) {
        const QString t = message(id);
        if (!t.isEmpty())
            return t;
    }
    if (id == MsgAddressOutOfRange)
        return QStringLiteral("The address %1 is outside the range of this protocol (1 to %2).");
    return id == 102 ? QStringLiteral("Error") : QString();
}

void LocoSetupModel::FormCreate()
{
    K3index = K4index = 0;
    Zwischenfunc = 0;
    Mm = true;
    RadioGroup2 = RadioGroup1 = 0;
    functionsVisible = false;
}

int& LocoSetupModel::storefunc(int K)
{
    switch (K) {
    case 1: return Storefunc1;
    case 2: return Storefunc2;
    case 3: return Storefunc3;
    default: return Storefunc4;
    }
}

namespace {

bool validCode(int code)
{
    return code >= 0 && code <= 20;
}

}  // namespace

bool LocoSetupModel::damaged(int nr) const
{
    const Dekod_Funcs f = m_lok.get_F(nr);
    if (m_lok.get_nrof(nr) > 0)
        for (std::size_t k = 1; k <= 4; ++k)
            if (!validCode(f[k]))
                return true;
    return !validCode(m_lok.get_jb3(nr)) || !validCode(m_lok.get_jb4(nr));
}

void LocoSetupModel::setuplok(int nr)
{
    // Damaged codes are reported and the loco repaired once, here, not again whenever the dialog
    // redraws a slot; whatever is still out of range is left out of the dialog.
    if (damaged(nr) && onDamagedCode)
        onDamagedCode(nr);
    Regler_nr = nr;
    Adresse_edit = QString::number(m_lok.get_addr(nr));

    const QString protocol = m_lok.get_protocol(nr);
    RadioGroup1 = RadioGroup2 = 0;
    if (protocol.startsWith(QLatin1Char('M'))) {
        Mm = true;
        for (std::size_t i = 0; i < maerklinProtocols().size(); ++i)
            if (protocol == QLatin1String(maerklinProtocols()[i].Protocol))
                RadioGroup2 = static_cast<int>(i);
    } else if (protocol.startsWith(QLatin1Char('N'))) {
        Mm = false;
        for (std::size_t i = 0; i < dccProtocols().size(); ++i)
            if (protocol == QLatin1String(dccProtocols()[i].Protocol))
                RadioGroup1 = static_cast<int>(i);
    } else {
        Mm = true;
    }
    functionsVisible = Mm ? RadioGroup2 > 0 : RadioGroup1 > 0;

    slotCode = {};
    Beschreibung_edit = m_lok.get_name(nr);
    Vmax_edit = QString::number(m_lok.get_speedmax(nr));

    // Every stored choice starts from this loco, never from the one edited before.
    Storefunc1 = Storefunc2 = Storefunc3 = Storefunc4 = 0;
    Storejb3 = Storejb4 = 0;
    K3index = K4index = 0;
    Zwischenfunc = 0;
    joyCode = {};
    K3Text = QStringLiteral("--------");
    K4Text = QStringLiteral("----");
    if (m_lok.get_nrof(nr) > 0) {
        const Dekod_Funcs f = m_lok.get_F(nr);
        for (int k = 1; k <= 4; ++k) {
            const int code = f[static_cast<std::size_t>(k)];
            if (code == 0 || !validCode(code))
                continue;
            const int on = code < 10 ? code + 10 : code;
            storefunc(k) = on;
            slotCode[static_cast<std::size_t>(k - 1)] = on;
        }
    }
    Func0Code = protocol != QLatin1String("NB") ? 11 : 0;

    Storejb1 = 7;
    joyCode[0] = 7;
    Storejb2 = 1;
    joyCode[1] = 1;
    const auto comboIndex = [](const QString& func) {
        for (int i = 0; i < 5; ++i)
            if (func == comboItems()[static_cast<std::size_t>(i)])
                return i;
        return -1;
    };
    // The stored choice stays the choice until the user picks another one, also "keine" (which
    // stores button code 0) and a function whose slot was empty when it was chosen.
    const auto button = [&](int code, const QString& func, int& storejb, int slot, int& kindex, QString& shown) {
        const int i = comboIndex(func);
        if (i >= 0)
            kindex = i;
        if (i == 4)
            shown = comboItems()[4];
        if (code > 0 && validCode(code)) {
            storejb = code;
            joyCode[static_cast<std::size_t>(slot)] = code;
            if (i >= 0)
                shown = comboItems()[static_cast<std::size_t>(i)];
        }
    };
    button(m_lok.get_jb3(nr), m_lok.get_jb3func(nr), Storejb3, 2, K3index, K3Text);
    button(m_lok.get_jb4(nr), m_lok.get_jb4func(nr), Storejb4, 3, K4index, K4Text);
}

void LocoSetupModel::Func_imageClick(int N)
{
    if (N >= 1 && N <= 8)
        Zwischenfunc = N;
}

void LocoSetupModel::FuncMouseDown(int K, bool left)
{
    if (K < 1 || K > 4)
        return;
    const auto slot = static_cast<std::size_t>(K - 1);
    if (left) {
        if (Zwischenfunc == 0)
            return;  // nothing picked from the palette
        slotCode[slot] = Zwischenfunc + 10;  // the palette shows the "on" form
        storefunc(K) = Zwischenfunc;
        Zwischenfunc = 0;
    } else {
        slotCode[slot] = 0;
        Dekod_Funcs f = m_lok.get_F(Regler_nr);
        f[static_cast<std::size_t>(K)] = 0;
        m_lok.set_F(Regler_nr, f);
        storefunc(K) = 0;
    }
}

void LocoSetupModel::comboChange(int index, int& kindex, int& storejb, int slot, QString& shown)
{
    if (index < 0 || index > 4)
        return;
    kindex = index;
    shown = comboItems()[static_cast<std::size_t>(index)];
    if (index < 4) {
        joyCode[static_cast<std::size_t>(slot)] = slotCode[static_cast<std::size_t>(index)];
        storejb = storefunc(index + 1);
    } else {
        joyCode[static_cast<std::size_t>(slot)] = 0;
        storejb = 0;
    }
}

void LocoSetupModel::K3CBChange(int index)
{
    comboChange(index, K3index, Storejb3, 2, K3Text);
}

void LocoSetupModel::K4CBChange(int index)
{
    comboChange(index, K4index, Storejb4, 3, K4Text);
}

void LocoSetupModel::RadioButton3Click()
{
    Mm = true;
    functionsVisible = RadioGroup2 > 0;
}

void LocoSetupModel::RadioButton4Click()
{
    Mm = false;
    RadioGroup2 = 0;
    RadioGroup1 = 0;
    functionsVisible = false;
}

void LocoSetupModel::RadioGroup1Click(int item)
{
    if (item < 0 || item >= static_cast<int>(dccProtocols().size()))
        return;
    RadioGroup1 = item;
    functionsVisible = item > 0;
}

void LocoSetupModel::RadioGroup2Click(int item)
{
    if (item < 0 || item >= static_cast<int>(maerklinProtocols().size()))
        return;
    RadioGroup2 = item;
    functionsVisible = item > 0;
}

std::optional<int> LocoSetupModel::number(const QString& field)
{
    bool ok = false;
    const int value = field.trimmed().toInt(&ok, 10);
    if (ok)
        return value;
    m_dialogs.messageBox(QStringLiteral("'%1' is not a valid integer value").arg(field), text(102),
                         UserDialogs::Icon::Error);
    return std::nullopt;
}

bool LocoSetupModel::Fertig_buttonClick()
{
    const int nr = Regler_nr;
    if (!Adresse_edit.trimmed().isEmpty()) {
        const std::optional<int> addr = number(Adresse_edit);
        if (!addr)
            return false;
        const ProtocolRow& chosen = Mm ? maerklinProtocols()[static_cast<std::size_t>(RadioGroup2)]
                                       : dccProtocols()[static_cast<std::size_t>(RadioGroup1)];
        if (*addr < 0 || *addr > chosen.MaxAddress) {
            // Nothing is stored: a decoder address the protocol cannot reach would drive another loco.
            // (0 stays allowed: the regulator has no loco.)
            m_dialogs.messageBox(text(MsgAddressOutOfRange).arg(*addr).arg(chosen.MaxAddress), text(102),
                                 UserDialogs::Icon::Error);
            return false;
        }
        m_lok.set_addr(nr, *addr);

        if (!Beschreibung_edit.isEmpty()) {
            QString name = Beschreibung_edit;
            name.remove(QLatin1Char(' '));
            m_lok.set_name(nr, name);
        }

        int vmax = 100;
        if (!Vmax_edit.trimmed().isEmpty()) {
            const std::optional<int> v = number(Vmax_edit);
            if (!v)
                return false;
            if (*v <= 0) {
                m_dialogs.messageBox(QStringLiteral("'%1' is not a valid top speed").arg(Vmax_edit), text(102),
                                     UserDialogs::Icon::Error);
                return false;
            }
            vmax = *v;
        }
        m_lok.set_speedmax(nr, vmax);

        const ProtocolRow& row = Mm ? maerklinProtocols()[static_cast<std::size_t>(RadioGroup2)]
                                    : dccProtocols()[static_cast<std::size_t>(RadioGroup1)];
        m_lok.set_protocol(nr, QString::fromLatin1(row.Protocol));
        m_lok.set_protocolbase(nr, row.ProtType);
        m_lok.set_Busnr(nr, row.SRCPBusnr);
        m_lok.set_protversion(nr, row.Protversion);
        m_lok.set_speedsteps(nr, row.MaxSpeedsteps);
        m_lok.set_nrof(nr, row.MaxFunctions);

        m_lok.set_speed(nr, 0);
        m_lok.set_direction(nr, 1);

        if (m_lok.get_nrof(nr) > 0) {
            Dekod_Funcs f = m_lok.get_F(nr);
            f[0] = 1;
            for (int k = 1; k <= 4; ++k) {
                // Stored switched off, as loading the parameter file gives them back.
                const int code = storefunc(k);
                f[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(code > 10 ? code - 10 : code);
            }
            m_lok.set_F(nr, f);
        }

        m_lok.set_jb1(nr, Storejb1);
        m_lok.set_jb2(nr, Storejb2);
        m_lok.set_jb3(nr, Storejb3);
        m_lok.set_jb4(nr, Storejb4);
        m_lok.set_jb3func(nr, comboItems()[static_cast<std::size_t>(K3index)]);
        m_lok.set_jb4func(nr, comboItems()[static_cast<std::size_t>(K4index)]);
    }

    if (saveParameters) {
        try {
            saveParameters();
        } catch (const std::exception& e) {
            m_dialogs.showError(QString::fromLocal8Bit(e.what()));
        }
    }
    if (prepareRegulators)
        prepareRegulators();
    return true;
}

QString LocoSetupModel::Zeigen_buttonClick() const
{
    const Dekod_Funcs f = m_lok.get_F(Regler_nr);
    return QStringLiteral("F1:%1 F2:%2 F3:%3 F4:%4").arg(f[1]).arg(f[2]).arg(f[3]).arg(f[4]);
}
