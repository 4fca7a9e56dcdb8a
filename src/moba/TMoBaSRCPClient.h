#pragma once
// The SRCP 0.8 client component: one command session and one info session to a server, one
// TMoBaSRCPBus per bus the server describes, and on each bus group objects for power, time, locos,
// accessories and feedback contacts that mirror the server's devices and report every change
// through the component's events.
//
// Threads: everything here belongs to one thread, the one the executor given to the constructor
// queues calls to (the program runs the component on a thread of its own, TMoBaSRCPWorker). The info
// session hands its lines over through that executor; a session that ends while the component is
// connected is cleaned up by a call queued the same way, so no bus is freed under a command that is
// still waiting for its answer.

#include "moba/MoBaProfiles.h"
#include "srcp/SRCPClient.h"
#include "srcp/SRCPDeviceGroups.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TMoBaSRCPClient;
class TMoBaSRCPBus;
class TMoBaSRCPLocos;
class TMoBaSRCPAccessoires;
class TMoBaSRCPFeedbacks;
class TMoBaSRCPLoco;
class TMoBaSRCPSolenoid;
class TMoBaSRCPFeedback;

using TMoBaSRCPNotifyEvent = std::function<void(TMoBaSRCPClient& sender)>;
using TMoBaSRCPBusEvent = std::function<void(TMoBaSRCPClient& sender, TMoBaSRCPBus& bus)>;
using TMoBaSRCPLocoEvent = std::function<void(TMoBaSRCPClient& sender, TMoBaSRCPLoco& loco)>;
using TMoBaSRCPAccessoireEvent = std::function<void(TMoBaSRCPClient& sender, TMoBaSRCPSolenoid& solenoid)>;
using TMoBaSRCPFeedbackEvent = std::function<void(TMoBaSRCPClient& sender, TMoBaSRCPFeedback& feedback)>;

// Track power of one bus.
class TMoBaSRCPPower {
public:
    explicit TMoBaSRCPPower(TMoBaSRCPBus& bus);
    ~TMoBaSRCPPower();
    bool PowerOn() const { return FPower.PowerOn(); }
    // Stores and sends the state (SET b POWER ON|OFF); false when the server refused it.
    bool SetPowerOn(bool on);
    // Asks the server for the state (GET b POWER).
    bool Update() { return FPower.GetData(); }
    TSRCPPower& Group() { return FPower; }

private:
    void HandleOnInit();
    TMoBaSRCPBus& FBus;
    TSRCPPower FPower;
};

// Model time of one bus (bus 0 on the servers in use).
class TMoBaSRCPTime {
public:
    explicit TMoBaSRCPTime(TMoBaSRCPBus& bus);
    ~TMoBaSRCPTime();
    double DateTime() const { return FTime.DateTime(); }
    void SetDateTime(double value) { FTime.SetDateTime(value); }
    std::int32_t Multiplicator() const { return FTime.Multiplicator(); }
    void SetMultiplicator(std::int32_t v) { FTime.SetMultiplicator(v); }
    std::int32_t Divisor() const { return FTime.Divisor(); }
    void SetDivisor(std::int32_t v) { FTime.SetDivisor(v); }
    bool Enabled() const { return FTime.Enabled(); }
    void SetEnabled(bool on) { FTime.SetEnabled(on); }
    // Keys "TimeMultiplicator" and "TimeDivisor" of the bus's section (1 when missing or damaged).
    void ReadFromIniFile(const TMoBaIniFile& ini);
    void WriteToIniFile(TMoBaIniFile& ini) const;
    TSRCPTime& Group() { return FTime; }

private:
    TMoBaSRCPBus& FBus;
    TSRCPTime FTime;
};

class TMoBaSRCPBus {
public:
    // With a description: the described bus and its groups. Without: the next bus number (the
    // client's bus count), whose groups are asked from the server (GET n DESCRIPTION).
    TMoBaSRCPBus(TMoBaSRCPClient& owner, const TSRCPCustomDescription* description);
    ~TMoBaSRCPBus();
    TMoBaSRCPBus(const TMoBaSRCPBus&) = delete;
    TMoBaSRCPBus& operator=(const TMoBaSRCPBus&) = delete;

