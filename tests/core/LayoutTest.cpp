// Sizes and offsets of the record layouts on disk.
#include "usrdata/LoadReadModule.h"
#include "usrdata/Signatures.h"

#include "RecordHelpers.h"

#include <gtest/gtest.h>

using namespace zel;
using namespace zel::test;

namespace {

template <class A> A AnchorWithTwoEntriesAndThreeItems() {
    A a;
    a.Entries.Dimension(1, 2);
    a.Foot.Items.Dimension(1, 3);
    return a;
}

} // namespace

TEST(Layout, AnchorSizes) {
    EXPECT_EQ(Encode(AnchorWithTwoEntriesAndThreeItems<Anchor101>()).size(), 30119u);
    EXPECT_EQ(Encode(AnchorWithTwoEntriesAndThreeItems<Anchor102>()).size(), 30199u);
    EXPECT_EQ(Encode(Entry101{}).size(), 34u);
    EXPECT_EQ(Encode(Entry102{}).size(), 42u);
}

TEST(Layout, MembersOfTheNewLayoutSitWhereTheyBelong) {
    Anchor102 a = AnchorWithTwoEntriesAndThreeItems<Anchor102>();
    a.Data.DataRest.bytes[63] = 0x5A;
    a.EntryFlag = 0xE1;
    a.FootPair1.at(2) = Value4{0x11111111};
    a.FootPair2.at(1) = Value4{0x22222222};
    a.FootByte5 = 0x33;
    a.FootBytes.at(1) = 0x44;
    a.FootBytes.at(2) = 0x55;
    a.FootValue6 = Value4{0x66666666};
    a.FootValue7 = Value4{0x77777777};
    auto bytes = Encode(a);
    // EntryFlag is the byte right after the last byte of Data, and the entries' header follows it.
    auto rest = std::find(bytes.begin(), bytes.end(), 0x5A);
    ASSERT_NE(rest, bytes.end());
    EXPECT_EQ(*(rest + 1), 0xE1);
    EXPECT_EQ(std::vector<std::uint8_t>(rest + 2, rest + 4), (std::vector<std::uint8_t>{1, 0}));
    // FootPair2 follows FootPair1 directly.
    auto pair1 = std::search_n(bytes.begin(), bytes.end(), 4, 0x11);
    EXPECT_EQ(*(pair1 + 4), 0x22);
    // The record closes with FootByte5, FootBytes, FootValue6 and FootValue7: 11 bytes.
    std::vector<std::uint8_t> tail(bytes.end() - 11, bytes.end());
    EXPECT_EQ(tail,
              (std::vector<std::uint8_t>{0x33, 0x44, 0x55, 0x66, 0x66, 0x66, 0x66, 0x77, 0x77, 0x77, 0x77}));
}

TEST(Layout, CycleTable) {
    CycleTable t;
    auto zero = Encode(t);
    EXPECT_EQ(zero.size(), 13393u);
    EXPECT_TRUE(std::all_of(zero.begin(), zero.end(), [](auto b) { return b == 0; }));

    t.Levels.at(1).Value = 0x0101;
    t.Levels.at(1).List.PointCount = 0x02;
    t.Levels.at(1).List.PointData.bytes[0] = 0x03;
    t.Levels.at(2).Value = 0x0404;
    t.Cycles.at(2).FirstSteps.at(1).Value = 0x0505;
    t.Cycles.at(2).SecondSteps.at(1).Value = 0x0606;
    auto bytes = Encode(t);
    const std::pair<std::size_t, std::uint8_t> offsets[] = {{5, 1},  {27, 2},   {28, 3},
                                                            {68, 4}, {1958, 5}, {2588, 6}};
    for (auto [offset, value] : offsets)
        EXPECT_EQ(bytes[offset], value) << "offset " << offset;
}

TEST(Layout, ProjectRecordAndBlocks) {
    WorkingSet ws;
    ws.main101.ListA.Dimension(1, 1);
    SetDefaultFactors(ws);
    auto file = EncodeFile101(ws);
    // ListA's header starts at offset 79 when the four texts are empty.
    EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 79, file.begin() + 81),
              (std::vector<std::uint8_t>{1, 0}));
    EXPECT_EQ(std::string(file.begin(), file.begin() + 64), kSignature101);
    // The factors 1.1 and 0.9 as their single-precision bit patterns, closing the file.
    EXPECT_EQ(std::vector<std::uint8_t>(file.end() - 8, file.end()),
              (std::vector<std::uint8_t>{0xCD, 0xCC, 0x8C, 0x3F, 0x66, 0x66, 0x66, 0x3F}));
    EXPECT_EQ(ws.factorPair.HighFactor.bits, 0x3F8CCCCDu);
    EXPECT_EQ(ws.factorPair.LowFactor.bits, 0x3F666666u);
}
