// The encoding of members: scalars, strings, arrays, and the reader's refusal of bodies that
// cannot be what they claim.
#include "usrdata/Main101Module.h"

#include "RecordHelpers.h"

#include <gtest/gtest.h>

using namespace zel;
using namespace zel::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

} // namespace

TEST(Encoding, ScalarsAreLittleEndianWithoutPadding) {
    EXPECT_EQ(Encode(Integer{-2}), (Bytes{0xFE, 0xFF}));
    EXPECT_EQ(Encode(Long{0x01020304}), (Bytes{4, 3, 2, 1}));
    EXPECT_EQ(Encode(Byte{0xAB}), (Bytes{0xAB}));
    EXPECT_EQ(Encode(Single::of(1.1f)), (Bytes{0xCD, 0xCC, 0x8C, 0x3F}));
    // A signalling NaN pattern and minus zero keep their bits both ways.
    for (std::uint32_t bits : {0x7F800001u, 0xFFC12345u, 0x80000000u}) {
        EXPECT_EQ(Decode<Single>(Encode(Single{bits})).bits, bits);
        EXPECT_EQ(Decode<Value4>(Encode(Value4{bits})).bits, bits);
    }
    // An Integer followed by a Long: 6 bytes on disk.
    WordPair pair{1, 2};
    EXPECT_EQ(Encode(pair).size(), 4u);
}

TEST(Encoding, StringsKeepTheirExactBytes) {
    EXPECT_EQ(Encode(String{}), (Bytes{0, 0}));
    Bytes multi = Encode(String::FromText("多サイクル"));
    ASSERT_EQ(multi.size(), 12u);
    EXPECT_EQ(multi[0], 10);
    EXPECT_EQ(multi[1], 0);
    // Duplicate-mapped codes (ED40 and FA5C decode to characters with other codes too) and bytes
    // that are not code page 932 at all come back as they were.
    for (std::string raw : {std::string("\xED\x40\xFA\x5C", 4), std::string("\x81\xFF\x85\x40\xA0", 5),
                            std::string("\x00\x01", 2)}) {
        Bytes encoded = Encode(String{raw});
        EXPECT_EQ(Decode<String>(encoded).bytes, raw);
    }
}

TEST(Encoding, TextComparisonsWorkOnDecodedText) {
    // ゴ is 83 53 and 53 is "S": a byte search would find "SSL" inside "ゴSL".
    EXPECT_FALSE(TextContains(String::FromText("ゴSL永久アンカー"), "SSL永久アンカー"));
    EXPECT_TRUE(TextContains(String::FromText("新SSL永久アンカー型"), "SSL永久アンカー"));
    EXPECT_FALSE(TextEquals(String{std::string("\x81\xFF", 2)}, "")); // does not decode: no match
    EXPECT_TRUE(TextEquals(String::FromText("１サイクル"), "１サイクル"));
}

TEST(Encoding, DynamicArraysKeepTheirStoredBounds) {
    DynArray<Integer> a;
    a.Dimension(1, 3);
    Bytes bytes = Encode(a);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 10), (Bytes{1, 0, 3, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(bytes.size(), 16u);

    DynArray<Integer> fromFive;
    fromFive.Dimension(5, 2);
    fromFive.at(6) = 9;
    auto back = Decode<DynArray<Integer>>(Encode(fromFive));
    EXPECT_EQ(back.lower, 5);
    EXPECT_EQ(back.at(6), 9);

    // Never dimensioned: the dimension count 0 and nothing after it, both ways.
    EXPECT_EQ(Encode(DynArray<String>{}), (Bytes{0, 0}));
    EXPECT_FALSE(Decode<DynArray<String>>(Bytes{0, 0}).Dimensioned());
}

TEST(Encoding, ArrayAccessIsCheckedAgainstTheBounds) {
    FixedArray<Integer, 10> fixed;
    EXPECT_NO_THROW(fixed.at(1));
    EXPECT_NO_THROW(fixed.at(10));
    EXPECT_THROW(fixed.at(0), ConversionFailure);
    EXPECT_THROW(fixed.at(11), ConversionFailure);
    DynArray<Integer> dyn;
    EXPECT_THROW(dyn.at(1), ConversionFailure);
    dyn.Dimension(0, 4);
    EXPECT_NO_THROW(dyn.at(0));
    EXPECT_NO_THROW(dyn.at(3));
    EXPECT_THROW(dyn.at(4), ConversionFailure);
    EXPECT_THROW(dyn.at(-1), ConversionFailure);
}

TEST(Encoding, ImpossibleCountsAreRefusedBeforeAnythingIsAllocated) {
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"string count beyond the end", {0xFF, 0xFF, 'a', 'b'}},
        {"two dimensions", {2, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}},
        {"negative count", {1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0}},
        {"count larger than the bytes left", {1, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 0, 0}},
        {"bounds beyond 32 bits", {1, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0}},
        {"header cut short", {1, 0, 1, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ByteReader r(c.bytes);
        DynArray<String> strings;
        if (std::string(c.what).starts_with("string")) {
            String s;
            EXPECT_THROW(DecodeRecord(r, s), DamagedFile);
        } else {
            EXPECT_THROW(DecodeRecord(r, strings), DamagedFile);
        }
    }
    // 3 Anchor101 elements cannot fit in a few kilobytes: refused by the smallest anchor size.
    Bytes anchors{1, 0, 3, 0, 0, 0, 1, 0, 0, 0};
    anchors.resize(5000);
    ByteReader r(anchors);
    DynArray<Anchor101> a;
    EXPECT_THROW(DecodeRecord(r, a), DamagedFile);
    EXPECT_GT(MinEncodedSize<Anchor101>(), 29900u);
}
