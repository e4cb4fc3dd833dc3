// The upgrade of the records and the cycle tables: computed members, failures, every other member kept.
#include "platform/Platform.h"
#include "upgrade/Set102Module.h"
#include "usrdata/FileImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

using namespace zel;

namespace {

// Fills every member with random bits: NaN patterns, odd code page 932 bytes, arrays of any bounds.
struct FillArchive : Archive<FillArchive> {
    explicit FillArchive(unsigned seed) : rng(seed) {}
    std::mt19937 rng;
    template <class T> void scalar(T& v) { v = static_cast<T>(rng()); }
    void bits32(std::uint32_t& v) {
        static const std::uint32_t nans[] = {0x7FC00000u, 0x7F800001u, 0xFFFFFFFFu, 0x80000000u};
        v = rng() % 4 == 0 ? nans[rng() % 4] : static_cast<std::uint32_t>(rng());
    }
    void string(String& s) {
        static const std::string pieces[] = {"",    "\xED\x40", "\xFA\x5C", "\x83\x53",
                                             "SSL", "\xFF",     "\x81",     "abc"};
        std::string bytes;
        for (int i = static_cast<int>(rng() % 4); i > 0; --i)
            bytes += pieces[rng() % 8];
        s = String(bytes);
    }
    void raw(std::uint8_t* p, std::size_t n) {
        std::generate_n(p, n, [&] { return std::uint8_t(rng()); });
    }
    template <class T> void dynArray(DynArray<T>& a) {
        if (rng() % 4 != 0) a.Dimension(rng() % 2 ? 0 : 5, static_cast<Long>(rng() % 3));
        for (auto& e : a.MutableItems())
            (*this)(e);
    }
};

// Changes member number `target` and tells whether it lies in a data body; else counts the members.
struct ChangeArchive : Archive<ChangeArchive> {
    explicit ChangeArchive(std::size_t at = SIZE_MAX) : target(at) {}
    std::size_t target, count = 0;
    bool inDataBody = false;
    bool Hit() { return count++ == target; }

    template <class T> void scalar(T& v) { v = static_cast<T>(v ^ (Hit() ? 1 : 0)); }
    void bits32(std::uint32_t& v) { v ^= Hit() ? 1u : 0u; }
    void string(String& s) {
        if (Hit()) s = String(std::string(s.view()) + 'x');
    }
    void raw(std::uint8_t* p, std::size_t n) {
        if (!Hit()) return;
        p[n - 1] ^= 1u;
        // The data body is made of 888-byte units and a 64-byte rest; no other old block has these sizes.
        inDataBody = n == sizeof(DataUnit{}.Bytes.bytes) || n == sizeof(DataBlock{}.DataRest.bytes);
    }
    template <class T> void dynArray(DynArray<T>& a) {
        const bool hit = Hit();
        if (hit && a.Dimensioned()) a.lower += 1;
        if (hit && !a.Dimensioned()) a.DimensionEmpty(1);
        for (auto& e : a.MutableItems())
            (*this)(e);
    }
};

using platform::code::Overflow, platform::code::SubscriptOutOfRange;

// The code of the failure that `build` ends with, 0 when it does not fail; its detail in `detail`.
template <class Build> int FailureCode(Build build, std::string* detail = nullptr) {
    try {
        build();
    } catch (const ConversionFailure& f) {
        if (detail) *detail = f.detail();
        return f.code();
    }
    return 0;
}

Anchor102 Upgrade(const Anchor101& a) {
    Anchor102 out;
    UpgradeAnchor(a, out);
    return out;
}

// An anchor with `count` entries from `lower` (none dimensioned when negative), its count `stored`.
Anchor101 WithEntries(int count, Long lower = 1, std::optional<Integer> stored = {}) {
    Anchor101 a;
    if (count >= 0) a.Entries.Dimension(lower, count);
    a.EntryCount = stored.value_or(static_cast<Integer>(count));
    return a;
}

TEST(UpgradeAnchor, TypeCodesStepValuesCycleNumbersAndReferenceValues) {
    const std::tuple<Integer, const char*, Integer, Long> types[] = {
        {4, "SSL永久アンカー", 5, 7},        {0, "SSL永久アンカー", 4, 550},
        {0, "新型SSL永久アンカーA", 4, 550}, {0, "ssl永久アンカー", 0, 7},
        {0, "ＳＳＬ永久アンカー", 0, 7},     {0, "ゴSL永久アンカー", 0, 7},
        {2, "SSL永久アンカー", 2, 7},        {5, "", 5, 7}};
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
        const int failure = FailureCode([&, cycle = cycle, expected = expected] {
            EXPECT_EQ(Upgrade(a).Entries.at(1).CycleNo, expected) << cycle;
        });
        EXPECT_EQ(failure, cycle == 32767 ? Overflow : 0);
    }

