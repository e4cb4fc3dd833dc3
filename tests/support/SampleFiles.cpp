#include "support/SampleFiles.h"

#include "upgrade/Set102Module.h"

#include <string>

namespace zel::test {

namespace {

// Anchor `number`, with the test method "１サイクル" when `oneCycle`, else "多サイクル".
Anchor101 SampleAnchor(int number, const AnchorShape& shape, bool oneCycle = false, Integer stepCount = 3) {
    Anchor101 a;
    a.HeadText = String::FromText("アンカー" + std::to_string(number));
    a.TestMethod = String::FromText(oneCycle ? kOneCycle : kMultiCycle);
    a.HeadValue1 = Value4{0x7FC00001u}; // a NaN pattern that must survive
    a.HeadInt1 = static_cast<Integer>(number);
    a.TypeInfo.AnchorTypeCode = number % 2 ? 0 : 4;
    a.TypeInfo.AnchorTypeName = String::FromText("SSL永久アンカー（標準）");
    a.TypeInfo.MeasureA = 900;
    a.TypeInfo.MeasureB = 350;
    a.TypeInfo.StepTotal = 100;
    a.TypeInfo.StepCount = stepCount;
    a.Settings.FirstValue = 120;
    a.Settings.SecondValue = 60;
    a.Settings.FirstCount = 3;
    a.Settings.SecondCount = 2;
    for (int p = 1; p <= 20; ++p) {
        a.Settings.FirstPoints.at(p) = static_cast<Integer>(10 * p);
        a.Settings.SecondPoints.at(p) = static_cast<Integer>(5 * p);
    }
    a.Cycle.CycleCount = shape.cycleCount;
    a.Cycle.ReferenceLevel = Single::of(50.0f);
    a.Data.DataText = String::FromText("データ");
    a.Data.Groups.at(1).Units.at(1).Bytes.bytes[0] = 0xAB;
    if (shape.entries > 0) a.Entries.Dimension(1, shape.entries);
    for (int i = 1; i <= shape.entries; ++i) {
        Entry101& e = a.Entries.at(i);
        e.EntryText1 = String::FromText("荷重" + std::to_string(i));
        e.EntryLevel = Single::of(i == 2 ? 50.0f : 10.0f * static_cast<float>(i));
        e.CycleNo = static_cast<Integer>(i);
        e.EntryPair.at(1) = Single::of(1.5f * static_cast<float>(i));
        e.EntryPair.at(2) = Single::of(-2.25f);
    }
    a.EntryCount = static_cast<Integer>(shape.entries);
    a.FootText1 = String::FromText("備考");
    if (shape.footItems) {
        a.Foot.Items.Dimension(0, 2);
        a.Foot.Items.at(0).Bytes.bytes[5] = 0x42;
    }
    return a;
}

} // namespace

std::unique_ptr<Body101> SampleProject(const ProjectShape& shape) {
    auto body = std::make_unique<Body101>();
    Main101& m = body->main;
    m.Code = 8;
    m.AnchorCount = shape.anchorCount;
    m.Text1 = String::FromText("現場名：東京第一工区");
    m.Text2 = String::FromText("Site-A");
    m.Setting = 1;
    if (shape.lists) {
        m.ListA.Dimension(1, 2);
        m.ListA.at(1) = String::FromText("一覧");
        m.ListB.Dimension(0, 3);
        m.ListB.at(2) = -7;
    }
    m.CurrentAnchor = SampleAnchor(0, shape.anchor);
    const Long elements = shape.anchorCount > 0 ? shape.anchorCount : 1;
    m.Anchors.Dimension(1, elements);
    for (Long i = 1; i <= elements; ++i)
        m.Anchors.at(i) =
            SampleAnchor(static_cast<int>(i), shape.anchor, i % 2 == 0, i == shape.failingAnchor ? 11 : 3);
    m.Tail.SectionA1.Head.Text = String::FromText("末尾");
    m.Tail.SectionB2.Last = String::FromText("終わり");
    for (std::size_t i = 0; i < body->fixedBlock.Bytes.bytes.size(); ++i)
        body->fixedBlock.Bytes.bytes[i] = static_cast<std::uint8_t>(i * 7);
    body->factorPair = {.HighFactor = Single::of(1.25f), .LowFactor = Single::of(0.75f)};
    return body;
}

std::vector<std::uint8_t> FileBytes(FileVersion version, const Body101& project) {
    VectorSink sink;
    if (version == FileVersion::V102) {
        auto main = std::make_unique<Main102>();
        BuildMain102(project.main, *main);
        EncodeFile102(sink, *main, project.fixedBlock, project.factorPair, WordPair{});
    } else {
        EncodeFile101(sink, version, project.main, project.fixedBlock, project.factorPair);
    }
    return std::move(sink.bytes);
}

std::vector<std::uint8_t> SampleFile(FileVersion version, const ProjectShape& shape) {
    return FileBytes(version, *SampleProject(shape));
}

} // namespace zel::test
