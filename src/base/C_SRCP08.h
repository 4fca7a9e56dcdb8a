#pragma once
// The application's bridge to the SRCP 0.8 client component: its own fixed loco protocols, loco
// records of the loco table turned into loco objects and announced on their bus, the throttle state
// of one loco, track power and accessory commands. Buses are found by their SRCP bus number, taken
// from the settings (power, accessories) and from the loco records; a bus or group the server does
// not offer is reported through `onMissing` (the window shows it in the status bar).

#include "moba/MoBaProtocols.h"

#include <array>
#include <string>
#include <functional>
#include <memory>

struct AppState;
class TLok;
class UserDialogs;
class TMoBaSRCPClient;
class TMoBaSRCPBus;
class TMoBaAdvancedSolenoid;
class TMoBaSRCPLocos;
class TMoBaSRCPAccessoires;

class C_SRCP08 {
public:
    C_SRCP08(AppState& main, TLok& lok, UserDialogs& dialogs);
    ~C_SRCP08();
    C_SRCP08(const C_SRCP08&) = delete;
    C_SRCP08& operator=(const C_SRCP08&) = delete;

    // The component the adapter drives (the window's SRCPCl2); none: every operation does nothing.
    void setClient(TMoBaSRCPClient* client) { m_client = client; }

    // Motorola protocols 0..4 (entry 5 stays none) and NMRA/DCC protocols 0..5.
    std::array<std::unique_ptr<TMoBaLocoProtocol>, 6> MMpr;
    std::array<std::unique_ptr<TMoBaLocoProtocol>, 6> NMRADCCpr;

    // Accessory protocols of the panel: Motorola (group 5) and NMRA (group 6).
    std::unique_ptr<TMoBaSolenoidProtocol> MMSopr;
    std::unique_ptr<TMoBaSolenoidProtocol> NMRASopr;

    // The panel's accessory command in SRCP 0.8 (ga_out): port `port` of `address` switched on,
    // `between` (the 300 ms wait), then off; protocol "M"/"m" Motorola, otherwise NMRA. The
    // accessory is announced first when its group does not list it yet. False when nothing could be
    // sent (not connected, no accessory group).
    bool accessoryPulse(bool motorola, int address, int port, const std::function<void()>& between);

    // The protocol of a loco record: family (TMoBaProtocolBase ordinal) and 1-based version; none
    // for other families or versions outside the filled entries.
    TMoBaLocoProtocol* protocolFor(int protocolType, int protocolVersion) const;

    void createNewLoco(int Protocoltype, int Protovers, int Busnr, int Addr);
    void sendallLocoData();
    void setloco(int Loknr);
    void setpower(int state);
    void setSolenoid(const TMoBaAdvancedSolenoid& ASol);
    // The throttle's loco command (gl_out) in SRCP 0.8: once per connection every loco is announced
    // (LocoData_sent), then loco `Loknr` is sent. Only while the component is connected.
    void locoCommand(int Loknr);

    // The accessory group of the bus for an accessory protocol family (BusGaMM for Motorola,
    // BusGaNMRA otherwise), or none (then reported through onMissing).
    TMoBaSRCPAccessoires* accessoryGroup(int protocolBase);

    // The server offers no bus `bus` (group none) or that bus lacks `group` ("GL", "GA", "POWER").
    std::function<void(int bus, const char* group)> onMissing;
    // A loco command or an accessory pulse was not sent because the component is not connected.
    std::function<void()> onNotConnected;

private:
    void createLocoProtocols();
    TMoBaSRCPBus* bus(int number, const char* group);
    TMoBaSRCPLocos* locoGroup(int number);

    AppState& m_main;
    TLok& m_lok;
    UserDialogs& m_dialogs;
    TMoBaSRCPClient* m_client = nullptr;
};

// The one adapter of the program, created with the main window's singletons.
extern C_SRCP08* SRCP08;