    std::int32_t BusNumber() const { return FBusNumber; }
    bool Invalid() const { return FInvalid; }
    std::string BusSectionName() const { return "Bus" + std::to_string(FBusNumber) + "Info"; }
    bool AutoPowerOn() const;
    TSRCPCommandClient& CmdClnt() const;
    TSRCPInfoClient& InfoClnt() const;
    TMoBaSRCPClient& SRCPClnt() const { return FSRCPClnt; }

    // Each may be none: the server does not offer that group on this bus.
    TMoBaSRCPPower* Power() const { return FPower.get(); }
    TMoBaSRCPTime* Time() const { return FTime.get(); }
    TMoBaSRCPLocos* GLs() const { return FLocos.get(); }
    TMoBaSRCPAccessoires* GAs() const { return FAccessoires.get(); }
    TMoBaSRCPFeedbacks* FBs() const { return FFeedbacks.get(); }

    bool EmergencyStop() const { return FEmergencyStop; }
    void SetEmergencyStop(bool on);

    // The settings of the time, accessory and feedback groups (those present) in BusSectionName.
    void ReadFromIniFile(const TMoBaIniFile& ini);
    void WriteToIniFile(TMoBaIniFile& ini) const;

private:
    void QueryDescription();
    void InterpreteDevGroup(TSRCPDeviceGroup group);

    TMoBaSRCPClient& FSRCPClnt;
    bool FInvalid = true;
    bool FEmergencyStop = false;
    std::int32_t FBusNumber = 0;
    std::unique_ptr<TMoBaSRCPPower> FPower;
    std::unique_ptr<TMoBaSRCPLocos> FLocos;
    std::unique_ptr<TMoBaSRCPAccessoires> FAccessoires;
    std::unique_ptr<TMoBaSRCPFeedbacks> FFeedbacks;
    std::unique_ptr<TMoBaSRCPTime> FTime;
};

class TMoBaSRCPClient {
public:
    // `executor` queues a call to the GUI thread (see TSRCPExecutor); it must not be empty.
    explicit TMoBaSRCPClient(TSRCPExecutor executor);
    ~TMoBaSRCPClient();
    TMoBaSRCPClient(const TMoBaSRCPClient&) = delete;
    TMoBaSRCPClient& operator=(const TMoBaSRCPClient&) = delete;

    const std::string& Host() const { return FCmdClnt.Host(); }
    void SetHost(const std::string& host);
    int Port() const { return FCmdClnt.Port(); }
    void SetPort(int port);
    bool LogEnabled() const { return FCmdClnt.LogEnabled(); }
    void SetLogEnabled(bool on);
    void SetOnCmdLog(TSRCPBaseClient::TLogEvent e) { FCmdClnt.SetOnLog(std::move(e)); }
    void SetOnInfoLog(TSRCPBaseClient::TLogEvent e) { FInfoClnt->SetOnLog(std::move(e)); }
    // How long a command waits for the server's answer before the component gives the server up.
    void SetAnswerTimeoutMs(int ms);

    bool Connected() const { return FConnected; }
    void SetConnected(bool on) { on ? Connect() : Disconnect(); }
    std::int32_t SessionID() const { return FCmdClnt.SessionID(); }
    std::int32_t InfoSessionID() const { return FInfoClnt->SessionID(); }
    std::string Welcome() const { return FCmdClnt.Welcome(); }
    bool AutoPowerOn() const { return FAutoPowerOn; }
    void SetAutoPowerOn(bool on) { FAutoPowerOn = on; }
    bool QueryServer() const { return FQueryServer; }
    void SetQueryServer(bool on) { FQueryServer = on; }

    // With the profile active, each bus's groups read their settings from the active profile when
    // they are created and write them back when the bus is freed; OnLoad / OnSave of the profile
    // manager read and write those of every bus.
    bool ProfileActive() const { return FProfileItem.Active(); }
    void SetProfileActive(bool on) { FProfileItem.SetActive(on); }
    // The active profile's ini file, or none (profile not active, or no profile selected).
    TMoBaIniFile* ProfileIniFile() const;
    // Every bus in list order.
    void ReadFromIniFile(const TMoBaIniFile& ini);
    void WriteToIniFile(TMoBaIniFile& ini) const;

