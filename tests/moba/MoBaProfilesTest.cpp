#include "moba/MoBaProfiles.h"
#include "moba/MoBaProtocolLists.h"

#include "common/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path& p, const std::string& text)
{
    std::ofstream(p, std::ios::binary) << text;
}

struct TempDir {
    TempDir()
    {
        std::string templ = (fs::temp_directory_path() / "quarn-mpr-XXXXXX").string();
        path = ::mkdtemp(templ.data());
    }
    ~TempDir() { fs::remove_all(path); }
    std::string dir() const { return path.string() + '/'; }
    fs::path path;
};

std::vector<std::string> namesOf(const TMoBaProfiles& profiles)
{
    std::vector<std::string> names;
    for (int i = 0; i < profiles.Count(); ++i)
        names.push_back(profiles.Profiles(i).FileNoPath());
    return names;
}

TEST(MoBaProfiles, EmptyDirectoryGivesAnActiveDefaultProfile)
{
    TempDir dir;
    TMoBaProfiles profiles;
    EXPECT_EQ(profiles.WorkDir(), "./");
    profiles.SetWorkDir(dir.path.string());  // no trailing separator: one is appended
    EXPECT_EQ(profiles.WorkDir(), dir.dir());
    ASSERT_EQ(profiles.Count(), 1);
    EXPECT_EQ(profiles.ActiveProfileIndex(), 0);
    EXPECT_EQ(profiles.ActiveProfile().FileName(), dir.dir() + "Default.mpr");
    EXPECT_EQ(profiles.ActiveProfile().FileNoPath(), "Default.mpr");
    EXPECT_FALSE(fs::exists(dir.path / "Default.mpr"));
    profiles.SetWorkDir(dir.dir());
    EXPECT_EQ(profiles.WorkDir(), dir.dir());
}

TEST(MoBaProfiles, ScanFindsProfilesAndKeepsTheActiveOneByName)
{
    TempDir dir;
    for (const char* name : {"b.mpr", "a.mpr", "C.MPR", "notes.txt", "mpr"})
        writeFile(dir.path / name, "");
    fs::create_directory(dir.path / "folder.mpr");

    TMoBaProfiles profiles;
    profiles.SetWorkDir(dir.dir());
    EXPECT_EQ(namesOf(profiles), (std::vector<std::string>{"C.MPR", "a.mpr", "b.mpr"}));
    // "Default.mpr" of the previous folder was active and is not here: none is active.
    EXPECT_EQ(profiles.ActiveProfileIndex(), -1);
    ASSERT_TRUE(profiles.SelectByFileNoPath("b.mpr"));
    EXPECT_EQ(profiles.ActiveProfile().FileName(), dir.dir() + "b.mpr");
    EXPECT_FALSE(profiles.SelectByFileNoPath("B.mpr"));
    EXPECT_EQ(profiles.ActiveProfileIndex(), 2);

    writeFile(dir.path / "0.mpr", "");
    profiles.ScanWorkDir();
    EXPECT_EQ(profiles.ActiveProfile().FileNoPath(), "b.mpr");
    EXPECT_EQ(profiles.ActiveProfileIndex(), 3);

    // The active profile's file is gone: no profile is active, and asking for it is an error.
    fs::remove(dir.path / "b.mpr");
    profiles.ScanWorkDir();
    EXPECT_EQ(profiles.ActiveProfileIndex(), -1);
    EXPECT_THROW(profiles.ActiveProfile(), std::out_of_range);
    EXPECT_THROW(profiles.IniFile(), std::out_of_range);
    EXPECT_THROW(profiles.SaveActiveProfile(), std::out_of_range);
    profiles.ScanWorkDir();  // and stays so until the caller selects one
    EXPECT_EQ(profiles.ActiveProfileIndex(), -1);
    EXPECT_TRUE(profiles.SelectByFileName(dir.dir() + "a.mpr"));
    EXPECT_EQ(profiles.ActiveProfileIndex(), 2);  // 0.mpr, C.MPR, a.mpr
    EXPECT_THROW(profiles.SetActiveProfileIndex(9), std::out_of_range);

    EXPECT_EQ(profiles.Add("new.mpr"), 3);
    EXPECT_EQ(profiles.Profiles(3).FileName(), dir.dir() + "new.mpr");
    EXPECT_EQ(profiles.Add(dir.dir() + "new.mpr"), 3);
    EXPECT_EQ(profiles.ActiveProfileIndex(), 2);

    profiles.ClearProfileList();
    EXPECT_EQ(profiles.Count(), 0);
    EXPECT_EQ(profiles.ActiveProfileIndex(), -1);
    profiles.SetWorkDir((dir.path / "missing").string());  // a folder that does not exist
    EXPECT_EQ(namesOf(profiles), std::vector<std::string>{"Default.mpr"});
}

