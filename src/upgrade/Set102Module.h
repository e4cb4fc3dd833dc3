// The upgrade of the project record, of each anchor record and the construction of each anchor's
// cycle test table, from format 1.01 to format 1.02. Failures throw ConversionFailure; the writer
// reports them.
#pragma once

#include "usrdata/Main101Module.h"
#include "usrdata/Main102Module.h"

namespace zel {

// Builds the 1.02 project record from the 1.01 one into `out`, which starts empty.
void BuildMain102(const Main101& old, Main102& out);

// The memory that BuildMain102 takes for the 1.02 records it builds from `old`, at most: every
// anchor it can build with its cycle table and entries. The lists that the 1.02 record takes over
// whole are shared with the old record and cost nothing.
std::size_t Main102Cost(const Main101& old);

// Fills `target`, a freshly created empty Anchor102, from `source`.
void UpgradeAnchor(const Anchor101& source, Anchor102& target);

// Fills `table`, all zero, from the point groups of `anchor`. The current anchor always takes the
// general level rule and the multi-cycle layout; array elements follow their test method.
void BuildCycleTable(CycleTable& table, const Anchor101& anchor, bool isCurrentAnchor);

// The step value: total / count rounded to single precision, then to two decimals.
Single StepValue(Long total, Integer count);

// The texts that the upgrade compares with the anchor's type name and test method.
inline constexpr const char* kSslPermanentAnchor = "SSL永久アンカー";
inline constexpr const char* kMultiCycle = "多サイクル";
inline constexpr const char* kOneCycle = "１サイクル";

} // namespace zel
