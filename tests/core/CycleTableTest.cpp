// The cycle test table built from an old anchor's two point groups.
#include "platform/Platform.h"
#include "upgrade/Set102Module.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace zel;

namespace {

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

// Lists the filled steps: "L2:1" is Levels(2) from group 1, "C3S1:2" is SecondSteps(1) of Cycles(3)
// from group 2. Each filled step must carry its group's count and points and nothing beyond.
std::string Filled(const CycleTable& t) {
    std::string out;
    auto step = [&](const CycleStep& s, const std::string& name) {
        if (s == CycleStep{}) return;
        int g = s.Value == kGroup1 ? 1 : s.Value == kGroup2 ? 2 : 0;
        int count = g == 1 ? 2 : 3;
        bool pointsOk = s.List.PointCount == count;
        for (int p = 1; p <= 10; ++p)
            pointsOk = pointsOk && s.List.Points.at(p) == (p <= count ? g * 100 + p : 0);
        out += (out.empty() ? "" : " ") + name + ":" + std::to_string(g) + (pointsOk ? "" : "!");
    };
    for (int k = 1; k <= 11; ++k)
        step(t.Levels.at(k), "L" + std::to_string(k));
    for (int i = 1; i <= 10; ++i)
        for (int h = 0; h < 2; ++h)
            for (int j = 1; j <= 10; ++j) {
                const auto& steps = h == 0 ? t.Cycles.at(i).FirstSteps : t.Cycles.at(i).SecondSteps;
                step(steps.at(j), "C" + std::to_string(i) + (h == 0 ? "F" : "S") + std::to_string(j));
            }
    return out;
}

std::string Build(const Anchor101& a, bool current) {
    CycleTable t;
    BuildCycleTable(t, a, current);
    EXPECT_EQ(t.CycleCount, a.Cycle.CycleCount);
    EXPECT_EQ(t.BothValuesSet, -1);
    return Filled(t);
}

const std::string kMulti3 =
    "L1:1 L2:1 L3:1 L4:1 C2F1:2 C2F2:2 C2S2:2 C3F1:2 C3F2:2 C3F3:2 C3S1:2 C3S2:2 C3S3:2";
const std::string kOther3 = "L1:1 L2:1 L3:1 L4:1 C1F1:2 C1S1:2 C2F1:2 C2S1:2 C3F1:2 C3S1:2";

} // namespace

TEST(CycleTable, LayoutsByMethodAndCycleCount) {
    struct Case {
        Integer cycles;
        const char* method;
        bool current;
        std::string expected;
    };
    const Case cases[] = {
        {0, "多サイクル", false, "L1:1"},
        {0, "", false, "L1:1"},
        {1, "多サイクル", false, "L1:1 L2:1"},
        {1, "１サイクル", false, "L1:2 L2:1"},
        {0, "１サイクル", false, "L1:2 L2:1"},
        {3, "多サイクル", false, kMulti3},
        {3, "１サイクル", false, "L1:2 L2:1 C1F1:2 C1S1:2 C2F1:2 C2S1:2 C3F1:2 C3S1:2"},
        {3, "", false, kOther3},
        {3, "1サイクル", false, kOther3}, // a half-width digit is another method
        {3, "１サイクル", true, kMulti3}, // the current anchor always takes the general rules
        {3, "", true, kMulti3},
        {-1, "多サイクル", false, ""},
        {10, "", false,
         "L1:1 L2:1 L3:1 L4:1 L5:1 L6:1 L7:1 L8:1 L9:1 L10:1 L11:1 C1F1:2 C1S1:2 C2F1:2 C2S1:2 "
         "C3F1:2 C3S1:2 C4F1:2 C4S1:2 C5F1:2 C5S1:2 C6F1:2 C6S1:2 C7F1:2 C7S1:2 C8F1:2 C8S1:2 "
         "C9F1:2 C9S1:2 C10F1:2 C10S1:2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Build(AnchorFor(c.cycles, c.method), c.current), c.expected)
            << c.cycles << c.method << c.current;
    // Ten cycles of the multi-cycle layout: cycles 2 to 10, each with its steps 1..i.
    const std::string ten = Build(AnchorFor(10, "多サイクル"), false);
    EXPECT_EQ(std::count(ten.begin(), ten.end(), ' ') + 1, 11 + 99 + 1);
    EXPECT_NE(ten.find("L11:1 C2F1:2"), std::string::npos);
    EXPECT_NE(ten.find("C10F10:2 C10S1:2 C10S2:2"), std::string::npos);
}

TEST(CycleTable, FailuresSayWhatWasTooLarge) {
    using platform::code::Overflow;
    using platform::code::SubscriptOutOfRange;
    const std::string cycles = "サイクル数が 11 あり、上限の 10 を超えています。";
    const struct {
        Integer cycles;
        const char* method;
        bool current;
        int count1, count2, code;
        std::string detail;
    } cases[] = {
        {11, "多サイクル", false, 2, 3, SubscriptOutOfRange, cycles},
        {11, "", false, 2, 3, SubscriptOutOfRange, cycles},
        {11, "１サイクル", false, 2, 3, SubscriptOutOfRange, cycles},
        {11, "１サイクル", true, 2, 3, SubscriptOutOfRange, cycles},
        {32767, "", true, 2, 3, Overflow, "サイクル数 32767 に 1 を加えると範囲を超えます。"},
        {0, "", false, 11, 0, SubscriptOutOfRange, "グループ 1 の点数が 11 あり、上限の 10 を超えています。"},
        {0, "", false, 10, 20, 0, ""}, // group 2 is not used at c = 0
        {2, "", false, 10, 11, SubscriptOutOfRange,
         "グループ 2 の点数が 11 あり、上限の 10 を超えています。"},
    };
    for (const auto& c : cases) {
        CycleTable t;
        int code = 0;
        std::string detail;
        try {
            BuildCycleTable(t, AnchorFor(c.cycles, c.method, c.count1, c.count2), c.current);
        } catch (const ConversionFailure& f) {
            code = f.code();
            detail = f.detail();
        }
        EXPECT_EQ(code, c.code) << c.cycles << c.method << c.count1 << c.count2;
        EXPECT_EQ(detail, c.detail) << c.cycles << c.method << c.count1 << c.count2;
    }
    // One value 0: BothValuesSet stays 0; a group of no point fills none.
    Anchor101 one = AnchorFor(0, "", 0, 10);
    one.Settings.FirstValue = 0;
    CycleTable t;
    BuildCycleTable(t, one, false);
    EXPECT_TRUE(t.BothValuesSet == 0 && t.Levels.at(1).List.PointCount == 0 &&
                t.Levels.at(1).List.Points.at(1) == 0);
}
