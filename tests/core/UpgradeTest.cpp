// The upgrade of the project and anchor records: the computed members, the failures, and that
// every other member is carried over.
#include "core/RecordHelpers.h"
#include "platform/Platform.h"
#include "upgrade/Set102Module.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace zel;
using namespace zel::test;

namespace {

using platform::code::Overflow;
using platform::code::SubscriptOutOfRange;

// The code of the failure that `build` ends with, 0 when it does not fail.
template <class Build> int FailureCode(Build build) {
    try {
        build();
    } catch (const ConversionFailure& f) {
        return f.code();
    }
    return 0;
}

Anchor102 Upgrade(const Anchor101& a) {
    Anchor102 out;
    UpgradeAnchor(a, out);
    return out;
}

int UpgradeFailure(const Anchor101& a) {
    return FailureCode([&] { Upgrade(a); });
}

Anchor101 WithEntries(int count, Long lower = 1) {
    Anchor101 a;
    a.Entries.Dimension(lower, count);
    a.EntryCount = static_cast<Integer>(count);
    return a;
}

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
        {3, "", 3, 7},
    };
    for (const auto& c : cases) {
        Anchor101 a;
        a.TypeInfo.AnchorTypeCode = c.code;
        a.TypeInfo.AnchorTypeName = String::FromText(c.name);
        a.TypeInfo.MeasureA = 900;
        a.TypeInfo.MeasureB = 350;
        a.TypeInfo.MeasureDiff = 7;
        const Anchor102 b = Upgrade(a);
        EXPECT_TRUE(b.TypeInfo.AnchorTypeCode == c.expected && b.TypeInfo.MeasureDiff == c.diff)
            << c.code << c.name;
    }
    Anchor101 overflow;
    overflow.TypeInfo.AnchorTypeName = String::FromText("SSL永久アンカー");
    overflow.TypeInfo.MeasureA = std::numeric_limits<Long>::min();
    overflow.TypeInfo.MeasureB = 1;
    EXPECT_EQ(UpgradeFailure(overflow), Overflow);
}

TEST(UpgradeAnchor, StepValuesAreTheTotalSharedOutInTwoDecimals) {
    struct Case {
        Long total;
        Integer count;
        float value;
        int filled;
    };
    const Case cases[] = {{100, 3, 33.33f, 3}, {2, 3, 0.67f, 3}, {-10, 4, -2.5f, 4},
                          {55, 10, 5.5f, 10},  {55, 0, 0, 0},    {55, -2, 0, 0}};
    for (const auto& c : cases) {
        Anchor101 a;
        a.TypeInfo.StepTotal = c.total;
        a.TypeInfo.StepCount = c.count;
        const Anchor102 b = Upgrade(a);
        for (int i = 1; i <= 10; ++i)
            EXPECT_EQ(b.TypeInfo.StepValues.at(i), Single::of(i <= c.filled ? c.value : 0.0f))
                << c.total << " / " << c.count << " slot " << i;
    }
    // The rounding is done on text that no locale formats, and never gives minus zero.
    for (auto [total, count, bits] : {std::tuple{2, 3, 0x3F2B851Fu}, {-1, 1000, 0u}, {7, 8, 0x3F6147AEu}})
        EXPECT_EQ(StepValue(total, static_cast<Integer>(count)).bits, bits) << total << "/" << count;
    Anchor101 eleven;
    eleven.TypeInfo.StepCount = 11;
    EXPECT_EQ(UpgradeFailure(eleven), SubscriptOutOfRange);
}

TEST(UpgradeAnchor, EntriesCycleNumbersAndReferenceValues) {
    struct Case {
        std::uint32_t level, reference;
        Integer cycle, expected;
    };
    const std::uint32_t fifty = 0x42480000, forty = 0x42200000, nan = 0x7FC00000, zero = 0,
                        minusZero = 0x80000000;
    // Cycle count 3: a cycle number that differs from it moves up, also one above it.
    const Case cases[] = {{fifty, fifty, 2, 3},   {fifty, fifty, 3, 3}, {fifty, fifty, 5, 6},
                          {fifty, fifty, -1, 0},  {forty, fifty, 2, 2}, {nan, nan, 2, 2},
                          {zero, minusZero, 1, 2}};
    for (const auto& c : cases) {
        Anchor101 a = WithEntries(1);
        a.Cycle.ReferenceLevel = Single{c.reference};
        a.Cycle.CycleCount = 3;
        a.Entries.at(1).EntryLevel = Single{c.level};
        a.Entries.at(1).CycleNo = c.cycle;
        EXPECT_EQ(Upgrade(a).Entries.at(1).CycleNo, c.expected) << std::hex << c.level << " " << c.cycle;
    }
    Anchor101 top = WithEntries(1);
    top.Entries.at(1).CycleNo = 32767;
    EXPECT_EQ(UpgradeFailure(top), Overflow);

    Anchor101 a = WithEntries(3);
    for (int i = 1; i <= 3; ++i) {
        a.Entries.at(i).EntryPair.at(1) = Single{0x7FC00042u};
        a.Entries.at(i).EntryPair.at(2) = Single::of(static_cast<float>(i));
    }
    const Anchor102 b = Upgrade(a);
    ASSERT_EQ(b.Entries.lower, 1);
    ASSERT_EQ(b.Entries.Count(), 3);
    EXPECT_EQ(b.Entries.at(1).RefValue1.bits, 0x7FC00042u);
    EXPECT_EQ(b.Entries.at(1).RefValue2, Single::of(1.0f));
    for (int i = 2; i <= 3; ++i)
        EXPECT_TRUE(b.Entries.at(i).RefValue1.bits == 0xC2C60000u &&
                    b.Entries.at(i).RefValue2.bits == 0xC2C60000u);

    const Anchor102 none = Upgrade(WithEntries(0));
    ASSERT_EQ(none.Entries.Count(), 1);
    EXPECT_EQ(none.Entries.lower, 1);
    EXPECT_TRUE(none.Entries.at(1) == Entry102{});
    EXPECT_EQ(none.EntryCount, 0);

    // Counts that the stored array cannot honour fail; a huge count fails at its first missing entry.
    Anchor101 inflated = WithEntries(3), negative = WithEntries(1), undimensioned;
    inflated.EntryCount = 30000;
    negative.EntryCount = -1;
    undimensioned.EntryCount = 1;
    for (const Anchor101& bad : {WithEntries(3, 0), inflated, negative, undimensioned})
        EXPECT_EQ(UpgradeFailure(bad), SubscriptOutOfRange);
}

