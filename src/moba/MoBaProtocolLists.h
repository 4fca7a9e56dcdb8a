#pragma once
// Ordered lists of protocol descriptions that keep themselves in a profile, and the two process-wide
// registries MoBaLocoProtocols and MoBaSolenoidProtocols, which start with the default protocols.
//
// In a profile file a list has a list section ("LocoProtocols") with one empty key per protocol
// ("LocoProtocol0=", ...) and one section per protocol named like its key.

#include "moba/MoBaProfiles.h"
#include "moba/MoBaProtocols.h"

#include <memory>
#include <string>
#include <vector>

class TMoBaBaseProtocolList {
public:
    virtual ~TMoBaBaseProtocolList();
    TMoBaBaseProtocolList(const TMoBaBaseProtocolList&) = delete;
    TMoBaBaseProtocolList& operator=(const TMoBaBaseProtocolList&) = delete;

    // A new, empty protocol of the list's element class.
    virtual std::unique_ptr<TMoBaBaseProtocol> CreateProtocol() const = 0;

    int Count() const { return static_cast<int>(FList.size()); }
    // Raises std::out_of_range for an index outside the list.
    TMoBaBaseProtocol* Items(int Index) const;
    int IndexOf(const TMoBaBaseProtocol* AProt) const;
    // Appends (the list owns the protocol) and marks the list changed; returns the index. Raises
    // std::invalid_argument for none or a protocol of another element class.
    int Add(std::unique_ptr<TMoBaBaseProtocol> AProt);
    // Removes and frees the entry at Index.
    void Delete(int Index);
    // Removes AProt from the list without freeing it: the caller owns it then. None when not listed.
    std::unique_ptr<TMoBaBaseProtocol> Extract(const TMoBaBaseProtocol* AProt);
    void Clear();

    // The list always owns its protocols.
    bool OwnsProtocols() const { return true; }
    // A protocol was added since the last load, save, clear or reset.
    bool Changed() const { return FChanged; }
    TMoBaProfileItem& ProfileItem() { return FProfileItem; }

    const std::string& ProtocolPrefix() const { return FProtocol; }   // "LocoProtocol"
    const std::string& ProtocolsSection() const { return FProtocols; }  // "LocoProtocols"
    // Key and section name of the protocol at Index ("LocoProtocol0").
    std::string ProtocolNo(int Index) const { return FProtocol + std::to_string(Index); }

    // The steps of a save and a load, on any ini file.
    void RemoveProtocolsInFile(TMoBaIniFile& Ini) const;
    void WriteProtocolListToFile(TMoBaIniFile& Ini) const;
    void WriteProtocolsToFile(TMoBaIniFile& Ini) const;
    void ReadProtocolsFromFile(const TMoBaIniFile& Ini);
    // Remove, write list, write protocols; Changed := false.
    void SaveToIniFile(TMoBaIniFile& Ini);
    // Clear, read; Changed := false.
    void LoadFromIniFile(const TMoBaIniFile& Ini);

    // Profile handlers (the profile item calls them with the manager's ini file).
    void DoProfileClear();
    void DoProfileLoad();
    void DoProfileSave();
    void DoChangeQuery(bool& AChanged) const { AChanged = FChanged; }
    void DoResetChanges() { FChanged = false; }

protected:
    TMoBaBaseProtocolList(std::string Protocol, std::string Protocols);
    virtual bool Accepts(const TMoBaBaseProtocol& AProt) const = 0;

private:
    std::vector<std::unique_ptr<TMoBaBaseProtocol>> FList;
    bool FChanged = false;
    TMoBaProfileItem FProfileItem;
    std::string FProtocol;
    std::string FProtocols;
};

class TMoBaLocoProtocolList : public TMoBaBaseProtocolList {
public:
    TMoBaLocoProtocolList() : TMoBaBaseProtocolList("LocoProtocol", "LocoProtocols") {}
    std::unique_ptr<TMoBaBaseProtocol> CreateProtocol() const override;
    TMoBaLocoProtocol* Items(int Index) const;

protected:
    bool Accepts(const TMoBaBaseProtocol& AProt) const override;
};

class TMoBaSolenoidProtocolList : public TMoBaBaseProtocolList {
public:
    TMoBaSolenoidProtocolList() : TMoBaBaseProtocolList("SolenoidProtocol", "SolenoidProtocols") {}
    std::unique_ptr<TMoBaBaseProtocol> CreateProtocol() const override;
    TMoBaSolenoidProtocol* Items(int Index) const;

protected:
    bool Accepts(const TMoBaBaseProtocol& AProt) const override;
};

// The registries, alive for the whole run (created after MoBaProfiles, freed before it).
extern TMoBaLocoProtocolList* MoBaLocoProtocols;
extern TMoBaSolenoidProtocolList* MoBaSolenoidProtocols;

// Empties both registries and fills them with the default protocols in table order; both end
// marked changed.
void LoadDefaultProtocolSettings();
