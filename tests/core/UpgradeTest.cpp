// The upgrade of the project and anchor records: the computed members, the failures, and that
// every other member is carried over.
#include "core/RecordHelpers.h"
#include "platform/Platform.h"
#include "upgrade/Set102Module.h"

#include <gtest/gtest.h>

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

Anchor101 WithEntries(int count, Long lower = 1) {
    Anchor101 a;
    a.Entries.Dimension(lower, count);
    a.EntryCount = static_cast<Integer>(count);
    return a;
}

TEST(UpgradeAnchor, TypeCodesAndStepValues) {
    const std::tuple<Integer, const char*, Integer, Long> types[] = {{4, "SSL永久アンカー", 5, 7},
                                                                     {0, "SSL永久アンカー", 4, 550},
                                                                     {0, "新型SSL永久アンカーA", 4, 550},
                                                                     {0, "ssl永久アンカー", 0, 7},
                                                                     {0, "ＳＳＬ永久アンカー", 0, 7},
                                                                     {0, "ゴSL永久アンカー", 0, 7},
                                                                     {2, "SSL永久アンカー", 2, 7},
                                                                     {5, "", 5, 7},
                                                                     {3, "", 3, 7}};
    auto typed = [](Integer code, const char* name, Long measureA, Long measureB) {
        Anchor101 a;
        a.TypeInfo.AnchorTypeCode = code;
        a.TypeInfo.AnchorTypeName = String::FromText(name);
        a.TypeInfo.MeasureA = measureA;
        a.TypeInfo.MeasureB = measureB;
        a.TypeInfo.MeasureDiff = 7;
        return a;
    };
    for (auto [code, name, expected, diff] : types) {
        const Anchor102 b = Upgrade(typed(code, name, 900, 350));
        EXPECT_TRUE(b.TypeInfo.AnchorTypeCode == expected && b.TypeInfo.MeasureDiff == diff) << code << name;
    }
    EXPECT_EQ(FailureCode([&] { Upgrade(typed(0, "SSL永久アンカー", std::numeric_limits<Long>::min(), 1)); }),
              Overflow);

    // The total shared out over the steps in two decimals, on text that no locale formats.
    const std::tuple<Long, Integer, float, int> steps[] = {
        {100, 3, 33.33f, 3}, {2, 3, 0.67f, 3}, {-10, 4, -2.5f, 4}, {7, 8, 0.88f, 8},
        {55, 10, 5.5f, 10},  {55, 0, 0, 0},    {55, -2, 0, 0},     {-1, 1000, 0, 0}};
    for (auto [total, count, value, filled] : steps) {
        Anchor101 a;
        a.TypeInfo.StepTotal = total;
        a.TypeInfo.StepCount = count;
        if (count > 10) {
            EXPECT_EQ(FailureCode([&] { Upgrade(a); }), SubscriptOutOfRange);
            EXPECT_EQ(StepValue(total, count).bits, 0u) << "never minus zero";
            continue;
        }
        const Anchor102 b = Upgrade(a);
        for (int i = 1; i <= 10; ++i)
            EXPECT_EQ(b.TypeInfo.StepValues.at(i), Single::of(i <= filled ? value : 0.0f))
                << total << "/" << count;
    }
}

