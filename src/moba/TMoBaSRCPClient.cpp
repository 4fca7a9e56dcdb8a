#include "moba/TMoBaSRCPClient.h"

#include "moba/TMoBaSRCPGroups.h"

#include <stdexcept>

// ---- power ----------------------------------------------------------------------------------

namespace {

void joinGroup(TSRCPBaseDeviceGroup& g, TMoBaSRCPBus& bus)
{
    g.SetCommandClient(&bus.CmdClnt());
    g.SetInfoClient(&bus.InfoClnt());
    g.SetBus(bus.BusNumber());
    g.SetEventMode(semBus);
}

} // namespace

TMoBaSRCPPower::TMoBaSRCPPower(TMoBaSRCPBus& bus) : FBus(bus)
{
    joinGroup(FPower, bus);
    TMoBaSRCPClient& c = bus.SRCPClnt();
    FPower.SetOnChange([this, &c](TSRCPBaseDeviceGroup&) { c.DoBusPowerEvent(FBus); });
    FPower.SetOnInit([this](TSRCPBaseDeviceGroup&) { HandleOnInit(); });
    auto config = [this, &c](TSRCPBaseDeviceGroup&) { c.DoBusConfigChange(FBus); };
    FPower.SetOnTerm(config);
    FPower.SetOnLock(config);
    FPower.SetOnUnlock(config);
    Update();
}

TMoBaSRCPPower::~TMoBaSRCPPower() = default;

bool TMoBaSRCPPower::SetPowerOn(bool on)
{
    FPower.SetPowerOn(on);
    return FPower.SetData();
}

void TMoBaSRCPPower::HandleOnInit()
{
    if (FBus.AutoPowerOn()) {
        Update();
        if (!PowerOn())
            SetPowerOn(true);
    }
    FBus.SRCPClnt().DoBusConfigChange(FBus);
}

// ---- time -----------------------------------------------------------------------------------

TMoBaSRCPTime::TMoBaSRCPTime(TMoBaSRCPBus& bus) : FBus(bus)
{
    joinGroup(FTime, bus);
    TMoBaSRCPClient& c = bus.SRCPClnt();
    FTime.SetOnChange([&c](TSRCPBaseDeviceGroup&) { c.DoTimeChangeEvent(); });
    FTime.SetOnInit([&c](TSRCPBaseDeviceGroup&) { c.DoTimeInitEvent(); });
    FTime.SetOnTerm([&c](TSRCPBaseDeviceGroup&) { c.DoTimeTermEvent(); });
}

TMoBaSRCPTime::~TMoBaSRCPTime() = default;

void TMoBaSRCPTime::ReadFromIniFile(const TMoBaIniFile& ini)
{
    const std::string section = FBus.BusSectionName();
    SetMultiplicator(ini.ReadInteger(section, "TimeMultiplicator", 1));
    SetDivisor(ini.ReadInteger(section, "TimeDivisor", 1));
}

void TMoBaSRCPTime::WriteToIniFile(TMoBaIniFile& ini) const
{
    const std::string section = FBus.BusSectionName();
    ini.WriteInteger(section, "TimeMultiplicator", Multiplicator());
    ini.WriteInteger(section, "TimeDivisor", Divisor());
}

// ---- bus ------------------------------------------------------------------------------------

TMoBaSRCPBus::TMoBaSRCPBus(TMoBaSRCPClient& owner, const TSRCPCustomDescription* description)
    : FSRCPClnt(owner)
{
    if (description) {
        FBusNumber = description->Bus();
        for (int i = 0; i < description->DeviceGroupsCount(); ++i)
            InterpreteDevGroup(description->DeviceGroups(i));
    } else {
        FBusNumber = owner.BusCount();
        if (owner.CmdClnt().Connected())
            QueryDescription();
    }
}

TMoBaSRCPBus::~TMoBaSRCPBus()
{
    TMoBaIniFile* ini = FSRCPClnt.ProfileIniFile();
    FPower.reset();
    FLocos.reset();
    if (ini && FAccessoires)
        FAccessoires->WriteToIniFile(*ini);
    FAccessoires.reset();
    if (ini && FFeedbacks)
        FFeedbacks->WriteToIniFile(*ini);
    FFeedbacks.reset();
    if (ini && FTime)
        FTime->WriteToIniFile(*ini);
    FTime.reset();
}

void TMoBaSRCPBus::ReadFromIniFile(const TMoBaIniFile& ini)
{
    if (FTime)
        FTime->ReadFromIniFile(ini);
    if (FAccessoires)
        FAccessoires->ReadFromIniFile(ini);
    if (FFeedbacks)
        FFeedbacks->ReadFromIniFile(ini);
}

