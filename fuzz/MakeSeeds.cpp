// Writes small valid user-data files of the three formats into a folder, as the starting corpus of
// zel_fuzz: without them the fuzzer would first have to find a 64-byte signature and a body of some
// 30 KB per anchor by chance. With a second argument it also writes a libFuzzer dictionary of the
// code page 932 texts that the upgrade compares with (the comparisons happen on decoded UTF-8, so
// libFuzzer cannot learn these bytes by itself) and of the counts that sit on a limit.
//
//   zel_fuzz_seeds <folder> [<dictionary file>]
#include "support/SampleFiles.h"
#include "upgrade/Set102Module.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

using namespace zel;

namespace {

bool Write(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) std::fprintf(stderr, "zel_fuzz_seeds: cannot write %s\n", file.c_str());
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
    for (FileVersion version : {FileVersion::V100, FileVersion::V101, FileVersion::V102})
        entries.emplace_back(SignatureOf(version));
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
        test::ProjectShape shape;
    };
    const Seed seeds[] = {
        {"no-anchors", {.anchorCount = 0, .anchor = {.entries = 2}}},
        {"two-anchors", {.anchorCount = 2}},
        {"bare", {.anchorCount = 1, .anchor = {.entries = 0, .footItems = false}, .lists = false}},
        {"step-count-11", {.anchorCount = 1, .failingAnchor = 1}},
        {"cycle-count-11", {.anchorCount = 0, .anchor = {.cycleCount = 11, .entries = 1}, .lists = false}},
    };

    bool ok = true;
    for (const Seed& seed : seeds) {
        auto project = test::SampleProject(seed.shape);
        const std::string stem = (folder / seed.name).string();
        ok &= Write(stem + "-100.zel", test::FileBytes(FileVersion::V100, *project));
        ok &= Write(stem + "-101.zel", test::FileBytes(FileVersion::V101, *project));
        try {
            ok &= Write(stem + "-102.zel", test::FileBytes(FileVersion::V102, *project));
        } catch (const ConversionFailure&) {
            // The failing shapes have no 1.02 form; their old forms reach the failure paths.
        }
    }
    if (argc == 3) ok &= WriteDictionary(argv[2]);
    return ok ? 0 : 1;
}