TEST(UpgradeAnchor, EntriesCycleNumbersAndReferenceValues) {
    // Cycle count 3: at the reference level a cycle number that differs from it moves up, also one
    // above it; the levels are compared as singles (minus zero equals zero, NaN nothing).
    const std::uint32_t fifty = 0x42480000, nan = 0x7FC00000;
    const std::tuple<std::uint32_t, std::uint32_t, Integer, Integer> cycles[] = {
        {fifty, fifty, 2, 3},      {fifty, fifty, 3, 3}, {fifty, fifty, 5, 6},  {fifty, fifty, -1, 0},
        {0x42200000, fifty, 2, 2}, {nan, nan, 2, 2},     {0, 0x80000000, 1, 2}, {fifty, fifty, 32767, 0}};
    for (auto [level, reference, cycle, expected] : cycles) {
        Anchor101 a = WithEntries(1);
        a.Cycle.ReferenceLevel = Single{reference};
        a.Cycle.CycleCount = 3;
        a.Entries.at(1).EntryLevel = Single{level};
        a.Entries.at(1).CycleNo = cycle;
        const int failure =
            FailureCode([&] { EXPECT_EQ(Upgrade(a).Entries.at(1).CycleNo, expected) << cycle; });
        EXPECT_EQ(failure, cycle == 32767 ? Overflow : 0);
    }

    Anchor101 a = WithEntries(3);
    for (int i = 1; i <= 3; ++i)
        a.Entries.at(i).EntryPair = {{Single{0x7FC00042u}, Single::of(static_cast<float>(i))}};
    const Anchor102 b = Upgrade(a);
    ASSERT_TRUE(b.Entries.lower == 1 && b.Entries.Count() == 3);
    EXPECT_TRUE(b.Entries.at(1).RefValue1.bits == 0x7FC00042u &&
                b.Entries.at(1).RefValue2 == Single::of(1.0f));
    for (int i = 2; i <= 3; ++i)
        EXPECT_TRUE(b.Entries.at(i).RefValue1.bits == 0xC2C60000u &&
                    b.Entries.at(i).RefValue2.bits == 0xC2C60000u);
    const Anchor102 none = Upgrade(WithEntries(0));
    EXPECT_TRUE(none.Entries.Count() == 1 && none.Entries.lower == 1 && none.Entries.at(1) == Entry102{} &&
                none.EntryCount == 0);

    // Counts that the stored array cannot honour fail; a huge count fails at its first missing entry.
    Anchor101 inflated = WithEntries(3), negative = WithEntries(1), undimensioned;
    inflated.EntryCount = 30000;
    negative.EntryCount = -1;
    undimensioned.EntryCount = 1;
    for (const Anchor101& bad : {WithEntries(3, 0), inflated, negative, undimensioned})
        EXPECT_EQ(FailureCode([&] { Upgrade(bad); }), SubscriptOutOfRange);
}

// The project record upgraded and written as a 1.02 file, or nothing when the upgrade fails.
std::optional<std::vector<std::uint8_t>> Converted(const Main101& old) {
    auto main = std::make_unique<Main102>();
    if (FailureCode([&] { BuildMain102(old, *main); }) != 0) return std::nullopt;
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
    auto random = [&fill](unsigned below) { return fill.rng()() % below; };
    if (!m->Anchors.Dimensioned() || m->Anchors.Count() == 0) m->Anchors.Dimension(1, 1);
    m->Anchors.lower = 1;
    m->AnchorCount = m->Anchors.Count();
    std::vector<Anchor101*> anchors{&m->CurrentAnchor};
    for (Anchor101& a : m->Anchors.items)
        anchors.push_back(&a);
    for (Anchor101* a : anchors) {
        a->TypeInfo.AnchorTypeCode = static_cast<Integer>(1 + random(3));
        a->TypeInfo.StepCount = static_cast<Integer>(random(11));
        a->Cycle.CycleCount = static_cast<Integer>(random(11));
        a->Settings.FirstCount = static_cast<Byte>(random(11));
        a->Settings.SecondCount = static_cast<Byte>(random(11));
        if (!a->Entries.Dimensioned() || a->Entries.Count() == 0) a->Entries.Dimension(1, 1);
        a->Entries.lower = 1;
        a->EntryCount = static_cast<Integer>(a->Entries.Count());
        for (Entry101& e : a->Entries.items)
            e.CycleNo = static_cast<Integer>(random(20));
    }
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
            ASSERT_EQ(Converted(*changed) == before, change.inDataBody)
                << "seed " << seed << ", member " << member;
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
    // More anchors than the array holds (also far more, failing without allocating for them first),
    // a negative count, one beyond 16 bits, the largest that fits, an array stored as 0..N−1, no
    // element 1 at all.
    const std::tuple<Long, Long, int> cases[] = {
        {2, 1, SubscriptOutOfRange}, {30000, 1, SubscriptOutOfRange}, {-1, 1, SubscriptOutOfRange},
        {40000, 1, Overflow},        {32767, 1, SubscriptOutOfRange}, {1, 0, SubscriptOutOfRange},
        {0, 2, SubscriptOutOfRange}};
    for (auto [count, lower, code] : cases) {
        old.AnchorCount = count;
        old.Anchors.lower = lower;
        EXPECT_EQ(FailureCode([&] { BuildMain102(old, *n); }), code) << count << " from " << lower;
    }
}

} // namespace