void TMoBaSRCPBus::WriteToIniFile(TMoBaIniFile& ini) const
{
    if (FTime)
        FTime->WriteToIniFile(ini);
    if (FAccessoires)
        FAccessoires->WriteToIniFile(ini);
    if (FFeedbacks)
        FFeedbacks->WriteToIniFile(ini);
}

bool TMoBaSRCPBus::AutoPowerOn() const { return FSRCPClnt.AutoPowerOn(); }
TSRCPCommandClient& TMoBaSRCPBus::CmdClnt() const { return FSRCPClnt.CmdClnt(); }
TSRCPInfoClient& TMoBaSRCPBus::InfoClnt() const { return FSRCPClnt.InfoClnt(); }

void TMoBaSRCPBus::QueryDescription()
{
    TSRCPDescription query;
    query.SetCommandClient(&CmdClnt());
    query.SetBus(FBusNumber);
    if (!query.GetData())
        return;
    for (int i = 0; i < query.DeviceGroupsCount(); ++i)
        InterpreteDevGroup(query.DeviceGroups(i));
    if (query.DeviceGroupsCount() > 0)
        FInvalid = false;
}

void TMoBaSRCPBus::InterpreteDevGroup(TSRCPDeviceGroup group)
{
    switch (group) {
    case dgFeedback:
        if (!FFeedbacks) {
            FFeedbacks = std::make_unique<TMoBaSRCPFeedbacks>(*this);
            if (const TMoBaIniFile* ini = FSRCPClnt.ProfileIniFile())
                FFeedbacks->ReadFromIniFile(*ini);
        }
        break;
    case dgAccessoire:
        if (!FAccessoires) {
            FAccessoires = std::make_unique<TMoBaSRCPAccessoires>(*this);
            if (const TMoBaIniFile* ini = FSRCPClnt.ProfileIniFile())
                FAccessoires->ReadFromIniFile(*ini);
        }
        break;
    case dgLoco:
        if (!FLocos)
            FLocos = std::make_unique<TMoBaSRCPLocos>(*this);
        break;
    case dgPower:
        if (!FPower)
            FPower = std::make_unique<TMoBaSRCPPower>(*this);
        break;
    case dgTime:
        if (!FTime) {
            FTime = std::make_unique<TMoBaSRCPTime>(*this);
            if (const TMoBaIniFile* ini = FSRCPClnt.ProfileIniFile())
                FTime->ReadFromIniFile(*ini);
        }
        break;
    default:
        break;
    }
    FInvalid = false;
}

void TMoBaSRCPBus::SetEmergencyStop(bool on)
{
    if (FLocos) {
        for (int i = 0; i < FLocos->Count(); ++i) {
            TMoBaSRCPLoco& loco = FLocos->Items(i);
            if (on) {
                loco.SetDriveMode(mdmEmergencyStop);
                FLocos->Change(loco);
            } else if (loco.DriveMode() == mdmEmergencyStop) {
                loco.SetDriveMode(mdmNext);
                FLocos->Change(loco);
            }
            if (!FLocos)  // the connection ended meanwhile
                break;
        }
    }
    FEmergencyStop = on;
}

// ---- client ---------------------------------------------------------------------------------

TMoBaSRCPClient::TMoBaSRCPClient(TSRCPExecutor executor)
    : FExecutor(executor), FAlive(std::make_shared<TMoBaSRCPClient*>(this)),
      FInfoClnt(std::make_unique<TSRCPInfoClient>(std::move(executor)))
{
    FCmdClnt.SetOnDisconnected([this](TSRCPBaseClient&) { HandleDisconnect(); });
    FInfoClnt->SetOnDisconnected([this](TSRCPBaseClient&) { HandleDisconnect(); });
    FProfileItem.SetOnLoad([this](TMoBaProfileItem&) {
        if (const TMoBaIniFile* ini = ProfileIniFile())
            ReadFromIniFile(*ini);
    });
    FProfileItem.SetOnSave([this](TMoBaProfileItem&) {
        if (TMoBaIniFile* ini = ProfileIniFile())
            WriteToIniFile(*ini);
    });
}

TMoBaSRCPClient::~TMoBaSRCPClient()
{
    *FAlive = nullptr;
    FCmdClnt.SetOnDisconnected({});
    FInfoClnt->SetOnDisconnected({});
    OnDisconnect = nullptr;
    Disconnect();
}

TMoBaIniFile* TMoBaSRCPClient::ProfileIniFile() const
{
    if (!FProfileItem.Active() || !MoBaProfiles || MoBaProfiles->ActiveProfileIndex() < 0)
        return nullptr;
    return FProfileItem.IniFile();
}

void TMoBaSRCPClient::ReadFromIniFile(const TMoBaIniFile& ini)
{
    for (const auto& bus : FBusList)
        bus->ReadFromIniFile(ini);
}

void TMoBaSRCPClient::WriteToIniFile(TMoBaIniFile& ini) const
{
    for (const auto& bus : FBusList)
        bus->WriteToIniFile(ini);
}

