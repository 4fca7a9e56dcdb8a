#include "moba/MoBaProfiles.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

// --- TMoBaProfileItem ---

TMoBaProfileItem::~TMoBaProfileItem()
{
    SetActive(false);
}

void TMoBaProfileItem::SetActive(bool Value)
{
    if (Value == FActive)
        return;
    if (Value) {
        if (!MoBaProfiles)
            return;
        MoBaProfiles->RegisterProfileItem(this);
    } else if (MoBaProfiles) {
        MoBaProfiles->UnregisterProfileItem(this);
    }
    FActive = Value;
}

TMoBaIniFile* TMoBaProfileItem::IniFile() const
{
    if (!FActive || !MoBaProfiles)
        return nullptr;
    return &MoBaProfiles->IniFile();
}

// --- TMoBaProfile ---

void TMoBaProfile::SetFileName(std::string Value)
{
    FFileName = std::move(Value);
    FOwner.ChangeIniFile();
}

std::string TMoBaProfile::FileNoPath() const
{
    const std::size_t slash = FFileName.find_last_of('/');
    return slash == std::string::npos ? FFileName : FFileName.substr(slash + 1);
}

// --- TMoBaProfiles ---

TMoBaProfiles::TMoBaProfiles()
{
    FActiveProfile = 0;
    SetWorkDir(".");
}

TMoBaProfiles::~TMoBaProfiles()
{
    ClearProfileList();
    UnregisterAllProfileItems();
    FIni.reset();
}

void TMoBaProfiles::SetWorkDir(const std::string& Value)
{
    FWorkDir = Value.empty() ? "./" : Value;
    if (FWorkDir.back() != '/')
        FWorkDir += '/';
    ScanWorkDir();
}

namespace {

bool isProfileName(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return ext == ".mpr";
}

}  // namespace

void TMoBaProfiles::ScanWorkDir()
{
    // A list without an active profile stays without one; the caller selects.
    bool remembered = false;
    bool noneActive = false;
    std::string active;
    if (FProfiles.empty()) {
        FActiveProfile = -1;
    } else if (FActiveProfile >= 0 && FActiveProfile < Count()) {
        active = FProfiles[static_cast<std::size_t>(FActiveProfile)]->FileNoPath();
        remembered = true;
    } else {
        noneActive = true;
    }

    ClearProfileList();

    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(FWorkDir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError))
            continue;
        const std::string name = it->path().filename().string();
        if (isProfileName(name))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        FProfiles.push_back(std::make_unique<TMoBaProfile>(*this));
        FProfiles.back()->SetFileName(FWorkDir + name);
    }

    int index = -1;
    if (FProfiles.empty()) {
        FProfiles.push_back(std::make_unique<TMoBaProfile>(*this));
        FProfiles.back()->SetFileName(FWorkDir + "Default.mpr");
        index = 0;
    } else if (!remembered) {
        index = noneActive ? -1 : 0;
    } else {
        for (int i = 0; i < Count(); ++i)
            if (FProfiles[static_cast<std::size_t>(i)]->FileNoPath() == active) {
                index = i;
                break;
            }
    }
    SetActiveProfileIndex(index);
}

TMoBaProfile& TMoBaProfiles::Profiles(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw std::out_of_range("List index out of bounds (" + std::to_string(Index) + ")");
    return *FProfiles[static_cast<std::size_t>(Index)];
}

void TMoBaProfiles::SetActiveProfileIndex(int Index)
{
    if (Index != -1)
        Profiles(Index);  // raises for an index outside the list
    if (Index == FActiveProfile && (FIni || Index < 0))
        return;
    FActiveProfile = Index;
    ChangeIniFile();
}

TMoBaProfile& TMoBaProfiles::ActiveProfile() const
{
    return Profiles(FActiveProfile);
}

TMoBaIniFile& TMoBaProfiles::IniFile()
{
    if (!FIni)
        FIni = std::make_unique<TMoBaIniFile>(ActiveProfile().FileName());
    return *FIni;
}

void TMoBaProfiles::FlushIniFile()
{
    // Best effort: what handlers wrote outside a save still reaches the file. A failure leaves the
    // old file whole; SaveActiveProfile is where failures are reported.
    if (FIni)
        (void)FIni->UpdateFile();
}

