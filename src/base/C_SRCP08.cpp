#include "base/C_SRCP08.h"

#include "base/AppState.h"
#include "base/UserDialogs.h"
#include "moba/TMoBaSRCPClient.h"
#include "moba/TMoBaSRCPGroups.h"
#include "moba/TMoBaSRCPWorker.h"
#include "moba/ThreadPriority.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>
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

std::unique_ptr<TMoBaSolenoidProtocol> makeSolenoid(const char* name, TMoBaProtocolBase base, int maxAddress, int group)
{
    auto p = std::make_unique<TMoBaSolenoidProtocol>();
    p->SetName(name);
    p->SetProtocolBase(base);
    p->SetMaxAddress(maxAddress);
    p->SetMaxPort(1);
    p->SetMaxValue(1);
    p->SetProtocolExtension(0);
    p->Groups().set(static_cast<std::size_t>(group));
    return p;
}

// What a task on the component's thread reports, queued to the GUI thread.
struct Reporter {
    std::shared_ptr<Srcp08GuiChannel> gui;
    C_SRCP08* adapter;  // only touched on the GUI thread, while the channel is open

    void missing(int bus, const char* group) const
    {
        gui->post([a = adapter, bus, group] {
            if (a->onMissing)
                a->onMissing(bus, group);
        });
    }
    void refused(int address, const std::string& protocol, int maxAddress) const
    {
        gui->post([a = adapter, address, protocol, maxAddress] {
            if (a->onAddressRefused)
                a->onAddressRefused(address, protocol, maxAddress);
        });
    }
    void error(std::function<void()> show) const { gui->post(std::move(show)); }
};

// The outcome of one accessory pulse, told to the GUI thread once: by the task, or, should the
// task be dropped before it ran (the session ended), when the last copy of it goes.
class PulseOutcome {
public:
    PulseOutcome(std::shared_ptr<Srcp08GuiChannel> gui, C_SRCP08::PulseDone done)
        : m_gui(std::move(gui)), m_done(std::move(done))
    {
    }
    ~PulseOutcome() { report(AccessoryOutcome::ConnectionLost); }
    PulseOutcome(const PulseOutcome&) = delete;
    PulseOutcome& operator=(const PulseOutcome&) = delete;
    void report(AccessoryOutcome o)
    {
        if (!m_done || !m_gui)
            return;
        m_gui->post([done = std::move(m_done), o] { done(o); });
        m_done = nullptr;
    }

private:
    std::shared_ptr<Srcp08GuiChannel> m_gui;
    C_SRCP08::PulseDone m_done;
};

// Why a command of the accessory group got no OK: an error answer, or the session ended on it.
AccessoryOutcome failureOf(const TMoBaSRCPClient& c, TMoBaSRCPAccessoires& group)
{
    if (c.Connected())
        return AccessoryOutcome::Refused;
    return group.Group().Cmd().CommandType() == ctETimeout ? AccessoryOutcome::TimedOut
                                                           : AccessoryOutcome::ConnectionLost;
}

TMoBaSRCPBus* busOn(TMoBaSRCPClient& c, int number, const Reporter& r)
{
    if (!c.Connected())
        return nullptr;
    TMoBaSRCPBus* b = c.BusByNumber(number);
    if (!b)
        r.missing(number, nullptr);
    return b;
}

TMoBaSRCPLocos* locoGroupOn(TMoBaSRCPClient& c, int number, const Reporter& r)
{
    TMoBaSRCPBus* b = busOn(c, number, r);
    if (b && !b->GLs())
        r.missing(number, "GL");
    return b ? b->GLs() : nullptr;
}

TMoBaSRCPAccessoires* accessoryGroupOn(TMoBaSRCPClient& c, int number, const Reporter& r)
{
    TMoBaSRCPBus* b = busOn(c, number, r);
    if (b && !b->GAs())
        r.missing(number, "GA");
    return b ? b->GAs() : nullptr;
}

