#include "upgrade/Set102Module.h"

#include <charconv>
#include <limits>
#include <string>

namespace zel {

namespace {

constexpr Integer kIntegerMax = std::numeric_limits<Integer>::max();
constexpr Integer kTypeCodeSsl = 4;
constexpr Integer kTypeCodeOld4 = 4;
constexpr Integer kTypeCodeNew4 = 5;
constexpr int kStepSlots = 10;
constexpr int kPointSlots = 10;
constexpr int kLevelSlots = 11;
constexpr int kCycleSlots = 10;
constexpr std::uint32_t kMinus99 = 0xC2C60000; // −99.0 as a single

std::string Num(long long v) {
    return std::to_string(v);
}

// Runs body(i) for i = from..to with a signed 16-bit counter, the way the format's own loops
// count: advancing the counter past 32767 is an overflow.
template <class Body> void ForInteger(Integer from, Integer to, Body body) {
    for (Integer i = from; i <= to;) {
        body(i);
        if (i == kIntegerMax) FailOverflow("繰り返しの回数が 32767 を超えました。");
        i = static_cast<Integer>(i + 1);
    }
}

Integer Plus1(Integer v, const std::string& what) {
    if (v == kIntegerMax) FailOverflow(what + " " + Num(v) + " に 1 を加えると範囲を超えます。");
    return static_cast<Integer>(v + 1);
}

} // namespace

Single StepValue(Long total, Integer count) {
    float quotient = static_cast<float>(static_cast<double>(total) / count);
    // Two decimals, as the pattern "#####0.00" shows the number, whatever the user's locale.
    char text[64];
    auto written =
        std::to_chars(text, text + sizeof text, static_cast<double>(quotient), std::chars_format::fixed, 2);
    float rounded = 0.0f;
    std::from_chars(text, written.ptr, rounded);
    if (rounded == 0.0f) rounded = 0.0f; // "-0.00" reads back as zero, not minus zero
    return Single::of(rounded);
}

void UpgradeAnchor(const Anchor101& source, Anchor102& target) {
    target.HeadText = source.HeadText;
    target.TestMethod = source.TestMethod;
    target.HeadValue1 = source.HeadValue1;
    target.HeadValue2 = source.HeadValue2;
    target.HeadInt1 = source.HeadInt1;
    target.HeadInt2 = source.HeadInt2;
    target.HeadInt3 = source.HeadInt3;
    target.HeadInt4 = source.HeadInt4;
    target.HeadValue3 = source.HeadValue3;
    target.HeadValue4 = source.HeadValue4;

    // Type code: old code 4 is now 5; code 0 with the SSL permanent anchor's name becomes 4.
    const TypeBlock101& st = source.TypeInfo;
    TypeBlock102& tt = target.TypeInfo;
    Integer code = st.AnchorTypeCode == kTypeCodeOld4 ? kTypeCodeNew4 : st.AnchorTypeCode;
    bool ssl = code == 0 && TextContains(st.AnchorTypeName, kSslPermanentAnchor);
    if (ssl) code = kTypeCodeSsl;
    tt.AnchorTypeCode = code;
    tt.TypeInt = st.TypeInt;
    tt.AnchorTypeName = st.AnchorTypeName;
    tt.MeasureA = st.MeasureA;
    tt.MeasureB = st.MeasureB;
    tt.TypeValue1 = st.TypeValue1;
    tt.StepTotal = st.StepTotal;
    if (ssl) {
        std::int64_t diff = static_cast<std::int64_t>(st.MeasureA) - st.MeasureB;
        if (diff > std::numeric_limits<Long>::max() || diff < std::numeric_limits<Long>::min())
            FailOverflow("SSL永久アンカーの差 " + Num(st.MeasureA) + " − " + Num(st.MeasureB) +
                         " が 32 ビットの範囲を超えています。");
        tt.MeasureDiff = static_cast<Long>(diff);
    } else {
        tt.MeasureDiff = st.MeasureDiff;
    }
    tt.TypeValue2 = st.TypeValue2;
    tt.TypeValue3 = st.TypeValue3;
    tt.StepCount = st.StepCount;

    // Step values: the step total shared out over the steps, two decimals, in slots 1..n.
    if (st.StepCount != 0) {
        Single v = StepValue(st.StepTotal, st.StepCount);
        ForInteger(1, st.StepCount, [&](Integer i) {
            if (i > kStepSlots)
                FailSubscript("段階数が " + Num(st.StepCount) + " あり、上限の " + Num(kStepSlots) +
                              " を超えています。");
            tt.StepValues.at(i) = v;
        });
    }

    target.Settings = source.Settings;
    target.Flag1 = source.Flag1;
    target.Named = source.Named;
    target.Cycle = source.Cycle;
    target.MidValue1 = source.MidValue1;
    target.MidInt1 = source.MidInt1;
    target.MidValue2 = source.MidValue2;
    target.MidValue3 = source.MidValue3;
    target.MidValue4 = source.MidValue4;
    target.MidInt2 = source.MidInt2;
    target.Series = source.Series;
    // Of the data block only its text is carried over; its numeric data stays zero.
    target.Data.DataText = source.Data.DataText;
    target.EntryFlag = 0;

    // Entries: bounds 1..m (1..1 when m is 0). The elements are appended one by one, so a count
    // that the source cannot honour fails at its first missing entry without allocating first.
    const Integer m = source.EntryCount;
    if (m < 0) FailSubscript("データ数が負の値 (" + Num(m) + ") です。");
    const Single level = source.Cycle.ReferenceLevel;
    const Integer cycles = source.Cycle.CycleCount;
    target.Entries.DimensionEmpty(1);
    ForInteger(1, m, [&](Integer i) {
        if (!source.Entries.Contains(i))
            FailSubscript("データ数は " + Num(m) + " ですが、" + Num(i) + " 番目のデータがありません。");
        const Entry101& se = source.Entries.at(i);
        Entry102& te = target.Entries.MutableItems().emplace_back();
        te.EntryText1 = se.EntryText1;
        te.EntryText2 = se.EntryText2;
        te.EntryInt1 = se.EntryInt1;
        te.EntryInt2 = se.EntryInt2;
        te.EntryValue1 = se.EntryValue1;
        te.EntryLevel = se.EntryLevel;
        // An entry at the reference level whose cycle differs from the cycle count moves up one.
        if (se.EntryLevel.value() == level.value() && se.CycleNo != cycles)
            te.CycleNo = Plus1(se.CycleNo, Num(i) + " 番目のデータのサイクル番号");
        else
            te.CycleNo = se.CycleNo;
        te.EntryInt3 = se.EntryInt3;
        te.EntryInt4 = se.EntryInt4;
        te.EntryPair = se.EntryPair;
        te.EntryValue2 = se.EntryValue2;
        if (i == 1) {
            te.RefValue1 = se.EntryPair.at(1);
            te.RefValue2 = se.EntryPair.at(2);
        } else {
            te.RefValue1 = Single{kMinus99};
            te.RefValue2 = Single{kMinus99};
        }
    });
    if (m == 0) target.Entries.MutableItems().emplace_back();
    target.EntryCount = m;

    target.FootText1 = source.FootText1;
    target.FootText2 = source.FootText2;
    target.FootText3 = source.FootText3;
    target.FootValue1 = source.FootValue1;
    target.FootValue2 = source.FootValue2;
    target.FootPair1 = source.FootPair1;
    target.FootValue3 = source.FootValue3;
    target.FootByte1 = source.FootByte1;
    target.FootInt1 = source.FootInt1;
    target.FootInt2 = source.FootInt2;
    target.FootByte2 = source.FootByte2;
    target.FootValue4 = source.FootValue4;
    target.Foot = source.Foot; // Items with its stored bounds, undimensioned stays undimensioned
    target.FootByte3 = source.FootByte3;
    target.FootText4 = source.FootText4;
    target.FootByte4 = source.FootByte4;
    target.FootText5 = source.FootText5;
    target.FootText6 = source.FootText6;
    target.FootText7 = source.FootText7;
    target.FootInts = source.FootInts;
    target.FootInt3 = source.FootInt3;
    target.FootValue5 = source.FootValue5;
}

namespace {

struct PointGroup {
    int number; // 1 or 2, for the message
    Integer value;
    Byte count;
    const FixedArray<Integer, 20>& points;
};

// Fills a step from a point group: its value, its count and its first `count` points.
void FillStep(CycleStep& step, const PointGroup& g) {
    step.Value = g.value;
    step.List.PointCount = g.count;
    for (int p = 1; p <= g.count; ++p) {
        if (p > kPointSlots)
            FailSubscript("グループ " + Num(g.number) + " の点数が " + Num(g.count) + " あり、上限の " +
                          Num(kPointSlots) + " を超えています。");
        step.List.Points.at(p) = g.points.at(p);
    }
}

std::string CycleCountText(Integer c) {
    return "サイクル数が " + Num(c) + " あり、上限の " + Num(kCycleSlots) + " を超えています。";
}

} // namespace

void BuildCycleTable(CycleTable& table, const Anchor101& anchor, bool isCurrentAnchor) {
    const PointSettings& s = anchor.Settings;
    const PointGroup group1{1, s.FirstValue, s.FirstCount, s.FirstPoints};
    const PointGroup group2{2, s.SecondValue, s.SecondCount, s.SecondPoints};
    const Integer c = anchor.Cycle.CycleCount;

    if (s.FirstValue != 0 && s.SecondValue != 0) table.BothValuesSet = -1;
    table.Mark = 0;
    table.CycleCount = c;

    if (!isCurrentAnchor && TextEquals(anchor.TestMethod, kOneCycle)) {
        FillStep(table.Levels.at(2), group1);
        FillStep(table.Levels.at(1), group2);
    } else {
        ForInteger(1, Plus1(c, "サイクル数"), [&](Integer k) {
            if (k > kLevelSlots) FailSubscript(CycleCountText(c));
            FillStep(table.Levels.at(k), group1);
        });
    }

    const bool multiCycle = isCurrentAnchor || TextEquals(anchor.TestMethod, kMultiCycle);
    ForInteger(2, c, [&](Integer i) {
        ForInteger(1, i, [&](Integer j) {
            if (multiCycle) {
                if (i > kCycleSlots) FailSubscript(CycleCountText(c));
                CycleEntry& cycle = table.Cycles.at(i);
                FillStep(cycle.FirstSteps.at(j), group2);
                if (j != 1) FillStep(cycle.SecondSteps.at(j), group2);
                if (i == c) FillStep(cycle.SecondSteps.at(1), group2);
            } else {
                if (j > kCycleSlots) FailSubscript(CycleCountText(c));
                CycleEntry& cycle = table.Cycles.at(j);
                FillStep(cycle.FirstSteps.at(1), group2);
                FillStep(cycle.SecondSteps.at(1), group2);
            }
        });
    });
}

namespace {

// Runs one anchor's step and says which anchor failed when it fails.
template <class Step> void ForAnchor(const std::string& place, Step step) {
    try {
        step();
    } catch (const ConversionFailure& f) {
        throw f.within(place);
    }
}

std::string AnchorPlace(long i) {
    return Num(i) + " 番目のアンカー：";
}
const char* const kCurrentAnchorPlace = "現在のアンカー：";

const Anchor101& OldAnchor(const Main101& old, long i) {
    if (!old.Anchors.Contains(i))
        FailSubscript("アンカー数は " + Num(old.AnchorCount) + " ですが、" + Num(i) +
                      " 番目のアンカーがありません。");
    return old.Anchors.at(i);
}

} // namespace

std::size_t Main102Cost(const Main101& old) {
    // An upgraded anchor copies the strings of the old one and has at least one entry.
    auto anchorCost = [](const Anchor101& anchor) {
        const std::size_t entries = std::max<std::size_t>(anchor.Entries.Items().size(), 1);
        return sizeof(Anchor102) + sizeof(CycleTable) + sizeof(AnchorExtra) + entries * sizeof(Entry102) +
               StringHeapOf(anchor);
    };
    std::size_t cost = sizeof(Main102) + anchorCost(old.CurrentAnchor);
    for (const Anchor101& anchor : old.Anchors.Items())
        cost += anchorCost(anchor);
    return cost;
}

void BuildMain102(const Main101& old, Main102& out) {
    out = Main102{};
    out.Code = old.Code;
    out.AnchorCount = old.AnchorCount;
    const Long n = old.AnchorCount;
    out.Text1 = old.Text1;
    out.Text2 = old.Text2;
    out.Text3 = old.Text3;
    out.Text4 = old.Text4;
    out.Setting = old.Setting;
    out.ListA = old.ListA;
    out.ListB = old.ListB;

    ForAnchor(kCurrentAnchorPlace, [&] { UpgradeAnchor(old.CurrentAnchor, out.CurrentAnchor); });

    if (n < 0) FailSubscript("アンカー数が負の値 (" + Num(n) + ") です。");
    if (n > kIntegerMax) FailOverflow("アンカー数 " + Num(n) + " が 32767 を超えています。");
    const Integer n16 = static_cast<Integer>(n);

    // Anchors: 1..N, or 1..1 holding the upgraded element 1 when N is 0. Elements are appended
    // one by one, so a count that the old array cannot honour fails at its first missing anchor.
    out.Anchors.DimensionEmpty(1);
    auto upgradeElement = [&](Integer i) {
        ForAnchor(AnchorPlace(i), [&] {
            const Anchor101& source = OldAnchor(old, i);
            UpgradeAnchor(source, out.Anchors.MutableItems().emplace_back());
        });
    };
    if (n16 == 0)
        upgradeElement(1);
    else
        ForInteger(1, n16, upgradeElement);

    out.Extras.Dimension(1, n16 == 0 ? 1 : n16);

    ForAnchor(kCurrentAnchorPlace, [&] { BuildCycleTable(out.CurrentCycleTable, old.CurrentAnchor, true); });

    out.CycleTables.Dimension(1, n16 == 0 ? 1 : n16);
    ForInteger(1, n16, [&](Integer i) {
        ForAnchor(AnchorPlace(i), [&] { BuildCycleTable(out.CycleTables.at(i), OldAnchor(old, i), false); });
    });

    out.Tail = old.Tail;
}

} // namespace zel
