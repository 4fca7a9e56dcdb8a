#pragma once
// Loco, accessory and feedback groups of one bus of the SRCP 0.8 client component. Each owns one
// device group of the SRCP library, specialised to exchange its data with a device object, keeps a
// list of the devices seen on the bus and raises the component's events. Add and Change copy the
// given device and send INIT / SET on the command session. GUI thread only.

#include "moba/MoBaIniFile.h"
#include "moba/MoBaDevices.h"
#include "moba/MoBaProtocols.h"
#include "srcp/SRCPDeviceGroups.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TMoBaSRCPBus;

// How a listed device stands with the server.
enum TMoBaSRCPState : std::uint8_t {
    mssInitialized = 0,   // announced, no data since
    mssActivNoRead = 1,   // data received after the announcement
    mssUninitilized = 2,  // data or a lock received without an announcement
    mssTerminated = 3,    // not announced (a new object)
};

class TMoBaSRCPLoco : public TMoBaAdvancedLoco {
public:
    TMoBaSRCPState SRCPState() const { return FSRCPState; }
    void SetSRCPState(TMoBaSRCPState s) { FSRCPState = s; }
    std::int32_t Bus() const { return FBus; }
    void SetBus(std::int32_t b) { FBus = b; }
    double TimeStamp() const { return FTimeStamp; }
    void SetTimeStamp(double t) { FTimeStamp = t; }
    void AssignTo(TMoBaPersistent& dest) const override;

private:
    TMoBaSRCPState FSRCPState = mssTerminated;
    std::int32_t FBus = 0;
    double FTimeStamp = 0;
};

class TMoBaSRCPSolenoid : public TMoBaAdvancedSolenoid {
public:
    TMoBaSRCPSolenoid();
    TMoBaSRCPState SRCPState() const { return FSRCPState; }
    void SetSRCPState(TMoBaSRCPState s) { FSRCPState = s; }
    std::int32_t Bus() const { return FBus; }
    void SetBus(std::int32_t b) { FBus = b; }
    double TimeStamps(int port) const;
    void SetTimeStamps(int port, double t);
    void AssignTo(TMoBaPersistent& dest) const override;

private:
    TMoBaSRCPState FSRCPState = mssTerminated;
    std::int32_t FBus = 0;
    std::vector<double> FTimeStamps;
};

class TMoBaSRCPFeedback : public TMoBaBaseFeedback {
public:
    std::int32_t Bus() const { return FBus; }
    void SetBus(std::int32_t b) { FBus = b; }
    double TimeStamp() const { return FTimeStamp; }
    void SetTimeStamp(double t) { FTimeStamp = t; }
    void AssignTo(TMoBaPersistent& dest) const override;

private:
    std::int32_t FBus = 0;
    double FTimeStamp = 0;
};

// Conversions between the device model and the SRCP library.
TMoBaProtocolBase SRCPToMoBaProtTranslation(TSRCPProtocols p);
TSRCPProtocols MoBaToSRCPProtTranslation(TMoBaProtocolBase b);
TSRCPDriveMode MoBaToSRCPDriveMode(TMoBaDriveMode moba, TSRCPDriveMode current);
TMoBaDriveMode SRCPToMoBaDriveMode(TSRCPDriveMode srcp, TMoBaDriveMode current);
void MoBaToSRCPProtocol(const TMoBaBaseProtocol* protocol, TSRCPProtocols& srcpProtocol, std::int32_t& subProtocol);
// Finds (or adds to the registry) the protocol of a device the server announced on `bus`.
TMoBaLocoProtocol* SRCPToMoBaLocoProtocol(TSRCPProtocols prot, std::int32_t sub, std::int32_t speedSteps,
                                          std::int32_t funcCount, std::int32_t address, std::int32_t bus);
TMoBaSolenoidProtocol* SRCPToMoBaSolenoidProtocol(TSRCPProtocols prot, std::int32_t sub, std::int32_t address,
                                                  std::int32_t bus);

