// Strings and lists in memory; bodies refused that cannot be what they claim or would take too much.
#include "support/SampleFiles.h"
#include "usrdata/FileImage.h"

#include <gtest/gtest.h>

using namespace zel;
using namespace zel::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A body is read whole within its budget; cut, with impossible counts or over a smaller budget, refused.
TEST(Encoding, ABodyCutAnywhereWithImpossibleCountsOrBeyondItsBudgetIsRefused) {
    const Bytes file = SampleFile(FileVersion::V101, {.anchorCount = 0, .anchor = {.entries = 1}});
    auto read = [&](std::size_t size, std::size_t budget) {
        ByteReader r(file.data() + 64, size - 64);
        MemoryBudget limit(budget);
        DecodeBody101(r, FileVersion::V101, *std::make_unique<Body101>(), &limit);
    };
    EXPECT_NO_THROW(read(file.size(), ConversionBudget(file.size())));
    // The budget: 4 times the file's size and 48 MB, all of it usable, and no more.
    EXPECT_EQ(std::pair(ConversionBudget(1000), ConversionBudget(UINT64_MAX)),
              std::pair(std::size_t{4000 + (48u << 20)}, std::size_t{SIZE_MAX}));
    MemoryBudget exact(10);
    EXPECT_NO_THROW(exact.Charge(10));
    EXPECT_THROW(exact.Charge(1), RecordsTooLarge);
    for (std::size_t budget : {std::size_t{1000}, sizeof(Anchor101)})
        EXPECT_THROW(read(file.size(), budget), RecordsTooLarge) << budget;
    for (std::size_t cut = 64; cut < file.size(); ++cut)
        ASSERT_THROW(read(cut, SIZE_MAX), DamagedFile) << cut;
    // Impossible counts are refused before anything is allocated.
    const std::pair<const char*, Bytes> cases[] = {
        {"two dimensions", {2, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}},
        {"negative count", {1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0}},
        {"count larger than the bytes left", {1, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 0, 0}},
        {"bounds beyond 32 bits", {1, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0}},
        {"string beyond the end", {1, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 'a'}},
    };
    for (const auto& [what, bytes] : cases) {
        ByteReader r(bytes);
        DynArray<String> strings;
        EXPECT_THROW(DecodeRecord(r, strings), DamagedFile) << what;
    }
    // Three anchors cannot fit in a few kilobytes: refused by the smallest anchor size.
    Bytes anchors{1, 0, 3, 0, 0, 0, 1, 0, 0, 0};
    anchors.resize(5000);
    ByteReader r(anchors);
    DynArray<Anchor101> a;
    EXPECT_THROW(DecodeRecord(r, a), DamagedFile);
}

// Strings keep their exact bytes as values and take at most four times their place in the file.
TEST(Encoding, StringsAndListsAreValuesAndStringsTakeAtMostFourTimesTheirPlaceInTheFile) {
    for (std::size_t n : {0u, 1u, 6u, 7u, 8u, 9u, 22u, 23u, 24u, 1000u, 0xFFFFu}) {
        std::string bytes(n, '\0');
        for (std::size_t i = 0; i < n; ++i)
            bytes[i] = static_cast<char>(0x81 + i * 7);
        String s(bytes);
        EXPECT_EQ(s.view(), bytes) << n;
        String copy = s;
        EXPECT_EQ(copy, s) << n;
        if (n > 0) {
            copy.Resize(n)[0] ^= 1;
            EXPECT_NE(copy, s) << n;
        }
        String moved = std::move(s);
        EXPECT_EQ(moved.view(), bytes) << n;
        EXPECT_TRUE(s.empty()) << n; // NOLINT(bugprone-use-after-move): a moved-from string is empty
        moved.Resize(0);
        EXPECT_EQ(moved.view(), "") << n;
        EXPECT_LE(sizeof(String) + String::HeapCost(n), 4 * (2 + n)) << n;
    }
    EXPECT_THROW(String(std::string(0x10000, 'a')), std::length_error);

    // A copy of a list keeps its own elements when the list changes.
    DynArray<String> list;
    list.Dimension(1, 3);
    list.at(2) = String("abcdefghij");
    const DynArray<String> copy = list;
    list.at(2) = String("x");
    EXPECT_TRUE(copy.at(2).view() == "abcdefghij" && list.at(2).view() == "x");
}

} // namespace
