// The encoding of members and records, the layouts on disk, and the reader's refusal of bodies that
// cannot be what they claim, in memory and streamed.
#include "support/SampleFiles.h"
#include "usrdata/FileImage.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace zel;
using namespace zel::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

template <class T> std::vector<std::uint8_t> Encode(const T& v) {
    VectorSink sink;
    ByteWriter w(sink);
    EncodeRecord(w, v);
    w.Flush();
    return std::move(sink.bytes);
}

TEST(Encoding, LayoutsOnDisk) {
    DynArray<Integer> list;
    list.Dimension(5, 3);
    EXPECT_EQ(Encode(list), (Bytes{1, 0, 3, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Encode(String::FromText("多サイクル"))[0], 10);
    EXPECT_EQ(Encode(String{std::string(0xFFFF, 'a')}).size(), 0x10001u); // the longest string
    EXPECT_EQ(Encode(DynArray<String>{}), (Bytes{0, 0}));
    auto anchor = [](auto a) {
        a.Entries.Dimension(1, 2);
        a.Foot.Items.Dimension(1, 3);
        return a;
    };
    EXPECT_EQ(Encode(anchor(Anchor101{})).size(), 30119u);
    EXPECT_EQ(Encode(anchor(Anchor102{})).size(), 30199u);

    EXPECT_EQ(Encode(CycleTable{}), Bytes(13393, 0));
}

TEST(Encoding, EveryCutOfABodyIsRefused) {
    const Bytes small = SampleFile(FileVersion::V101, {.anchorCount = 0, .anchor = {.entries = 1}});
    EXPECT_EQ(DetectVersion({reinterpret_cast<const char*>(small.data()), small.size()}), FileVersion::V101);
    for (std::size_t cut = 64; cut < small.size(); ++cut) {
        ByteReader r(small.data() + 64, cut - 64);
        ASSERT_THROW(DecodeBody101(r, FileVersion::V101, *std::make_unique<Body101>()), DamagedFile) << cut;
    }
}

TEST(Encoding, ImpossibleCountsAreRefusedBeforeAnythingIsAllocated) {
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"two dimensions", {2, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}},
        {"negative count", {1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0}},
        {"count larger than the bytes left", {1, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 0, 0}},
        {"bounds beyond 32 bits", {1, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0}},
        {"string beyond the end", {1, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 'a'}},
    };
    for (const auto& c : cases) {
        ByteReader r(c.bytes);
        DynArray<String> strings;
        EXPECT_THROW(DecodeRecord(r, strings), DamagedFile) << c.what;
    }
    // Three anchors cannot fit in a few kilobytes: refused by the smallest anchor size.
    Bytes anchors{1, 0, 3, 0, 0, 0, 1, 0, 0, 0};
    anchors.resize(5000);
    ByteReader r(anchors);
    DynArray<Anchor101> a;
    EXPECT_THROW(DecodeRecord(r, a), DamagedFile);
}

} // namespace
