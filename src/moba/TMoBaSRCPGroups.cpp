#include "moba/TMoBaSRCPGroups.h"

#include "moba/MoBaProtocolLists.h"
#include "moba/TMoBaSRCPClient.h"

#include <cstdio>

// ---- listed devices -------------------------------------------------------------------------

void TMoBaSRCPLoco::AssignTo(TMoBaPersistent& dest) const
{
    TMoBaAdvancedLoco::AssignTo(dest);
    if (auto* d = dynamic_cast<TMoBaSRCPLoco*>(&dest)) {
        d->FSRCPState = FSRCPState;
        d->FBus = FBus;
        d->FTimeStamp = FTimeStamp;
    }
}

TMoBaSRCPSolenoid::TMoBaSRCPSolenoid() : FTimeStamps(static_cast<std::size_t>(PortCount()), 0.0) {}

double TMoBaSRCPSolenoid::TimeStamps(int port) const
{
    return port >= 0 && port < static_cast<int>(FTimeStamps.size()) ? FTimeStamps[static_cast<std::size_t>(port)] : 0;
}

void TMoBaSRCPSolenoid::SetTimeStamps(int port, double t)
{
    if (port < 0)
        return;
    if (port >= static_cast<int>(FTimeStamps.size()))
        FTimeStamps.resize(static_cast<std::size_t>(port) + 1, 0.0);
    FTimeStamps[static_cast<std::size_t>(port)] = t;
}

void TMoBaSRCPSolenoid::AssignTo(TMoBaPersistent& dest) const
{
    TMoBaAdvancedSolenoid::AssignTo(dest);
    if (auto* d = dynamic_cast<TMoBaSRCPSolenoid*>(&dest)) {
        d->FSRCPState = FSRCPState;
        d->FBus = FBus;
    }
}

void TMoBaSRCPFeedback::AssignTo(TMoBaPersistent& dest) const
{
    TMoBaBaseFeedback::AssignTo(dest);
    if (auto* d = dynamic_cast<TMoBaSRCPFeedback*>(&dest)) {
        d->FBus = FBus;
        d->FTimeStamp = FTimeStamp;
    }
}

// ---- conversions ----------------------------------------------------------------------------

TMoBaProtocolBase SRCPToMoBaProtTranslation(TSRCPProtocols p)
{
    switch (p) {
    case spAnalog: return mpbAnalog;
    case spFleischman: return mpbFleischmann;
    case spLoconet: return mpbLoconet;
    case spMotorola: return mpbMotorola;
    case spNMRA: return mpbNMRA;
    case spSelectrix: return mpbSelectrix;
    case spZimo: return mpbZimo;
    default: return mpbCustom;  // spProtByServer, spInvalid
    }
}

TSRCPProtocols MoBaToSRCPProtTranslation(TMoBaProtocolBase b)
{
    switch (b) {
    case mpbAnalog: return spAnalog;
    case mpbFleischmann: return spFleischman;
    case mpbLoconet: return spLoconet;
    case mpbMotorola: return spMotorola;
    case mpbNMRA: return spNMRA;
    case mpbSelectrix: return spSelectrix;
    case mpbZimo: return spZimo;
    default: return spProtByServer;
    }
}

TSRCPDriveMode MoBaToSRCPDriveMode(TMoBaDriveMode moba, TSRCPDriveMode current)
{
    switch (moba) {
    case mdmForward: return dmForward;
    case mdmBackwards: return dmBackwards;
    case mdmChange: return current == dmForward ? dmBackwards : dmForward;
    case mdmEmergencyStop: return dmEmergencyStop;
    default: return dmInvalid;
    }
}

TMoBaDriveMode SRCPToMoBaDriveMode(TSRCPDriveMode srcp, TMoBaDriveMode current)
{
    switch (srcp) {
    case dmForward: return mdmForward;
    case dmBackwards: return mdmBackwards;
    case dmEmergencyStop: return mdmEmergencyStop;
    default: return current;
    }
}

