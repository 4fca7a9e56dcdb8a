#include "base/TLok.h"

#include <gtest/gtest.h>

TEST(TLok, FreshTableDrivesTenMotorolaLocosAtAddressThree)
{
    TLok lok;
    for (int l = 0; l < TLok::Count; ++l) {
        EXPECT_EQ(lok.get_addr(l), 3);
        EXPECT_EQ(lok.get_protocol(l), "M1");
        EXPECT_EQ(lok.get_protocolbase(l), 4);
        EXPECT_EQ(lok.get_protvers(l), 1);
        EXPECT_EQ(lok.get_name(l), "Lok");
        EXPECT_EQ(lok.get_busnr(l), 1);
        EXPECT_EQ(lok.get_direction(l), -1);
        EXPECT_EQ(lok.get_speed(l), 0);
        EXPECT_EQ(lok.get_speedmax(l), 100);
        EXPECT_EQ(lok.get_nrof(l), 0);
        EXPECT_EQ(lok.get_F(l), Dekod_Funcs{});
        EXPECT_EQ((std::array{lok.get_jb1(l), lok.get_jb2(l), lok.get_jb3(l), lok.get_jb4(l)}),
                  (std::array{7, 1, 3, 2}));
        EXPECT_EQ((std::array{lok.get_jb1func(l), lok.get_jb2func(l), lok.get_jb3func(l), lok.get_jb4func(l)}),
                  (std::array<QString, 4>{"Direction", "Func", "F2", "F3"}));
    }
}

TEST(TLok, SetFTakesEntriesZeroToSevenOnly)
{
    TLok lok;
    Dekod_Funcs f{};
    for (std::size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<std::uint8_t>(i % 8 + 1);
    f[9] = 5;
    lok.set_F(2, f);
    const Dekod_Funcs got = lok.get_F(2);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(got[i], f[i]) << i;
    for (std::size_t i = 8; i < got.size(); ++i)
        EXPECT_EQ(got[i], 0) << i;
    EXPECT_EQ(lok.get_F(1), Dekod_Funcs{});
}

TEST(TLok, LokinitResetsOneLocoAndLeavesTheOthers)
{
    TLok lok;
    for (int l : {3, 4}) {
        lok.set_protocol(l, "N3");
        lok.set_protocolbase(l, 5);
        lok.set_protversion(l, 3);
        lok.set_Busnr(l, 3);
        lok.set_addr(l, 1234);
        lok.set_jb1(l, 5);
        lok.set_jb4func(l, "keine");
        lok.set_speedsteps(l, 128);
    }
    lok.lokinit(4);
    EXPECT_EQ(lok.get_protocol(4), "M1");
    EXPECT_EQ(lok.get_protocolbase(4), 4);
    EXPECT_EQ(lok.get_protvers(4), 1);
    EXPECT_EQ(lok.get_busnr(4), 1);
    EXPECT_EQ(lok.get_addr(4), 3);
    EXPECT_EQ(lok.get_jb1(4), 7);
    EXPECT_EQ(lok.get_jb4func(4), "F3");
    EXPECT_EQ(lok.get_protocol(3), "N3");
    EXPECT_EQ(lok.get_addr(3), 1234);
    EXPECT_EQ(lok.get_jb4func(3), "keine");
}