bool addressAllowed(const TMoBaBaseProtocol* protocol, int address, const Reporter& r)
{
    const int maxAddress = protocol ? protocol->MaxAddress() : MoBaMaxInt;
    if (address >= 1 && address <= maxAddress)
        return true;
    r.refused(address, protocol ? protocol->Name() : std::string(), maxAddress);
    return false;
}

TMoBaLocoProtocol* ownProtocol(const C_SRCP08::LocoRecord& l)
{
    // The component keeps non-const protocol pointers; it never changes them.
    return const_cast<TMoBaLocoProtocol*>(C_SRCP08::protocols().protocolFor(l.protocolBase, l.protocolVersion));
}

// INIT of one loco with its own top speed, unless its bus lists it already. Nothing else goes to the
// decoder here: the loco's first SET is the one its regulator sends, so a decoder never sees a
// direction the record does not have (a DCC decoder would flip its lights).
void createNewLoco(TMoBaSRCPClient& c, const C_SRCP08::LocoRecord& l, int busNumber, const Reporter& r)
{
    if (l.address == 0)
        return;  // no loco on this regulator
    TMoBaAdvancedLoco loco;
    loco.SetProtocol(ownProtocol(l));
    if (!addressAllowed(loco.Protocol(), l.address, r))
        return;
    loco.SetAddress(l.address);
    loco.SetMaxSpeed(l.speedMax > 0 ? l.speedMax : 100);
    loco.SetSpeed(0);
    for (int i = 0; i < loco.FunctionCount(); ++i)
        loco.SetFunctions(static_cast<std::uint16_t>(i), false);
    loco.SetDriveMode(mdmForward);
    loco.SetDriveMode(l.direction == 1 ? mdmForward : mdmBackwards);
    TMoBaSRCPLocos* group = locoGroupOn(c, busNumber, r);
    if (!group || group->Locos(l.address))
        return;
    if (!group->Announce(loco) && c.Connected())
        r.error([a = r.adapter] { a->showError(QStringLiteral("Loco data could not sent do server")); });
}

void setloco(TMoBaSRCPClient& c, const C_SRCP08::LocoRecord& l, const Srcp08Buses& buses, const Reporter& r)
{
    if (l.address == 0)
        return;  // no loco on this regulator
    TMoBaLocoProtocol* own = ownProtocol(l);
    if (!addressAllowed(own, l.address, r))
        return;
    TMoBaSRCPLocos* group = locoGroupOn(c, C_SRCP08::locoBus(l, buses), r);
    if (!group)
        return;
    auto fill = [&](TMoBaAdvancedLoco& loco) {
        loco.SetDriveMode(l.direction == 1 ? mdmForward : mdmBackwards);
        // The loco's own maximum first: the speed is scaled with it, not with whatever maximum the
        // listed loco had before (another loco's, or the server's report).
        loco.SetMaxSpeed(l.speedMax);
        loco.SetSpeed(l.speed);
        for (int j = 0; j < loco.MaxFunctions() && j < loco.FunctionCount() && j < static_cast<int>(l.functions.size());
             ++j)
            loco.SetFunctions(static_cast<std::uint16_t>(j), functionOn(l.functions[static_cast<std::size_t>(j)]));
    };
    bool listed = false;
    for (int i = 0; i < group->Count(); ++i) {
        TMoBaSRCPLoco& loco = group->Items(i);
        if (loco.Address() != l.address)
            continue;
        listed = true;
        fill(loco);
        group->Change(loco);
        if (!c.Connected())
            return;  // the group is gone with the connection
    }
    if (!listed) {
        // Announced a moment ago, but the server's report of it has not been read yet: send the
        // command for the record as it is, instead of dropping it.
        TMoBaAdvancedLoco loco;
        loco.SetProtocol(own);
        loco.SetAddress(l.address);
        fill(loco);
        group->Change(loco);
    }
}

} // namespace

const TMoBaLocoProtocol* C_SRCP08::Protocols::protocolFor(int protocolType, int protocolVersion) const
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

