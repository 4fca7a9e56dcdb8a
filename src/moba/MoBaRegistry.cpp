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
    for (const TMoBaDefaultLocoProtocolSpec& spec : MoBaDefaultLocoProtocolSpecification) {
        auto p = std::make_unique<TMoBaLocoProtocol>();
        p->SetProtocolBase(spec.ProtocolBase);
        p->SetProtocolExtension(spec.ProtocolExtension);
        p->SetName(spec.Name);
        p->SetDescription(spec.Description);
        p->SetMaxAddress(spec.MaxAddress);
        p->SetGroups({});
        p->SetMaxFunctions(spec.MaxFunctions);
        p->SetMinSteps(spec.MinSteps);
        p->SetMaxSteps(spec.MaxSteps);
        MoBaLocoProtocols->Add(std::move(p));
    }
    MoBaSolenoidProtocols->Clear();
    for (const TMoBaDefaultSolenoidProtocolSpec& spec : MoBaDefaultSolenoidProtocolSpecification) {
        auto p = std::make_unique<TMoBaSolenoidProtocol>();
        p->SetProtocolBase(spec.ProtocolBase);
        p->SetProtocolExtension(spec.ProtocolExtension);
        p->SetName(spec.Name);
        p->SetDescription(spec.Description);
        p->SetMaxAddress(spec.MaxAddress);
        p->SetGroups({});
        p->SetMaxPort(spec.MaxPort);
        p->SetMaxValue(spec.MaxValue);
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
