#include "base/C_SRCP08.h"

#include "base/AppState.h"
#include "base/TLok.h"
#include "moba/TMoBaSRCPClient.h"
#include "moba/TMoBaSRCPGroups.h"
#include "base/UserDialogs.h"

#include <set>
#include <utility>

C_SRCP08* SRCP08 = nullptr;

namespace {

struct ProtocolRow {
    const char* name;
    TMoBaProtocolBase base;
    int extension, maxAddress, maxSteps, maxFunctions, group;
};

constexpr ProtocolRow MMRows[] = {
    {"Old Motorola", mpbMotorola, 1, 80, 14, 1, 1},
    {"New Motorola (M2)", mpbMotorola, 2, 80, 14, 5, 1},
    {"Extended Motorola 1 (M3)", mpbMotorola, 2, 255, 28, 5, 1},
    {"Extended Motorola 2 (M4)", mpbMotorola, 2, 255, 14, 5, 1},
    {"Extended Motorola 3 (M5)", mpbMotorola, 2, 80, 27, 5, 1},
};
constexpr ProtocolRow NMRARows[] = {
    {"NMRA Base (NB)", mpbNMRA, 1, 99, 14, 0, 2},
    {"Extended NMRA 1 (N1a)", mpbNMRA, 1, 99, 14, 9, 2},
    {"Extended NMRA 1 (N1b)", mpbNMRA, 1, 99, 28, 5, 2},
    {"Extended NMRA 2 (N2)", mpbNMRA, 1, 99, 128, 5, 2},
    {"Extended NMRA 3 (N3)", mpbNMRA, 2, 10239, 28, 5, 3},
    {"Extended NMRA 4 (N4)", mpbNMRA, 2, 10239, 128, 5, 3},
};

std::unique_ptr<TMoBaLocoProtocol> makeProtocol(const ProtocolRow& r)
{
    auto p = std::make_unique<TMoBaLocoProtocol>();
    p->SetName(r.name);
    p->SetProtocolBase(r.base);
    p->SetProtocolExtension(r.extension);
    p->SetMaxAddress(r.maxAddress);
    p->SetMinSteps(0);
    p->SetMaxSteps(r.maxSteps);
    p->SetMaxFunctions(r.maxFunctions);
    p->Groups().set(static_cast<std::size_t>(r.group));
    return p;
}

} // namespace

C_SRCP08::C_SRCP08(AppState& main, TLok& lok, UserDialogs& dialogs) : m_main(main), m_lok(lok), m_dialogs(dialogs)
{
    createLocoProtocols();
}

C_SRCP08::~C_SRCP08() = default;

void C_SRCP08::createLocoProtocols()
{
    auto solenoid = [](const char* name, TMoBaProtocolBase base, int maxAddress, int group) {
        auto p = std::make_unique<TMoBaSolenoidProtocol>();
        p->SetName(name);
        p->SetProtocolBase(base);
        p->SetMaxAddress(maxAddress);
        p->SetMaxPort(1);
        p->SetMaxValue(1);
        p->SetProtocolExtension(0);
        p->Groups().set(static_cast<std::size_t>(group));
        return p;
    };
    MMSopr = solenoid("Motorola Solenoid", mpbMotorola, 256, 5);
    NMRASopr = solenoid("NMRA Accessory", mpbNMRA, 4096, 6);
    for (std::size_t i = 0; i < std::size(MMRows); ++i)
        MMpr[i] = makeProtocol(MMRows[i]);
    for (std::size_t i = 0; i < std::size(NMRARows); ++i)
        NMRADCCpr[i] = makeProtocol(NMRARows[i]);
}

TMoBaLocoProtocol* C_SRCP08::protocolFor(int protocolType, int protocolVersion) const
{
    if (protocolVersion < 1 || protocolVersion > 6)
        return nullptr;
    const auto i = static_cast<std::size_t>(protocolVersion - 1);
    if (protocolType == mpbMotorola)
        return MMpr[i].get();
    if (protocolType == mpbNMRA)
        return NMRADCCpr[i].get();
    return nullptr;
}

TMoBaSRCPBus* C_SRCP08::bus(int number, const char* group)
{
    if (!m_client || !m_client->Connected())
        return nullptr;
    TMoBaSRCPBus* b = m_client->BusByNumber(number);
    if (!b && onMissing)
        onMissing(number, nullptr);
    (void)group;
    return b;
}

TMoBaSRCPLocos* C_SRCP08::locoGroup(int number)
{
    TMoBaSRCPBus* b = bus(number, "GL");
    if (b && !b->GLs() && onMissing)
        onMissing(number, "GL");
    return b ? b->GLs() : nullptr;
}

TMoBaSRCPAccessoires* C_SRCP08::accessoryGroup(int protocolBase)
{
    const int number = protocolBase == mpbMotorola ? m_main.BusGaMM : m_main.BusGaNMRA;
    TMoBaSRCPBus* b = bus(number, "GA");
    if (b && !b->GAs() && onMissing)
        onMissing(number, "GA");
    return b ? b->GAs() : nullptr;
}