const C_SRCP08::Protocols& C_SRCP08::protocols()
{
    // Built once and kept for the life of the program: a component on its own thread may still
    // hold copies of locos and accessories that point at them while the window is closing.
    static const Protocols* const table = [] {
        auto* p = new Protocols;  // never freed, on purpose
        p->MMSopr = makeSolenoid("Motorola Solenoid", mpbMotorola, 256, 5);
        p->NMRASopr = makeSolenoid("NMRA Accessory", mpbNMRA, 4096, 6);
        for (std::size_t i = 0; i < std::size(MMRows); ++i)
            p->MMpr[i] = makeProtocol(MMRows[i]);
        for (std::size_t i = 0; i < std::size(NMRARows); ++i)
            p->NMRADCCpr[i] = makeProtocol(NMRARows[i]);
        return p;
    }();
    return *table;
}

std::map<int, Srcp08BusView> Srcp08View::busesOf(const TMoBaSRCPClient& client)
{
    std::map<int, Srcp08BusView> buses;
    if (!client.Connected())
        return buses;
    for (int i = 0; i < client.BusCount(); ++i) {
        const TMoBaSRCPBus& b = client.Busses(i);
        Srcp08BusView v;
        v.power = b.Power() != nullptr;
        v.powerOn = v.power && b.Power()->PowerOn();
        v.gl = b.GLs() != nullptr;
        v.ga = b.GAs() != nullptr;
        v.fb = b.FBs() != nullptr;
        v.time = b.Time() != nullptr;
        buses[b.BusNumber()] = v;
    }
    return buses;
}

Srcp08Buses Srcp08Buses::of(const AppState& main)
{
    return {main.BusGlMM, main.BusGlNMRA_S, main.BusGlNMRA_L, main.BusGaMM, main.BusGaNMRA, main.BusS88, main.Buspower};
}

std::vector<int> Srcp08Buses::inUse() const
{
    std::vector<int> buses;
    for (int b : {glMM, glNMRAShort, glNMRALong, gaMM, gaNMRA, s88, power})
        if (std::find(buses.begin(), buses.end(), b) == buses.end())
            buses.push_back(b);
    return buses;
}

C_SRCP08::C_SRCP08(AppState& main, TLok& lok, UserDialogs& dialogs) : m_main(main), m_lok(lok), m_dialogs(dialogs)
{
    protocols();  // built on the GUI thread, before any task needs them
}

C_SRCP08::~C_SRCP08() = default;

void C_SRCP08::showError(const QString& text)
{
    m_dialogs.messageBox(text, QStringLiteral("Error"), UserDialogs::Icon::Error);
}

int C_SRCP08::locoBus(const LocoRecord& loco, const Srcp08Buses& buses)
{
    if (loco.protocolBase == mpbMotorola)
        return buses.glMM;
    if (loco.protocolBase == mpbNMRA) {
        const TMoBaLocoProtocol* p = protocols().protocolFor(loco.protocolBase, loco.protocolVersion);
        return p && p->ProtocolExtension() == 2 ? buses.glNMRALong : buses.glNMRAShort;
    }
    return loco.recordBus;
}

int C_SRCP08::locoBusOf(const AppState& main, const TLok& lok, int Loknr)
{
    LocoRecord l;
    l.protocolBase = lok.get_protocolbase(Loknr);
    l.protocolVersion = lok.get_protvers(Loknr);
    l.recordBus = lok.get_busnr(Loknr);
    return locoBus(l, Srcp08Buses::of(main));
}

C_SRCP08::LocoRecord C_SRCP08::record(int Loknr) const
{
    LocoRecord l;
    l.protocolBase = m_lok.get_protocolbase(Loknr);
    l.protocolVersion = m_lok.get_protvers(Loknr);
    l.address = m_lok.get_addr(Loknr);
    l.recordBus = m_lok.get_busnr(Loknr);
    l.speed = m_lok.get_speed(Loknr);
    l.speedMax = m_lok.get_speedmax(Loknr);
    l.direction = m_lok.get_direction(Loknr);
    l.functions = m_lok.get_F(Loknr);
    return l;
}