class TMoBaSRCPLocoClient : public TSRCPCustomLoco {
public:
    TMoBaSRCPLocoClient();
    TMoBaAdvancedLoco& Loco() { return *FLoco; }
    void SetLoco(const TMoBaAdvancedLoco& loco) { FLoco->Assign(loco); }

protected:
    void DoInitalize(TSRCPCmd& cmd) override;
    void DoSetData(TSRCPCmd& cmd) override;
    void DoGetData(TSRCPCmd& cmd) override;
    void DoTerminate(TSRCPCmd& cmd) override;
    void DoLock(TSRCPCmd& cmd) override;
    void DoUnlock(TSRCPCmd& cmd) override;
    void DoSetInfoData(const TSRCPCmd& cmd) override;
    void DoSetInitData(const TSRCPCmd& cmd) override;
    void DoSetTermData(const TSRCPCmd& cmd) override;
    void DoSetLockData(const TSRCPDeviceLock& lock) override;
    void DoSetUnlockData(const TSRCPDeviceLock& lock) override;

private:
    std::unique_ptr<TMoBaAdvancedLoco> FLoco;
};

class TMoBaSRCPAccessoireClient : public TSRCPCustomAccessoire {
public:
    TMoBaSRCPAccessoireClient();
    TMoBaAdvancedSolenoid& Solenoid() { return *FSolenoid; }
    void SetSolenoid(const TMoBaAdvancedSolenoid& s) { FSolenoid->Assign(s); }

protected:
    void DoInitalize(TSRCPCmd& cmd) override;
    void DoSetData(TSRCPCmd& cmd) override;
    void DoGetData(TSRCPCmd& cmd) override;
    void DoTerminate(TSRCPCmd& cmd) override;
    void DoLock(TSRCPCmd& cmd) override;
    void DoUnlock(TSRCPCmd& cmd) override;
    void DoSetInfoData(const TSRCPCmd& cmd) override;
    void DoSetInitData(const TSRCPCmd& cmd) override;
    void DoSetTermData(const TSRCPCmd& cmd) override;
    void DoSetLockData(const TSRCPDeviceLock& lock) override;
    void DoSetUnlockData(const TSRCPDeviceLock& lock) override;

private:
    std::unique_ptr<TMoBaAdvancedSolenoid> FSolenoid;
};

class TMoBaSRCPFeedbackClient : public TSRCPCustomFeedback {
public:
    explicit TMoBaSRCPFeedbackClient(std::int32_t bus) : FBusNumber(bus) {}
    int Count() const { return static_cast<int>(FFBList.size()); }
    TMoBaSRCPFeedback& Feedbacks(int i) const { return *FFBList.at(static_cast<std::size_t>(i)); }

protected:
    void DoSetInfoData(const TSRCPCmd& cmd) override;

private:
    std::int32_t FBusNumber;
    std::vector<std::unique_ptr<TMoBaSRCPFeedback>> FFBList;
};

class TMoBaSRCPLocos {
public:
    explicit TMoBaSRCPLocos(TMoBaSRCPBus& bus);
    ~TMoBaSRCPLocos();
    // INIT and SET of a copy of `loco` on this bus; true when the server accepted the SET.
    bool Add(const TMoBaAdvancedLoco& loco);
    // INIT of a copy of `loco` on this bus, nothing else; true when the server accepted it.
    bool Announce(const TMoBaAdvancedLoco& loco);
    // GET of the loco at `address`: the server's answer is taken as its report of that loco (the
    // list and OnLocoChange follow it). False when the server has no data of it or did not answer;
    // nothing else is sent (no INIT).
    bool Ask(std::int32_t address);
    // SET of a copy of `loco`.
    bool Change(const TMoBaAdvancedLoco& loco);
    TMoBaSRCPLoco* Locos(std::int32_t address) const;
    TMoBaSRCPLoco& Items(int i) const { return *FLocoList.at(static_cast<std::size_t>(i)); }
    int Count() const { return static_cast<int>(FLocoList.size()); }
    std::int32_t Bus() const;
    void ClearLocoList() { FLocoList.clear(); }
    TMoBaSRCPLocoClient& Group() { return FSRCPLoco; }

private:
    TMoBaSRCPLoco& Listed(std::int32_t address);
    void HandleOnInit();
    void HandleOnChange();
    void HandleOnTerm();
    void HandleLockUnlock();

