// Every member of every record at its place on disk, by the format's layout tables (which a round trip
// cannot check): records of distinct values encoded here by the tables, not by the archives under test.
#include "usrdata/Main101Module.h"
#include "usrdata/Main102Module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <vector>

using namespace zel;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kText = 3;     // text bytes of every string
constexpr std::size_t S = 2 + kText; // a string on disk
// A dynamic array on disk: bounds header and two elements of `element` bytes.
constexpr auto Dyn = [](std::size_t element) { return 10 + 2 * element; };
// The anchor records' fixed part, their strings' length prefixes and text, two entries, two `Foot` items.
constexpr std::size_t AnchorSize(bool v102) {
    return v102 ? 29993 + 18 * S + Dyn(38 + 2 * S) + Dyn(22) : 29933 + 16 * S + Dyn(30 + 2 * S) + Dyn(22);
}
// The project record's tail: two sections of 48 strings and 10 bytes, two of 12 strings and 4 bytes.
constexpr std::size_t kTail = 2 * (48 * S + 10) + 2 * (12 * S + 4);

struct Filler;

// One member of a record's layout: its name, its width on disk (0 for a member that only format 1.02
// stores, in an old record) and how to fill it.
template <class R> struct Row {
    const char* name;
    std::size_t size;
    void (*fill)(R&, Filler&);
};
template <class R> std::vector<Row<R>> Layout();

// Fills members with distinct values and appends their encoding to `out`, each byte the next of the
// cycle 1..251. Strings get kText bytes, dynamic arrays two elements, inner records their own table.
struct Filler {
    Bytes out;
    std::uint8_t last = 0;

    // Appends `n` bytes of the cycle and gives the first four as a little-endian number.
    std::uint32_t Take(std::size_t n) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < n; ++i) {
            out.push_back(last = static_cast<std::uint8_t>(last % 251 + 1));
            if (i < 4) v |= std::uint32_t{last} << 8 * i;
        }
        return v;
    }

    template <class T> void operator()(T& v) {
        if constexpr (std::is_same_v<T, Byte> || std::is_same_v<T, Integer> || std::is_same_v<T, Long>) {
            v = static_cast<T>(Take(std::is_same_v<T, Byte> ? 1 : std::is_same_v<T, Integer> ? 2 : 4));
        } else if constexpr (std::is_same_v<T, Single> || std::is_same_v<T, Value4>) {
            v.bits = Take(4);
        } else if constexpr (std::is_same_v<T, String>) {
            out.insert(out.end(), {kText, 0});
            Take(kText);
            v = String(std::string(out.end() - kText, out.end()));
        } else if constexpr (IsRawBlock<T>::value) {
            Take(v.bytes.size());
            std::copy(out.end() - static_cast<std::ptrdiff_t>(v.bytes.size()), out.end(), v.bytes.begin());
        } else if constexpr (IsFixedArray<T>::value) {
            for (auto& e : v.items)
                (*this)(e);
        } else if constexpr (IsDynArray<T>::value) {
            out.insert(out.end(), {1, 0, 2, 0, 0, 0});
            v.Dimension(static_cast<Long>(Take(4)), 2);
            for (auto& e : v.MutableItems())
                (*this)(e);
        } else {
            for (const auto& row : Layout<T>())
                row.fill(v, *this);
        }
    }
};

template <class R, auto P, bool Stored = true> Row<R> Member(const char* name, std::size_t size) {
    return {name, Stored ? size : 0, [](R& r, Filler& f) {
                if constexpr (Stored) f(r.*P);
            }};
}

template <class R, class... T> constexpr bool kIs = (std::is_same_v<R, T> || ...);
template <class R> constexpr bool kNew = kIs<R, TypeBlock102, Entry102, Anchor102>;

#define M(member, size) Member<R, &R::member>(#member, size)
#define NEW(member, size) Member<R, &R::member, kNew<R>>(#member, size) // in format 1.02 only

