// The process-wide objects of the device model: the profile manager and the two protocol registries.
// They are created when the program starts (the manager first, which scans the current directory for
// profiles) and freed when it ends, in reverse order.

#include "moba/MoBaProfiles.h"
#include "moba/MoBaProtocolLists.h"

TMoBaProfiles* MoBaProfiles = nullptr;
TMoBaLocoProtocolList* MoBaLocoProtocols = nullptr;
TMoBaSolenoidProtocolList* MoBaSolenoidProtocols = nullptr;

void LoadDefaultProtocolSettings()
{
    MoBaLocoProtocols->Clear();
    for (const TMoBaDefaultLocoProtocolSpec& row : MoBaDefaultLocoProtocolSpecification) {
        auto p = std::make_unique<TMoBaLocoProtocol>();
        p->SetProtocolBase(row.ProtocolBase);
        p->SetProtocolExtension(row.ProtocolExtension);
        p->SetName(row.Name);
        p->SetDescription(row.Description);
        p->SetMaxAddress(row.MaxAddress);
        p->SetGroups({});
        p->SetMaxFunctions(row.MaxFunctions);
        p->SetMinSteps(row.MinSteps);
        p->SetMaxSteps(row.MaxSteps);
        MoBaLocoProtocols->Add(std::move(p));
    }
    MoBaSolenoidProtocols->Clear();
    for (const TMoBaDefaultSolenoidProtocolSpec& row : MoBaDefaultSolenoidProtocolSpecification) {
        auto p = std::make_unique<TMoBaSolenoidProtocol>();
        p->SetProtocolBase(row.ProtocolBase);
        p->SetProtocolExtension(row.ProtocolExtension);
        p->SetName(row.Name);
        p->SetDescription(row.Description);
        p->SetMaxAddress(row.MaxAddress);
        p->SetGroups({});
        p->SetMaxPort(row.MaxPort);
        p->SetMaxValue(row.MaxValue);
        MoBaSolenoidProtocols->Add(std::move(p));
    }
}

namespace {

struct TMoBaModule {
    TMoBaModule()
    {
        MoBaProfiles = new TMoBaProfiles;
        MoBaLocoProtocols = new TMoBaLocoProtocolList;
        MoBaSolenoidProtocols = new TMoBaSolenoidProtocolList;
        LoadDefaultProtocolSettings();
    }
    ~TMoBaModule()
    {
        delete MoBaSolenoidProtocols;
        MoBaSolenoidProtocols = nullptr;
        delete MoBaLocoProtocols;
        MoBaLocoProtocols = nullptr;
        delete MoBaProfiles;
        MoBaProfiles = nullptr;
    }
};

const TMoBaModule module;

}  // namespace
