// zel_fuzz_seeds <folder>: small valid user-data files of the three formats, the starting corpus of
// zel_fuzz, which would otherwise have to find a 64-byte signature and some 30 KB per anchor by chance.
#include "support/SampleFiles.h"
#include "support/TestSupport.h"

#include <cstdio>
#include <filesystem>

using namespace zel;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zel_fuzz_seeds <folder>\n");
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
    return 0;
}