// Every record's members in file order with their widths on disk.
// clang-format off
template <class R> std::vector<Row<R>> Layout() {
    if constexpr (kIs<R, PointSettings>)
        return {M(FirstValue, 2), M(SecondValue, 2), M(FirstCount, 1), M(FirstText, S), M(FirstPoints, 40),
                M(SecondCount, 1), M(SecondText, S), M(SecondPoints, 40), M(ExtraValue1, 2),
                M(ExtraValue2, 2)};
    else if constexpr (kIs<R, NamedValues>)
        return {M(NameA, S), M(NameB, S), M(NamedValue1, 4), M(NamedValue2, 4), M(NamedValue3, 4),
                M(NamedValue4, 4), M(NamedValue5, 4), M(NamedValue6, 4), M(NamedValue7, 4)};
    else if constexpr (kIs<R, CycleSettings>)
        return {M(CycleInt1, 2), M(ReferenceLevel, 4), M(CycleValue1, 4), M(CycleCount, 2),
                M(CycleSeriesA, 40), M(CycleValue2, 4), M(CycleValue3, 4), M(CycleSeriesB, 40)};
    else if constexpr (kIs<R, SeriesBlock>)
        return {M(SeriesInt1, 2), M(SeriesText, S), M(SeriesValue1, 4), M(SeriesValue2, 4),
                M(SeriesValue3, 4), M(SeriesValue4, 4), M(SeriesInt2, 2), M(SeriesA, 80), M(SeriesB, 80)};
    else if constexpr (kIs<R, DataUnit>) return {M(Bytes, 888)};
    else if constexpr (kIs<R, DataGroup>) return {M(Units, 3 * 888)};
    else if constexpr (kIs<R, DataBlock>) return {M(DataText, S), M(Groups, 29304), M(DataRest, 64)};
    else if constexpr (kIs<R, FootItem, AnchorExtra>) return {M(Bytes, 22)};
    else if constexpr (kIs<R, FootBlock>)
        return {M(BlockValue1, 4), M(BlockValue2, 4), M(BlockValue3, 4), M(BlockPairA, 8), M(BlockPairB, 8),
                M(BlockValue4, 4), M(BlockValue5, 4), M(Items, Dyn(22)), M(BlockValue6, 4)};
    else if constexpr (kIs<R, TypeBlock101, TypeBlock102>)
        return {M(AnchorTypeCode, 2), M(TypeInt, 2), M(AnchorTypeName, S), M(MeasureA, 4), M(MeasureB, 4),
                M(TypeValue1, 4), M(StepTotal, 4), M(MeasureDiff, 4), M(TypeValue2, 4), M(TypeValue3, 4),
                M(StepCount, 2), NEW(StepValues, 40)};
    else if constexpr (kIs<R, Entry101, Entry102>)
        return {M(EntryText1, S), M(EntryText2, S), M(EntryInt1, 2), M(EntryInt2, 2), M(EntryValue1, 4),
                M(EntryLevel, 4), M(CycleNo, 2), M(EntryInt3, 2), M(EntryInt4, 2), M(EntryPair, 8),
                M(EntryValue2, 4), NEW(RefValue1, 4), NEW(RefValue2, 4)};
    else if constexpr (kIs<R, Anchor101, Anchor102>)
        return {M(HeadText, S), M(TestMethod, S), M(HeadValue1, 4), M(HeadValue2, 4), M(HeadInt1, 2),
                M(HeadInt2, 2), M(HeadInt3, 2), M(HeadInt4, 2), M(HeadValue3, 4), M(HeadValue4, 4),
                M(TypeInfo, (kNew<R> ? 76 : 36) + kText), M(Settings, 94 + 2 * kText), M(Flag1, 1),
                M(Named, 32 + 2 * kText), M(Cycle, 100), M(MidValue1, 4), M(MidInt1, 2), M(MidValue2, 4),
                M(MidValue3, 4), M(MidValue4, 4), M(MidInt2, 2), M(Series, 182 + kText), M(Data, 29370 + kText),
                NEW(EntryFlag, 1), M(Entries, Dyn((kNew<R> ? 38 : 30) + 2 * S)), M(EntryCount, 2),
                M(FootText1, S), M(FootText2, S), M(FootText3, S), M(FootValue1, 4), M(FootValue2, 4),
                M(FootPair1, 8), NEW(FootPair2, 8), M(FootValue3, 4), M(FootByte1, 1), M(FootInt1, 2),
                M(FootInt2, 2), M(FootByte2, 1), M(FootValue4, 4), M(Foot, 40 + Dyn(22)), M(FootByte3, 1),
                M(FootText4, S), M(FootByte4, 1), M(FootText5, S), NEW(FootTexts, 2 * S), M(FootText6, S),
                M(FootText7, S), M(FootInts, 8), M(FootInt3, 2), M(FootValue5, 4), NEW(FootByte5, 1),
                NEW(FootBytes, 2), NEW(FootValue6, 4), NEW(FootValue7, 4)};
    else if constexpr (kIs<R, TailHead>) return {M(Text, S), M(Value, 2)};
    else if constexpr (kIs<R, TailCoded>) return {M(Value, 2), M(Raw, 4), M(Texts, 3 * S)};
    else if constexpr (kIs<R, TailLists>)
        return {M(Text1, S), M(Text2, S), M(PairA, 2 * S), M(PairB, 2 * S), M(ListA, 5 * S), M(ListB, 5 * S),
                M(ListC, 5 * S), M(ListD, 5 * S)};
    else if constexpr (kIs<R, TailClosing>) return {M(Texts, 3 * S), M(Value, 2), M(Text, S)};
    else if constexpr (kIs<R, TailSectionA>)
        return {M(Head, S + 2), M(Texts, 6 * S), M(Coded, 6 + 3 * S), M(Lists, 26 * S), M(Names, 7 * S),
                M(Closing, 4 * S + 2), M(Last, S)};
    else if constexpr (kIs<R, TailSectionB>)
        return {M(Head, S + 2), M(Texts, 6 * S), M(Closing, 4 * S + 2), M(Last, S)};
    else if constexpr (kIs<R, TailRecord>)
        return {M(SectionA1, 48 * S + 10), M(SectionA2, 48 * S + 10), M(SectionB1, 12 * S + 4),
                M(SectionB2, 12 * S + 4)};
    else if constexpr (kIs<R, FixedBlock>) return {M(Bytes, 208)};
    else if constexpr (kIs<R, FactorPair>) return {M(HighFactor, 4), M(LowFactor, 4)};
    else if constexpr (kIs<R, WordPair>) return {M(Word1, 2), M(Word2, 2)};
    else if constexpr (kIs<R, PointList>) return {M(Points, 20), M(PointCount, 1), M(PointData, 40)};
    else if constexpr (kIs<R, CycleStep>) return {M(Value, 2), M(List, 61)};
    else if constexpr (kIs<R, CycleEntry>) return {M(FirstSteps, 630), M(SecondSteps, 630)};
    else if constexpr (kIs<R, CycleTable>)
        return {M(BothValuesSet, 2), M(Mark, 1), M(CycleCount, 2), M(Levels, 11 * 63), M(Cycles, 10 * 1260),
                M(Remainder, 9), M(Appendix, 86)};
    else if constexpr (kIs<R, Main101>)
        return {M(Code, 2), M(AnchorCount, 4), M(Text1, S), M(Text2, S), M(Text3, S), M(Text4, S), M(Setting, 1),
                M(ListA, Dyn(S)), M(ListB, Dyn(2)), M(CurrentAnchor, AnchorSize(false)),
                M(Anchors, Dyn(AnchorSize(false))), M(Tail, kTail)};
    else if constexpr (kIs<R, Main102>)
        return {M(Code, 2), M(AnchorCount, 4), M(Text1, S), M(Text2, S), M(Text3, S), M(Text4, S), M(Setting, 1),
                M(ListA, Dyn(S)), M(ListB, Dyn(2)), M(CurrentAnchor, AnchorSize(true)),
                M(Anchors, Dyn(AnchorSize(true))), M(CurrentExtra, 22), M(Extras, Dyn(22)),
                M(CurrentCycleTable, 13393), M(CycleTables, Dyn(13393)), M(Tail, kTail)};
    else
        static_assert(sizeof(R) == 0, "a record without a layout table");
}
// clang-format on

