// Operating-system services that the converter needs: code page 932 text conversion, what a name
// is, sequential reading, crash-safe replacement of a file's content, a no-replace copy and the
// error codes with their Japanese descriptions. One POSIX and one Win32 implementation stand
// behind this header.
//
// All names and texts here are UTF-8 std::strings (on Linux: the name's bytes as they are). On
// Windows the implementation converts them to wide strings before calling the system.
#pragma once

#include <cstdint>
#include <functional>
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

// True when `c` ends a folder name in a full name on this platform.
constexpr bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// Error codes of the file layer, numbered as the application's file layer numbers them.
namespace code {
inline constexpr int Overflow = 6; // a counter or sum left its range during the upgrade
inline constexpr int OutOfMemory = 7;
inline constexpr int SubscriptOutOfRange = 9; // an array index outside the array's bounds
inline constexpr int BadFileName = 52;
inline constexpr int FileNotFound = 53;
inline constexpr int DeviceIO = 57;
inline constexpr int FileAlreadyExists = 58;
inline constexpr int DiskFull = 61;
inline constexpr int TooManyFiles = 67;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccess = 75; // the file or folder may not be written (read-only)
inline constexpr int PathNotFound = 76;
// Codes of this program's own, beyond the application's numbering.
inline constexpr int ChangedElsewhere = 1001; // another program changed the file during the conversion
inline constexpr int Unverified = 1002;       // a written file, read back, did not hold what was written
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

// --- Names ----------------------------------------------------------------------------------

// True when `name` names an existing regular file that counts for the user: folders, FIFOs and
// devices never do; on Windows neither do files marked hidden or system.
bool FileExists(const std::string& name);

// What a name stands for, following symbolic links.
enum class NameKind {
    Missing,  // nothing of that name (a link to a missing file names the file to create)
    File,     // a regular file
    Folder,   // a folder
    Special,  // a FIFO, a device, a socket
    LinkLoop, // symbolic links that point in a circle (or too many in a row)
};
NameKind KindOfName(const std::string& name);

// True when `name` is an existing file that the write of a conversion would refuse as read-only
// (code 75): Windows: the read-only attribute; POSIX: no write access for this user (for root: no
// write permission bit at all).
bool IsReadOnly(const std::string& name);

// --- Folders --------------------------------------------------------------------------------

// One name in a folder, as the folder itself tells it (links are not followed).
struct FolderEntry {
    std::string name;    // the last component alone
    bool folder = false; // a folder, and no link to one
    bool file = false;   // a regular file, or a link to one
    bool hidden = false; // Windows: marked hidden or system; elsewhere: the name begins with "."
};

// The names in `folder` except "." and "..", in no particular order; nothing when the folder
// cannot be read.
std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder);

// Whether `a` comes before `b` in the order the system's file manager shows the names of a folder.
// A strict order in which different names never tie. On Windows it is the system's own
// (StrCmpLogicalW, what Explorer uses), ties broken by UTF-16 code units. Elsewhere it is this
// program's: a run of digits, ASCII or full-width or both, is one number ("現場２" before "現場１０";
// of equal values the one with fewer leading zeros first), letters are compared without regard to
// case and full-width letters as their ASCII forms, every other character by its code point; names
// still equal so are put in byte order.
bool ShownBefore(const std::string& a, const std::string& b);

// The number of processors this program may use (at least 1).
unsigned ProcessorCount();

// --- Reading --------------------------------------------------------------------------------

// Why a name could not be opened or listed.
enum class OpenFailure : std::uint8_t {
    None,         // it was opened
    Missing,      // nothing of that name (or a folder on its way is missing)
    TooLong,      // the name is longer than the system takes
    NoPermission, // this user may not read it
    InUse,        // another program holds it open without sharing (Windows), still after retries
    NotRegular,   // a folder, a FIFO, a device, a link to nothing, a circle of links
    Other,        // anything else the system reports
};

// What tells one state of a file from another: which file it is (device and inode; Windows: volume
// serial and file ID), its size and its times of last modification and last change. Equal
// identities mean that, as far as the system can tell, nobody has written the file in between.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // nanoseconds (Windows: 100-ns units)
    std::int64_t changed = 0;
    bool operator==(const FileIdentity&) const = default;
};