void MoBaToSRCPProtocol(const TMoBaBaseProtocol* protocol, TSRCPProtocols& srcpProtocol, std::int32_t& subProtocol)
{
    if (protocol) {
        srcpProtocol = MoBaToSRCPProtTranslation(protocol->ProtocolBase());
        subProtocol = protocol->ProtocolExtension();
    } else {
        srcpProtocol = spInvalid;
        subProtocol = 0;
    }
}

namespace {

std::string formatText(const char* format, const std::string& name, std::int32_t a, std::int32_t b = 0,
                       std::int32_t c = 0)
{
    char text[512];
    std::snprintf(text, sizeof text, format, name.c_str(), a, b, c);
    return text;
}

} // namespace

TMoBaLocoProtocol* SRCPToMoBaLocoProtocol(TSRCPProtocols prot, std::int32_t sub, std::int32_t speedSteps,
                                          std::int32_t funcCount, std::int32_t address, std::int32_t bus)
{
    auto candidate = std::make_unique<TMoBaLocoProtocol>();
    candidate->SetProtocolBase(SRCPToMoBaProtTranslation(prot));
    candidate->SetProtocolExtension(sub);
    candidate->SetMaxSteps(speedSteps);
    candidate->SetMaxFunctions(funcCount);
    candidate->SetMinSteps(0);
    if (bus >= 0 && bus < 256)
        candidate->Groups().set(static_cast<std::size_t>(bus));
    TMoBaLocoProtocolList& list = *MoBaLocoProtocols;
    for (int i = 0; i < list.Count(); ++i) {
        TMoBaLocoProtocol& p = *list.Items(i);
        if (p.ProtocolBase() == candidate->ProtocolBase() && p.ProtocolExtension() == sub &&
            p.MaxSteps() == speedSteps && p.MaxFunctions() == funcCount && address > 0 && address <= p.MaxAddress()) {
            if (bus >= 0 && bus < 256)
                p.Groups().set(static_cast<std::size_t>(bus));
            return &p;
        }
    }
    candidate->SetName("Automatic loco protocol");
    candidate->SetDescription(formatText("%s with %d addresses, %d speed steps and %d function(s).",
                                         candidate->Name(), candidate->MaxAddress(), candidate->MaxSteps(),
                                         candidate->MaxFunctions()));
    TMoBaLocoProtocol* result = candidate.get();
    list.Add(std::move(candidate));
    return result;
}

TMoBaSolenoidProtocol* SRCPToMoBaSolenoidProtocol(TSRCPProtocols prot, std::int32_t sub, std::int32_t address,
                                                  std::int32_t bus)
{
    auto candidate = std::make_unique<TMoBaSolenoidProtocol>();
    candidate->SetProtocolBase(SRCPToMoBaProtTranslation(prot));
    candidate->SetProtocolExtension(sub);
    candidate->SetMaxValue(1);
    if (bus >= 0 && bus < 256)
        candidate->Groups().set(static_cast<std::size_t>(bus));
    TMoBaSolenoidProtocolList& list = *MoBaSolenoidProtocols;
    for (int i = 0; i < list.Count(); ++i) {
        TMoBaSolenoidProtocol& p = *list.Items(i);
        if (p.ProtocolBase() == candidate->ProtocolBase() && p.ProtocolExtension() == sub && address > 0 &&
            address <= p.MaxAddress()) {
            if (bus >= 0 && bus < 256)
                p.Groups().set(static_cast<std::size_t>(bus));
            return &p;
        }
    }
    candidate->SetName("Automatic solenoid protocol");
    candidate->SetDescription(formatText("%s with %d addresses.", candidate->Name(), candidate->MaxAddress()));
    TMoBaSolenoidProtocol* result = candidate.get();
    list.Add(std::move(candidate));
    return result;
}

// ---- loco device group ----------------------------------------------------------------------

TMoBaSRCPLocoClient::TMoBaSRCPLocoClient() : FLoco(std::make_unique<TMoBaAdvancedLoco>()) {}

void TMoBaSRCPLocoClient::DoInitalize(TSRCPCmd& cmd)
{
    FAddress = FLoco->Address();
    TSRCPProtocols p = spInvalid;
    std::int32_t sub = 0;
    MoBaToSRCPProtocol(FLoco->Protocol(), p, sub);
    FProtocol = p;
    FSubProtocol = sub;
    FMaxSpeedStep = FLoco->MaxSteps();
    SetFunctionCount(FLoco->MaxFunctions());
    TSRCPCustomLoco::DoInitalize(cmd);
}