void TMoBaSRCPClient::SetHost(const std::string& host)
{
    FCmdClnt.SetHost(host);
    FInfoClnt->SetHost(host);
}

void TMoBaSRCPClient::SetPort(int port)
{
    FCmdClnt.SetPort(port);
    FInfoClnt->SetPort(port);
}

void TMoBaSRCPClient::SetLogEnabled(bool on)
{
    FCmdClnt.SetLogEnabled(on);
    FInfoClnt->SetLogEnabled(on);
}

void TMoBaSRCPClient::SetAnswerTimeoutMs(int ms)
{
    FCmdClnt.SetAnswerTimeoutMs(ms);
    FInfoClnt->SetAnswerTimeoutMs(ms);
}

TMoBaSRCPBus& TMoBaSRCPClient::Busses(int index) const
{
    if (index < 0 || index >= BusCount())
        throw std::out_of_range("list index out of bounds (" + std::to_string(index) + ")");
    return *FBusList[static_cast<std::size_t>(index)];
}

TMoBaSRCPBus* TMoBaSRCPClient::BusByNumber(std::int32_t number) const
{
    for (const auto& b : FBusList)
        if (b->BusNumber() == number)
            return b.get();
    return nullptr;
}

void TMoBaSRCPClient::SetEmergencyStop(bool on)
{
    for (std::size_t i = 0; i < FBusList.size(); ++i)
        FBusList[i]->SetEmergencyStop(on);
}

void TMoBaSRCPClient::Connect()
{
    if (FConnected)
        Disconnect();
    ++FGeneration;
    FConnected = true;
    FConnecting = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{FConnecting};
    try {
        FCmdClnt.Connect();
    } catch (...) {
        Disconnect();
        throw;
    }
    if (!FCmdClnt.Connected()) {
        Disconnect();
        return;
    }
    CreateBusses();
    try {
        FInfoClnt->Connect();
    } catch (const std::exception&) {
        // an info session that cannot be opened ends the attempt without an error
    }
    if (!FInfoClnt->Connected() || !FCmdClnt.Connected())
        Disconnect();
}

bool TMoBaSRCPClient::AskServer()
{
    if (!FConnected || !FCmdClnt.Connected())
        return false;
    TSRCPCmd cmd;
    cmd.SetInvalid();
    cmd.SetSRCPVersion(FCmdClnt.Version());
    cmd.SetDeviceGroup(dgServer);
    cmd.SetCommandType(ctGet);
    cmd.SetBus(0);
    FCmdClnt.SendCommand(cmd);
    if (cmd.IsErrorCmd())
        return false;  // nothing was sent
    FCmdClnt.ReceiveAnswer(cmd);  // an error answer is an answer too
    return FCmdClnt.Connected();
}

void TMoBaSRCPClient::Disconnect()
{
    FDisconnecting = true;
    CloseSessions();
    FreeBusses();
    FConnected = false;
    FDisconnecting = false;
}

void TMoBaSRCPClient::CloseSessions()
{
    if (FInfoClnt->Connected())
        FInfoClnt->Disconnect();
    else
        FInfoClnt->Disconnect();  // also reaps a reader that ended on its own
    if (FCmdClnt.Connected())
        FCmdClnt.Disconnect();
}

void TMoBaSRCPClient::FreeBusses()
{
    while (!FBusList.empty())
        FBusList.pop_back();
    FDescription.reset();
}

void TMoBaSRCPClient::HandleDisconnect()
{
    if (!FConnected)
        return;
    if (FConnecting)
        return;  // the attempt fails; Connect reports it
    FConnected = false;
    if (FDisconnecting) {
        if (OnDisconnect)
            OnDisconnect(*this);
        return;  // Disconnect closes and frees the rest
    }
    // A session ended by itself, possibly under a command that still waits in a group of a bus:
    // the rest is done once that call has returned.
    std::weak_ptr<TMoBaSRCPClient*> alive = FAlive;
    const std::uint64_t generation = FGeneration;
    FExecutor([alive, generation] {
        auto holder = alive.lock();
        TMoBaSRCPClient* self = holder ? *holder : nullptr;
        if (!self || self->FGeneration != generation || self->FConnected)
            return;
        self->FDisconnecting = true;
        self->CloseSessions();
        self->FreeBusses();
        self->FDisconnecting = false;
        if (self->OnDisconnect)
            self->OnDisconnect(*self);
    });
}

void TMoBaSRCPClient::CreateBusses()
{
    CreateDescription();
    if (!FQueryServer)
        return;
    for (;;) {
        auto bus = std::make_unique<TMoBaSRCPBus>(*this, nullptr);
        if (bus->Invalid() || !FConnected)
            break;
        FBusList.push_back(std::move(bus));
        DoBusInit(*FBusList.back());
    }
}