    Anchor101 a = WithEntries(3);
    for (int i = 1; i <= 3; ++i)
        a.Entries.at(i).EntryPair = {{Single{0x7FC00042u}, Single::of(static_cast<float>(i))}};
    const Anchor102 b = Upgrade(a);
    ASSERT_TRUE(b.Entries.lower == 1 && b.Entries.Count() == 3);
    for (int i = 1; i <= 3; ++i) // 0x3F800000: 1.0, 0xC2C60000: -99.0
        EXPECT_EQ(std::pair(b.Entries.at(i).RefValue1.bits, b.Entries.at(i).RefValue2.bits),
                  i == 1 ? std::pair(0x7FC00042u, 0x3F800000u) : std::pair(0xC2C60000u, 0xC2C60000u));
    const Anchor102 none = Upgrade(WithEntries(0));
    EXPECT_TRUE(none.Entries.Count() == 1 && none.Entries.lower == 1 && none.Entries.at(1) == Entry102{} &&
                none.EntryCount == 0);

    // Counts that the stored array cannot honour fail; a huge count fails at its first missing entry.
    for (const Anchor101& bad :
         {WithEntries(3, 0), WithEntries(3, 1, 30000), WithEntries(1, 1, -1), WithEntries(-1, 1, 1)})
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

// A random project whose counts the upgrade can honour, with type codes that no rule touches.
std::unique_ptr<Main101> RandomConvertibleProject(unsigned seed) {
    auto m = std::make_unique<Main101>();
    FillArchive fill(seed);
    fill(*m);
    auto random = [&fill](unsigned below) { return fill.rng() % below; };
    if (!m->Anchors.Dimensioned() || m->Anchors.Count() == 0) m->Anchors.Dimension(1, 1);
    m->Anchors.lower = 1;
    m->AnchorCount = m->Anchors.Count();
    std::vector<Anchor101*> anchors{&m->CurrentAnchor};
    for (Anchor101& a : m->Anchors.MutableItems())
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
        for (Entry101& e : a->Entries.MutableItems())
            e.CycleNo = static_cast<Integer>(random(20));
    }
    return m;
}

// Any change to an old member but the data body, which 1.02 drops, shows in the converted file or fails.
TEST(UpgradeProject, EveryMemberIsCarriedOverAndTheDataBodyDropped) {
    for (unsigned seed : {11u, 12u}) {
        const auto original = RandomConvertibleProject(seed);
        const auto before = Converted(*original);
        ASSERT_TRUE(before) << "seed " << seed;
        ChangeArchive counter;
        counter(*original);
        for (std::size_t member = 0; member < counter.count; ++member) {
            auto changed = std::make_unique<Main101>(*original);
            ChangeArchive change(member);
            change(*changed);
            ASSERT_EQ(Converted(*changed) == before, change.inDataBody)
                << "seed " << seed << ", member " << member;
        }
    }
}