void TMoBaSRCPLocoClient::DoSetData(TSRCPCmd& cmd)
{
    FAddress = FLoco->Address();
    FDriveMode = MoBaToSRCPDriveMode(FLoco->DriveMode(), FDriveMode);
    FSpeed = FLoco->Speed();
    FMaxSpeed = FLoco->MaxSpeed();
    SetFunctionCount(FLoco->MaxFunctions());
    for (std::int32_t i = 0; i < FunctionCount() && i < FLoco->FunctionCount(); ++i)
        SetFunctions(i, FLoco->Functions(static_cast<std::uint16_t>(i)) ? 1 : 0);
    TSRCPCustomLoco::DoSetData(cmd);
}

void TMoBaSRCPLocoClient::DoGetData(TSRCPCmd& cmd)
{
    FAddress = FLoco->Address();
    TSRCPCustomLoco::DoGetData(cmd);
}

void TMoBaSRCPLocoClient::DoTerminate(TSRCPCmd& cmd)
{
    FAddress = FLoco->Address();
    TSRCPCustomLoco::DoTerminate(cmd);
}

void TMoBaSRCPLocoClient::DoLock(TSRCPCmd& cmd)
{
    FAddress = FLoco->Address();
    cmd.SetDevAddress(FAddress);
}

void TMoBaSRCPLocoClient::DoUnlock(TSRCPCmd& cmd)
{
    FAddress = FLoco->Address();
    cmd.SetDevAddress(FAddress);
}

void TMoBaSRCPLocoClient::DoSetInfoData(const TSRCPCmd& cmd)
{
    TSRCPCustomLoco::DoSetInfoData(cmd);
    if (EventMode() != semExact && !SetGetActiv())
        FLoco->SetProtocol(nullptr);  // the step must not be limited by the protocol of another address
    FLoco->SetAddress(FAddress);
    FLoco->SetDriveMode(SRCPToMoBaDriveMode(FDriveMode, FLoco->DriveMode()));
    FLoco->SetSpeedStep(FSpeedStep);
    FLoco->SetFunctionCount(FunctionCount());
    for (std::int32_t i = 0; i < FunctionCount() && i < FLoco->FunctionCount(); ++i)
        FLoco->SetFunctions(static_cast<std::uint16_t>(i), Functions(i) != 0);
}

void TMoBaSRCPLocoClient::DoSetInitData(const TSRCPCmd& cmd)
{
    TSRCPCustomLoco::DoSetInitData(cmd);
    TMoBaLocoProtocol* p = SRCPToMoBaLocoProtocol(FProtocol, FSubProtocol, FMaxSpeedStep, FunctionCount(), FAddress, Bus());
    FLoco->SetProtocol(p);
    FLoco->SetAddress(FAddress);
    if (p && p->MaxSteps() != FMaxSpeedStep)
        FMaxSpeedStep = p->MaxSteps();
    FLoco->SetFunctionCount(FunctionCount());
}

void TMoBaSRCPLocoClient::DoSetTermData(const TSRCPCmd& cmd)
{
    TSRCPCustomLoco::DoSetTermData(cmd);
    if (EventMode() != semExact)
        FLoco->SetProtocol(nullptr);
    FLoco->SetAddress(FAddress);
}

void TMoBaSRCPLocoClient::DoSetLockData(const TSRCPDeviceLock& lock)
{
    TSRCPCustomLoco::DoSetLockData(lock);
    FLoco->SetAddress(FAddress);
    FLoco->SetLocked(true);
    FLoco->SetLockID(lock.SessionID());
}

void TMoBaSRCPLocoClient::DoSetUnlockData(const TSRCPDeviceLock& lock)
{
    TSRCPCustomLoco::DoSetUnlockData(lock);
    FLoco->SetAddress(FAddress);
    FLoco->SetLocked(false);
    FLoco->SetLockID(0);
}

// ---- accessory device group -----------------------------------------------------------------

TMoBaSRCPAccessoireClient::TMoBaSRCPAccessoireClient() : FSolenoid(std::make_unique<TMoBaAdvancedSolenoid>()) {}

