// Writes small valid user-data files of the three formats into a folder, as the starting corpus of
// zel_fuzz: without them the fuzzer would first have to find a 64-byte signature and a body of some
// 30 KB per anchor by chance. With a second argument it also writes a libFuzzer dictionary of the
// code page 932 texts that the upgrade compares with (the comparisons happen on decoded UTF-8, so
// libFuzzer cannot learn these bytes by itself) and of the counts that sit on a limit.
//
//   zel_fuzz_seeds <folder> [<dictionary file>]
#include "upgrade/Set102Module.h"
#include "usrdata/LoadReadModule.h"
#include "usrdata/Signatures.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using namespace zel;

namespace {

struct AnchorShape {
    int number = 0;
    bool oneCycle = false;
    Integer stepCount = 3;  // 11 makes the upgrade fail on the step values
    Integer cycleCount = 3; // 11 makes the upgrade fail on the cycle table
    int entries = 2;
    bool footItems = true;
};

Anchor101 MakeAnchor(const AnchorShape& shape) {
    Anchor101 a;
    a.HeadText = String::FromText("アンカー" + std::to_string(shape.number));
    a.TestMethod = String::FromText(shape.oneCycle ? kOneCycle : kMultiCycle);
    a.HeadValue1 = Value4{0x7FC00001u};
    a.HeadInt1 = static_cast<Integer>(shape.number);
    a.TypeInfo.AnchorTypeCode = shape.number % 2 ? 0 : 4;
    a.TypeInfo.AnchorTypeName = String::FromText("SSL永久アンカー");
    a.TypeInfo.MeasureA = 900;
    a.TypeInfo.MeasureB = 350;
    a.TypeInfo.StepTotal = 100;
    a.TypeInfo.StepCount = shape.stepCount;
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
    if (shape.entries > 0) {
        a.Entries.Dimension(1, shape.entries);
        for (int i = 1; i <= shape.entries; ++i) {
            Entry101& e = a.Entries.at(i);
            e.EntryText1 = String::FromText("荷重" + std::to_string(i));
            e.EntryLevel = Single::of(i == 1 ? 50.0f : 10.0f * static_cast<float>(i));
            e.CycleNo = static_cast<Integer>(i);
            e.EntryPair.at(1) = Single::of(1.5f);
            e.EntryPair.at(2) = Single::of(-2.25f);
        }
    }
    a.EntryCount = static_cast<Integer>(shape.entries);
    if (shape.footItems) {
        a.Foot.Items.Dimension(0, 2);
        a.Foot.Items.at(1).Bytes.bytes[3] = 0x42;
    }
    a.FootText4 = String::FromText("備考");
    return a;
}

// A working set with `anchorCount` in the record and max(anchorCount, 1) anchor elements.
std::unique_ptr<WorkingSet> MakeWorkingSet(Long anchorCount, const AnchorShape& shape, bool lists) {
    auto ws = std::make_unique<WorkingSet>();
    Main101& m = ws->main101;
    m.Code = 8;
    m.AnchorCount = anchorCount;
    m.Text1 = String::FromText("現場名");
    m.Setting = 1;
    if (lists) {
        m.ListA.Dimension(1, 2);
        m.ListA.at(2) = String::FromText("一覧");
        m.ListB.Dimension(-1, 3);
        m.ListB.at(0) = -7;
    }
    AnchorShape current = shape;
    current.number = 0;
    m.CurrentAnchor = MakeAnchor(current);
    const Long elements = anchorCount == 0 ? 1 : anchorCount;
    m.Anchors.Dimension(1, elements);
    for (Long i = 1; i <= elements; ++i) {
        AnchorShape element = shape;
        element.number = static_cast<int>(i);
        element.oneCycle = i % 2 == 0;
        m.Anchors.at(i) = MakeAnchor(element);
    }
    m.Tail.SectionA1.Head.Text = String::FromText("末尾");
    m.Tail.SectionB2.Last = String::FromText("終わり");
    for (std::size_t i = 0; i < ws->fixedBlock.Bytes.bytes.size(); ++i)
        ws->fixedBlock.Bytes.bytes[i] = static_cast<std::uint8_t>(i * 7);
    SetDefaultFactors(*ws);
    return ws;
}

std::vector<std::uint8_t> AsFormat100(std::vector<std::uint8_t> file) {
    file.resize(file.size() - 8); // no factor pair
    file[22] = '0';
    return file;
}

bool Write(const std::filesystem::path& folder, const std::string& name,
           const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) std::fprintf(stderr, "zel_fuzz_seeds: cannot write %s\n", (folder / name).c_str());
    return static_cast<bool>(out);
}

std::string DictionaryEntry(std::string_view bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out + "\"";
}

bool WriteDictionary(const std::filesystem::path& file) {
    std::vector<std::string> entries;
    for (const char* text : {kSslPermanentAnchor, kMultiCycle, kOneCycle})
        entries.push_back(String::FromText(text).bytes);
    for (std::string_view signature : {kSignature100, kSignature101, kSignature102})
        entries.emplace_back(signature);
    // Little-endian values on a limit: 16-bit 1, 10, 11, 32767, −32768, −1 and 32-bit extremes.
    const unsigned char limits[][2] = {{1, 0}, {10, 0}, {11, 0}, {0xFF, 0x7F}, {0x00, 0x80}, {0xFF, 0xFF}};
    for (const auto& v : limits)
        entries.emplace_back(reinterpret_cast<const char*>(v), 2);
    const unsigned char longs[][4] = {{0xFF, 0xFF, 0xFF, 0x7F}, {0x00, 0x00, 0x00, 0x80}, {0xFF, 0x7F, 0, 0}};
    for (const auto& v : longs)
        entries.emplace_back(reinterpret_cast<const char*>(v), 4);

    std::ofstream out(file, std::ios::trunc);
    for (const std::string& e : entries)
        out << DictionaryEntry(e) << '\n';
    out.close();
    if (!out) std::fprintf(stderr, "zel_fuzz_seeds: cannot write %s\n", file.c_str());
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: zel_fuzz_seeds <folder> [<dictionary file>]\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);

    struct Seed {
        const char* name;
        Long anchorCount;
        AnchorShape shape;
        bool lists;
    };
    const Seed seeds[] = {
        {"no-anchors", 0, AnchorShape{}, true},
        {"two-anchors", 2, AnchorShape{.entries = 3}, true},
        {"bare", 1, AnchorShape{.entries = 0, .footItems = false}, false},
        {"step-count-11", 1, AnchorShape{.stepCount = 11}, true},
        {"cycle-count-11", 0, AnchorShape{.cycleCount = 11, .entries = 1}, false},
    };

    bool ok = true;
    for (const Seed& seed : seeds) {
        auto ws = MakeWorkingSet(seed.anchorCount, seed.shape, seed.lists);
        const std::vector<std::uint8_t> v101 = EncodeFile101(*ws);
        ok &= Write(folder, std::string(seed.name) + "-101.zel", v101);
        ok &= Write(folder, std::string(seed.name) + "-100.zel", AsFormat100(v101));
        try {
            BuildMain102(ws->main101, ws->main102);
            ok &= Write(folder, std::string(seed.name) + "-102.zel", EncodeFile102(*ws));
        } catch (const ConversionFailure&) {
            // The failing shapes have no 1.02 form; their old forms reach the failure paths.
        }
    }
    if (argc == 3) ok &= WriteDictionary(argv[2]);
    return ok ? 0 : 1;
}
