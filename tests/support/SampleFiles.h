// The one builder of user-data files for the tests, the fuzzer's seeds and the benchmark: records with
// Japanese strings, NaN patterns, entries and point groups, as files of format 1.00, 1.01 or 1.02.
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

// How a sample project is made: `anchorCount` in the record and max(anchorCount, 1) elements, every
// other one with the one-cycle method; anchor `failingAnchor` (1-based, 0 = none) has 11 steps.
struct ProjectShape {
    Long anchorCount = 2;
    AnchorShape anchor{};
    bool lists = true; // ListA and ListB dimensioned, ListB from 0
    int failingAnchor = 0;
};

std::unique_ptr<Body101> SampleProject(const ProjectShape& shape = {});

// A complete file of the format: 1.00 and 1.01 from the project as it is, 1.02 from the project
// upgraded (a 1.00 source converts with the default factors 1.1 and 0.9: set them first).
std::vector<std::uint8_t> FileBytes(FileVersion version, const Body101& project);
std::vector<std::uint8_t> SampleFile(FileVersion version, const ProjectShape& shape = {});

} // namespace zel::test
