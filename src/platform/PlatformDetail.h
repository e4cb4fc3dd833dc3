// Pieces shared by the POSIX and the Win32 implementation of Platform.h: building a FileError, the
// names of temporary files and the state of the test seams. Not for use outside src/platform.
#pragma once

#include "platform/Platform.h"

#include <cstddef>
#include <string>

namespace zel::platform::detail {

// A FileError with the fixed description of its code.
FileError MakeError(int code);

// A FileError with a description of its own, for failures that the code alone does not tell
// apart (a system error without a code of its own, a file too large).
FileError MakeError(int code, std::string description);

// The description of code 57 naming the system's error: its number and its text.
std::string DescribeSystemError(const std::string& systemText);

// The first part of the name of a temporary file for the file `leaf` ("." + leaf + ".zelconv-"),
// with the leaf cut at a character boundary so that the whole temporary name, with the
// `suffixLength` characters that follow, stays within `maxLength` bytes of UTF-8 (which is never
// fewer than the UTF-16 units Windows counts).
std::string TemporaryStem(const std::string& leaf, std::size_t suffixLength, std::size_t maxLength);

// Whether `name` is a temporary name made from `stem` with a suffix of `suffixLength` characters.
bool IsTemporaryName(const std::string& name, const std::string& stem, std::size_t suffixLength);

// Whether writes act as on a file system without unnamed files and hard links (a test seam).
bool WithoutLinks();

// Consumes one injected read fault. True when this open must fail.
bool TakeReadFault();

// What a write of `size` bytes may do under the test seams: write `limit` bytes, then end the
// process (`crash`) or fail with the injected fault's code (`fault`, 0 for none).
struct WritePlan {
    std::size_t limit;
    int fault;
    bool crash;
};
WritePlan PlanWrite(std::size_t size);
[[noreturn]] void CrashNow();

} // namespace zel::platform::detail