template <class R> class LayoutOnDisk : public testing::Test {};
using Records = testing::Types<PointSettings, NamedValues, CycleSettings, SeriesBlock, DataUnit, DataGroup,
                               DataBlock, FootItem, FootBlock, TypeBlock101, TypeBlock102, Entry101, Entry102,
                               Anchor101, Anchor102, TailHead, TailCoded, TailLists, TailClosing,
                               TailSectionA, TailSectionB, TailRecord, FixedBlock, FactorPair, WordPair,
                               AnchorExtra, PointList, CycleStep, CycleEntry, CycleTable, Main101, Main102>;
TYPED_TEST_SUITE(LayoutOnDisk, Records);

TYPED_TEST(LayoutOnDisk, EachMemberIsWrittenAtAndReadFromItsOffset) {
    const auto table = Layout<TypeParam>();
    auto model = std::make_unique<TypeParam>(), read = std::make_unique<TypeParam>();
    Filler filler;
    std::vector<std::size_t> offsets;
    for (const auto& row : table) {
        offsets.push_back(filler.out.size());
        row.fill(*model, filler);
        ASSERT_EQ(filler.out.size() - offsets.back(), row.size) << row.name << ": its type has another width";
    }
    const Bytes& image = filler.out; // the record by the format's rules, member after member
    VectorSink sink;
    ByteWriter writer(sink);
    EncodeRecord(writer, *model);
    writer.Flush();
    const std::size_t differs =
        std::mismatch(image.begin(), image.end(), sink.bytes.begin(), sink.bytes.end()).first - image.begin();
    const auto member = std::upper_bound(offsets.begin(), offsets.end(), differs) - offsets.begin() - 1;
    EXPECT_TRUE(sink.bytes == image) << "the written bytes differ from offset " << differs << ", in "
                                     << table[member].name << " at offset " << offsets[member];

    ByteReader reader(image);
    ASSERT_NO_THROW(DecodeRecord(reader, *read));
    EXPECT_EQ(reader.remaining(), 0u);
    EXPECT_TRUE(*read == *model) << "a member does not hold the bytes at its offset";
    // Compared as a written file is read back: the image holds the record, and with the first byte of
    // any one member changed it does not.
    for (std::size_t i = 0; i <= table.size(); ++i) {
        if (i < table.size() && table[i].size == 0) continue; // not in this format
        Bytes changed = image;
        if (i < table.size()) changed[offsets[i]] ^= 1;
        ByteReader again(changed);
        bool same = false;
        try {
            ExpectRecord(again, *model);
            same = again.remaining() == 0;
        } catch (const CompareArchive::Differs&) {
        }
        EXPECT_EQ(same, i == table.size()) << (i < table.size() ? table[i].name : "the image itself");
    }
}

} // namespace