void C_SRCP08::locoCommand(int Loknr)
{
    if (!m_worker || !m_gui || !view.connected) {
        if (onNotConnected)
            onNotConnected();
        return;
    }
    if (Loknr < 0 || Loknr >= TLok::Count)
        return;
    // Everything the task needs is taken now: the records may change before it runs.
    // Only the loco touched is announced (when its bus does not list it yet): the others get
    // nothing until their own regulator is touched.
    const bool fresh = !m_main.LocoData_sent;  // the first loco command of this connection
    m_main.LocoData_sent = true;
    const LocoRecord loco = record(Loknr);
    const Srcp08Buses buses = Srcp08Buses::of(m_main);
    const Reporter r{m_gui, this};
    m_worker->post([loco, buses, r, fresh, announced = m_announced](TMoBaSRCPClient& c) {
        if (fresh)
            announced->clear();
        // The server lists a loco only once its INIT is reported: announced once per connection.
        if (loco.protocolBase > mpbLoconet && announced->emplace(locoBus(loco, buses), loco.address).second)
            createNewLoco(c, loco, locoBus(loco, buses), r);
        if (c.Connected())
            setloco(c, loco, buses, r);
    });
}

void C_SRCP08::askLocoStates(std::function<void(const std::vector<int>& records)> notOnServer)
{
    if (!m_worker || !m_gui || !view.connected)
        return;
    std::vector<std::pair<int, LocoRecord>> locos;
    for (int l = 0; l < TLok::Count; ++l)
        if (const LocoRecord r = record(l); r.address > 0 && r.protocolBase > mpbLoconet)
            locos.emplace_back(l, r);
    m_worker->post([locos, buses = Srcp08Buses::of(m_main), gui = m_gui,
                    done = std::move(notOnServer)](TMoBaSRCPClient& c) {
        std::vector<int> unknown;
        std::map<std::pair<int, int>, bool> known;  // (bus, address): asked once each
        for (const auto& [number, l] : locos) {
            const int busNumber = locoBus(l, buses);
            TMoBaSRCPBus* bus = c.Connected() ? c.BusByNumber(busNumber) : nullptr;
            if (!bus || !bus->GLs())
                continue;
            auto it = known.find({busNumber, l.address});
            if (it == known.end())
                it = known.emplace(std::pair{busNumber, l.address}, bus->GLs()->Ask(l.address)).first;
            if (!it->second && c.Connected())
                unknown.push_back(number);
        }
        if (c.Connected() && !unknown.empty() && done)
            gui->post([done, unknown] { done(unknown); });
    });
}

void C_SRCP08::setpower(int state)
{
    if (!m_worker || !m_gui || !view.connected) {
        m_dialogs.messageBox(QStringLiteral("not connected to server"), QStringLiteral("Error"),
                             UserDialogs::Icon::Error);
        return;
    }
    const Srcp08Buses buses = Srcp08Buses::of(m_main);
    const Reporter r{m_gui, this};
    m_worker->post([buses, r, on = state > 0, wish = m_powerWish](TMoBaSRCPClient& c) {
        *wish = {true, on, buses, {}};
        bool any = false;
        for (int number : buses.inUse()) {
            TMoBaSRCPBus* b = c.Connected() ? c.BusByNumber(number) : nullptr;
            if (!b || !b->Power())
                continue;
            any = true;
            wish->reached.push_back(number);
            b->Power()->SetPowerOn(on);
        }
        if (!any && c.Connected())
            r.missing(buses.power, c.BusByNumber(buses.power) ? "POWER" : nullptr);
    });
}

