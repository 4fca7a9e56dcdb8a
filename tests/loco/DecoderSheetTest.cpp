#include "loco/DecoderSheet.h"

#include <gtest/gtest.h>

TEST(DecoderSheet, LongAddressesAndTheirCvs)
{
    const struct {
        int address, cv17, cv18;
    } rows[] = {{128, 192, 128}, {1234, 196, 210}, {10239, 231, 255}, {3000, 203, 184}};
    for (const auto& r : rows) {
        EXPECT_EQ(longAddressCvs(r.address), std::make_pair(r.cv17, r.cv18)) << r.address;
        EXPECT_EQ(longAddressOf(r.cv17, r.cv18), r.address);
    }
}

TEST(DecoderSheet, WriteChangedSendsOnlyWhatChangedAndCv29BitByBitLast)
{
    DecoderSheet sheet;
    for (const auto& r : DecoderSheet::readAllRequests())
        sheet.applied({r, true, r.number == 29 ? 6 : r.number == 17 ? 192 : 3, SmFailure::None, 100, {}});
    EXPECT_TRUE(sheet.writeChangedRequests().empty());

    sheet.setEditedBit(29, 5, true);  // long address on
    sheet.setEditedLongAddress(1234);
    sheet.setEdited(3, 3);            // the same value again: no change
    sheet.setEdited(7, 99);           // read only: never written
    const auto w = sheet.writeChangedRequests();
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0].number, 17);
    EXPECT_EQ(w[0].value, 196);
    EXPECT_EQ(w[1].number, 18);
    EXPECT_EQ(w[1].value, 210);
    EXPECT_EQ(w[2].type, smtCVBit);
    EXPECT_EQ(w[2].number, 29);
    EXPECT_EQ(w[2].bit, 5);
    EXPECT_EQ(w[2].value, 1);

    for (const auto& r : w)
        sheet.applied({r, true, r.value, SmFailure::None, 200, {}});
    EXPECT_EQ(sheet.known(29), 38);
    EXPECT_EQ(sheet.known(17), 196);
    EXPECT_FALSE(sheet.changed(29));
    EXPECT_TRUE(sheet.writeChangedRequests().empty());  // the read-only CV 7 edit is never sent
}

TEST(DecoderSheet, AFailedRequestChangesNothingAndUnknownCv29IsWrittenWhole)
{
    DecoderSheet sheet;
    sheet.setEdited(29, 34);
    const auto w = sheet.writeChangedRequests();
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].type, smtCV);
    EXPECT_EQ(w[0].value, 34);
    sheet.applied({w[0], false, -1, SmFailure::NoAcknowledge, 416, {}});
    EXPECT_FALSE(sheet.known(29));
    EXPECT_TRUE(sheet.changed(29));
    EXPECT_EQ(manufacturerName(151), QStringLiteral("ESU"));
    EXPECT_FALSE(manufacturerName(254));
}