// The project record upgraded and written as a 1.02 file, or nothing when the upgrade fails.
std::optional<std::vector<std::uint8_t>> Converted(const Main101& old) {
    auto main = std::make_unique<Main102>();
    try {
        BuildMain102(old, *main);
    } catch (const ConversionFailure&) {
        return std::nullopt;
    }
    VectorSink sink;
    EncodeFile102(sink, *main, {}, {}, {});
    return std::move(sink.bytes);
}

// A random project whose counts the upgrade can honour: every anchor's counts within their limits
// and matching its arrays, type codes that no rule touches.
std::unique_ptr<Main101> RandomConvertibleProject(unsigned seed) {
    auto m = std::make_unique<Main101>();
    FillArchive fill(seed);
    fill(*m);
    auto& rng = fill.rng();
    if (!m->Anchors.Dimensioned() || m->Anchors.Count() == 0) m->Anchors.Dimension(1, 1);
    m->Anchors.lower = 1;
    m->AnchorCount = m->Anchors.Count();
    auto fix = [&rng](Anchor101& a) {
        a.TypeInfo.AnchorTypeCode = static_cast<Integer>(1 + rng() % 3);
        a.TypeInfo.StepCount = static_cast<Integer>(rng() % 11);
        a.Cycle.CycleCount = static_cast<Integer>(rng() % 11);
        a.Settings.FirstCount = static_cast<Byte>(rng() % 11);
        a.Settings.SecondCount = static_cast<Byte>(rng() % 11);
        if (!a.Entries.Dimensioned() || a.Entries.Count() == 0) a.Entries.Dimension(1, 1);
        a.Entries.lower = 1;
        a.EntryCount = static_cast<Integer>(a.Entries.Count());
        for (Entry101& e : a.Entries.items)
            e.CycleNo = static_cast<Integer>(rng() % 20);
    };
    fix(m->CurrentAnchor);
    for (Anchor101& a : m->Anchors.items)
        fix(a);
    return m;
}

// Changing any member of the old project must show in the converted file (or make the upgrade
// fail), except a byte of an anchor's data body, which format 1.02 drops: that must change nothing.
// This catches every member copy that is left out or crossed with another.
TEST(UpgradeProject, EveryMemberIsCarriedOverAndTheDataBodyDropped) {
    for (unsigned seed : {11u, 12u}) {
        const auto original = RandomConvertibleProject(seed);
        const auto before = Converted(*original);
        ASSERT_TRUE(before) << "seed " << seed;
        ChangeArchive counter;
        counter(*std::make_unique<Main101>(*original));
        for (std::size_t member = 0; member < counter.count; ++member) {
            auto changed = std::make_unique<Main101>(*original);
            ChangeArchive change(member);
            change(*changed);
            const auto after = Converted(*changed);
            ASSERT_EQ(after == before, change.inDataBody) << "seed " << seed << ", member " << member;
        }
    }
}

TEST(UpgradeProject, BoundsAndCounts) {
    Main101 old;
    old.Anchors.Dimension(1, 1);
    old.Anchors.at(1).Cycle.CycleCount = 2;
    auto n = std::make_unique<Main102>();
    BuildMain102(old, *n); // N = 0 with one old element
    EXPECT_TRUE(n->Anchors.Count() == 1 && n->Extras.Count() == 1 && n->CycleTables.Count() == 1);
    EXPECT_TRUE(n->Anchors.lower == 1 && n->Extras.lower == 1 && n->CycleTables.lower == 1);
    EXPECT_EQ(n->CycleTables.at(1), CycleTable{}); // stays zero although the anchor was converted

    struct Case {
        Long count;
        Long lower;
        int code;
    };
    // More anchors than the array holds (also far more, failing without allocating for them first),
    // a negative count, one beyond 16 bits, an array stored as 0..N−1, no element 1 at all.
    const Case cases[] = {{2, 1, SubscriptOutOfRange},     {30000, 1, SubscriptOutOfRange},
                          {-1, 1, SubscriptOutOfRange},    {40000, 1, Overflow},
                          {32767, 1, SubscriptOutOfRange}, {1, 0, SubscriptOutOfRange},
                          {0, 2, SubscriptOutOfRange}};
    for (const Case& c : cases) {
        old.AnchorCount = c.count;
        old.Anchors.lower = c.lower;
        EXPECT_EQ(FailureCode([&] { BuildMain102(old, *n); }), c.code) << c.count << " from " << c.lower;
    }
}

} // namespace
