// Small valid user-data files of formats 1.00 and 1.01 built in memory, for the tests of the
// readers, writers, workflow, command line and window.
#pragma once

#include <cstdint>
#include <vector>

namespace zel::test {

// A complete file (signature included) of format 1.00 (`minor` 0) or 1.01 (`minor` 1) holding
// `anchors` anchors with Japanese strings, a few entries each and point groups, and the StepCount
// given (11 makes the 1.02 upgrade fail at the anchor with index `failingAnchor`, 0 = none).
std::vector<std::uint8_t> MakeOldFile(int minor, int anchors = 2, int failingAnchor = 0);

} // namespace zel::test