void TMoBaSRCPAccessoireClient::DoInitalize(TSRCPCmd& cmd)
{
    FAddress = FSolenoid->Address();
    TSRCPProtocols p = spInvalid;
    std::int32_t sub = 0;
    MoBaToSRCPProtocol(FSolenoid->Protocol(), p, sub);
    FProtocol = p;
    FSubProtocol = 0;
    TSRCPCustomAccessoire::DoInitalize(cmd);
}

void TMoBaSRCPAccessoireClient::DoSetData(TSRCPCmd& cmd)
{
    FAddress = FSolenoid->Address();
    FPort = FSolenoid->ActivePort();
    FValue = FPort >= 0 && FPort < FSolenoid->PortCount() ? FSolenoid->Ports(FPort) : 0;
    FDelay = static_cast<std::int32_t>(FSolenoid->ActivationTime());
    TSRCPCustomAccessoire::DoSetData(cmd);
}

void TMoBaSRCPAccessoireClient::DoGetData(TSRCPCmd& cmd)
{
    FAddress = FSolenoid->Address();
    FPort = FSolenoid->ActivePort();
    TSRCPCustomAccessoire::DoGetData(cmd);
}

void TMoBaSRCPAccessoireClient::DoTerminate(TSRCPCmd& cmd)
{
    FAddress = FSolenoid->Address();
    TSRCPCustomAccessoire::DoTerminate(cmd);
}

void TMoBaSRCPAccessoireClient::DoLock(TSRCPCmd& cmd)
{
    FAddress = FSolenoid->Address();
    cmd.SetDevAddress(FAddress);
}

void TMoBaSRCPAccessoireClient::DoUnlock(TSRCPCmd& cmd)
{
    FAddress = FSolenoid->Address();
    cmd.SetDevAddress(FAddress);
}

void TMoBaSRCPAccessoireClient::DoSetInfoData(const TSRCPCmd& cmd)
{
    TSRCPCustomAccessoire::DoSetInfoData(cmd);
    if (EventMode() != semExact && !SetGetActiv())
        FSolenoid->SetProtocol(nullptr);
    FSolenoid->SetAddress(FAddress);
    FSolenoid->SetPorts(FPort, FValue);
}

void TMoBaSRCPAccessoireClient::DoSetInitData(const TSRCPCmd& cmd)
{
    TSRCPCustomAccessoire::DoSetInitData(cmd);
    FSolenoid->SetProtocol(SRCPToMoBaSolenoidProtocol(FProtocol, FSubProtocol, FAddress, Bus()));
    FSolenoid->SetAddress(FAddress);
}

void TMoBaSRCPAccessoireClient::DoSetTermData(const TSRCPCmd& cmd)
{
    TSRCPCustomAccessoire::DoSetTermData(cmd);
    if (EventMode() != semExact)
        FSolenoid->SetProtocol(nullptr);
    FSolenoid->SetAddress(FAddress);
}

void TMoBaSRCPAccessoireClient::DoSetLockData(const TSRCPDeviceLock& lock)
{
    TSRCPCustomAccessoire::DoSetLockData(lock);
    FSolenoid->SetAddress(FAddress);
    FSolenoid->SetLocked(true);
    FSolenoid->SetLockID(lock.SessionID());
}

void TMoBaSRCPAccessoireClient::DoSetUnlockData(const TSRCPDeviceLock& lock)
{
    TSRCPCustomAccessoire::DoSetUnlockData(lock);
    FSolenoid->SetAddress(FAddress);
    FSolenoid->SetLocked(false);
    FSolenoid->SetLockID(0);
}

// ---- feedback device group ------------------------------------------------------------------

