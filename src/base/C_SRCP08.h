#pragma once
// The application's bridge to the SRCP 0.8 client component: its own fixed loco protocols, loco
// records of the loco table turned into loco objects and announced on their bus, the throttle state
// of one loco, track power and accessory commands. Buses are found by their SRCP bus number, taken
// from the settings; a bus or group the server does not offer is reported through `onMissing`.
//
// The component lives on a thread of its own (TMoBaSRCPWorker). Each operation here runs on the GUI
// thread only long enough to take what it needs (the loco records, the bus settings) and hands the
// rest to that thread as one task, so nothing here waits on the network and commands go out in the
// order they were given. What a task has to report comes back through the GUI channel as a queued
// call; `view` is the GUI thread's picture of the server (kept up to date by the session's host).

#include "base/AccessoryOutcome.h"
#include "base/GuiChannel.h"
#include "moba/MoBaProtocols.h"
#include "base/TLok.h"

#include <QString>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct AppState;
class UserDialogs;
class TMoBaSRCPClient;
class TMoBaSRCPWorker;

// The way back to the GUI thread (see GuiChannel).
class Srcp08GuiChannel : public GuiChannel {
public:
    using GuiChannel::GuiChannel;
};

// What the GUI thread knows of the server, from the component's reports.
struct Srcp08BusView {
    bool power = false, powerOn = false, gl = false, ga = false, fb = false, time = false;
};
struct Srcp08View {
    bool connected = false;
    std::map<int, Srcp08BusView> buses;  // by SRCP bus number, as described by the server
    // Built on the component's thread.
    static std::map<int, Srcp08BusView> busesOf(const TMoBaSRCPClient& client);
};

// The bus numbers of the settings, taken when a command is given.
struct Srcp08Buses {
    int glMM = 1, glNMRAShort = 2, glNMRALong = 3, gaMM = 5, gaNMRA = 6, s88 = 8, power = 1;
    static Srcp08Buses of(const AppState& main);
    // Loco, accessory, feedback and power buses, each once, in this order.
    std::vector<int> inUse() const;
};

class TMoBaSRCPBus;

class C_SRCP08 {
public:
    C_SRCP08(AppState& main, TLok& lok, UserDialogs& dialogs);
    ~C_SRCP08();
    C_SRCP08(const C_SRCP08&) = delete;
    C_SRCP08& operator=(const C_SRCP08&) = delete;

    // The thread the component lives on, and the way back to the GUI thread; none: nothing is sent.
    void setWorker(TMoBaSRCPWorker* worker, std::shared_ptr<Srcp08GuiChannel> gui)
    {
        m_worker = worker;
        m_gui = std::move(gui);
    }

    // Motorola protocols 0..4 (entry 5 stays none), NMRA/DCC protocols 0..5, and the accessory
    // protocols of the panel: Motorola (group 5) and NMRA (group 6). One set for the whole program,
    // never changed: the component's device copies point at them from its own thread.
    struct Protocols {
        std::array<std::unique_ptr<TMoBaLocoProtocol>, 6> MMpr;
        std::array<std::unique_ptr<TMoBaLocoProtocol>, 6> NMRADCCpr;
        std::unique_ptr<TMoBaSolenoidProtocol> MMSopr;
        std::unique_ptr<TMoBaSolenoidProtocol> NMRASopr;
        // Family (TMoBaProtocolBase ordinal) and 1-based version of a loco record; none for other
        // families or versions outside the filled entries.
        const TMoBaLocoProtocol* protocolFor(int protocolType, int protocolVersion) const;
    };
    static const Protocols& protocols();

    // One loco record as the component's thread needs it.
    struct LocoRecord {
        int protocolBase = 0, protocolVersion = 0, address = 0, recordBus = 0;
        int speed = 0, speedMax = 100, direction = 1;
        Dekod_Funcs functions{};
    };