    int BusCount() const { return static_cast<int>(FBusList.size()); }
    // The bus at list position `index`; std::out_of_range outside the list.
    TMoBaSRCPBus& Busses(int index) const;
    // The bus with SRCP bus number `number`, or none.
    TMoBaSRCPBus* BusByNumber(std::int32_t number) const;
    void SetEmergencyStop(bool on);

    // Opens both sessions (errors while opening the command session reach the caller; the
    // component is then disconnected).
    void Connect();
    void Disconnect();
    // A question that changes nothing (GET 0 SERVER) on the command session: true when the server
    // answered, with anything. A server that does not answer within the answer time-out is given
    // up as for any other command (OnDisconnect).
    bool AskServer();

    TSRCPCommandClient& CmdClnt() { return FCmdClnt; }
    TSRCPInfoClient& InfoClnt() { return *FInfoClnt; }

    // Events (each raised only when set; the sender is the component).
    TMoBaSRCPBusEvent OnBusInit, OnBusConfigChange, OnBusPowerChange;
    TMoBaSRCPLocoEvent OnLocoInit, OnLocoTerm, OnLocoChange, OnLocoLock, OnLocoUnlock;
    TMoBaSRCPAccessoireEvent OnAccessoireInit, OnAccessoireTerm, OnAccessoireChange, OnAccessoireLock,
        OnAccessoireUnlock;
    TMoBaSRCPFeedbackEvent OnFeedbackInit, OnFeedbackTerm, OnFeedbackChange;
    TMoBaSRCPNotifyEvent OnTimeInit, OnTimeTerm, OnTimeChange;
    // The connection ended while the component was connected: once per loss, on the GUI thread,
    // for a user's Disconnect as well as for a server that went away or stopped answering.
    TMoBaSRCPNotifyEvent OnDisconnect;
    TMoBaSRCPNotifyEvent OnConnected;  // never raised
    // Removes every event handler and both log handlers.
    void ClearEvents();

    void DoBusInit(TMoBaSRCPBus& bus);
    void DoBusConfigChange(TMoBaSRCPBus& bus);
    void DoBusPowerEvent(TMoBaSRCPBus& bus);
    void DoLocoInitEvent(TMoBaSRCPLoco& loco);
    void DoLocoTermEvent(TMoBaSRCPLoco& loco);
    void DoLocoChangeEvent(TMoBaSRCPLoco& loco);
    void DoLocoLockUnlockEvent(TMoBaSRCPLoco& loco);
    void DoAccessoireInitEvent(TMoBaSRCPSolenoid& solenoid);
    void DoAccessoireTermEvent(TMoBaSRCPSolenoid& solenoid);
    void DoAccessoireChangeEvent(TMoBaSRCPSolenoid& solenoid);
    void DoAccessoireLockUnlockEvent(TMoBaSRCPSolenoid& solenoid);
    void DoFeedbackInitEvent(TMoBaSRCPFeedback& feedback);
    void DoFeedbackTermEvent(TMoBaSRCPFeedback& feedback);
    void DoFeedbackChangeEvent(TMoBaSRCPFeedback& feedback);
    void DoTimeInitEvent();
    void DoTimeTermEvent();
    void DoTimeChangeEvent();

private:
    void CreateBusses();
    void CreateDescription();
    void HandleDescriptionOnChange();
    void HandleDisconnect();
    void CloseSessions();
    void FreeBusses();

    TSRCPExecutor FExecutor;
    bool FAutoPowerOn = false;
    bool FQueryServer = false;
    bool FConnected = false;
    bool FConnecting = false;    // inside Connect: a failed attempt is not a loss
    bool FDisconnecting = false; // inside Disconnect: everything is done at once
    std::uint64_t FGeneration = 0;  // counts connections; a queued clean-up of an old one does nothing
    std::shared_ptr<TMoBaSRCPClient*> FAlive;  // queued calls find it empty once the component is gone
    TMoBaProfileItem FProfileItem;
    std::vector<std::unique_ptr<TMoBaSRCPBus>> FBusList;
    std::unique_ptr<TSRCPDescription> FDescription;
    TSRCPCommandClient FCmdClnt;
    std::unique_ptr<TSRCPInfoClient> FInfoClnt;
};
