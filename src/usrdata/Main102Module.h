// The records of format 1.02: the project record Main102, the new anchor layout, the per-anchor
// extra record and the cycle test table.
#pragma once

#include "usrdata/Records.h"

namespace zel {

using TypeBlock102 = TypeBlock<Format::V102>;
using Entry102 = Entry<Format::V102>;
using Anchor102 = Anchor<Format::V102>;

struct AnchorExtra {
    RawBlock<22> Bytes;
    bool operator==(const AnchorExtra&) const = default;
};
template <class Ar> void serialize(Ar& ar, AnchorExtra& r) {
    ar(r.Bytes);
}

struct PointList {
    FixedArray<Integer, 10> Points;
    Byte PointCount = 0;
    RawBlock<40> PointData;
    bool operator==(const PointList&) const = default;
};
template <class Ar> void serialize(Ar& ar, PointList& r) {
    ar.fields(r.Points, r.PointCount, r.PointData);
}

struct CycleStep {
    Integer Value = 0;
    PointList List;
    bool operator==(const CycleStep&) const = default;
};
template <class Ar> void serialize(Ar& ar, CycleStep& r) {
    ar.fields(r.Value, r.List);
}

struct CycleEntry {
    FixedArray<CycleStep, 10> FirstSteps;
    FixedArray<CycleStep, 10> SecondSteps;
    bool operator==(const CycleEntry&) const = default;
};
template <class Ar> void serialize(Ar& ar, CycleEntry& r) {
    ar.fields(r.FirstSteps, r.SecondSteps);
}

// The cycle test table of one anchor: 13393 bytes on disk.
struct CycleTable {
    Integer BothValuesSet = 0; // −1 when both group values are nonzero
    Byte Mark = 0;
    Integer CycleCount = 0;
    FixedArray<CycleStep, 11> Levels;
    FixedArray<CycleEntry, 10> Cycles;
    RawBlock<9> Remainder;
    RawBlock<86> Appendix;
    bool operator==(const CycleTable&) const = default;
};
template <class Ar> void serialize(Ar& ar, CycleTable& r) {
    ar.fields(r.BothValuesSet, r.Mark, r.CycleCount, r.Levels, r.Cycles, r.Remainder, r.Appendix);
}

struct Main102 {
    Integer Code = 0;
    Long AnchorCount = 0;
    String Text1, Text2, Text3, Text4;
    Byte Setting = 0;
    DynArray<String> ListA;
    DynArray<Integer> ListB;
    Anchor102 CurrentAnchor;
    DynArray<Anchor102> Anchors;
    AnchorExtra CurrentExtra;
    DynArray<AnchorExtra> Extras;
    CycleTable CurrentCycleTable;
    DynArray<CycleTable> CycleTables;
    TailRecord Tail;
    bool operator==(const Main102&) const = default;
};
template <class Ar> void serialize(Ar& ar, Main102& r) {
    ar.fields(r.Code, r.AnchorCount, r.Text1, r.Text2, r.Text3, r.Text4, r.Setting, r.ListA, r.ListB,
              r.CurrentAnchor, r.Anchors, r.CurrentExtra, r.Extras, r.CurrentCycleTable, r.CycleTables,
              r.Tail);
}

} // namespace zel