void TMoBaSRCPFeedbackClient::DoSetInfoData(const TSRCPCmd& cmd)
{
    TSRCPCustomFeedback::DoSetInfoData(cmd);
    const auto count = static_cast<std::size_t>(ContactCount());
    while (FFBList.size() > count)
        FFBList.pop_back();
    while (FFBList.size() < count) {
        auto fb = std::make_unique<TMoBaSRCPFeedback>();
        fb->SetBus(FBusNumber);
        fb->SetAddress(static_cast<std::int32_t>(FFBList.size()) + 1);
        FFBList.push_back(std::move(fb));
    }
    if (FAddress >= 1 && FAddress <= static_cast<std::int32_t>(FFBList.size())) {
        TMoBaSRCPFeedback& fb = *FFBList[static_cast<std::size_t>(FAddress - 1)];
        fb.SetValue(Contacts(FAddress - 1));
        fb.SetTimeStamp(ContactTimeStamp(FAddress - 1));
    }
}

// ---- loco group -----------------------------------------------------------------------------

TMoBaSRCPLocos::TMoBaSRCPLocos(TMoBaSRCPBus& bus) : FBus(bus)
{
    FSRCPLoco.SetCommandClient(&bus.CmdClnt());
    FSRCPLoco.SetInfoClient(&bus.InfoClnt());
    FSRCPLoco.SetBus(bus.BusNumber());
    FSRCPLoco.SetEventMode(semBus);
    FSRCPLoco.SetOnInit([this](TSRCPBaseDeviceGroup&) { HandleOnInit(); });
    FSRCPLoco.SetOnChange([this](TSRCPBaseDeviceGroup&) { HandleOnChange(); });
    FSRCPLoco.SetOnTerm([this](TSRCPBaseDeviceGroup&) { HandleOnTerm(); });
    FSRCPLoco.SetOnLock([this](TSRCPBaseDeviceGroup&) { HandleLockUnlock(); });
    FSRCPLoco.SetOnUnlock([this](TSRCPBaseDeviceGroup&) { HandleLockUnlock(); });
}

TMoBaSRCPLocos::~TMoBaSRCPLocos() { ClearLocoList(); }

std::int32_t TMoBaSRCPLocos::Bus() const { return FBus.BusNumber(); }

bool TMoBaSRCPLocos::Add(const TMoBaAdvancedLoco& loco)
{
    FSRCPLoco.SetLoco(loco);
    FSRCPLoco.SetBus(Bus());
    FSRCPLoco.Initalize();
    return FSRCPLoco.SetData();
}

bool TMoBaSRCPLocos::Announce(const TMoBaAdvancedLoco& loco)
{
    FSRCPLoco.SetLoco(loco);
    FSRCPLoco.SetBus(Bus());
    FSRCPLoco.Initalize();
    return FSRCPLoco.DeviceState() != sdsTerminated;
}

bool TMoBaSRCPLocos::Ask(std::int32_t address)
{
    TSRCPCommandClient& client = FBus.CmdClnt();
    TSRCPCmd cmd;
    cmd.SetInvalid();
    cmd.SetSRCPVersion(client.Version());
    cmd.SetDeviceGroup(dgLoco);
    cmd.SetCommandType(ctGet);
    cmd.SetBus(Bus());
    cmd.SetDevAddress(address);
    client.SendCommand(cmd);
    if (cmd.IsErrorCmd() || !client.ReceiveAnswer(cmd) || cmd.DeviceGroup() != dgLoco || cmd.DevAddress() != address)
        return false;
    FSRCPLoco.SetDataAnswer(cmd);
    return true;
}

bool TMoBaSRCPLocos::Change(const TMoBaAdvancedLoco& loco)
{
    FSRCPLoco.SetLoco(loco);
    FSRCPLoco.SetBus(Bus());
    return FSRCPLoco.SetData();
}

TMoBaSRCPLoco* TMoBaSRCPLocos::Locos(std::int32_t address) const
{
    for (const auto& l : FLocoList)
        if (l->Address() == address)
            return l.get();
    return nullptr;
}

TMoBaSRCPLoco& TMoBaSRCPLocos::Listed(std::int32_t address)
{
    if (TMoBaSRCPLoco* l = Locos(address))
        return *l;
    FLocoList.push_back(std::make_unique<TMoBaSRCPLoco>());
    FLocoList.back()->SetAddress(address);
    return *FLocoList.back();
}