void TMoBaProfiles::ChangeIniFile()
{
    FlushIniFile();
    FIni.reset();
    if (FActiveProfile >= 0 && FActiveProfile < Count())
        FIni = std::make_unique<TMoBaIniFile>(ActiveProfile().FileName());
}

void TMoBaProfiles::ClearProfileList()
{
    FlushIniFile();
    FIni.reset();
    while (!FProfiles.empty())
        FProfiles.pop_back();
    FActiveProfile = -1;
}

int TMoBaProfiles::Add(const std::string& FileName)
{
    const std::string full = FileName.find('/') == std::string::npos ? FWorkDir + FileName : FileName;
    for (int i = 0; i < Count(); ++i)
        if (FProfiles[static_cast<std::size_t>(i)]->FileName() == full)
            return i;
    FProfiles.push_back(std::make_unique<TMoBaProfile>(*this));
    FProfiles.back()->SetFileName(full);
    return Count() - 1;
}

bool TMoBaProfiles::SelectByFileName(const std::string& FileName)
{
    for (int i = 0; i < Count(); ++i)
        if (FProfiles[static_cast<std::size_t>(i)]->FileName() == FileName) {
            SetActiveProfileIndex(i);
            return true;
        }
    return false;
}

bool TMoBaProfiles::SelectByFileNoPath(const std::string& FileNoPath)
{
    for (int i = 0; i < Count(); ++i)
        if (FProfiles[static_cast<std::size_t>(i)]->FileNoPath() == FileNoPath) {
            SetActiveProfileIndex(i);
            return true;
        }
    return false;
}

void TMoBaProfiles::RegisterProfileItem(TMoBaProfileItem* AItem)
{
    if (AItem && std::find(FProfileItems.begin(), FProfileItems.end(), AItem) == FProfileItems.end())
        FProfileItems.push_back(AItem);
}

void TMoBaProfiles::UnregisterProfileItem(TMoBaProfileItem* AItem)
{
    std::erase(FProfileItems, AItem);
}

void TMoBaProfiles::UnregisterAllProfileItems()
{
    while (!FProfileItems.empty()) {
        TMoBaProfileItem* item = FProfileItems.back();
        FProfileItems.pop_back();
        if (MoBaProfiles == this)
            item->FActive = false;
    }
}

template <class F>
void TMoBaProfiles::ForEachItem(F&& f)
{
    const std::vector<TMoBaProfileItem*> items = FProfileItems;
    for (TMoBaProfileItem* item : items)
        if (std::find(FProfileItems.begin(), FProfileItems.end(), item) != FProfileItems.end())
            f(*item);
}

std::string TMoBaProfiles::LoadActiveProfile()
{
    const std::string error = IniFile().LoadError();
    ForEachItem([](TMoBaProfileItem& item) {
        if (item.FOnLoad)
            item.FOnLoad(item);
    });
    return error;
}

std::string TMoBaProfiles::SaveActiveProfile()
{
    IniFile();  // raises while no profile is active
    ForEachItem([](TMoBaProfileItem& item) {
        if (item.FOnSave)
            item.FOnSave(item);
    });
    return IniFile().UpdateFile();
}

std::string TMoBaProfiles::SaveLoadActiveProfile()
{
    std::string error = SaveActiveProfile();
    if (error.empty())
        LoadActiveProfile();
    return error;
}

void TMoBaProfiles::ClearActiveProfile()
{
    ForEachItem([](TMoBaProfileItem& item) {
        if (item.FOnClear)
            item.FOnClear(item);
    });
}

void TMoBaProfiles::ResetProfileChanges()
{
    ForEachItem([](TMoBaProfileItem& item) {
        if (item.FOnResetChanges)
            item.FOnResetChanges(item);
    });
}

bool TMoBaProfiles::GetProfileChanges()
{
    bool any = false;
    ForEachItem([&any](TMoBaProfileItem& item) {
        bool changed = false;
        if (item.FOnChangeQuery)
            item.FOnChangeQuery(item, changed);
        any = any || changed;
    });
    return any;
}
