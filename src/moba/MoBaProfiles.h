#pragma once
// Profiles: ini-style files with the extension "mpr" in a working directory, in which protocol lists
// and other components keep their settings. A component registers a TMoBaProfileItem with the
// process-wide manager MoBaProfiles (by setting the item Active); the manager then calls the item's
// handlers when the active profile is loaded, saved, cleared or asked for unsaved changes, while the
// item's IniFile refers to the active profile's file.

#include "moba/MoBaIniFile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TMoBaProfiles;

class TMoBaProfileItem {
public:
    using TChangeQueryEvent = std::function<void(TMoBaProfileItem& Sender, bool& AChanged)>;
    using TNotifyEvent = std::function<void(TMoBaProfileItem& Sender)>;

    TMoBaProfileItem() = default;  // inactive
    ~TMoBaProfileItem();           // leaves the manager first
    TMoBaProfileItem(const TMoBaProfileItem&) = delete;
    TMoBaProfileItem& operator=(const TMoBaProfileItem&) = delete;

    bool Active() const { return FActive; }
    // Registers the item with MoBaProfiles (true) or removes it (false); the current value does nothing.
    void SetActive(bool Value);
    // The manager's ini file while the item is active, otherwise none. Raises std::out_of_range while
    // the manager has no active profile.
    TMoBaIniFile* IniFile() const;

    void SetOnChangeQuery(TChangeQueryEvent e) { FOnChangeQuery = std::move(e); }
    void SetOnResetChanges(TNotifyEvent e) { FOnResetChanges = std::move(e); }
    void SetOnSave(TNotifyEvent e) { FOnSave = std::move(e); }
    void SetOnClear(TNotifyEvent e) { FOnClear = std::move(e); }
    void SetOnLoad(TNotifyEvent e) { FOnLoad = std::move(e); }
    const TChangeQueryEvent& OnChangeQuery() const { return FOnChangeQuery; }
    const TNotifyEvent& OnResetChanges() const { return FOnResetChanges; }
    const TNotifyEvent& OnSave() const { return FOnSave; }
    const TNotifyEvent& OnClear() const { return FOnClear; }
    const TNotifyEvent& OnLoad() const { return FOnLoad; }

private:
    friend class TMoBaProfiles;
    bool FActive = false;
    TChangeQueryEvent FOnChangeQuery;
    TNotifyEvent FOnResetChanges;
    TNotifyEvent FOnSave;
    TNotifyEvent FOnClear;
    TNotifyEvent FOnLoad;
};

class TMoBaProfile {
public:
    explicit TMoBaProfile(TMoBaProfiles& AOwner) : FOwner(AOwner) {}
    TMoBaProfile(const TMoBaProfile&) = delete;
    TMoBaProfile& operator=(const TMoBaProfile&) = delete;

    const std::string& FileName() const { return FFileName; }
    // Stores the name and lets the owner reopen its ini file.
    void SetFileName(std::string Value);
    // The file name without its directory.
    std::string FileNoPath() const;
    TMoBaProfiles& Owner() const { return FOwner; }

private:
    std::string FFileName;
    TMoBaProfiles& FOwner;
};

class TMoBaProfiles {
public:
    // Empty lists, then WorkDir "." (which scans it).
    TMoBaProfiles();
    ~TMoBaProfiles();
    TMoBaProfiles(const TMoBaProfiles&) = delete;
    TMoBaProfiles& operator=(const TMoBaProfiles&) = delete;

    // The directory searched for profile files; always ends in '/'.
    const std::string& WorkDir() const { return FWorkDir; }
    // Stores Value (appending '/' unless it ends in one) and scans it.
    void SetWorkDir(const std::string& Value);
    // Rebuilds the profile list from the "*.mpr" files of WorkDir and keeps the active profile
    // selected by its file name; with no file at all, "Default.mpr" (not created) becomes active.
    void ScanWorkDir();

    int Count() const { return static_cast<int>(FProfiles.size()); }
    // Raises std::out_of_range for an index outside the list.
    TMoBaProfile& Profiles(int Index) const;
    // Index of the active profile, -1 for none.
    int ActiveProfileIndex() const { return FActiveProfile; }
    // Makes the profile at Index active (-1: none); raises std::out_of_range for other indexes.
    void SetActiveProfileIndex(int Index);
    // Raise std::out_of_range while no profile is active.
    TMoBaProfile& ActiveProfile() const;
    TMoBaIniFile& IniFile();

    // Writes pending changes of the ini file object, drops it and, with a profile active, opens that
    // profile's file at once.
    void ChangeIniFile();
    // Frees every profile; none is active afterwards.
    void ClearProfileList();
    // Appends a profile for FileName (a name without directory is taken in WorkDir) unless the list
    // already has that file; returns its index. The active profile does not change.
    int Add(const std::string& FileName);
    // Make the profile with that full file name / that name without directory active (exact,
    // case-sensitive comparison); false, and nothing changes, when there is none.
    bool SelectByFileName(const std::string& FileName);
    bool SelectByFileNoPath(const std::string& FileNoPath);

    void RegisterProfileItem(TMoBaProfileItem* AItem);
    void UnregisterProfileItem(TMoBaProfileItem* AItem);
    // Deactivates the registered items, from the last, until none is left.
    void UnregisterAllProfileItems();
    int ProfileItemCount() const { return static_cast<int>(FProfileItems.size()); }
    TMoBaProfileItem* ProfileItems(int Index) const { return FProfileItems.at(static_cast<std::size_t>(Index)); }

    // Every registered item reads its settings from the active profile (OnLoad). Empty, or why the
    // existing profile file could not be read (the items then load what could be read: defaults).
    std::string LoadActiveProfile();
    // Every registered item writes its settings (OnSave), then the file is written. Empty on success,
    // otherwise why the file could not be written; the old file is then untouched.
    std::string SaveActiveProfile();
    // Saves and, only when that succeeded, loads the active profile again; the result of the save.
    std::string SaveLoadActiveProfile();
    // Every registered item drops its settings (OnClear).
    void ClearActiveProfile();
    // Every registered item forgets its changes (OnResetChanges).
    void ResetProfileChanges();
    // True when any registered item reports unsaved changes (OnChangeQuery).
    bool GetProfileChanges();

private:
    // Items are called from a copy of the list, so a handler may (un)register items.
    template <class F>
    void ForEachItem(F&& f);
    void FlushIniFile();

    std::string FWorkDir;
    std::vector<std::unique_ptr<TMoBaProfile>> FProfiles;
    std::vector<TMoBaProfileItem*> FProfileItems;
    std::unique_ptr<TMoBaIniFile> FIni;
    int FActiveProfile = -1;
};

// The process-wide profile manager, created before the protocol registries and freed after them.
extern TMoBaProfiles* MoBaProfiles;