void TMoBaSRCPLocos::HandleOnInit()
{
    TMoBaAdvancedLoco& src = FSRCPLoco.Loco();
    TMoBaSRCPLoco& l = Listed(FSRCPLoco.Address());
    l.SetProtocol(src.Protocol());
    l.SetAddress(FSRCPLoco.Address());
    l.SetFunctionCount(src.FunctionCount());
    l.SetBus(Bus());
    l.SetSRCPState(l.SRCPState() == mssActivNoRead || l.SRCPState() == mssUninitilized ? mssActivNoRead
                                                                                       : mssInitialized);
    FBus.SRCPClnt().DoLocoInitEvent(l);
}

void TMoBaSRCPLocos::HandleOnChange()
{
    TMoBaAdvancedLoco& src = FSRCPLoco.Loco();
    TMoBaSRCPLoco& l = Listed(FSRCPLoco.Address());
    if (l.SRCPState() == mssTerminated)
        l.SetProtocol(nullptr);
    const double stamp = FSRCPLoco.TimeStamps(ststData);
    if (stamp == 0 || stamp > l.TimeStamp()) {
        l.SetAddress(FSRCPLoco.Address());
        l.SetFunctionCount(src.FunctionCount());
        for (int i = 0; i < l.FunctionCount() && i < src.FunctionCount(); ++i)
            l.SetFunctions(static_cast<std::uint16_t>(i), src.Functions(static_cast<std::uint16_t>(i)));
        l.SetMaxSpeed(src.MaxSpeed());
        l.SetDriveMode(src.DriveMode());
        l.SetSpeedStep(src.SpeedStep());
        l.SetBus(Bus());
        l.SetTimeStamp(stamp);
        l.SetSRCPState(l.SRCPState() == mssInitialized || l.SRCPState() == mssActivNoRead ? mssActivNoRead
                                                                                         : mssUninitilized);
        FBus.SRCPClnt().DoLocoChangeEvent(l);
    }
}

void TMoBaSRCPLocos::HandleOnTerm()
{
    const std::int32_t address = FSRCPLoco.Address();
    for (auto it = FLocoList.begin(); it != FLocoList.end(); ++it) {
        if ((*it)->Address() != address)
            continue;
        std::unique_ptr<TMoBaSRCPLoco> l = std::move(*it);
        FLocoList.erase(it);
        l->SetSRCPState(mssTerminated);
        FBus.SRCPClnt().DoLocoTermEvent(*l);
        return;
    }
}

void TMoBaSRCPLocos::HandleLockUnlock()
{
    TMoBaAdvancedLoco& src = FSRCPLoco.Loco();
    TMoBaSRCPLoco& l = Listed(FSRCPLoco.Address());
    if (l.SRCPState() == mssTerminated) {
        l.SetProtocol(nullptr);
        l.SetSRCPState(mssUninitilized);
    }
    l.SetAddress(FSRCPLoco.Address());
    l.SetLocked(src.Locked());
    l.SetLockID(src.LockID());
    l.SetBus(Bus());
    FBus.SRCPClnt().DoLocoLockUnlockEvent(l);
}

// ---- accessory group ------------------------------------------------------------------------

TMoBaSRCPAccessoires::TMoBaSRCPAccessoires(TMoBaSRCPBus& bus) : FBus(bus)
{
    FSRCPAccessoire.SetCommandClient(&bus.CmdClnt());
    FSRCPAccessoire.SetInfoClient(&bus.InfoClnt());
    FSRCPAccessoire.SetBus(bus.BusNumber());
    FSRCPAccessoire.SetEventMode(semBus);
    FSRCPAccessoire.SetOnInit([this](TSRCPBaseDeviceGroup&) { HandleOnInit(); });
    FSRCPAccessoire.SetOnChange([this](TSRCPBaseDeviceGroup&) { HandleOnChange(); });
    FSRCPAccessoire.SetOnTerm([this](TSRCPBaseDeviceGroup&) { HandleOnTerm(); });
    FSRCPAccessoire.SetOnLock([this](TSRCPBaseDeviceGroup&) { HandleLockUnlock(); });
    FSRCPAccessoire.SetOnUnlock([this](TSRCPBaseDeviceGroup&) { HandleLockUnlock(); });
}

TMoBaSRCPAccessoires::~TMoBaSRCPAccessoires()
{
    ClearAccessoireList();
    ClearAddedList();
}

