// Reading an old user-data file into the working set, and the two writers that write the working
// set out as format 1.01 and 1.02, with their shared failure report.
#pragma once

#include "Main101Module.h"
#include "Main102Module.h"
#include "Messages.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zel::platform {
struct FileError;
}

namespace zel {

// All records of the file being converted: the old project record with the blocks behind it as
// read from the source, and the new project record built from it. Created once by the program
// and passed to every operation.
struct WorkingSet {
    Main101 main101;
    FixedBlock fixedBlock{};
    FactorPair factorPair{};
    Main102 main102;
    WordPair wordPair{};
    // The 64-character signature of the last file whose signature was recognised; empty at start.
    std::string LastSignature;
};

// LoadUsrData results.
inline constexpr std::uint8_t kLoadRefused = 0;
inline constexpr std::uint8_t kLoadOldFormat = 1;
inline constexpr std::uint8_t kLoadAlreadyCurrent = 2;

// Checks the name, reads the signature and, for formats 1.00 and 1.01, the body into the working
// set. Shows its own message for every refusal and for a 1.02 file. A damaged body is refused and
// leaves the working set and LastSignature as they were.
std::uint8_t LoadUsrData(WorkingSet& ws, const std::string& name, Messages& messages);

// Writes the working set as a complete format 1.01 file, after setting the default factors.
// 1 when written, 0 when it failed (the message has been shown).
std::uint8_t Write101(WorkingSet& ws, const std::string& target, Messages& messages);

// Builds Main102 from Main101 and writes the working set as a complete format 1.02 file.
// 1 when written, 0 when it failed (the message has been shown). A failing build leaves the target
// untouched.
std::uint8_t Write102(WorkingSet& ws, const std::string& target, Messages& messages);

// Sets HighFactor 1.1 and LowFactor 0.9 in the working set.
void SetDefaultFactors(WorkingSet& ws);

// Shows the message for a failed write or copy: the read-only texts for code 75, the description
// and the advice to use another disk for code 61, the description alone for any other code.
void ReportWriteError(Messages& messages, const platform::FileError& error);

// The complete file images the writers write (exposed for the benchmark and the tests).
std::vector<std::uint8_t> EncodeFile101(const WorkingSet& ws);
std::vector<std::uint8_t> EncodeFile102(const WorkingSet& ws);

} // namespace zel