void TMoBaSRCPClient::CreateDescription()
{
    FDescription = std::make_unique<TSRCPDescription>();
    FDescription->SetCommandClient(&FCmdClnt);
    FDescription->SetInfoClient(FInfoClnt.get());
    FDescription->SetEventMode(semAll);
    FDescription->SetOnChange([this](TSRCPBaseDeviceGroup&) { HandleDescriptionOnChange(); });
}

void TMoBaSRCPClient::HandleDescriptionOnChange()
{
    if (!FDescription || !FConnected)
        return;
    const std::int32_t bus = FDescription->Bus();
    if (bus < 0 || BusByNumber(bus))
        return;  // known already (buses are looked up by number, so a late or skipped one counts too)
    FBusList.push_back(std::make_unique<TMoBaSRCPBus>(*this, FDescription.get()));
    DoBusInit(*FBusList.back());
}

// ---- events ---------------------------------------------------------------------------------

void TMoBaSRCPClient::ClearEvents()
{
    OnBusInit = OnBusConfigChange = OnBusPowerChange = nullptr;
    OnLocoInit = OnLocoTerm = OnLocoChange = OnLocoLock = OnLocoUnlock = nullptr;
    OnAccessoireInit = OnAccessoireTerm = OnAccessoireChange = OnAccessoireLock = OnAccessoireUnlock = nullptr;
    OnFeedbackInit = OnFeedbackTerm = OnFeedbackChange = nullptr;
    OnTimeInit = OnTimeTerm = OnTimeChange = nullptr;
    OnDisconnect = OnConnected = nullptr;
    FCmdClnt.SetOnLog(nullptr);
    FInfoClnt->SetOnLog(nullptr);
}

void TMoBaSRCPClient::DoBusInit(TMoBaSRCPBus& bus) { if (OnBusInit) OnBusInit(*this, bus); }
void TMoBaSRCPClient::DoBusConfigChange(TMoBaSRCPBus& bus) { if (OnBusConfigChange) OnBusConfigChange(*this, bus); }
void TMoBaSRCPClient::DoBusPowerEvent(TMoBaSRCPBus& bus) { if (OnBusPowerChange) OnBusPowerChange(*this, bus); }
void TMoBaSRCPClient::DoLocoInitEvent(TMoBaSRCPLoco& l) { if (OnLocoInit) OnLocoInit(*this, l); }
void TMoBaSRCPClient::DoLocoTermEvent(TMoBaSRCPLoco& l) { if (OnLocoTerm) OnLocoTerm(*this, l); }
void TMoBaSRCPClient::DoLocoChangeEvent(TMoBaSRCPLoco& l) { if (OnLocoChange) OnLocoChange(*this, l); }
void TMoBaSRCPClient::DoLocoLockUnlockEvent(TMoBaSRCPLoco& l)
{
    const TMoBaSRCPLocoEvent& e = l.Locked() ? OnLocoLock : OnLocoUnlock;
    if (e)
        e(*this, l);
}
void TMoBaSRCPClient::DoAccessoireInitEvent(TMoBaSRCPSolenoid& s) { if (OnAccessoireInit) OnAccessoireInit(*this, s); }
void TMoBaSRCPClient::DoAccessoireTermEvent(TMoBaSRCPSolenoid& s) { if (OnAccessoireTerm) OnAccessoireTerm(*this, s); }
void TMoBaSRCPClient::DoAccessoireChangeEvent(TMoBaSRCPSolenoid& s) { if (OnAccessoireChange) OnAccessoireChange(*this, s); }
void TMoBaSRCPClient::DoAccessoireLockUnlockEvent(TMoBaSRCPSolenoid& s)
{
    const TMoBaSRCPAccessoireEvent& e = s.Locked() ? OnAccessoireLock : OnAccessoireUnlock;
    if (e)
        e(*this, s);
}
void TMoBaSRCPClient::DoFeedbackInitEvent(TMoBaSRCPFeedback& f) { if (OnFeedbackInit) OnFeedbackInit(*this, f); }
void TMoBaSRCPClient::DoFeedbackTermEvent(TMoBaSRCPFeedback& f) { if (OnFeedbackTerm) OnFeedbackTerm(*this, f); }
void TMoBaSRCPClient::DoFeedbackChangeEvent(TMoBaSRCPFeedback& f) { if (OnFeedbackChange) OnFeedbackChange(*this, f); }
void TMoBaSRCPClient::DoTimeInitEvent() { if (OnTimeInit) OnTimeInit(*this); }
void TMoBaSRCPClient::DoTimeTermEvent() { if (OnTimeTerm) OnTimeTerm(*this); }
void TMoBaSRCPClient::DoTimeChangeEvent() { if (OnTimeChange) OnTimeChange(*this); }