// ListFolder, telling why a folder that cannot be read could not (`failure` is set only then).
std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder, OpenFailure& failure);

// A file opened for sequential reading from its start; closed when the object ends. On Windows it
// is held with read sharing only, so that no other program can write it while it is open.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens `name` for reading; OpenFailure::None when it was opened. A file that another program
    // holds open without sharing (Windows) is tried again for two seconds before it counts as in use.
    [[nodiscard]] OpenFailure Open(const std::string& name);
    // Whether a file is open.
    bool IsOpen() const { return handle_ != -1; }
    // Closes the file now (Windows: lets a rename replace it); nothing when none is open.
    void Close();
    // The size of the file when it was opened.
    std::uint64_t Size() const { return size_; }
    // The identity of the file when it was opened.
    const FileIdentity& Identity() const { return identity_; }
    // Reads up to `size` bytes: how many were read (0 at the end), or nothing on a read error.
    [[nodiscard]] std::optional<std::size_t> Read(std::uint8_t* buffer, std::size_t size);
    // The system's handle (POSIX: the descriptor), for the copy of the backup.
    std::intptr_t NativeHandle() const { return handle_; }

private:
    std::intptr_t handle_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t read_ = 0; // bytes read so far
    FileIdentity identity_;
};

// The identity of the file that `name` names at this moment (links followed); nothing when there is
// no such file.
std::optional<FileIdentity> IdentityOf(const std::string& name);

// The time of last modification that an identity holds, in seconds since 1970 (UTC).
std::int64_t ModificationTime(const FileIdentity& identity);

// Removes the file `name` (not a folder); whether it is gone.
[[nodiscard]] bool RemoveFile(const std::string& name);

// --- Writing --------------------------------------------------------------------------------

// What a write or a copy reports. `error`: it failed, and the name it was to write holds what it
// held before. `warning`: it succeeded, but something the user should hear of went wrong after the
// new content had its name (the folder could not be flushed to disk).
struct [[nodiscard]] FileResult {
    std::optional<FileError> error;
    std::optional<FileError> warning;
    // The identity of the new file under its name, right after the rename (when there was one).
    std::optional<FileIdentity> written;
    bool ok() const { return !error; }
};

// What a replacing write expects to find at the target's name just before its rename. Another
// program that saved the file in the meantime changed it: then nothing is replaced, the new content
// goes, and the write fails with code::ChangedElsewhere.
struct ReplaceCheck {
    enum class Expect : std::uint8_t {
        Anything, // no check: whatever is there is replaced (a report, a test)
        Nothing,  // the name held nothing when it was settled: it is never replaced
        File,     // the file of identity `file`
    };
    Expect expect = Expect::Anything;
    FileIdentity file;
    // A source held open for reading that must be closed just before the rename (Windows: a rename
    // cannot replace a file that is open).
    InputFile* heldSource = nullptr;
};

// Takes the next piece of a file's content.
using ContentWriter = std::function<void(const std::uint8_t* data, std::size_t size)>;
// Produces a file's whole content by handing it to the writer in pieces.
using ContentProducer = std::function<void(const ContentWriter& write)>;

// Reads the next piece of a written file as it is read back: up to `size` bytes into `buffer`, and
// how many (0 at the end of the file, or when it cannot be read further).
using ContentReader = std::function<std::size_t(std::uint8_t* buffer, std::size_t size)>;
// Looks at a written file's content as it is read back, from its start to its end, and tells whether
// it is byte for byte what was meant to be written. A write given such a check takes it for the proof
// of its bytes (and fails when the check stops before the end).
using ContentCheck = std::function<bool(const ContentReader& read)>;

