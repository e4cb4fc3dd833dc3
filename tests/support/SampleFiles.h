// The one builder of user-data files for the tests, the fuzzer's seeds and the benchmark.
#pragma once

#include "usrdata/FileImage.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace zel::test {

// How a sample anchor is made. The defaults convert; a cycle count of 11 fails the upgrade to 1.02.
struct AnchorShape {
    Integer cycleCount = 3;
    int entries = 3;
    bool footItems = true; // Foot.Items dimensioned 0..1, else never dimensioned
};

// `anchorCount` in the record, max(anchorCount, 1) anchors; `failingAnchor` (1-based) has 11 steps.
struct ProjectShape {
    Long anchorCount = 2;
    AnchorShape anchor{};
    bool lists = true; // ListA and ListB dimensioned, ListB from 0
    int failingAnchor = 0;
};

std::unique_ptr<Body101> SampleProject(const ProjectShape& shape = {});

// A complete file of the format; 1.02 from the project upgraded (a 1.00 source gets factors 1.1 and 0.9).
std::vector<std::uint8_t> FileBytes(FileVersion version, const Body101& project);
std::vector<std::uint8_t> SampleFile(FileVersion version, const ProjectShape& shape = {});

} // namespace zel::test
