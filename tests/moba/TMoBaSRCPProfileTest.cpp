// Per-bus settings of the SRCP 0.8 client component in the active profile: read when a bus's groups
// are created, written back when the bus is freed, defaults when no profile is in use or a key is
// missing or damaged.

#include "session/SimProcess.h"
#include "srcp/FakeSrcpServer.h"

#include "moba/MoBaIniFile.h"
#include "moba/MoBaProfiles.h"
#include "moba/TMoBaSRCPClient.h"
#include "moba/TMoBaSRCPGroups.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct TempDir {
    TempDir()
    {
        std::string templ = (fs::temp_directory_path() / "quarn-busprofile-XXXXXX").string();
        path = ::mkdtemp(templ.data());
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

enum class Use { Inactive, Active, NoneSelected };

struct Case {
    const char* name;
    Use use;
    const char* file;  // contents of Test.mpr
    std::int32_t delay;        // bus 5
    const char* initString;    // bus 8
    std::int32_t multiplicator, divisor;  // bus 0
};

} // namespace

TEST(TMoBaSRCPClientProfile, BusSettingsAreReadOnCreationAndWrittenWhenTheBusIsFreed)
{
    const Case cases[] = {
        {"stored values", Use::Active,
         "[Bus0Info]\r\nTimeMultiplicator=4\r\nTimeDivisor=3\r\n[Bus5Info]\r\nAccessoireDelayTime=350\r\n"
         "[Bus8Info]\r\nFeedbackInitString=S88 LPT1 4\r\n",
         350, "S88 LPT1 4", 4, 3},
        {"keys missing", Use::Active, "[Bus5Info]\r\nOther=1\r\n", 200, "S88", 1, 1},
        {"keys damaged", Use::Active,
         "[Bus0Info]\r\nTimeMultiplicator=four\r\nTimeDivisor=0\r\n[Bus5Info]\r\nAccessoireDelayTime=-5\r\n"
         "[Bus8Info]\r\nFeedbackInitString=\r\n",
         200, "S88", 1, 1},
        {"profile not active", Use::Inactive,
         "[Bus0Info]\r\nTimeMultiplicator=4\r\n[Bus5Info]\r\nAccessoireDelayTime=350\r\n", 200, "S88", 1, 1},
        {"no profile selected", Use::NoneSelected, "[Bus5Info]\r\nAccessoireDelayTime=350\r\n", 200, "S88", 1, 1},
    };
    TempDir logDir;
    SimProcess sim(SRCP_SIM_PATH, "0.8.2", (logDir.path / "sim.log").string());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path file = dir.path / "Test.mpr";
        std::ofstream(file, std::ios::binary) << c.file;
        MoBaProfiles->SetWorkDir(dir.path.string());
        ASSERT_TRUE(MoBaProfiles->SelectByFileNoPath("Test.mpr"));
        if (c.use == Use::NoneSelected)
            MoBaProfiles->SetActiveProfileIndex(-1);
        {
            TestLoop loop;
            TMoBaSRCPClient client(loop.executor());
            client.SetHost("127.0.0.1");
            client.SetPort(sim.port());
            client.SetProfileActive(c.use != Use::Inactive);
            client.Connect();
            ASSERT_TRUE(client.Connected());
            ASSERT_TRUE(loop.runUntil([&] { return client.BusCount() >= 9; }));
            TMoBaSRCPTime* time = client.BusByNumber(0)->Time();
            TMoBaSRCPAccessoires* gas = client.BusByNumber(5)->GAs();
            TMoBaSRCPFeedbacks* fbs = client.BusByNumber(8)->FBs();
            ASSERT_TRUE(time && gas && fbs);
            EXPECT_EQ(gas->DefaultDelay(), c.delay);
            EXPECT_EQ(fbs->InitString(), c.initString);
            EXPECT_EQ(time->Multiplicator(), c.multiplicator);
            EXPECT_EQ(time->Divisor(), c.divisor);

            if (c.use == Use::Active) {
                // the manager's load reads every bus again
                MoBaProfiles->IniFile().WriteInteger("Bus5Info", "AccessoireDelayTime", 123);
                MoBaProfiles->LoadActiveProfile();
                EXPECT_EQ(gas->DefaultDelay(), 123);
            }
            gas->SetDefaultDelay(275);
            fbs->SetInitString("S88 LPT2 2");
            time->SetMultiplicator(7);
            time->SetDivisor(2);
            client.Disconnect();
            EXPECT_EQ(client.BusCount(), 0);
        }
        if (c.use == Use::NoneSelected) {
            ASSERT_TRUE(MoBaProfiles->SelectByFileNoPath("Test.mpr"));
        }
        ASSERT_EQ(MoBaProfiles->SaveActiveProfile(), "");
        TMoBaIniFile written(file.string());
        if (c.use == Use::Active) {
            EXPECT_EQ(written.ReadInteger("Bus5Info", "AccessoireDelayTime", 0), 275);
            EXPECT_EQ(written.ReadString("Bus8Info", "FeedbackInitString", ""), "S88 LPT2 2");
            EXPECT_EQ(written.ReadInteger("Bus0Info", "TimeMultiplicator", 0), 7);
            EXPECT_EQ(written.ReadInteger("Bus0Info", "TimeDivisor", 0), 2);
            EXPECT_EQ(written.ReadInteger("Bus1Info", "AccessoireDelayTime", 0), 200) << "every bus is written";
        } else {
            TMoBaIniFile original("");
            original.SetText(c.file);
            EXPECT_EQ(written.Text(), original.Text()) << "nothing written without a profile in use";
        }
        MoBaProfiles->SetWorkDir(".");
    }
}