    // The panel's accessory command in SRCP 0.8 (ga_out): port `port` of `address` switched on, off
    // again `gapMs` later (timed on the component's thread); Motorola or NMRA. The accessory is
    // announced first when its group does not list it yet. False, with the reason reported through
    // onNotConnected, onMissing or onAddressRefused, when nothing is sent: not connected, the server
    // describes no accessory group on the bus, or the address is outside the protocol's range.
    // When true, `done` (if set) is called once on the GUI thread with what the server made of the
    // switch-on: acknowledged as soon as its answer is read, or refused, timed out, connection lost
    // (also when the task never runs because the session ended first).
    using PulseDone = std::function<void(AccessoryOutcome)>;
    bool accessoryPulse(bool motorola, int address, int port, int gapMs = 300, PulseDone done = {});
    // The throttle's loco command (gl_out): loco `Loknr` is announced (INIT only, once per
    // connection, when its bus does not list it yet), then its state is sent as one SET.
    // LocoData_sent marks the first loco command of a connection.
    void locoCommand(int Loknr);
    // After a reconnect: the state of every loco of the records is asked of the server (GET on its
    // bus); what it knows comes back as its loco reports. The records it has no state of are handed
    // to `notOnServer` (GUI thread). Nothing goes to a decoder.
    void askLocoStates(std::function<void(const std::vector<int>& records)> notOnServer);
    // Switches power on every bus in use (Srcp08Buses::inUse) that the server describes with a
    // POWER group.
    void setpower(int state);
    // A bus the server announces after a power command (the info session describes the buses shortly
    // after the handshake) gets that command too, so that a click on "Voltage on" right after the
    // connect reaches every bus in use. Called on the component's thread for each bus announced or
    // changed; the wish ends with the connection (forgetPowerWish, queued before each connect).
    std::function<void(TMoBaSRCPBus&)> lateBusPower() const;
    void forgetPowerWish();

    enum class PowerState { None, Off, On, Mixed };
    // The power of the buses in use as the server last reported it (view).
    PowerState powerState() const;
    // The bus of loco record `Loknr` from the settings: BusGlMM for Motorola, BusGlNMRA_L for the
    // NMRA protocols with long addresses (N3, N4), BusGlNMRA_S for the other NMRA ones; other
    // families keep the record's own bus.
    static int locoBus(const LocoRecord& loco, const Srcp08Buses& buses);
    // The same for loco record `Loknr` of `lok` with the settings of `main`.
    static int locoBusOf(const AppState& main, const TLok& lok, int Loknr);

    Srcp08View view;

    // All called on the GUI thread.
    // The server offers no bus `bus` (group none) or that bus lacks `group` ("GL", "GA", "POWER").
    std::function<void(int bus, const char* group)> onMissing;
    // A loco command or an accessory pulse was not sent because the component is not connected.
    std::function<void()> onNotConnected;
    // Nothing was sent because `address` is outside 1..maxAddress of `protocol`: an address is
    // never changed on its way to the wire.
    std::function<void(int address, const std::string& protocol, int maxAddress)> onAddressRefused;

    // An error box (GUI thread).
    void showError(const QString& text);

private:
    LocoRecord record(int Loknr) const;

    AppState& m_main;
    TLok& m_lok;
    UserDialogs& m_dialogs;
    TMoBaSRCPWorker* m_worker = nullptr;
    std::shared_ptr<Srcp08GuiChannel> m_gui;
    // The last power command of this connection and the buses it reached; only touched on the
    // component's thread.
    struct PowerWish {
        bool set = false;
        bool on = false;
        Srcp08Buses buses;
        std::vector<int> reached;
    };
    std::shared_ptr<PowerWish> m_powerWish = std::make_shared<PowerWish>();
    // Locos (bus, address) announced on this connection; only touched on the component's thread.
    std::shared_ptr<std::set<std::pair<int, int>>> m_announced = std::make_shared<std::set<std::pair<int, int>>>();
};

// The one adapter of the program, created with the main window's singletons.
extern C_SRCP08* SRCP08;