TEST(MoBaProfiles, ItemsAreCalledForEachOperation)
{
    TempDir dir;
    TMoBaProfiles profiles;
    profiles.SetWorkDir(dir.dir());
    std::vector<std::string> calls;
    TMoBaProfileItem a;
    TMoBaProfileItem b;
    for (auto* item : {&a, &b}) {
        const std::string tag = item == &a ? "a" : "b";
        item->SetOnLoad([&calls, tag](TMoBaProfileItem&) { calls.push_back(tag + "load"); });
        item->SetOnSave([&calls, tag, &profiles](TMoBaProfileItem&) {
            calls.push_back(tag + "save");
            profiles.IniFile().WriteString("S", tag, "1");
        });
        item->SetOnClear([&calls, tag](TMoBaProfileItem&) { calls.push_back(tag + "clear"); });
        item->SetOnResetChanges([&calls, tag](TMoBaProfileItem&) { calls.push_back(tag + "reset"); });
        item->SetOnChangeQuery([&calls, tag](TMoBaProfileItem&, bool& changed) {
            calls.push_back(tag + "query");
            changed = tag == "b";
        });
    }
    profiles.RegisterProfileItem(&a);
    profiles.RegisterProfileItem(&b);
    profiles.RegisterProfileItem(&a);  // once only
    EXPECT_EQ(profiles.ProfileItemCount(), 2);

    EXPECT_EQ(profiles.SaveActiveProfile(), "");
    EXPECT_EQ(readFile(dir.path / "Default.mpr"), "[S]\r\na=1\r\nb=1\r\n");
    EXPECT_EQ(profiles.LoadActiveProfile(), "");
    profiles.ClearActiveProfile();
    profiles.ResetProfileChanges();
    EXPECT_TRUE(profiles.GetProfileChanges());
    EXPECT_EQ(calls, (std::vector<std::string>{"asave", "bsave", "aload", "bload", "aclear", "bclear", "areset",
                                                "breset", "aquery", "bquery"}));
    profiles.UnregisterProfileItem(&b);
    profiles.UnregisterProfileItem(&b);
    calls.clear();
    EXPECT_FALSE(profiles.GetProfileChanges());
    EXPECT_EQ(calls, std::vector<std::string>{"aquery"});
    profiles.UnregisterAllProfileItems();
    EXPECT_EQ(profiles.ProfileItemCount(), 0);
}

// The registries through the process-wide manager, as the program uses them.
class MoBaRegistryProfile : public ::testing::Test {
protected:
    void SetUp() override
    {
        LoadDefaultProtocolSettings();
        MoBaProfiles->SetWorkDir(dir.dir());
        MoBaLocoProtocols->ProfileItem().SetActive(true);
        MoBaSolenoidProtocols->ProfileItem().SetActive(true);
    }
    void TearDown() override
    {
        MoBaLocoProtocols->ProfileItem().SetActive(false);
        MoBaSolenoidProtocols->ProfileItem().SetActive(false);
        MoBaProfiles->SetWorkDir(".");
        LoadDefaultProtocolSettings();
    }
    TempDir dir;
};

TEST_F(MoBaRegistryProfile, SaveAndLoadTheRegistries)
{
    ASSERT_EQ(MoBaProfiles->ProfileItemCount(), 2);
    ASSERT_NE(MoBaLocoProtocols->ProfileItem().IniFile(), nullptr);
    EXPECT_TRUE(MoBaProfiles->GetProfileChanges());
    EXPECT_EQ(MoBaProfiles->SaveActiveProfile(), "");
    EXPECT_FALSE(MoBaProfiles->GetProfileChanges());
    const std::string saved = readFile(dir.path / "Default.mpr");
    EXPECT_NE(saved.find("[LocoProtocol10]\r\nName=NMRA 4\r\n"), std::string::npos);
    EXPECT_NE(saved.find("[SolenoidProtocol1]\r\nName=NMRA Accessory\r\n"), std::string::npos);

    MoBaLocoProtocols->Delete(0);
    MoBaLocoProtocols->Items(0)->SetName("changed");
    MoBaSolenoidProtocols->Add(std::make_unique<TMoBaSolenoidProtocol>());
    EXPECT_TRUE(MoBaProfiles->GetProfileChanges());
    EXPECT_EQ(MoBaProfiles->LoadActiveProfile(), "");
    EXPECT_FALSE(MoBaProfiles->GetProfileChanges());
    ASSERT_EQ(MoBaLocoProtocols->Count(), 11);
    EXPECT_EQ(MoBaLocoProtocols->Items(0)->Name(), "Motorola 1");
    EXPECT_EQ(MoBaLocoProtocols->Items(1)->Name(), "Motorola 2");
    EXPECT_EQ(MoBaSolenoidProtocols->Count(), 2);

    // An inactive item has no ini file and is left out.
    MoBaSolenoidProtocols->ProfileItem().SetActive(false);
    EXPECT_EQ(MoBaSolenoidProtocols->ProfileItem().IniFile(), nullptr);
    MoBaProfiles->ClearActiveProfile();
    EXPECT_EQ(MoBaLocoProtocols->Count(), 0);
    EXPECT_EQ(MoBaSolenoidProtocols->Count(), 2);
    EXPECT_EQ(MoBaProfiles->SaveLoadActiveProfile(), "");
    EXPECT_EQ(MoBaLocoProtocols->Count(), 0);
    EXPECT_EQ(readFile(dir.path / "Default.mpr").find("[LocoProtocol0]"), std::string::npos);
    EXPECT_NE(readFile(dir.path / "Default.mpr").find("[SolenoidProtocol1]"), std::string::npos);
}