std::int32_t TMoBaSRCPAccessoires::Bus() const { return FBus.BusNumber(); }

bool TMoBaSRCPAccessoires::Add(const TMoBaAdvancedSolenoid& solenoid)
{
    FSRCPAccessoire.SetSolenoid(solenoid);
    FSRCPAccessoire.SetBus(Bus());
    FSRCPAccessoire.Initalize();
    const bool accepted = FSRCPAccessoire.SetData();
    if (accepted) {
        auto copy = std::make_unique<TMoBaSRCPSolenoid>();
        copy->Assign(solenoid);
        copy->SetBus(Bus());
        FAddedList.push_back(std::move(copy));
    }
    return accepted;
}

bool TMoBaSRCPAccessoires::Change(const TMoBaAdvancedSolenoid& solenoid)
{
    FSRCPAccessoire.SetSolenoid(solenoid);
    FSRCPAccessoire.SetBus(Bus());
    return FSRCPAccessoire.SetData();
}

TMoBaSRCPSolenoid* TMoBaSRCPAccessoires::Solenoids(std::int32_t address) const
{
    for (const auto& s : FAccessoireList)
        if (s->Address() == address)
            return s.get();
    return nullptr;
}

void TMoBaSRCPAccessoires::CopyDelayTime(TMoBaSRCPSolenoid& solenoid)
{
    for (auto it = FAddedList.begin(); it != FAddedList.end(); ++it) {
        if ((*it)->Bus() == solenoid.Bus() && (*it)->Address() == solenoid.Address()) {
            solenoid.SetActivationTime((*it)->ActivationTime());
            FAddedList.erase(it);
            return;
        }
    }
}

void TMoBaSRCPAccessoires::ReadFromIniFile(const TMoBaIniFile& ini)
{
    const std::int32_t delay = ini.ReadInteger(FBus.BusSectionName(), "AccessoireDelayTime", FDefaultDelay);
    if (delay >= 0)  // a negative time would become an endless pulse
        FDefaultDelay = delay;
}

void TMoBaSRCPAccessoires::WriteToIniFile(TMoBaIniFile& ini) const
{
    ini.WriteInteger(FBus.BusSectionName(), "AccessoireDelayTime", FDefaultDelay);
}

TMoBaSRCPSolenoid& TMoBaSRCPAccessoires::Listed(std::int32_t address, bool& created)
{
    created = false;
    if (TMoBaSRCPSolenoid* s = Solenoids(address))
        return *s;
    created = true;
    FAccessoireList.push_back(std::make_unique<TMoBaSRCPSolenoid>());
    FAccessoireList.back()->SetAddress(address);
    return *FAccessoireList.back();
}

void TMoBaSRCPAccessoires::HandleOnInit()
{
    bool created = false;
    TMoBaSRCPSolenoid& s = Listed(FSRCPAccessoire.Address(), created);
    if (created)
        s.SetActivationTime(static_cast<std::uint32_t>(FDefaultDelay));
    s.SetProtocol(FSRCPAccessoire.Solenoid().Protocol());
    s.SetAddress(FSRCPAccessoire.Address());
    s.SetBus(Bus());
    s.SetSRCPState(s.SRCPState() == mssActivNoRead || s.SRCPState() == mssUninitilized ? mssActivNoRead
                                                                                       : mssInitialized);
    FBus.SRCPClnt().DoAccessoireInitEvent(s);
}

void TMoBaSRCPAccessoires::HandleOnChange()
{
    bool created = false;
    TMoBaSRCPSolenoid& s = Listed(FSRCPAccessoire.Address(), created);
    if (created)
        s.SetActivationTime(static_cast<std::uint32_t>(FDefaultDelay));
    if (s.SRCPState() == mssTerminated)
        s.SetProtocol(nullptr);
    const int port = FSRCPAccessoire.Port();
    const double stamp = FSRCPAccessoire.TimeStamps(ststData);
    if (stamp == 0 || stamp > s.TimeStamps(port)) {
        s.SetAddress(FSRCPAccessoire.Address());
        s.SetPorts(port, FSRCPAccessoire.Value());
        s.SetBus(Bus());
        CopyDelayTime(s);
        int latest = s.ActivePort();
        for (int p = 0; p < s.PortCount(); ++p)
            if (s.TimeStamps(p) > s.TimeStamps(latest))
                latest = p;
        if (latest != s.ActivePort() && latest >= 0 && latest < s.PortCount())
            s.SetPorts(latest, s.Ports(latest));
    }
    s.SetBus(Bus());
    s.SetSRCPState(s.SRCPState() == mssInitialized || s.SRCPState() == mssActivNoRead ? mssActivNoRead
                                                                                     : mssUninitilized);
    FBus.SRCPClnt().DoAccessoireChangeEvent(s);
}