// Replaces the content of `target` with what `produce` writes, so that at every moment the target
// holds either its old content or the complete new one: the content goes to a temporary file in
// the target's folder (without a name while it is written where the system allows it; else locked,
// or on Windows held unshared and marked to vanish with the process), is flushed to disk and then
// takes the target's place in one rename. The replaced file keeps its permission bits, owner and
// group where allowed (Windows: its access list, creation time and attributes); a symbolic link has
// the file it points to replaced. A read-only target (POSIX: not writable, or without any write
// permission bit when running as root; Windows: the read-only attribute), a folder or a special
// file of that name, and a folder that allows no new file, fail with code 75 before anything is
// written; a target that another program holds open (Windows) fails with code 70 after a few
// brief retries. On failure nothing of the new content remains. An exception thrown by `produce`
// passes through, likewise leaving nothing.
// With `check`, the file at the target's name is compared with what the check expects just before
// the rename (see ReplaceCheck); on a mismatch nothing is replaced.
// Before it takes the target's name, the flushed file is read back once (POSIX: with its cached
// pages dropped first, so that the device is read where the system allows it; Windows: through the
// same handle, from the system's cache) and must hold exactly the bytes written: by length and
// SHA-256, or by length and `contentCheck`, which then reads the content during that same reading
// (the conversions compare it with the records written). Otherwise nothing is replaced and the
// write fails with code::Unverified.
FileResult ReplaceFileContents(const std::string& target, const ContentProducer& produce,
                               const ReplaceCheck& check = {}, const ContentCheck& contentCheck = {});

// The same for content held in memory.
inline FileResult ReplaceFileContents(const std::string& target, const std::vector<std::uint8_t>& bytes) {
    return ReplaceFileContents(target,
                               [&bytes](const ContentWriter& write) { write(bytes.data(), bytes.size()); });
}

// Copies `source` byte for byte to `target` unless something of the name `target` exists already
// (a file of any kind, a folder, a dangling link): then nothing is written and the error has code
// 58 (code::FileAlreadyExists). The copy is complete before it gets the target's name, and an
// existing file of that name is never replaced, so a failure or a kill never leaves a partial copy
// under the target name. Other errors: 53 for a missing source, 76 for a missing folder. The copy is
// read back before it takes its name, as ReplaceFileContents reads back, and compared byte for byte
// with the source (code::Unverified).
FileResult CopyFileNoReplace(const std::string& source, const std::string& target);

// The same from a file already open for reading: its content from offset 0 to the size it had
// when it was opened, never the name opened again. When the file's identity has changed since it
// was opened (another program wrote it), nothing is copied and the error has code
// code::ChangedElsewhere. The file's read position is not used and stays where it is.
FileResult CopyFileNoReplace(InputFile& source, const std::string& target);

// Removes the temporary files that runs of this program left for the file `name` when they were
// killed (".<leaf>.zelconv-XXXXXX" in its folder), except those that a live run still holds.
// Where nothing of the name `name` exists, its leftovers may be the only copy of its content: they
// are kept, and their full names returned so that the user can be told.
[[nodiscard]] std::vector<std::string> RemoveLeftovers(const std::string& name);

// Makes Ctrl-C, SIGTERM and SIGHUP (Windows: console close events) remove the named temporary
// files that writes of this process, on any thread, have open at that moment before the program
// ends; a write that is giving its file its final name finishes that step first. The programs call
// it once at start, before they start any thread, so that every later thread leaves those signals
// to the one place that handles them (POSIX: a thread of its own). Signals that the program was
// started with ignored stay ignored. A child made by fork starts without it and may call it again.
void RemoveTemporaryFilesOnInterrupt();

// Keeps the signals that end the program by request away from the calling thread (a worker), so
// that they are handled in one place. Threads started after RemoveTemporaryFilesOnInterrupt need
// not call it; a worker calls it first anyway.
void HoldInterruptsInThisThread();

// The part of a temporary file's name that marks it as this program's (".<name>.zelconv-").
inline constexpr std::string_view kTemporaryMark = ".zelconv-";

// Opens each of the standard descriptors 0, 1 and 2 that the program was started without on the
// null device, with the access it does not expect (standard input for writing, standard output and
// error for reading): the files the program opens for data then never take those numbers, and
// console text meant for a closed stream fails to be written instead of landing in a user's file.
// Both programs call it first thing in main. False when a closed descriptor could not be opened.
// Nothing to do on Windows, where the standard handles are no numbers that files reuse.
[[nodiscard]] bool OpenClosedStandardDescriptors();

} // namespace zel::platform