TEST_F(MoBaRegistryProfile, BadProfileFilesLoadWithDefaults)
{
    const struct {
        const char* name;
        std::string text;
        int locos;
        int solenoids;
    } cases[] = {
        {"empty", "", 0, 0},
        {"list without sections", "[LocoProtocols]\nLocoProtocol0=\nLocoProtocol1=\n", 2, 0},
        {"section without list entry", "[LocoProtocol0]\nName=x\n[SolenoidProtocol0]\nName=y\n", 0, 0},
        {"non-numeric and out of range",
         "[LocoProtocols]\nLocoProtocol0=\n[LocoProtocol0]\nMaxAddress=lots\nMaxSteps=1e3\nGroups=-1,256,abc\n"
         "Base=\nMaxFunctions=99999999999\n",
         1, 0},
        {"malformed lines", "[LocoProtocols\nLocoProtocol0\n=\n[SolenoidProtocols]\nSolenoidProtocol0=\n\x01\x02\n", 0,
         1},
        {"binary", std::string("\0\xff[\n]\0=\0\n", 10), 0, 0},
    };
    for (const auto& c : cases) {
        writeFile(dir.path / "Default.mpr", c.text);
        MoBaProfiles->ChangeIniFile();  // read the file again
        EXPECT_EQ(MoBaProfiles->LoadActiveProfile(), "") << c.name;
        ASSERT_EQ(MoBaLocoProtocols->Count(), c.locos) << c.name;
        ASSERT_EQ(MoBaSolenoidProtocols->Count(), c.solenoids) << c.name;
        for (int i = 0; i < MoBaLocoProtocols->Count(); ++i) {
            const TMoBaLocoProtocol* p = MoBaLocoProtocols->Items(i);
            EXPECT_EQ(p->Name(), "") << c.name;
            EXPECT_EQ(p->MaxAddress(), 0) << c.name;
            EXPECT_EQ(p->MaxSteps(), 0) << c.name;
            EXPECT_EQ(p->MaxFunctions(), 0) << c.name;
            EXPECT_EQ(p->ProtocolBase(), mpbCustom) << c.name;
            EXPECT_TRUE(p->Groups().none()) << c.name;
        }
        EXPECT_FALSE(MoBaProfiles->GetProfileChanges()) << c.name;
    }
}

TEST_F(MoBaRegistryProfile, AProfileThatCannotBeWrittenKeepsTheOldFile)
{
    ASSERT_EQ(MoBaProfiles->SaveActiveProfile(), "");
    const std::string old = readFile(dir.path / "Default.mpr");
    MoBaLocoProtocols->Items(0)->SetDescription(std::string(4096, 'd'));
    MoBaLocoProtocols->Add(std::make_unique<TMoBaLocoProtocol>());
    std::string error;
    {
        testsupport::FileSizeLimit limit(old.size());
        error = MoBaProfiles->SaveLoadActiveProfile();
    }
    EXPECT_NE(error, "");
    EXPECT_EQ(readFile(dir.path / "Default.mpr"), old);
    // The failed save did not reload the old file over the unsaved changes.
    EXPECT_EQ(MoBaLocoProtocols->Count(), 12);
    EXPECT_EQ(MoBaLocoProtocols->Items(0)->Description().size(), 4096u);
    EXPECT_EQ(MoBaProfiles->SaveActiveProfile(), "");
    EXPECT_NE(readFile(dir.path / "Default.mpr"), old);
}

TEST_F(MoBaRegistryProfile, PendingWritesReachTheFileWhenTheProfileChanges)
{
    writeFile(dir.path / "other.mpr", "");
    MoBaProfiles->ScanWorkDir();
    ASSERT_TRUE(MoBaProfiles->SelectByFileNoPath("other.mpr"));
    MoBaProfiles->IniFile().WriteInteger("Bus1Info", "AccessoireDelayTime", 250);
    ASSERT_EQ(MoBaProfiles->Add("Default.mpr"), 1);
    ASSERT_TRUE(MoBaProfiles->SelectByFileNoPath("Default.mpr"));
    EXPECT_EQ(readFile(dir.path / "other.mpr"), "[Bus1Info]\r\nAccessoireDelayTime=250\r\n");
}

}  // namespace
