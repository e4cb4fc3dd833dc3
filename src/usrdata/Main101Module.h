// The records of formats 1.00 and 1.01: the project record Main101 and its old anchor layout.
#pragma once

#include "usrdata/Records.h"

namespace zel {

using TypeBlock101 = TypeBlock<Format::V101>;
using Entry101 = Entry<Format::V101>;
using Anchor101 = Anchor<Format::V101>;

struct Main101 {
    Integer Code = 0;
    Long AnchorCount = 0;
    String Text1, Text2, Text3, Text4;
    Byte Setting = 0;
    DynArray<String> ListA;
    DynArray<Integer> ListB;
    Anchor101 CurrentAnchor;
    DynArray<Anchor101> Anchors;
    TailRecord Tail;
    bool operator==(const Main101&) const = default;
};
template <class Ar> void serialize(Ar& ar, Main101& r) {
    ar.fields(r.Code, r.AnchorCount, r.Text1, r.Text2, r.Text3, r.Text4, r.Setting, r.ListA, r.ListB,
              r.CurrentAnchor, r.Anchors, r.Tail);
}

} // namespace zel