// A record read over one that held other values (a working set used again) keeps nothing of them.
TEST(UpgradeProject, ARecordReadOverAnotherKeepsNothingOfIt) {
    for (unsigned seed : {1u, 2u, 3u}) {
        auto written = std::make_unique<Main101>(), read = std::make_unique<Main101>();
        FillArchive{seed}(*written);
        FillArchive{seed + 10}(*read);
        VectorSink sink;
        ByteWriter writer(sink);
        EncodeRecord(writer, *written);
        writer.Flush();
        ByteReader reader(sink.bytes);
        DecodeRecord(reader, *read);
        EXPECT_TRUE(*read == *written) << seed;
    }
}

TEST(UpgradeProject, BoundsAndCounts) {
    Main101 old;
    old.Anchors.Dimension(1, 1);
    old.Anchors.at(1).Cycle.CycleCount = 2;
    auto n = std::make_unique<Main102>();
    FillArchive(3)(*n);    // what it held before counts for nothing
    BuildMain102(old, *n); // N = 0 with one old element
    VectorSink sink;
    EncodeFile102(sink, *n, {}, {}, {});
    EXPECT_EQ(sink.bytes, Converted(old));
    EXPECT_TRUE(n->Anchors.Count() == 1 && n->Extras.Count() == 1 && n->CycleTables.Count() == 1);
    EXPECT_TRUE(n->Anchors.lower == 1 && n->Extras.lower == 1 && n->CycleTables.lower == 1);
    EXPECT_EQ(n->CycleTables.at(1), CycleTable{}); // stays zero although the anchor was converted
    // More anchors than the array holds (also far more), a negative count, one beyond 16 bits, the
    // largest that fits, an array stored as 0..N−1, no element 1 at all.
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

// --- The cycle test table built from an old anchor's two point groups ---------------------------

constexpr Integer kGroup1 = 111, kGroup2 = 222;

Anchor101 AnchorFor(Integer cycles, const char* method, int count1 = 2, int count2 = 3) {
    Anchor101 a;
    a.Cycle.CycleCount = cycles;
    a.TestMethod = String::FromText(method);
    a.Settings.FirstValue = kGroup1;
    a.Settings.SecondValue = kGroup2;
    a.Settings.FirstCount = static_cast<Byte>(count1);
    a.Settings.SecondCount = static_cast<Byte>(count2);
    for (int p = 1; p <= 20; ++p) {
        a.Settings.FirstPoints.at(p) = static_cast<Integer>(100 + p);
        a.Settings.SecondPoints.at(p) = static_cast<Integer>(200 + p);
    }
    return a;
}

// The table built from `a`, as the code and detail of its failure or as 0 and the list of its filled
// steps: "L2:1" is Levels(2) from group 1, "C3S1:2" is SecondSteps(1) of Cycles(3) from group 2. Each
// filled step must carry its group's count and points and nothing beyond ("!" marks one that does not).
std::pair<int, std::string> Build(const Anchor101& a, bool current) {
    CycleTable t;
    std::string out;
    if (const int code = FailureCode([&] { BuildCycleTable(t, a, current); }, &out)) return {code, out};
    EXPECT_TRUE(t.CycleCount == a.Cycle.CycleCount && t.BothValuesSet == -1);
    auto step = [&](const CycleStep& s, const std::string& name) {
        if (s == CycleStep{}) return;
        const int g = s.Value == kGroup1 ? 1 : s.Value == kGroup2 ? 2 : 0;
        const int count = g == 1 ? a.Settings.FirstCount : a.Settings.SecondCount;
        bool pointsOk = s.List.PointCount == count;
        for (int p = 1; p <= 10; ++p)
            pointsOk = pointsOk && s.List.Points.at(p) == (p <= count ? g * 100 + p : 0);
        out += (out.empty() ? "" : " ") + name + ":" + std::to_string(g) + (pointsOk ? "" : "!");
    };
    for (int k = 1; k <= 11; ++k)
        step(t.Levels.at(k), "L" + std::to_string(k));
    for (int i = 1; i <= 10; ++i)
        for (const char* half : {"F", "S"})
            for (int j = 1; j <= 10; ++j)
                step((*half == 'F' ? t.Cycles.at(i).FirstSteps : t.Cycles.at(i).SecondSteps).at(j),
                     "C" + std::to_string(i) + half + std::to_string(j));
    return {0, out};
}

TEST(CycleTable, LayoutsByMethodAndCycleCountAndFailuresSayingWhatWasTooLarge) {
    const std::string multi3 =
        "L1:1 L2:1 L3:1 L4:1 C2F1:2 C2F2:2 C2S2:2 C3F1:2 C3F2:2 C3F3:2 C3S1:2 C3S2:2 C3S3:2";
    const std::string other3 = "L1:1 L2:1 L3:1 L4:1 C1F1:2 C1S1:2 C2F1:2 C2S1:2 C3F1:2 C3S1:2";
    const std::string cycles11 = "サイクル数が 11 あり、上限の 10 を超えています。";
    // Cycles, method, current anchor, the groups' point counts; failure code and detail or 0 and steps.
    // clang-format off
    const std::tuple<Integer, const char*, bool, int, int, int, std::string> cases[] = {
        {0, "多サイクル", false, 2, 3, 0, "L1:1"}, {1, "多サイクル", false, 2, 3, 0, "L1:1 L2:1"},
        {1, "１サイクル", false, 2, 3, 0, "L1:2 L2:1"}, {-1, "多サイクル", false, 2, 3, 0, ""},
        {3, "多サイクル", false, 2, 3, 0, multi3}, {3, "", false, 2, 3, 0, other3},
        {3, "１サイクル", false, 2, 3, 0, "L1:2 L2:1 C1F1:2 C1S1:2 C2F1:2 C2S1:2 C3F1:2 C3S1:2"},
        {3, "1サイクル", false, 2, 3, 0, other3}, // a half-width digit is another method
        {3, "１サイクル", true, 2, 3, 0, multi3}, // the current anchor always takes the general rules
        {10, "", false, 2, 3, 0,
         "L1:1 L2:1 L3:1 L4:1 L5:1 L6:1 L7:1 L8:1 L9:1 L10:1 L11:1 C1F1:2 C1S1:2 C2F1:2 C2S1:2 C3F1:2 C3S1:2 "
         "C4F1:2 C4S1:2 C5F1:2 C5S1:2 C6F1:2 C6S1:2 C7F1:2 C7S1:2 C8F1:2 C8S1:2 C9F1:2 C9S1:2 C10F1:2 C10S1:2"},
        {11, "多サイクル", false, 2, 3, SubscriptOutOfRange, cycles11}, {11, "１サイクル", false, 2, 3, SubscriptOutOfRange, cycles11},
        {32767, "", true, 2, 3, Overflow, "サイクル数 32767 に 1 を加えると範囲を超えます。"},
        {0, "", false, 11, 0, SubscriptOutOfRange, "グループ 1 の点数が 11 あり、上限の 10 を超えています。"},
        {2, "", false, 10, 11, SubscriptOutOfRange, "グループ 2 の点数が 11 あり、上限の 10 を超えています。"},
        // Group 2 is not used at c = 0; a group of no point fills none.
        {0, "", false, 10, 20, 0, "L1:1"}, {0, "", false, 0, 10, 0, "L1:1"},
    };
    // clang-format on
    for (const auto& [cycles, method, current, count1, count2, code, expected] : cases)
        EXPECT_EQ(Build(AnchorFor(cycles, method, count1, count2), current), std::pair(code, expected))
            << cycles << method << current << count1 << count2;
    // Ten cycles of the multi-cycle layout: cycles 2 to 10, each with its steps 1..i.
    const std::string ten = Build(AnchorFor(10, "多サイクル"), false).second;
    EXPECT_TRUE(std::ranges::count(ten, ' ') == 110 && ten.find("C10F10:2 C10S1:2 C10S2:2") != ten.npos);

    Anchor101 one = AnchorFor(0, ""); // one value 0: BothValuesSet stays 0
    one.Settings.FirstValue = 0;
    CycleTable t;
    BuildCycleTable(t, one, false);
    EXPECT_EQ(t.BothValuesSet, 0);
}

} // namespace