void C_SRCP08::createNewLoco(int Protocoltype, int Protovers, int Busnr, int Addr)
{
    TMoBaAdvancedLoco loco;
    loco.SetProtocol(protocolFor(Protocoltype, Protovers));
    loco.SetAddress(Addr);
    loco.SetSpeed(0);
    loco.SetMaxSpeed(100);
    for (int i = 0; i < loco.FunctionCount(); ++i)
        loco.SetFunctions(static_cast<std::uint16_t>(i), false);
    loco.SetDriveMode(mdmForward);
    TMoBaSRCPLocos* group = locoGroup(Busnr);
    if (!group || group->Locos(Addr))
        return;
    if (!group->Add(loco) && m_client && m_client->Connected())
        m_dialogs.messageBox(QStringLiteral("Loco data could not sent do server"), QStringLiteral("Error"),
                             UserDialogs::Icon::Error);
}

void C_SRCP08::sendallLocoData()
{
    std::set<std::pair<int, int>> announced;  // the server lists a loco only after this call
    for (int l = 0; l < TLok::Count; ++l) {
        if (!m_client || !m_client->Connected())
            return;  // the connection ended on the way: nothing more to announce
        if (m_lok.get_protocolbase(l) > mpbLoconet && announced.emplace(m_lok.get_busnr(l), m_lok.get_addr(l)).second)
            createNewLoco(m_lok.get_protocolbase(l), m_lok.get_protvers(l), m_lok.get_busnr(l), m_lok.get_addr(l));
    }
}

void C_SRCP08::setloco(int Loknr)
{
    if (Loknr < 0 || Loknr >= TLok::Count)
        return;
    TMoBaSRCPLocos* group = locoGroup(m_lok.get_busnr(Loknr));
    if (!group)
        return;
    const int address = m_lok.get_addr(Loknr);
    const Dekod_Funcs codes = m_lok.get_F(Loknr);
    auto fill = [&](TMoBaAdvancedLoco& loco) {
        loco.SetDriveMode(m_lok.get_direction(Loknr) == 1 ? mdmForward : mdmBackwards);
        loco.SetSpeed(m_lok.get_speed(Loknr));
        loco.SetMaxSpeed(m_lok.get_speedmax(Loknr));
        for (int j = 0; j < loco.MaxFunctions() && j < loco.FunctionCount() && j < static_cast<int>(codes.size()); ++j)
            loco.SetFunctions(static_cast<std::uint16_t>(j), functionOn(codes[static_cast<std::size_t>(j)]));
    };
    bool listed = false;
    for (int i = 0; i < group->Count(); ++i) {
        TMoBaSRCPLoco& loco = group->Items(i);
        if (loco.Address() != address)
            continue;
        listed = true;
        fill(loco);
        group->Change(loco);
        if (!m_client || !m_client->Connected())
            return;  // the group is gone with the connection
    }
    if (!listed) {
        // Announced a moment ago, but the server's report of it has not been read yet: send the
        // command for the record as it is, instead of dropping it.
        TMoBaAdvancedLoco loco;
        loco.SetProtocol(protocolFor(m_lok.get_protocolbase(Loknr), m_lok.get_protvers(Loknr)));
        loco.SetAddress(address);
        loco.SetMaxSpeed(100);
        fill(loco);
        group->Change(loco);
    }
}

void C_SRCP08::locoCommand(int Loknr)
{
    if (!m_client || !m_client->Connected()) {
        if (onNotConnected)
            onNotConnected();
        return;
    }
    if (!m_main.LocoData_sent) {
        sendallLocoData();
        m_main.LocoData_sent = true;
    }
    setloco(Loknr);
}

void C_SRCP08::setpower(int state)
{
    if (!m_client || !m_client->Connected()) {
        m_dialogs.messageBox(QStringLiteral("not connected to server"), QStringLiteral("Error"),
                             UserDialogs::Icon::Error);
        return;
    }
    TMoBaSRCPBus* b = bus(m_main.Buspower, "POWER");
    if (b && !b->Power() && onMissing)
        onMissing(m_main.Buspower, "POWER");
    if (b && b->Power())
        b->Power()->SetPowerOn(state > 0);
}

bool C_SRCP08::accessoryPulse(bool motorola, int address, int port, const std::function<void()>& between)
{
    if (!m_client || !m_client->Connected()) {
        if (onNotConnected)
            onNotConnected();
        return false;
    }
    TMoBaAdvancedSolenoid sol;
    sol.SetProtocol(motorola ? MMSopr.get() : NMRASopr.get());
    sol.SetAddress(address);
    sol.SetPorts(port, 1);
    if (TMoBaSRCPAccessoires* group = accessoryGroup(motorola ? mpbMotorola : mpbNMRA)) {
        if (!group->Solenoids(sol.Address()) && !group->Add(sol) && m_client->Connected())
            m_dialogs.messageBox(QStringLiteral("Solenoid data are not sent to server"), QStringLiteral("Error"),
                                 UserDialogs::Icon::Error);
    } else {
        return false;  // reported once through onMissing; nothing can be sent
    }
    if (!m_client->Connected())
        return false;
    setSolenoid(sol);
    if (between)
        between();
    sol.SetPorts(port, 0);
    if (m_client->Connected())
        setSolenoid(sol);
    return true;
}

void C_SRCP08::setSolenoid(const TMoBaAdvancedSolenoid& ASol)
{
    if (!ASol.Protocol())
        return;
    if (TMoBaSRCPAccessoires* group = accessoryGroup(ASol.Protocol()->ProtocolBase()))
        group->Change(ASol);
}
