#include "upgrade/Set102Module.h"

#include <charconv>
#include <limits>
#include <string>
#include <utility>

namespace zel {

namespace {

constexpr Integer kIntegerMax = std::numeric_limits<Integer>::max();
constexpr Integer kSslPermanentAnchorCode = 4;
constexpr Integer kMovedTypeOldCode = 4, kMovedTypeNewCode = 5; // the type that gave up code 4
constexpr int kStepValueSlots = 10;
constexpr int kPointSlots = 10;
constexpr int kLevelSlots = 11;
constexpr int kCycleSlots = 10;
constexpr Single kNoReferenceValue{0xC2C60000}; // −99.0: every entry but the first

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

// value + 1 in 16 bits; adding one to 32767 is an overflow of `what`.
Integer Incremented(Integer value, const std::string& what) {
    if (value == kIntegerMax) FailOverflow(what + " " + Num(value) + " に 1 を加えると範囲を超えます。");
    return static_cast<Integer>(value + 1);
}

// The members outside the type block, the data and the entries keep their values; new ones stay zero.
void CarryOverUnchanged(const Anchor101& source, Anchor102& target) {
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
    target.EntryCount = source.EntryCount;
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

// The type code: 4 becomes 5, and 0 becomes 4 when the type name contains the SSL permanent anchor's.
Integer NewTypeCode(const TypeBlock101& type) {
    if (type.AnchorTypeCode == kMovedTypeOldCode) return kMovedTypeNewCode;
    if (type.AnchorTypeCode == 0 && TextContains(type.AnchorTypeName, kSslPermanentAnchor))
        return kSslPermanentAnchorCode;
    return type.AnchorTypeCode;
}

// An SSL permanent anchor's measure difference is MeasureA − MeasureB, which must fit in 32 bits.
Long SslMeasureDiff(const TypeBlock101& type) {
    const std::int64_t difference = static_cast<std::int64_t>(type.MeasureA) - type.MeasureB;
    if (!std::in_range<Long>(difference))
        FailOverflow("SSL永久アンカーの差 " + Num(type.MeasureA) + " − " + Num(type.MeasureB) +
                     " が 32 ビットの範囲を超えています。");
    return static_cast<Long>(difference);
}

// The step total shared out over the steps, to two decimals, in slots 1..StepCount; the rest stay zero.
void FillStepValues(const TypeBlock101& source, TypeBlock102& target) {
    if (source.StepCount == 0) return;
    const Single stepValue = StepValue(source.StepTotal, source.StepCount);
    ForInteger(1, source.StepCount, [&](Integer slot) {
        if (slot > kStepValueSlots)
            FailSubscript("段階数が " + Num(source.StepCount) + " あり、上限の " + Num(kStepValueSlots) +
                          " を超えています。");
        target.StepValues.at(slot) = stepValue;
    });
}

// The type block, with its new type code, an SSL permanent anchor's difference and the step values.
void UpgradeTypeBlock(const TypeBlock101& source, TypeBlock102& target) {
    target.AnchorTypeCode = NewTypeCode(source);
    target.TypeInt = source.TypeInt;
    target.AnchorTypeName = source.AnchorTypeName;
    target.MeasureA = source.MeasureA;
    target.MeasureB = source.MeasureB;
    target.TypeValue1 = source.TypeValue1;
    target.StepTotal = source.StepTotal;
    target.MeasureDiff =
        target.AnchorTypeCode == kSslPermanentAnchorCode ? SslMeasureDiff(source) : source.MeasureDiff;
    target.TypeValue2 = source.TypeValue2;
    target.TypeValue3 = source.TypeValue3;
    target.StepCount = source.StepCount;
    FillStepValues(source, target);
}

// An entry at the reference level whose cycle differs from the cycle count moves up one cycle.
Integer NewCycleNo(const Entry101& entry, Integer entryNumber, const CycleSettings& cycle) {
    if (entry.EntryLevel.value() == cycle.ReferenceLevel.value() && entry.CycleNo != cycle.CycleCount)
        return Incremented(entry.CycleNo, Num(entryNumber) + " 番目のデータのサイクル番号");
    return entry.CycleNo;
}

// One entry, with its cycle number and reference values: the first entry's own pair, else −99.
void UpgradeEntry(const Entry101& source, Integer entryNumber, const CycleSettings& cycle, Entry102& target) {
    target.EntryText1 = source.EntryText1;
    target.EntryText2 = source.EntryText2;
    target.EntryInt1 = source.EntryInt1;
    target.EntryInt2 = source.EntryInt2;
    target.EntryValue1 = source.EntryValue1;
    target.EntryLevel = source.EntryLevel;
    target.CycleNo = NewCycleNo(source, entryNumber, cycle);
    target.EntryInt3 = source.EntryInt3;
    target.EntryInt4 = source.EntryInt4;
    target.EntryPair = source.EntryPair;
    target.EntryValue2 = source.EntryValue2;
    target.RefValue1 = entryNumber == 1 ? source.EntryPair.at(1) : kNoReferenceValue;
    target.RefValue2 = entryNumber == 1 ? source.EntryPair.at(2) : kNoReferenceValue;
}

// The entries 1..EntryCount, or one empty entry when there are none. They are appended one by one,
// so a count that the source cannot honour fails at its first missing entry without allocating first.
void UpgradeEntries(const Anchor101& source, Anchor102& target) {
    const Integer entryCount = source.EntryCount;
    if (entryCount < 0) FailSubscript("データ数が負の値 (" + Num(entryCount) + ") です。");
    target.Entries.DimensionEmpty(1);
    ForInteger(1, entryCount, [&](Integer entryNumber) {
        if (!source.Entries.Contains(entryNumber))
            FailSubscript("データ数は " + Num(entryCount) + " ですが、" + Num(entryNumber) +
                          " 番目のデータがありません。");
        UpgradeEntry(source.Entries.at(entryNumber), entryNumber, source.Cycle,
                     target.Entries.MutableItems().emplace_back());
    });
    if (entryCount == 0) target.Entries.MutableItems().emplace_back();
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
    CarryOverUnchanged(source, target);
    UpgradeTypeBlock(source.TypeInfo, target.TypeInfo);
    // Of the data block only its text is carried over: its numeric data, like EntryFlag, stays zero.
    target.Data.DataText = source.Data.DataText;
    UpgradeEntries(source, target);
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

std::string CycleCountText(Integer cycleCount) {
    return "サイクル数が " + Num(cycleCount) + " あり、上限の " + Num(kCycleSlots) + " を超えています。";
}

} // namespace

void BuildCycleTable(CycleTable& table, const Anchor101& anchor, bool isCurrentAnchor) {
    const PointSettings& settings = anchor.Settings;
    const PointGroup group1{1, settings.FirstValue, settings.FirstCount, settings.FirstPoints};
    const PointGroup group2{2, settings.SecondValue, settings.SecondCount, settings.SecondPoints};
    const Integer cycleCount = anchor.Cycle.CycleCount;

    if (settings.FirstValue != 0 && settings.SecondValue != 0) table.BothValuesSet = -1;
    table.Mark = 0;
    table.CycleCount = cycleCount;

    if (!isCurrentAnchor && TextEquals(anchor.TestMethod, kOneCycle)) {
        FillStep(table.Levels.at(2), group1);
        FillStep(table.Levels.at(1), group2);
    } else {
        ForInteger(1, Incremented(cycleCount, "サイクル数"), [&](Integer k) {
            if (k > kLevelSlots) FailSubscript(CycleCountText(cycleCount));
            FillStep(table.Levels.at(k), group1);
        });
    }

    const bool multiCycle = isCurrentAnchor || TextEquals(anchor.TestMethod, kMultiCycle);
    ForInteger(2, cycleCount, [&](Integer i) {
        ForInteger(1, i, [&](Integer j) {
            if (multiCycle) {
                if (i > kCycleSlots) FailSubscript(CycleCountText(cycleCount));
                CycleEntry& cycle = table.Cycles.at(i);
                FillStep(cycle.FirstSteps.at(j), group2);
                if (j != 1) FillStep(cycle.SecondSteps.at(j), group2);
                if (i == cycleCount) FillStep(cycle.SecondSteps.at(1), group2);
            } else {
                if (j > kCycleSlots) FailSubscript(CycleCountText(cycleCount));
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
    const Integer anchorCount = static_cast<Integer>(n);

    // Anchors: 1..N, or 1..1 holding the upgraded element 1 when N is 0. Elements are appended
    // one by one, so a count that the old array cannot honour fails at its first missing anchor.
    out.Anchors.DimensionEmpty(1);
    auto upgradeElement = [&](Integer i) {
        ForAnchor(AnchorPlace(i), [&] {
            const Anchor101& source = OldAnchor(old, i);
            UpgradeAnchor(source, out.Anchors.MutableItems().emplace_back());
        });
    };
    if (anchorCount == 0)
        upgradeElement(1);
    else
        ForInteger(1, anchorCount, upgradeElement);

    out.Extras.Dimension(1, anchorCount == 0 ? 1 : anchorCount);

    ForAnchor(kCurrentAnchorPlace, [&] { BuildCycleTable(out.CurrentCycleTable, old.CurrentAnchor, true); });

    out.CycleTables.Dimension(1, anchorCount == 0 ? 1 : anchorCount);
    ForInteger(1, anchorCount, [&](Integer i) {
        ForAnchor(AnchorPlace(i), [&] { BuildCycleTable(out.CycleTables.at(i), OldAnchor(old, i), false); });
    });

    out.Tail = old.Tail;
}

} // namespace zel
