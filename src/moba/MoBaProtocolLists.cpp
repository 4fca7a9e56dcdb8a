#include "moba/MoBaProtocolLists.h"

#include <stdexcept>

TMoBaBaseProtocolList::TMoBaBaseProtocolList(std::string Protocol, std::string Protocols)
    : FProtocol(std::move(Protocol)), FProtocols(std::move(Protocols))
{
    FProfileItem.SetOnClear([this](TMoBaProfileItem&) { DoProfileClear(); });
    FProfileItem.SetOnLoad([this](TMoBaProfileItem&) { DoProfileLoad(); });
    FProfileItem.SetOnSave([this](TMoBaProfileItem&) { DoProfileSave(); });
    FProfileItem.SetOnChangeQuery([this](TMoBaProfileItem&, bool& changed) { DoChangeQuery(changed); });
    FProfileItem.SetOnResetChanges([this](TMoBaProfileItem&) { DoResetChanges(); });
}

TMoBaBaseProtocolList::~TMoBaBaseProtocolList()
{
    FProfileItem.SetActive(false);
}

TMoBaBaseProtocol* TMoBaBaseProtocolList::Items(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw std::out_of_range("List index out of bounds (" + std::to_string(Index) + ")");
    return FList[static_cast<std::size_t>(Index)].get();
}

int TMoBaBaseProtocolList::IndexOf(const TMoBaBaseProtocol* AProt) const
{
    for (int i = 0; i < Count(); ++i)
        if (FList[static_cast<std::size_t>(i)].get() == AProt)
            return i;
    return -1;
}

int TMoBaBaseProtocolList::Add(std::unique_ptr<TMoBaBaseProtocol> AProt)
{
    if (!AProt || !Accepts(*AProt))
        throw std::invalid_argument("protocol of the wrong class for " + FProtocols);
    FList.push_back(std::move(AProt));
    FChanged = true;
    return Count() - 1;
}

void TMoBaBaseProtocolList::Delete(int Index)
{
    Items(Index);  // raises for an index outside the list
    FList.erase(FList.begin() + Index);
}

std::unique_ptr<TMoBaBaseProtocol> TMoBaBaseProtocolList::Extract(const TMoBaBaseProtocol* AProt)
{
    const int i = IndexOf(AProt);
    if (i < 0)
        return nullptr;
    std::unique_ptr<TMoBaBaseProtocol> p = std::move(FList[static_cast<std::size_t>(i)]);
    FList.erase(FList.begin() + i);
    return p;
}

void TMoBaBaseProtocolList::Clear()
{
    FList.clear();
}

void TMoBaBaseProtocolList::RemoveProtocolsInFile(TMoBaIniFile& Ini) const
{
    for (const std::string& key : Ini.ReadSection(FProtocols))
        if (key.compare(0, FProtocol.size(), FProtocol) == 0)
            Ini.EraseSection(key);
    Ini.EraseSection(FProtocols);
}

void TMoBaBaseProtocolList::WriteProtocolListToFile(TMoBaIniFile& Ini) const
{
    for (int i = 0; i < Count(); ++i)
        Ini.WriteString(FProtocols, ProtocolNo(i), "");
}

void TMoBaBaseProtocolList::WriteProtocolsToFile(TMoBaIniFile& Ini) const
{
    for (int i = 0; i < Count(); ++i)
        FList[static_cast<std::size_t>(i)]->WriteToIniFile(Ini, ProtocolNo(i));
}

void TMoBaBaseProtocolList::ReadProtocolsFromFile(const TMoBaIniFile& Ini)
{
    for (const std::string& key : Ini.ReadSection(FProtocols)) {
        if (key.compare(0, FProtocol.size(), FProtocol) != 0)
            continue;
        std::unique_ptr<TMoBaBaseProtocol> prot = CreateProtocol();
        prot->ReadFromIniFile(Ini, key);
        Add(std::move(prot));
    }
}

void TMoBaBaseProtocolList::SaveToIniFile(TMoBaIniFile& Ini)
{
    RemoveProtocolsInFile(Ini);
    WriteProtocolListToFile(Ini);
    WriteProtocolsToFile(Ini);
    FChanged = false;
}

void TMoBaBaseProtocolList::LoadFromIniFile(const TMoBaIniFile& Ini)
{
    Clear();
    ReadProtocolsFromFile(Ini);
    FChanged = false;
}

void TMoBaBaseProtocolList::DoProfileClear()
{
    Clear();
    FChanged = false;
}

void TMoBaBaseProtocolList::DoProfileLoad()
{
    if (TMoBaIniFile* ini = FProfileItem.IniFile())
        LoadFromIniFile(*ini);
}

void TMoBaBaseProtocolList::DoProfileSave()
{
    if (TMoBaIniFile* ini = FProfileItem.IniFile())
        SaveToIniFile(*ini);
}

// --- typed lists ---

std::unique_ptr<TMoBaBaseProtocol> TMoBaLocoProtocolList::CreateProtocol() const
{
    return std::make_unique<TMoBaLocoProtocol>();
}

TMoBaLocoProtocol* TMoBaLocoProtocolList::Items(int Index) const
{
    return static_cast<TMoBaLocoProtocol*>(TMoBaBaseProtocolList::Items(Index));
}

bool TMoBaLocoProtocolList::Accepts(const TMoBaBaseProtocol& AProt) const
{
    return dynamic_cast<const TMoBaLocoProtocol*>(&AProt) != nullptr;
}

std::unique_ptr<TMoBaBaseProtocol> TMoBaSolenoidProtocolList::CreateProtocol() const
{
    return std::make_unique<TMoBaSolenoidProtocol>();
}

TMoBaSolenoidProtocol* TMoBaSolenoidProtocolList::Items(int Index) const
{
    return static_cast<TMoBaSolenoidProtocol*>(TMoBaBaseProtocolList::Items(Index));
}

bool TMoBaSolenoidProtocolList::Accepts(const TMoBaBaseProtocol& AProt) const
{
    return dynamic_cast<const TMoBaSolenoidProtocol*>(&AProt) != nullptr;
}
