// Pieces shared by the POSIX and the Win32 implementation of Platform.h: building a FileError, the
// names of temporary files and the state of the test seams. Not for use outside src/platform.
#pragma once

#include "platform/Platform.h"
#include "platform/Sha256.h"
#ifdef ZEL_TEST_SEAMS
#include "platform/TestSeams.h"
#endif

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#ifndef ZEL_TEST_SEAMS
namespace zel::platform {
// The moments of TestSeams.h, which builds without the seams never reach.
enum class Moment : std::uint8_t { DuringCopy, BeforeReplace };
} // namespace zel::platform
#endif

namespace zel::platform::detail {

// A FileError with the fixed description of its code.
FileError MakeError(int code);

// A FileError with a description of its own, for failures that the code alone does not tell
// apart (a system error without a code of its own, a file too large).
FileError MakeError(int code, std::string description);

// The file layer's error for a source that could not be opened.
FileError FromOpenFailure(OpenFailure failure);

// The description of code 57 naming the system's error: its number and its text.
std::string DescribeSystemError(const std::string& systemText);

// The first part of the name of a temporary file for the file `leaf` ("." + leaf + ".zelconv-"),
// with the leaf cut at a character boundary so that the whole temporary name, with the
// `suffixLength` characters that follow, stays within `maxLength` bytes of UTF-8 (which is never
// fewer than the UTF-16 units Windows counts).
std::string TemporaryStem(const std::string& leaf, std::size_t suffixLength, std::size_t maxLength);

// Whether `name` is a temporary name made from `stem` with a suffix of `suffixLength` characters.
bool IsTemporaryName(const std::string& name, const std::string& stem, std::size_t suffixLength);

// Reads a file at an offset: up to `size` bytes into `buffer`; how many (0 at the end), -1 on a failure.
using ReadAtFunction =
    std::function<std::int64_t(std::uint8_t* buffer, std::size_t size, std::uint64_t offset)>;

// What was written into a temporary file, to hold the file against when it is read back: its length,
// and its SHA-256 where no check of the content (`hashed`) proves its bytes.
class WrittenContent {
public:
    explicit WrittenContent(bool hashed) : hashed_(hashed) {}
    // Takes the next `size` bytes of the content: the bytes to write (a test seam may change them,
    // and `size` then tells how many to write).
    const std::uint8_t* Take(const std::uint8_t* data, std::size_t& size);
    // Reads the file back from its start through `readAt`, handing the bytes to `check` as they come;
    // whether it holds exactly the bytes written: their length, their digest (hashed) and what `check`
    // says of them. Without a digest the check proves the bytes, so it must read all of them.
    bool ReadsBack(const ReadAtFunction& readAt, const ContentCheck& check);

private:
    bool hashed_;
    Sha256 hash_;
    std::uint64_t length_ = 0;
    std::vector<std::uint8_t> scratch_;
};

// A check that the content read back is, byte for byte, the `length` bytes that `readSource` reads.
ContentCheck SameBytesAs(const ReadAtFunction& readSource, std::uint64_t length);

// The test seams (platform/TestSeams.h). In builds without them these are constants that the
// compiler removes with the branches that use them.
#ifdef ZEL_TEST_SEAMS
// Whether writes act as on a file system without unnamed files and hard links.
bool WithoutLinks();
// Whether the file system refuses a rename through a handle (Windows).
bool RenameByHandleRefused();
// Whether the file system refuses the deletion mark of an open file (Windows).
bool DeletionMarkRefused();
// Consumes one injected read fault. True when this open must fail.
bool TakeReadFault();
// Consumes an injected read fault at or before `end`, the offset that a read would reach.
bool TakeReadFaultAt(std::uint64_t end);
// Consumes the injected flush fault of a file or a folder: its system error, or 0.
int TakeFlushFault(bool folder);
// What a write of `size` bytes may do: write `limit` bytes and then fail with the injected fault's
// code (`fault`, 0 for none).
struct WritePlan {
    std::size_t limit;
    int fault;
};
WritePlan PlanWrite(std::size_t size);
// One step of the write protocol: ends the process here when a crash test asked for this step.
void CrashPoint();
// The bytes that a write of `size` content bytes from `data`, at `offset` of the content, puts on
// disk: `data`, or after an injected written-byte fault a copy in `scratch` with one byte changed or
// left out (`size` then tells the bytes to write).
const std::uint8_t* WrittenBytes(std::uint64_t offset, const std::uint8_t* data, std::size_t& size,
                                 std::vector<std::uint8_t>& scratch);
// Changes what a read-back saw at `offset` of the file when a read-back fault is injected there.
void ReadBackSeen(std::uint64_t offset, std::uint8_t* data, std::size_t size);
// Whether writes skip their reading back (the benchmark's comparison).
bool ReadBackSkipped();
// Runs the action injected for `moment`, once.
void ReachMoment(Moment moment);
#else
constexpr bool WithoutLinks() {
    return false;
}
constexpr bool RenameByHandleRefused() {
    return false;
}
constexpr bool DeletionMarkRefused() {
    return false;
}
constexpr bool TakeReadFault() {
    return false;
}
constexpr bool TakeReadFaultAt(std::uint64_t) {
    return false;
}
constexpr int TakeFlushFault(bool) {
    return 0;
}
struct WritePlan {
    std::size_t limit;
    int fault;
};
constexpr WritePlan PlanWrite(std::size_t size) {
    return {size, 0};
}
constexpr void CrashPoint() {}
constexpr void ReachMoment(Moment) {}
inline const std::uint8_t* WrittenBytes(std::uint64_t, const std::uint8_t* data, std::size_t&,
                                        std::vector<std::uint8_t>&) {
    return data;
}
constexpr void ReadBackSeen(std::uint64_t, std::uint8_t*, std::size_t) {}
constexpr bool ReadBackSkipped() {
    return false;
}
#endif

} // namespace zel::platform::detail
