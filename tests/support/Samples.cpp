#include "support/Samples.h"

#include "usrdata/LoadReadModule.h"
#include "usrdata/Signatures.h"

namespace zel::test {

namespace {

Anchor101 MakeAnchor(int number, bool failing) {
    Anchor101 a;
    a.HeadText = String::FromText("アンカー" + std::to_string(number));
    a.TestMethod = String::FromText(number % 2 ? "多サイクル" : "１サイクル");
    a.HeadValue1 = Value4{0x7FC00001u}; // a NaN pattern that must survive
    a.HeadInt1 = static_cast<Integer>(number);
    a.TypeInfo.AnchorTypeCode = number == 1 ? 0 : 4;
    a.TypeInfo.AnchorTypeName = String::FromText("SSL永久アンカー（標準）");
    a.TypeInfo.MeasureA = 900;
    a.TypeInfo.MeasureB = 350;
    a.TypeInfo.StepTotal = 100;
    a.TypeInfo.StepCount = failing ? 11 : 3;
    a.Settings.FirstValue = 120;
    a.Settings.SecondValue = 60;
    a.Settings.FirstCount = 3;
    a.Settings.SecondCount = 2;
    for (int p = 1; p <= 20; ++p) {
        a.Settings.FirstPoints.at(p) = static_cast<Integer>(10 * p);
        a.Settings.SecondPoints.at(p) = static_cast<Integer>(5 * p);
    }
    a.Settings.FirstText = String::FromText("第1グループ");
    a.Named.NameA = String::FromText("名前Ａ");
    a.Cycle.CycleCount = 3;
    a.Cycle.ReferenceLevel = Single::of(50.0f);
    a.Series.SeriesText = String::FromText("系列");
    a.Data.DataText = String::FromText("データ");
    a.Data.Groups.at(1).Units.at(1).Bytes.bytes[0] = 0xAB;
    a.Entries.Dimension(1, 3);
    for (int i = 1; i <= 3; ++i) {
        Entry101& e = a.Entries.at(i);
        e.EntryText1 = String::FromText("荷重" + std::to_string(i));
        e.EntryLevel = Single::of(i == 2 ? 50.0f : 10.0f * static_cast<float>(i));
        e.CycleNo = static_cast<Integer>(i);
        e.EntryPair.at(1) = Single::of(1.5f * static_cast<float>(i));
        e.EntryPair.at(2) = Single::of(-2.25f);
    }
    a.EntryCount = 3;
    a.FootText1 = String::FromText("備考");
    a.Foot.Items.Dimension(0, 2);
    a.Foot.Items.at(0).Bytes.bytes[5] = 0x42;
    a.FootInts.at(4) = -1;
    return a;
}

} // namespace

std::vector<std::uint8_t> MakeOldFile(int minor, int anchors, int failingAnchor) {
    auto ws = std::make_unique<WorkingSet>();
    Main101& m = ws->main101;
    m.Code = 8;
    m.AnchorCount = anchors;
    m.Text1 = String::FromText("現場名：東京第一工区");
    m.Text2 = String::FromText("Site-A");
    m.Setting = 1;
    m.ListA.Dimension(1, 2);
    m.ListA.at(1) = String::FromText("一覧");
    m.ListB.Dimension(0, 3);
    m.ListB.at(2) = -7;
    m.CurrentAnchor = MakeAnchor(0, false);
    m.Anchors.Dimension(1, anchors == 0 ? 1 : anchors);
    for (int i = 1; i <= m.Anchors.Count(); ++i)
        m.Anchors.at(i) = MakeAnchor(i, i == failingAnchor);
    m.Tail.SectionA1.Head.Text = String::FromText("末尾");
    m.Tail.SectionB2.Last = String::FromText("終わり");
    for (std::size_t i = 0; i < 208; ++i)
        ws->fixedBlock.Bytes.bytes[i] = static_cast<std::uint8_t>(i * 7);
    ws->factorPair.HighFactor = Single::of(1.25f);
    ws->factorPair.LowFactor = Single::of(0.75f);

    std::vector<std::uint8_t> file = EncodeFile101(*ws);
    if (minor == 0) {
        file.resize(file.size() - 8); // format 1.00 has no factor pair
        file[22] = '0';
    }
    return file;
}

} // namespace zel::test