std::function<void(TMoBaSRCPBus&)> C_SRCP08::lateBusPower() const
{
    return [wish = m_powerWish](TMoBaSRCPBus& bus) {
        if (!wish->set || !bus.Power())
            return;
        const int number = bus.BusNumber();
        const std::vector<int> inUse = wish->buses.inUse();
        if (std::find(inUse.begin(), inUse.end(), number) == inUse.end() ||
            std::find(wish->reached.begin(), wish->reached.end(), number) != wish->reached.end())
            return;
        wish->reached.push_back(number);
        bus.Power()->SetPowerOn(wish->on);
    };
}

void C_SRCP08::forgetPowerWish()
{
    if (m_worker)
        m_worker->post([wish = m_powerWish](TMoBaSRCPClient&) { *wish = {}; });
}

C_SRCP08::PowerState C_SRCP08::powerState() const
{
    if (!view.connected)
        return PowerState::None;
    int on = 0, off = 0;
    for (int number : Srcp08Buses::of(m_main).inUse())
        if (auto it = view.buses.find(number); it != view.buses.end() && it->second.power)
            (it->second.powerOn ? on : off)++;
    if (on && off)
        return PowerState::Mixed;
    return on ? PowerState::On : off ? PowerState::Off : PowerState::None;
}

bool C_SRCP08::accessoryPulse(bool motorola, int address, int port, int gapMs, PulseDone done)
{
    if (!m_worker || !m_gui || !view.connected) {
        if (onNotConnected)
            onNotConnected();
        return false;
    }
    // What the window knows of the server decides here, so the panel changes only for a command
    // that goes out; the task checks again against the component's own picture.
    const int busNumber = motorola ? m_main.BusGaMM : m_main.BusGaNMRA;
    if (auto bus = view.buses.find(busNumber); !view.buses.empty() && (bus == view.buses.end() || !bus->second.ga)) {
        if (onMissing)
            onMissing(busNumber, bus == view.buses.end() ? nullptr : "GA");
        return false;
    }
    const TMoBaSolenoidProtocol* protocol = motorola ? protocols().MMSopr.get() : protocols().NMRASopr.get();
    if (address < 1 || address > protocol->MaxAddress()) {
        if (onAddressRefused)
            onAddressRefused(address, protocol->Name(), protocol->MaxAddress());
        return false;
    }
    const Reporter r{m_gui, this};
    auto outcome = std::make_shared<PulseOutcome>(m_gui, std::move(done));
    m_worker->post([motorola, address, port, gapMs, busNumber, r, outcome](TMoBaSRCPClient& c) {
        const TMoBaSolenoidProtocol* protocol = motorola ? protocols().MMSopr.get() : protocols().NMRASopr.get();
        TMoBaAdvancedSolenoid sol;
        sol.SetProtocol(const_cast<TMoBaSolenoidProtocol*>(protocol));
        if (!addressAllowed(protocol, address, r))
            return outcome->report(AccessoryOutcome::Refused);
        sol.SetAddress(address);
        sol.SetPorts(port, 1);
        TMoBaSRCPAccessoires* group = accessoryGroupOn(c, busNumber, r);
        if (!group)  // reported once through onMissing; nothing can be sent
            return outcome->report(c.Connected() ? AccessoryOutcome::Refused : AccessoryOutcome::ConnectionLost);
        if (!group->Solenoids(sol.Address()) && !group->Add(sol) && c.Connected())
            r.error([a = r.adapter] { a->showError(QStringLiteral("Solenoid data are not sent to server")); });
        if (!c.Connected())
            return outcome->report(failureOf(c, *group));
        // The time between the two lines is what the railway sees: this thread runs ahead of
        // ordinary ones for the whole pulse where the system allows it.
        ScopedThreadPriority raised;
        const auto start = std::chrono::steady_clock::now();
        const bool accepted = group->Change(sol);
        outcome->report(accepted ? AccessoryOutcome::Acknowledged : failureOf(c, *group));
        if (!c.Connected())
            return;
        waitUntilPrecisely(start + std::chrono::milliseconds(gapMs));
        sol.SetPorts(port, 0);
        if (c.Connected())
            group->Change(sol);
    });
    return true;
}