void TMoBaSRCPAccessoires::HandleOnTerm()
{
    const std::int32_t address = FSRCPAccessoire.Address();
    for (auto it = FAccessoireList.begin(); it != FAccessoireList.end(); ++it) {
        if ((*it)->Address() != address)
            continue;
        std::unique_ptr<TMoBaSRCPSolenoid> s = std::move(*it);
        FAccessoireList.erase(it);
        s->SetSRCPState(mssTerminated);
        FBus.SRCPClnt().DoAccessoireTermEvent(*s);
        return;
    }
}

void TMoBaSRCPAccessoires::HandleLockUnlock()
{
    bool created = false;
    TMoBaSRCPSolenoid& s = Listed(FSRCPAccessoire.Address(), created);
    if (s.SRCPState() == mssTerminated) {
        s.SetProtocol(nullptr);
        s.SetSRCPState(mssUninitilized);
    }
    s.SetAddress(FSRCPAccessoire.Address());
    s.SetLocked(FSRCPAccessoire.Solenoid().Locked());
    s.SetLockID(FSRCPAccessoire.Solenoid().LockID());
    s.SetBus(Bus());
    FBus.SRCPClnt().DoAccessoireLockUnlockEvent(s);
}

// ---- feedback group -------------------------------------------------------------------------

TMoBaSRCPFeedbacks::TMoBaSRCPFeedbacks(TMoBaSRCPBus& bus) : FBus(bus), FSRCPFeedback(bus.BusNumber())
{
    FSRCPFeedback.SetCommandClient(&bus.CmdClnt());
    FSRCPFeedback.SetInfoClient(&bus.InfoClnt());
    FSRCPFeedback.SetBus(bus.BusNumber());
    FSRCPFeedback.SetEventMode(semBus);
    FSRCPFeedback.SetOnChange([this](TSRCPBaseDeviceGroup&) { HandleOnChange(); });
    FSRCPFeedback.SetOnInit([this](TSRCPBaseDeviceGroup&) { HandleInitTerm(true); });
    FSRCPFeedback.SetOnTerm([this](TSRCPBaseDeviceGroup&) { HandleInitTerm(false); });
}

TMoBaSRCPFeedbacks::~TMoBaSRCPFeedbacks() = default;

std::int32_t TMoBaSRCPFeedbacks::Bus() const { return FBus.BusNumber(); }

void TMoBaSRCPFeedbacks::ReadFromIniFile(const TMoBaIniFile& ini)
{
    const std::string text = ini.ReadString(FBus.BusSectionName(), "FeedbackInitString", InitString());
    if (!text.empty())
        SetInitString(text);
}

void TMoBaSRCPFeedbacks::WriteToIniFile(TMoBaIniFile& ini) const
{
    ini.WriteString(FBus.BusSectionName(), "FeedbackInitString", InitString());
}

void TMoBaSRCPFeedbacks::HandleOnChange()
{
    const std::int32_t address = FSRCPFeedback.Address();
    if (address < 1 || address > FSRCPFeedback.Count())
        return;
    FBus.SRCPClnt().DoFeedbackChangeEvent(FSRCPFeedback.Feedbacks(address - 1));
}

void TMoBaSRCPFeedbacks::HandleInitTerm(bool init)
{
    TMoBaSRCPFeedback temp;  // address 0
    temp.SetBus(Bus());
    temp.SetValue(-1);
    if (init)
        FBus.SRCPClnt().DoFeedbackInitEvent(temp);
    else
        FBus.SRCPClnt().DoFeedbackTermEvent(temp);
}
