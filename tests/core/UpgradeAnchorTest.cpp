// The anchor record upgrade: type codes, step values, entries, and what is carried or dropped.
#include "RecordHelpers.h"
#include "platform/Platform.h"
#include "upgrade/Set102Module.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zel;
using namespace zel::test;

namespace {

Anchor102 Upgrade(const Anchor101& a) {
    Anchor102 out;
    UpgradeAnchor(a, out);
    return out;
}

int FailureCode(const Anchor101& a) {
    try {
        Upgrade(a);
    } catch (const ConversionFailure& f) {
        return f.code();
    }
    return 0;
}

Anchor101 WithEntries(int count, Long lower = 1) {
    Anchor101 a;
    a.Entries.Dimension(lower, count);
    a.EntryCount = static_cast<Integer>(count);
    return a;
}

} // namespace

TEST(UpgradeAnchor, TypeCodes) {
    struct Case {
        Integer code;
        const char* name;
        Integer expected;
        Long diff;
    };
    const Case cases[] = {
        {4, "SSL永久アンカー", 5, 7},
        {0, "SSL永久アンカー", 4, 550},
        {0, "新型SSL永久アンカーA", 4, 550},
        {0, "ssl永久アンカー", 0, 7},
        {0, "ＳＳＬ永久アンカー", 0, 7},
        {0, "ゴSL永久アンカー", 0, 7},
        {2, "SSL永久アンカー", 2, 7},
        {5, "", 5, 7},
        {0, "", 0, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Anchor101 a;
        a.TypeInfo.AnchorTypeCode = c.code;
        a.TypeInfo.AnchorTypeName = String::FromText(c.name);
        a.TypeInfo.MeasureA = 900;
        a.TypeInfo.MeasureB = 350;
        a.TypeInfo.MeasureDiff = 7;
        Anchor102 b = Upgrade(a);
        EXPECT_EQ(b.TypeInfo.AnchorTypeCode, c.expected);
        EXPECT_EQ(b.TypeInfo.MeasureDiff, c.diff);
        EXPECT_EQ(b.TypeInfo.AnchorTypeName, a.TypeInfo.AnchorTypeName);
    }
    Anchor101 overflow;
    overflow.TypeInfo.AnchorTypeName = String::FromText("SSL永久アンカー");
    overflow.TypeInfo.MeasureA = std::numeric_limits<Long>::min();
    overflow.TypeInfo.MeasureB = 1;
    EXPECT_EQ(FailureCode(overflow), platform::code::Overflow);
}

TEST(UpgradeAnchor, StepValues) {
    struct Case {
        Long total;
        Integer count;
        float value;
        int filled;
    };
    const Case cases[] = {{100, 3, 33.33f, 3}, {2, 3, 0.67f, 3}, {-10, 4, -2.5f, 4},
                          {55, 10, 5.5f, 10},  {55, 0, 0, 0},    {55, -2, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.total << " / " << c.count);
        Anchor101 a;
        a.TypeInfo.StepTotal = c.total;
        a.TypeInfo.StepCount = c.count;
        Anchor102 b = Upgrade(a);
        for (int i = 1; i <= 10; ++i)
            EXPECT_EQ(b.TypeInfo.StepValues.at(i), Single::of(i <= c.filled ? c.value : 0.0f))
                << "slot " << i;
    }
    Anchor101 eleven;
    eleven.TypeInfo.StepTotal = 100;
    eleven.TypeInfo.StepCount = 11;
    EXPECT_EQ(FailureCode(eleven), platform::code::SubscriptOutOfRange);
    // Rounding never produces minus zero, and never depends on the locale's decimal mark.
    EXPECT_EQ(StepValue(-1, 1000).bits, 0u);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(StepValue(10, 4), Single::of(2.5f));
    std::setlocale(LC_ALL, "C");
}

TEST(UpgradeAnchor, CycleNumbersAtTheReferenceLevel) {
    struct Case {
        float level;
        Integer cycle;
        Integer expected;
    };
    // Reference level 50, cycle count 3.
    const Case cases[] = {{50, 2, 3}, {50, 3, 3}, {50, 5, 6}, {50, -1, 0}, {40, 2, 2}, {NAN, 2, 2}};
    for (const auto& c : cases) {
        Anchor101 a = WithEntries(1);
        a.Cycle.ReferenceLevel = Single::of(50.0f);
        a.Cycle.CycleCount = 3;
        a.Entries.at(1).EntryLevel = Single::of(c.level);
        a.Entries.at(1).CycleNo = c.cycle;
        EXPECT_EQ(Upgrade(a).Entries.at(1).CycleNo, c.expected) << c.level << " " << c.cycle;
    }
    // A single-precision comparison: minus zero equals zero, a NaN level equals nothing.
    Anchor101 zero = WithEntries(1);
    zero.Cycle.ReferenceLevel = Single{0x80000000u};
    zero.Entries.at(1).CycleNo = 1;
    EXPECT_EQ(Upgrade(zero).Entries.at(1).CycleNo, 2);
    zero.Cycle.ReferenceLevel = Single{0x7FC00000u};
    zero.Entries.at(1).EntryLevel = Single{0x7FC00000u};
    EXPECT_EQ(Upgrade(zero).Entries.at(1).CycleNo, 1);
    zero.Entries.at(1).EntryLevel = zero.Cycle.ReferenceLevel = Single::of(1.0f);
    zero.Entries.at(1).CycleNo = 32767;
    EXPECT_EQ(FailureCode(zero), platform::code::Overflow);
}

TEST(UpgradeAnchor, EntriesAndReferenceValues) {
    Anchor101 a = WithEntries(3);
    for (int i = 1; i <= 3; ++i) {
        a.Entries.at(i).EntryPair.at(1) = Single{0x7FC00042u};
        a.Entries.at(i).EntryPair.at(2) = Single::of(static_cast<float>(i));
    }
    Anchor102 b = Upgrade(a);
    ASSERT_EQ(b.Entries.lower, 1);
    ASSERT_EQ(b.Entries.Count(), 3);
    EXPECT_EQ(b.Entries.at(1).RefValue1.bits, 0x7FC00042u);
    EXPECT_EQ(b.Entries.at(1).RefValue2, Single::of(1.0f));
    for (int i = 2; i <= 3; ++i) {
        EXPECT_EQ(b.Entries.at(i).RefValue1.bits, 0xC2C60000u);
        EXPECT_EQ(b.Entries.at(i).RefValue2.bits, 0xC2C60000u);
    }

    Anchor102 none = Upgrade(WithEntries(0));
    ASSERT_EQ(none.Entries.Count(), 1);
    EXPECT_EQ(none.Entries.lower, 1);
    EXPECT_TRUE(none.Entries.at(1) == Entry102{});
    EXPECT_EQ(none.EntryCount, 0);

    // Counts the stored array cannot honour fail; a huge count fails at its first missing entry.
    Anchor101 zeroBased = WithEntries(3, 0);
    EXPECT_EQ(FailureCode(zeroBased), platform::code::SubscriptOutOfRange);
    Anchor101 inflated = WithEntries(3);
    inflated.EntryCount = 30000;
    EXPECT_EQ(FailureCode(inflated), platform::code::SubscriptOutOfRange);
    Anchor101 undimensioned;
    undimensioned.EntryCount = 1;
    EXPECT_EQ(FailureCode(undimensioned), platform::code::SubscriptOutOfRange);
    Anchor101 negative;
    negative.EntryCount = -1;
    EXPECT_EQ(FailureCode(negative), platform::code::SubscriptOutOfRange);
}

TEST(UpgradeAnchor, EverythingElseIsCarriedAndTheDataBodyDropped) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        auto a = std::make_unique<Anchor101>();
        FillArchive fill(seed);
        fill(*a);
        a->TypeInfo.AnchorTypeCode = 3;
        a->TypeInfo.StepCount = 2;
        a->Entries.Dimension(1, 2);
        a->EntryCount = 2;
        a->Foot.Items.Dimension(0, 5);
        auto b = std::make_unique<Anchor102>();
        UpgradeAnchor(*a, *b);
        // Copied members, inner records whole (Foot.Items with its bounds 0..4).
        EXPECT_TRUE(b->HeadText == a->HeadText && b->TestMethod == a->TestMethod &&
                    b->HeadValue4 == a->HeadValue4);
        EXPECT_TRUE(b->TypeInfo.MeasureDiff == a->TypeInfo.MeasureDiff &&
                    b->TypeInfo.TypeValue3 == a->TypeInfo.TypeValue3);
        EXPECT_TRUE(b->Settings == a->Settings && b->Named == a->Named && b->Cycle == a->Cycle &&
                    b->Series == a->Series);
        EXPECT_TRUE(b->MidValue4 == a->MidValue4 && b->Data.DataText == a->Data.DataText &&
                    b->Foot == a->Foot);
        EXPECT_TRUE(b->Entries.at(2).EntryText2 == a->Entries.at(2).EntryText2 &&
                    b->Entries.at(2).EntryValue2 == a->Entries.at(2).EntryValue2);
        EXPECT_TRUE(b->FootText7 == a->FootText7 && b->FootInts == a->FootInts &&
                    b->FootValue5 == a->FootValue5);
        // The data body and the members that only the new layout has are zero.
        EXPECT_TRUE(b->Data.Groups == decltype(b->Data.Groups){} &&
                    b->Data.DataRest == decltype(b->Data.DataRest){});
        EXPECT_TRUE(b->EntryFlag == 0 && b->FootPair2 == decltype(b->FootPair2){} &&
                    b->FootTexts == decltype(b->FootTexts){} && b->FootByte5 == 0 &&
                    b->FootValue7 == Value4{});
        // Upgrading twice gives the same record.
        auto again = std::make_unique<Anchor102>();
        UpgradeAnchor(*a, *again);
        EXPECT_TRUE(*again == *b);
    }
}
