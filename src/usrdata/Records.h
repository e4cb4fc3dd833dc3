// The record types of the .zel formats and their member lists. Each record has one serialize()
// function that lists its members in file order; reading, writing and sizing all walk that list.
// The anchor record, its type block and its entries exist in the old layout (format 1.00/1.01) and
// the new one (format 1.02); both layouts come from one definition, with the members that only
// format 1.02 has switched on by the format.
#pragma once

#include "usrdata/ByteIO.h"

namespace zel {

enum class Format { V101, V102 };

// --- Inner records shared by both anchor layouts ----------------------------------------------

// The anchor's two point groups: group 1 (First…) and group 2 (Second…).
struct PointSettings {
    Integer FirstValue = 0;
    Integer SecondValue = 0;
    Byte FirstCount = 0;
    String FirstText;
    FixedArray<Integer, 20> FirstPoints;
    Byte SecondCount = 0;
    String SecondText;
    FixedArray<Integer, 20> SecondPoints;
    Integer ExtraValue1 = 0;
    Integer ExtraValue2 = 0;
    bool operator==(const PointSettings&) const = default;
};
template <class Ar> void serialize(Ar& ar, PointSettings& r) {
    ar.fields(r.FirstValue, r.SecondValue, r.FirstCount, r.FirstText, r.FirstPoints, r.SecondCount,
              r.SecondText, r.SecondPoints, r.ExtraValue1, r.ExtraValue2);
}

struct NamedValues {
    String NameA;
    String NameB;
    Value4 NamedValue1, NamedValue2, NamedValue3, NamedValue4, NamedValue5, NamedValue6, NamedValue7;
    bool operator==(const NamedValues&) const = default;
};
template <class Ar> void serialize(Ar& ar, NamedValues& r) {
    ar.fields(r.NameA, r.NameB, r.NamedValue1, r.NamedValue2, r.NamedValue3, r.NamedValue4, r.NamedValue5,
              r.NamedValue6, r.NamedValue7);
}

struct CycleSettings {
    Integer CycleInt1 = 0;
    Single ReferenceLevel;
    Value4 CycleValue1;
    Integer CycleCount = 0;
    FixedArray<Value4, 10> CycleSeriesA;
    Value4 CycleValue2;
    Value4 CycleValue3;
    FixedArray<Value4, 10> CycleSeriesB;
    bool operator==(const CycleSettings&) const = default;
};
template <class Ar> void serialize(Ar& ar, CycleSettings& r) {
    ar.fields(r.CycleInt1, r.ReferenceLevel, r.CycleValue1, r.CycleCount, r.CycleSeriesA, r.CycleValue2,
              r.CycleValue3, r.CycleSeriesB);
}

struct SeriesBlock {
    Integer SeriesInt1 = 0;
    String SeriesText;
    Value4 SeriesValue1, SeriesValue2, SeriesValue3, SeriesValue4;
    Integer SeriesInt2 = 0;
    FixedArray<Value4, 20> SeriesA;
    FixedArray<Value4, 20> SeriesB;
    bool operator==(const SeriesBlock&) const = default;
};
template <class Ar> void serialize(Ar& ar, SeriesBlock& r) {
    ar.fields(r.SeriesInt1, r.SeriesText, r.SeriesValue1, r.SeriesValue2, r.SeriesValue3, r.SeriesValue4,
              r.SeriesInt2, r.SeriesA, r.SeriesB);
}

struct DataUnit {
    RawBlock<888> Bytes;
    bool operator==(const DataUnit&) const = default;
};
template <class Ar> void serialize(Ar& ar, DataUnit& r) {
    ar(r.Bytes);
}

struct DataGroup {
    FixedArray<DataUnit, 3> Units;
    bool operator==(const DataGroup&) const = default;
};
template <class Ar> void serialize(Ar& ar, DataGroup& r) {
    ar(r.Units);
}

struct DataBlock {
    String DataText;
    FixedArray<DataGroup, 11> Groups; // 29304 bytes of plain data
    RawBlock<64> DataRest;
    bool operator==(const DataBlock&) const = default;
};
template <class Ar> void serialize(Ar& ar, DataBlock& r) {
    ar.fields(r.DataText, r.Groups, r.DataRest);
}

struct FootItem {
    RawBlock<22> Bytes;
    bool operator==(const FootItem&) const = default;
};
template <class Ar> void serialize(Ar& ar, FootItem& r) {
    ar(r.Bytes);
}

struct FootBlock {
    Value4 BlockValue1, BlockValue2, BlockValue3;
    FixedArray<Value4, 2> BlockPairA;
    FixedArray<Value4, 2> BlockPairB;
    Value4 BlockValue4, BlockValue5;
    DynArray<FootItem> Items;
    Value4 BlockValue6;
    bool operator==(const FootBlock&) const = default;
};
template <class Ar> void serialize(Ar& ar, FootBlock& r) {
    ar.fields(r.BlockValue1, r.BlockValue2, r.BlockValue3, r.BlockPairA, r.BlockPairB, r.BlockValue4,
              r.BlockValue5, r.Items, r.BlockValue6);
}

// --- Records with an old and a new layout ----------------------------------------------------

template <Format F> struct TypeBlock {
    Integer AnchorTypeCode = 0;
    Integer TypeInt = 0;
    String AnchorTypeName;
    Long MeasureA = 0;
    Long MeasureB = 0;
    Value4 TypeValue1;
    Long StepTotal = 0;
    Long MeasureDiff = 0;
    Value4 TypeValue2;
    Value4 TypeValue3;
    Integer StepCount = 0;
    FixedArray<Single, 10> StepValues; // format 1.02 only
    bool operator==(const TypeBlock&) const = default;
};
template <class Ar, Format F> void serialize(Ar& ar, TypeBlock<F>& r) {
    ar.fields(r.AnchorTypeCode, r.TypeInt, r.AnchorTypeName, r.MeasureA, r.MeasureB, r.TypeValue1,
              r.StepTotal, r.MeasureDiff, r.TypeValue2, r.TypeValue3, r.StepCount);
    if constexpr (F == Format::V102) ar(r.StepValues);
}

template <Format F> struct Entry {
    String EntryText1;
    String EntryText2;
    Integer EntryInt1 = 0;
    Integer EntryInt2 = 0;
    Value4 EntryValue1;
    Single EntryLevel;
    Integer CycleNo = 0;
    Integer EntryInt3 = 0;
    Integer EntryInt4 = 0;
    FixedArray<Single, 2> EntryPair;
    Value4 EntryValue2;
    Single RefValue1; // format 1.02 only
    Single RefValue2; // format 1.02 only
    bool operator==(const Entry&) const = default;
};
template <class Ar, Format F> void serialize(Ar& ar, Entry<F>& r) {
    ar.fields(r.EntryText1, r.EntryText2, r.EntryInt1, r.EntryInt2, r.EntryValue1, r.EntryLevel, r.CycleNo,
              r.EntryInt3, r.EntryInt4, r.EntryPair, r.EntryValue2);
    if constexpr (F == Format::V102) ar.fields(r.RefValue1, r.RefValue2);
}

template <Format F> struct Anchor {
    String HeadText;
    String TestMethod;
    Value4 HeadValue1, HeadValue2;
    Integer HeadInt1 = 0, HeadInt2 = 0, HeadInt3 = 0, HeadInt4 = 0;
    Value4 HeadValue3, HeadValue4;
    TypeBlock<F> TypeInfo;
    PointSettings Settings;
    Byte Flag1 = 0;
    NamedValues Named;
    CycleSettings Cycle;
    Value4 MidValue1;
    Integer MidInt1 = 0;
    Value4 MidValue2, MidValue3, MidValue4;
    Integer MidInt2 = 0;
    SeriesBlock Series;
    DataBlock Data;
    Byte EntryFlag = 0; // format 1.02 only
    DynArray<Entry<F>> Entries;
    Integer EntryCount = 0;
    String FootText1, FootText2, FootText3;
    Value4 FootValue1, FootValue2;
    FixedArray<Value4, 2> FootPair1;
    FixedArray<Value4, 2> FootPair2; // format 1.02 only
    Value4 FootValue3;
    Byte FootByte1 = 0;
    Integer FootInt1 = 0, FootInt2 = 0;
    Byte FootByte2 = 0;
    Value4 FootValue4;
    FootBlock Foot;
    Byte FootByte3 = 0;
    String FootText4;
    Byte FootByte4 = 0;
    String FootText5;
    FixedArray<String, 2> FootTexts; // format 1.02 only
    String FootText6, FootText7;
    FixedArray<Integer, 4> FootInts;
    Integer FootInt3 = 0;
    Value4 FootValue5;
    Byte FootByte5 = 0;            // format 1.02 only
    FixedArray<Byte, 2> FootBytes; // format 1.02 only
    Value4 FootValue6, FootValue7; // format 1.02 only
    bool operator==(const Anchor&) const = default;
};
template <class Ar, Format F> void serialize(Ar& ar, Anchor<F>& r) {
    constexpr bool v102 = F == Format::V102;
    ar.fields(r.HeadText, r.TestMethod, r.HeadValue1, r.HeadValue2, r.HeadInt1, r.HeadInt2, r.HeadInt3,
              r.HeadInt4, r.HeadValue3, r.HeadValue4, r.TypeInfo, r.Settings, r.Flag1, r.Named, r.Cycle,
              r.MidValue1, r.MidInt1, r.MidValue2, r.MidValue3, r.MidValue4, r.MidInt2, r.Series, r.Data);
    if constexpr (v102) ar(r.EntryFlag);
    ar.fields(r.Entries, r.EntryCount, r.FootText1, r.FootText2, r.FootText3, r.FootValue1, r.FootValue2,
              r.FootPair1);
    if constexpr (v102) ar(r.FootPair2);
    ar.fields(r.FootValue3, r.FootByte1, r.FootInt1, r.FootInt2, r.FootByte2, r.FootValue4, r.Foot,
              r.FootByte3, r.FootText4, r.FootByte4, r.FootText5);
    if constexpr (v102) ar(r.FootTexts);
    ar.fields(r.FootText6, r.FootText7, r.FootInts, r.FootInt3, r.FootValue5);
    if constexpr (v102) ar.fields(r.FootByte5, r.FootBytes, r.FootValue6, r.FootValue7);
}

// --- The project record's tail ---------------------------------------------------------------

struct TailHead {
    String Text;
    Integer Value = 0;
    bool operator==(const TailHead&) const = default;
};
template <class Ar> void serialize(Ar& ar, TailHead& r) {
    ar.fields(r.Text, r.Value);
}

struct TailCoded {
    Integer Value = 0;
    Value4 Raw;
    FixedArray<String, 3> Texts;
    bool operator==(const TailCoded&) const = default;
};
template <class Ar> void serialize(Ar& ar, TailCoded& r) {
    ar.fields(r.Value, r.Raw, r.Texts);
}

struct TailLists {
    String Text1, Text2;
    FixedArray<String, 2> PairA, PairB;
    FixedArray<String, 5> ListA, ListB, ListC, ListD;
    bool operator==(const TailLists&) const = default;
};
template <class Ar> void serialize(Ar& ar, TailLists& r) {
    ar.fields(r.Text1, r.Text2, r.PairA, r.PairB, r.ListA, r.ListB, r.ListC, r.ListD);
}

struct TailClosing {
    FixedArray<String, 3> Texts;
    Integer Value = 0;
    String Text;
    bool operator==(const TailClosing&) const = default;
};
template <class Ar> void serialize(Ar& ar, TailClosing& r) {
    ar.fields(r.Texts, r.Value, r.Text);
}

struct TailSectionA {
    TailHead Head;
    FixedArray<String, 6> Texts;
    TailCoded Coded;
    TailLists Lists;
    FixedArray<String, 7> Names;
    TailClosing Closing;
    String Last;
    bool operator==(const TailSectionA&) const = default;
};
template <class Ar> void serialize(Ar& ar, TailSectionA& r) {
    ar.fields(r.Head, r.Texts, r.Coded, r.Lists, r.Names, r.Closing, r.Last);
}

struct TailSectionB {
    TailHead Head;
    FixedArray<String, 6> Texts;
    TailClosing Closing;
    String Last;
    bool operator==(const TailSectionB&) const = default;
};
template <class Ar> void serialize(Ar& ar, TailSectionB& r) {
    ar.fields(r.Head, r.Texts, r.Closing, r.Last);
}

struct TailRecord {
    TailSectionA SectionA1, SectionA2;
    TailSectionB SectionB1, SectionB2;
    bool operator==(const TailRecord&) const = default;
};
template <class Ar> void serialize(Ar& ar, TailRecord& r) {
    ar.fields(r.SectionA1, r.SectionA2, r.SectionB1, r.SectionB2);
}

// --- Raw blocks behind the project record ----------------------------------------------------

// 208 bytes carried unchanged.
struct FixedBlock {
    RawBlock<208> Bytes;
    bool operator==(const FixedBlock&) const = default;
};
template <class Ar> void serialize(Ar& ar, FixedBlock& r) {
    ar(r.Bytes);
}

struct FactorPair {
    Single HighFactor;
    Single LowFactor;
    bool operator==(const FactorPair&) const = default;
};
template <class Ar> void serialize(Ar& ar, FactorPair& r) {
    ar.fields(r.HighFactor, r.LowFactor);
}

struct WordPair {
    Integer Word1 = 0;
    Integer Word2 = 0;
    bool operator==(const WordPair&) const = default;
};
template <class Ar> void serialize(Ar& ar, WordPair& r) {
    ar.fields(r.Word1, r.Word2);
}

} // namespace zel
