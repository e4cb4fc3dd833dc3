// Writes small valid user-data files of the three formats into a folder, as the starting corpus of
// zel_fuzz: without them the fuzzer would first have to find a 64-byte signature and a body of some
// 30 KB per anchor by chance. With a second argument it also writes a libFuzzer dictionary of the
// code page 932 texts that the upgrade compares with (the comparisons happen on decoded UTF-8, so
// libFuzzer cannot learn these bytes by itself) and of counts that sit on a limit.
//
//   zel_fuzz_seeds <folder> [<dictionary file>]
#include "support/SampleFiles.h"
#include "support/TestSupport.h"
#include "upgrade/Set102Module.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace zel;

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: zel_fuzz_seeds <folder> [<dictionary file>]\n");
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    const std::pair<const char*, test::ProjectShape> seeds[] = {
        {"no-anchors", {.anchorCount = 0, .anchor = {.entries = 2}}},
        {"two-anchors", {.anchorCount = 2}},
        {"bare", {.anchorCount = 1, .anchor = {.entries = 0, .footItems = false}, .lists = false}},
        {"step-count-11", {.anchorCount = 1, .failingAnchor = 1}},
        {"cycle-count-11", {.anchorCount = 0, .anchor = {.cycleCount = 11, .entries = 1}, .lists = false}},
    };
    for (const auto& [name, shape] : seeds) {
        const auto project = test::SampleProject(shape);
        const std::string stem = (std::filesystem::path(argv[1]) / name).string();
        test::WriteBytes(stem + "-100.zel", test::FileBytes(FileVersion::V100, *project));
        test::WriteBytes(stem + "-101.zel", test::FileBytes(FileVersion::V101, *project));
        try {
            test::WriteBytes(stem + "-102.zel", test::FileBytes(FileVersion::V102, *project));
        } catch (const ConversionFailure&) {
            // The failing shapes have no 1.02 form; their old forms reach the failure paths.
        }
    }
    if (argc == 3) {
        std::vector<std::string> entries;
        for (const char* text : {kSslPermanentAnchor, kMultiCycle, kOneCycle})
            entries.push_back(String::FromText(text).bytes);
        for (FileVersion version : {FileVersion::V100, FileVersion::V101, FileVersion::V102})
            entries.emplace_back(SignatureOf(version));
        // Little-endian 16-bit 10, 11, 32767 and −1, and the 32-bit extremes.
        for (std::string value :
             {std::string("\x0A\x00", 2), std::string("\x0B\x00", 2), std::string("\xFF\x7F"),
              std::string("\xFF\xFF"), std::string("\xFF\xFF\xFF\x7F"), std::string("\0\0\0\x80", 4)})
            entries.push_back(value);
        std::ofstream out(argv[2], std::ios::trunc);
        for (const std::string& entry : entries) {
            out << '"';
            for (unsigned char c : entry) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out << hex;
            }
            out << "\"\n";
        }
    }
    return 0;
}
