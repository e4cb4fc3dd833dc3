// Operating-system services that the converter needs: code page 932 text conversion, file
// existence, whole-file reading, atomic replacement, a no-replace copy and the error codes with
// their Japanese descriptions. One POSIX and one Win32 implementation stand behind this header.
//
// All names and texts here are UTF-8 std::strings. On Windows the implementation converts them to
// wide strings before calling the system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::platform {

// The folder separator of full file names on this platform ("\" on Windows, "/" elsewhere).
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// Error codes of the file layer, numbered as the application's file layer numbers them.
namespace code {
inline constexpr int Overflow = 6; // a counter or sum left its range during the upgrade
inline constexpr int OutOfMemory = 7;
inline constexpr int SubscriptOutOfRange = 9; // an array index outside the array's bounds
inline constexpr int BadFileName = 52;
inline constexpr int FileNotFound = 53;
inline constexpr int FileAlreadyOpen = 55;
inline constexpr int DeviceIO = 57;
inline constexpr int FileAlreadyExists = 58;
inline constexpr int DiskFull = 61;
inline constexpr int TooManyFiles = 67;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccess = 75; // the file or folder may not be written (read-only)
inline constexpr int PathNotFound = 76;
} // namespace code

// A failed file operation: the code that decides the message and the Japanese description that
// the message shows.
struct FileError {
    int code = 0;
    std::string description;
};

// The Japanese description of an error code (a fixed text per code; never empty).
std::string DescribeError(int code);

// --- Code page 932 --------------------------------------------------------------------------

// Decodes code page 932 bytes to UTF-8 text. Returns nothing when the bytes are not valid
// code page 932 (such text matches nothing and is shown as best the caller can).
std::optional<std::string> DecodeCp932(std::string_view bytes);

// Encodes UTF-8 text as code page 932 bytes. Returns nothing when a character has no code.
std::optional<std::string> EncodeCp932(std::string_view utf8);

// --- Files ----------------------------------------------------------------------------------

// True when `name` names an existing regular file that counts for the user: folders, FIFOs and
// devices never do; on Windows neither do files marked hidden or system.
bool FileExists(const std::string& name);

// Reads up to `maxBytes` bytes from the start of the file (fewer when it is shorter).
// Returns nothing when the file cannot be opened or read.
std::optional<std::vector<std::uint8_t>> ReadFilePrefix(const std::string& name, std::size_t maxBytes);

// Reads the whole file. Returns nothing when it cannot be opened or read.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& name);

// Replaces the content of `target` with exactly `bytes`, never leaving a half-written file:
// the bytes go to a temporary file in the target's folder, are flushed to disk, and the
// temporary file then atomically takes the target's place (keeping the target's permission bits,
// owner and group where allowed; a symbolic link has the file it points to replaced). Where the
// folder does not allow a new file but the target may be written, the target is written in place
// and cut to the new length. A read-only target (POSIX: not writable, or without any write
// permission bit when running as root; Windows: the read-only attribute) and a folder of that
// name fail with code 75 before anything is written. On failure the temporary file is gone and
// the target is as it was; only a write failure in the in-place case can leave it partly written.
std::optional<FileError> ReplaceFileContents(const std::string& target,
                                             const std::vector<std::uint8_t>& bytes);

// Result of CopyFileNoReplace.
enum class CopyResult { Copied, TargetExists, Failed };

// Copies `source` byte for byte to `target` unless a file (of any kind) of the name `target`
// exists already, in which case nothing is written. The copy goes to a temporary file in the
// target's folder and is moved to the target name only when complete, without replacing, so a
// failure never leaves a partial copy under the target name. `error` is set on Failed (53 for a
// missing source, 76 for a missing folder of the target). TargetExists also stands for names that
// FileExists does not count (folders, hidden files, dangling links): the caller tells them apart.
CopyResult CopyFileNoReplace(const std::string& source, const std::string& target, FileError& error);

// --- Test seam ------------------------------------------------------------------------------

// Makes the next `count` file writes of ReplaceFileContents / CopyFileNoReplace fail, after part
// of the data was written, as if the system had reported the failure that maps to `errorCode`
// (code::DiskFull: ENOSPC / ERROR_DISK_FULL; code::DeviceIO: EIO / ERROR_WRITE_FAULT). count 0
// switches the fault off. Only tests call this.
void InjectWriteFault(int errorCode, int count = 1);

// Makes ReadFilePrefix and ReadWholeFile fail for the next `count` calls, as for a file that
// exists but cannot be read (which file modes cannot arrange for root). Only tests call this.
void InjectReadFault(int count = 1);

} // namespace zel::platform