    TMoBaSRCPBus& FBus;
    std::vector<std::unique_ptr<TMoBaSRCPLoco>> FLocoList;
    TMoBaSRCPLocoClient FSRCPLoco;
};

class TMoBaSRCPAccessoires {
public:
    explicit TMoBaSRCPAccessoires(TMoBaSRCPBus& bus);
    ~TMoBaSRCPAccessoires();
    bool Add(const TMoBaAdvancedSolenoid& solenoid);
    bool Change(const TMoBaAdvancedSolenoid& solenoid);
    TMoBaSRCPSolenoid* Solenoids(std::int32_t address) const;
    TMoBaSRCPSolenoid& Items(int i) const { return *FAccessoireList.at(static_cast<std::size_t>(i)); }
    int Count() const { return static_cast<int>(FAccessoireList.size()); }
    int AddedCount() const { return static_cast<int>(FAddedList.size()); }
    std::int32_t Bus() const;
    std::int32_t DefaultDelay() const { return FDefaultDelay; }
    void SetDefaultDelay(std::int32_t ms) { FDefaultDelay = ms; }
    void CopyDelayTime(TMoBaSRCPSolenoid& solenoid);
    void ClearAccessoireList() { FAccessoireList.clear(); }
    void ClearAddedList() { FAddedList.clear(); }
    // Key "AccessoireDelayTime" of the bus's section; a missing, damaged or negative value keeps
    // the current default delay.
    void ReadFromIniFile(const TMoBaIniFile& ini);
    void WriteToIniFile(TMoBaIniFile& ini) const;
    TMoBaSRCPAccessoireClient& Group() { return FSRCPAccessoire; }

private:
    TMoBaSRCPSolenoid& Listed(std::int32_t address, bool& created);
    void HandleOnInit();
    void HandleOnChange();
    void HandleOnTerm();
    void HandleLockUnlock();

    TMoBaSRCPBus& FBus;
    std::vector<std::unique_ptr<TMoBaSRCPSolenoid>> FAccessoireList;
    std::vector<std::unique_ptr<TMoBaSRCPSolenoid>> FAddedList;
    TMoBaSRCPAccessoireClient FSRCPAccessoire;
    std::int32_t FDefaultDelay = 200;
};

class TMoBaSRCPFeedbacks {
public:
    explicit TMoBaSRCPFeedbacks(TMoBaSRCPBus& bus);
    ~TMoBaSRCPFeedbacks();
    TMoBaSRCPFeedback& Items(int i) const { return FSRCPFeedback.Feedbacks(i); }
    int Count() const { return FSRCPFeedback.Count(); }
    std::int32_t Bus() const;
    const std::string& InitString() const { return FSRCPFeedback.InitString(); }
    void SetInitString(const std::string& s) { FSRCPFeedback.SetInitString(s); }
    bool Enabled() const { return FSRCPFeedback.Enabled(); }
    void SetEnabled(bool on) { FSRCPFeedback.SetEnabled(on); }
    // Key "FeedbackInitString" of the bus's section; a missing or empty value keeps the current one.
    void ReadFromIniFile(const TMoBaIniFile& ini);
    void WriteToIniFile(TMoBaIniFile& ini) const;
    TMoBaSRCPFeedbackClient& Group() { return FSRCPFeedback; }

private:
    void HandleOnChange();
    void HandleInitTerm(bool init);

    TMoBaSRCPBus& FBus;
    TMoBaSRCPFeedbackClient FSRCPFeedback;
};
