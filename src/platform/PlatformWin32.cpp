// Platform.h for Windows: the wide-character API throughout. UTF-8 names become wide strings
// before they reach the system; code page 932 is converted by the system's own tables. Temporary
// files are marked for deletion while they are written, so that a killed process leaves nothing.
#include "platform/PlatformDetail.h"
#include "platform/Utf16.h"

#include <windows.h>

#include <aclapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <functional>
#include <thread>

namespace zel::platform {
namespace {

using detail::MakeError;

// --- Text conversion --------------------------------------------------------------------------

// How a conversion treats what it cannot convert: fail (code page 932 and names must be exact) or
// put U+FFFD in its place (text shown to the user).
enum class Invalid { Fail, Replace };

// `bytes` in code page `cp` as a wide string; nothing when a byte sequence is invalid there and
// `invalid` says so.
std::optional<std::wstring> ToWide(std::string_view bytes, UINT cp, Invalid invalid = Invalid::Fail) {
    if (bytes.empty()) return std::wstring();
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    const int inLength = static_cast<int>(bytes.size());
    const DWORD flags = invalid == Invalid::Fail ? MB_ERR_INVALID_CHARS : 0;
    int n = MultiByteToWideChar(cp, flags, bytes.data(), inLength, nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(cp, flags, bytes.data(), inLength, wide.data(), n) != n) return std::nullopt;
    return wide;
}

// `wide` in code page `cp`; nothing when a character has no code there and `invalid` says so (never
// best-fit characters: a text is either converted exactly or not at all).
std::optional<std::string> FromWide(std::wstring_view wide, UINT cp, Invalid invalid = Invalid::Fail) {
    if (wide.empty()) return std::string();
    if (wide.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    const int inLength = static_cast<int>(wide.size());
    const bool utf8 = cp == CP_UTF8;
    // CP_UTF8 takes no best-fit flag and no default-character pointer.
    const DWORD flags = utf8 ? (invalid == Invalid::Fail ? WC_ERR_INVALID_CHARS : 0) : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultPtr = utf8 ? nullptr : &usedDefault;
    int n = WideCharToMultiByte(cp, flags, wide.data(), inLength, nullptr, 0, nullptr, usedDefaultPtr);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(n), '\0');
    if (WideCharToMultiByte(cp, flags, wide.data(), inLength, bytes.data(), n, nullptr, usedDefaultPtr) !=
            n ||
        usedDefault)
        return std::nullopt;
    return bytes;
}

// --- Errors ---------------------------------------------------------------------------------

// The system's own text of an error, without the line break at its end.
std::string SystemText(DWORD e) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, e, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n > 0 && buffer ? std::wstring(buffer, n) : std::wstring();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    std::string label = "Windows エラー " + std::to_string(e);
    auto utf8 = FromWide(text, CP_UTF8);
    return utf8 && !utf8->empty() ? label + ": " + *utf8 : label;
}

// The file layer's error for a system error.
FileError FromWin32(DWORD e) {
    switch (e) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_CANNOT_MAKE:
        return MakeError(code::PathFileAccess);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return MakeError(code::DiskFull);
    case ERROR_FILE_NOT_FOUND:
        return MakeError(code::FileNotFound);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return MakeError(code::PathNotFound);
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
        return MakeError(code::BadFileName);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_UNABLE_TO_REMOVE_REPLACED: // the target is open in a program that does not share it
        return MakeError(code::PermissionDenied);
    case ERROR_TOO_MANY_OPEN_FILES:
        return MakeError(code::TooManyFiles);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return MakeError(code::FileAlreadyExists);
    case ERROR_FILE_TOO_LARGE:
        return MakeError(code::DeviceIO, "ファイルが大きすぎます。");
    default:
        return MakeError(code::DeviceIO, detail::DescribeSystemError(SystemText(e)));
    }
}

// --- Names ----------------------------------------------------------------------------------

} // namespace

std::optional<std::wstring> FullName(const std::wstring& name) {
    DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (size == 0) return std::nullopt;
    std::wstring full(size, L'\0');
    DWORD written = GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
    if (written == 0 || written >= size) return std::nullopt;
    full.resize(written);
    return full;
}

namespace {

// The wide name that the system is given for a UTF-8 name. A name whose full form is too long for
// the classic limit is given as that full form in the "\\?\" form, which also covers the temporary
// name made next to it: the prefix takes neither relative names nor "/", so the name is made full
// first. Other names go as they are.
std::optional<std::wstring> SystemName(const std::string& name) {
    auto wide = ToWide(name, CP_UTF8);
    if (!wide || wide->empty() || wide->find(L'\0') != std::wstring::npos) return std::nullopt;
    constexpr std::size_t kRoomForTemp = 40;
    if (wide->compare(0, 4, L"\\\\?\\") == 0 || wide->compare(0, 4, L"\\\\.\\") == 0) return wide;
    const auto full = FullName(*wide);
    if (!full || full->size() + kRoomForTemp < MAX_PATH) return wide;
    if (full->size() > 2 && (*full)[1] == L':' && (*full)[2] == L'\\') return L"\\\\?\\" + *full;
    if (full->compare(0, 2, L"\\\\") == 0 && full->compare(0, 4, L"\\\\.\\") != 0 &&
        full->compare(0, 4, L"\\\\?\\") != 0)
        return L"\\\\?\\UNC\\" + full->substr(2);
    return wide;
}

// The folder part of a name, with its closing separator (empty for a bare leaf).
std::wstring FolderPart(const std::wstring& name) {
    auto pos = name.find_last_of(L"\\/:");
    return pos == std::wstring::npos ? std::wstring() : name.substr(0, pos + 1);
}

std::wstring LeafPart(const std::wstring& name) {
    auto pos = name.find_last_of(L"\\/:");
    return pos == std::wstring::npos ? name : name.substr(pos + 1);
}

// Whether a leaf names one of the devices that Windows reserves in every folder (NUL, CON, PRN,
// AUX, COM1-9, LPT1-9 and their superscript-digit forms), with or without an extension and
// whatever the letter case.
bool IsDeviceName(std::wstring leaf) {
    leaf = leaf.substr(0, leaf.find(L'.'));
    while (!leaf.empty() && leaf.back() == L' ')
        leaf.pop_back();
    for (wchar_t& c : leaf)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    if (leaf == L"NUL" || leaf == L"CON" || leaf == L"PRN" || leaf == L"AUX" || leaf == L"CONIN$" ||
        leaf == L"CONOUT$")
        return true;
    if (leaf.size() != 4 || (leaf.compare(0, 3, L"COM") != 0 && leaf.compare(0, 3, L"LPT") != 0))
        return false;
    const wchar_t digit = leaf[3];
    return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

// --- Handles --------------------------------------------------------------------------------

class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~Handle() { Reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE h = INVALID_HANDLE_VALUE) {
        if (valid()) CloseHandle(h_);
        h_ = h;
    }
    // Gives up ownership of the handle.
    HANDLE Release() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }

private:
    HANDLE h_;
};

// A file that another program holds open is tried again this often, this many milliseconds apart:
// a source before it counts as in use, a target before its write fails.
constexpr int kInUseRetries = 20;
constexpr DWORD kInUsePause = 100;
// Not a system error (bit 29: an application's own code): the file at a target's name is not the one
// the write expected there.
constexpr DWORD kTargetChanged = 0x20000001;

// Errors of opening a file that another program holds open without sharing.
bool HeldByAnother(DWORD e) {
    return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION;
}

// Why a name of `length` characters could not be opened or listed, from the system's error.
OpenFailure OpenFailureOf(DWORD e, std::size_t length = 0) {
    switch (e) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY:
        return OpenFailure::Missing;
    case ERROR_GEN_FAILURE:
        // wine's answer for a name whose Unix form is longer than the host takes.
        return length >= MAX_PATH ? OpenFailure::TooLong : OpenFailure::Other;
    case ERROR_FILENAME_EXCED_RANGE:
        return OpenFailure::TooLong;
    case ERROR_ACCESS_DENIED:
        return OpenFailure::NoPermission;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return OpenFailure::InUse;
    case ERROR_CANT_RESOLVE_FILENAME:
    case ERROR_BAD_DEV_TYPE:
        return OpenFailure::NotRegular;
    default:
        return OpenFailure::Other;
    }
}

// The identity of the open file `h`: volume serial and file index, size, times of last write and
// last change; nothing when the system does not tell them.
std::optional<FileIdentity> IdentityOfHandle(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO times{};
    if (!GetFileInformationByHandle(h, &info) ||
        !GetFileInformationByHandleEx(h, FileBasicInfo, &times, sizeof times))
        return std::nullopt;
    FileIdentity identity;
    identity.volume = info.dwVolumeSerialNumber;
    identity.file = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
    identity.size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    identity.modified = times.LastWriteTime.QuadPart;
    identity.changed = times.ChangeTime.QuadPart;
    return identity;
}

// Reads up to `size` bytes at `offset` of `h`, whatever its file position; false on a read error
// (the end of the file reads 0 bytes).
bool ReadAt(HANDLE h, std::uint64_t offset, std::uint8_t* buffer, DWORD size, DWORD& got) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    got = 0;
    return ReadFile(h, buffer, size, &got, &at) || GetLastError() == ERROR_HANDLE_EOF;
}

// Writes all of `size` bytes; ERROR_SUCCESS or the system error.
DWORD WriteRange(HANDLE h, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, data + done, chunk, &written, nullptr)) return GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        done += written;
    }
    return ERROR_SUCCESS;
}

// Writes a piece of content in two halves, with a step of the crash tests between them (a kill in
// the middle of a write); ERROR_SUCCESS or the system error (or the one the test seams plan).
DWORD WriteAll(HANDLE h, const std::uint8_t* data, std::size_t size) {
    const detail::WritePlan plan = detail::PlanWrite(size);
    const std::size_t half = plan.limit / 2;
    if (DWORD e = WriteRange(h, data, half)) return e;
    detail::CrashPoint();
    if (DWORD e = WriteRange(h, data + half, plan.limit - half)) return e;
    if (plan.fault == 0) return ERROR_SUCCESS;
    return plan.fault == code::DiskFull ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
}

// --- Temporary files ------------------------------------------------------------------------

constexpr std::size_t kSuffixLength = 6;
constexpr std::size_t kMaxLeaf = 255;

// Held shared by each write while its temporary file is without its deletion mark, from taking the
// mark back until the rename: the one step in which a process that ends would leave the file
// behind. Several writers may be in that step at once. The console handler takes it alone and
// keeps it, so Ctrl-C or closing the console ends the program once the steps under way are done
// and before another begins.
// The system's own lock, which needs no setting up: std::shared_mutex under mingw-w64 sets its
// lock up on first use, and two threads taking it shared for the first time at once may find one
// of them refused and running unlocked.
SRWLOCK namingStep = SRWLOCK_INIT;

class SharedNamingStep {
public:
    SharedNamingStep() { AcquireSRWLockShared(&namingStep); }
    ~SharedNamingStep() { ReleaseSRWLockShared(&namingStep); }
    SharedNamingStep(const SharedNamingStep&) = delete;
    SharedNamingStep& operator=(const SharedNamingStep&) = delete;
};

BOOL WINAPI OnConsoleEvent(DWORD) {
    AcquireSRWLockExclusive(&namingStep);
    return FALSE; // the default handler ends the process, and temporary files marked for deletion go
}

// How a temporary file is marked to vanish when its last handle closes, and so with a process that
// dies: made so (FILE_FLAG_DELETE_ON_CLOSE, from its first moment), marked after it was made, or not
// at all (a file system that refuses both).
enum class DeletionMark : std::uint8_t { FromCreation, Set, Refused };

// The extended disposition (Windows 10 1709 and later, where the file system takes it), the one way
// to take back the deletion that FILE_FLAG_DELETE_ON_CLOSE asked for.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
struct DispositionEx {
    DWORD flags;
};
constexpr DWORD kDispositionDelete = 0x1;  // FILE_DISPOSITION_FLAG_DELETE
constexpr DWORD kDispositionOnClose = 0x8; // FILE_DISPOSITION_FLAG_ON_CLOSE

// Sets (`remove` true) or takes back the deletion mark of an open file in the way `mark` says; false
// when the file system refuses it.
bool MarkForDeletion(HANDLE h, DeletionMark mark, bool remove) {
    if (detail::DeletionMarkRefused()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (mark == DeletionMark::FromCreation) {
        DispositionEx info{kDispositionOnClose | (remove ? kDispositionDelete : 0)};
        return SetFileInformationByHandle(h, kFileDispositionInfoEx, &info, sizeof info) != 0;
    }
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info) != 0;
}

// Gives the open file `h` the name `target` (a full name) in one step, replacing a file of that
// name when `replace` is true, else failing with ERROR_ALREADY_EXISTS when the name is taken.
DWORD RenameByHandle(HANDLE h, const std::wstring& target, bool replace) {
    if (detail::RenameByHandleRefused()) return ERROR_NOT_SUPPORTED;
    const std::size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes); // zeros end the name
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, target.data(), nameBytes);
    return SetFileInformationByHandle(h, FileRenameInfo, info, static_cast<DWORD>(buffer.size()))
               ? ERROR_SUCCESS
               : GetLastError();
}

// Errors by which a file system says that it cannot rename through a handle.
bool RenameByHandleRefused(DWORD e) {
    return e == ERROR_INVALID_PARAMETER || e == ERROR_NOT_SUPPORTED || e == ERROR_INVALID_FUNCTION ||
           e == ERROR_CALL_NOT_IMPLEMENTED;
}

// Errors of a rename over a file that another program holds open.
bool TargetInUse(DWORD e) {
    return e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION;
}

// Gives the new file `h` what the file `target` has and a rename would not carry over: its creation
// time, its attributes (hidden, system, archive, not indexed) and its access list. What the system
// refuses the new file goes without; the content is what matters.
void CarryOver(const std::wstring& target, HANDLE h) {
    WIN32_FILE_ATTRIBUTE_DATA old{};
    if (GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &old)) {
        FILE_BASIC_INFO basic{}; // zero times and attributes stay as they are
        basic.CreationTime.LowPart = old.ftCreationTime.dwLowDateTime;
        basic.CreationTime.HighPart = static_cast<LONG>(old.ftCreationTime.dwHighDateTime);
        basic.FileAttributes =
            old.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        (void)SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
    }
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR security = nullptr;
    if (GetNamedSecurityInfoW(target.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &dacl, nullptr, &security) != ERROR_SUCCESS)
        return;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    // A protected list is copied as it is; an inheriting one takes its inherited entries from the
    // folder again, as the old file did.
    const bool isProtected =
        GetSecurityDescriptorControl(security, &control, &revision) && (control & SE_DACL_PROTECTED);
    (void)SetSecurityInfo(h, SE_FILE_OBJECT,
                          DACL_SECURITY_INFORMATION | (isProtected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                   : UNPROTECTED_DACL_SECURITY_INFORMATION),
                          nullptr, nullptr, dacl, nullptr);
    LocalFree(security);
}

// A temporary file next to the file it is written for, named after it so that a user who finds
// one left behind knows where it comes from. It is opened without sharing, so that no other run can
// open or delete it while this one holds it, and marked to vanish when it is closed until it is
// complete: a process that dies while writing it leaves nothing. Where the file system takes it, the
// mark is there from the file's first moment; else it follows right after the file was made (a
// process killed in between leaves an empty file, which the next run removes); a file system that
// refuses the mark has the file deleted by name. Deleted when the object ends without Commit.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile() {
        if (committed_ || (!handle_.valid() && name_.empty())) return;
        const bool vanishes = handle_.valid() && marked_;
        handle_.Reset();
        if (!vanishes) DeleteFileW(name_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates the file next to `target` (a full name); ERROR_SUCCESS or the system error.
    DWORD Create(const std::wstring& target) {
        static std::atomic<unsigned> counter{0};
        const std::wstring stem = FolderPart(target) + Widen(detail::TemporaryStem(Narrow(LeafPart(target)),
                                                                                   kSuffixLength, kMaxLeaf));
        // Access to the security list, to carry the old file's over; without it where refused.
        access_ = GENERIC_READ | GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC;
        mark_ = DeletionMark::FromCreation;
        for (int attempt = 0; attempt < 100; ++attempt) {
            LARGE_INTEGER tick{};
            QueryPerformanceCounter(&tick);
            unsigned long long mix = static_cast<unsigned long long>(tick.QuadPart) * 0x9E3779B97F4A7C15ull ^
                                     (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^
                                     counter++;
            wchar_t suffix[kSuffixLength + 1];
            for (std::size_t i = 0; i < kSuffixLength; ++i)
                suffix[i] = L"0123456789abcdefghijklmnopqrstuvwxyz"[(mix >> (i * 5)) % 36];
            suffix[kSuffixLength] = L'\0';
            name_ = stem + suffix;
            const DWORD flags = mark_ == DeletionMark::FromCreation ? FILE_FLAG_DELETE_ON_CLOSE : 0;
            HANDLE h = CreateFileW(name_.c_str(), access_, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | flags, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                handle_.Reset(h);
                if (mark_ == DeletionMark::FromCreation) {
                    // Kept only where the mark can be taken back before the rename (asked by
                    // setting it once more); else the file goes again and is made the other way.
                    if (MarkForDeletion(h, mark_, true)) {
                        marked_ = true;
                        detail::CrashPoint();
                        return ERROR_SUCCESS;
                    }
                    handle_.Reset();
                    DeleteFileW(name_.c_str()); // where closing did not delete it
                    mark_ = DeletionMark::Set;
                    continue;
                }
                marked_ = MarkForDeletion(h, mark_, true);
                if (!marked_) mark_ = DeletionMark::Refused;
                detail::CrashPoint();
                return ERROR_SUCCESS;
            }
            const DWORD e = GetLastError();
            if (e == ERROR_ACCESS_DENIED && access_ != (GENERIC_READ | GENERIC_WRITE | DELETE)) {
                access_ = GENERIC_READ | GENERIC_WRITE | DELETE;
                continue;
            }
            if (e == ERROR_INVALID_PARAMETER && mark_ == DeletionMark::FromCreation) {
                mark_ = DeletionMark::Set;
                continue;
            }
            if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) {
                name_.clear();
                return e;
            }
        }
        name_.clear();
        return ERROR_FILE_EXISTS;
    }

    HANDLE get() const { return handle_.get(); }

    // Flushes the complete file to disk; ERROR_SUCCESS or the system error.
    DWORD Flush() {
        if (!FlushFileBuffers(handle_.get())) return GetLastError();
        detail::CrashPoint();
        return ERROR_SUCCESS;
    }

    // Gives the complete file the name `target` (a full name) in one rename: replacing an existing
    // file, or failing with ERROR_ALREADY_EXISTS when `replace` is false and the name is taken. A
    // target that another program holds open is tried again for a moment.
    // `stillExpected`, when given, is asked right before each try: false keeps the target as it is
    // and fails with kTargetChanged.
    DWORD Commit(const std::wstring& target, bool replace, const std::function<bool()>& stillExpected = {}) {
        for (int attempt = 0;; ++attempt) {
            if (stillExpected && !stillExpected()) return kTargetChanged;
            const DWORD e = RenameOnce(target, replace);
            if (e == ERROR_SUCCESS || !replace || !TargetInUse(e) || attempt == kInUseRetries) return e;
            Sleep(kInUsePause);
        }
    }

    // Closes the file after its Commit, so that its times are final.
    void Close() { handle_.Reset(); }

private:
    DWORD RenameOnce(const std::wstring& target, bool replace) {
        const SharedNamingStep step;
        // A file marked for deletion cannot keep its new name: the mark goes first, and comes back
        // when the rename fails.
        if (handle_.valid() && marked_) {
            if (!MarkForDeletion(handle_.get(), mark_, false)) return GetLastError();
            marked_ = false;
        }
        detail::CrashPoint();
        DWORD e = byName_ ? ERROR_NOT_SUPPORTED : RenameByHandle(handle_.get(), target, replace);
        if (RenameByHandleRefused(e)) {
            // A file system that renames only by name: the handle must go first, and the file is
            // opened again, unshared and marked, when the rename fails.
            byName_ = true;
            handle_.Reset();
            const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
            e = MoveFileExW(name_.c_str(), target.c_str(), flags) ? ERROR_SUCCESS : GetLastError();
            if (e != ERROR_SUCCESS) {
                handle_.Reset(CreateFileW(name_.c_str(), access_, 0, nullptr, OPEN_EXISTING, 0, nullptr));
                if (mark_ == DeletionMark::FromCreation) mark_ = DeletionMark::Set;
            }
        }
        if (e == ERROR_SUCCESS) {
            committed_ = true;
            detail::CrashPoint();
        } else if (handle_.valid() && mark_ != DeletionMark::Refused) {
            marked_ = MarkForDeletion(handle_.get(), mark_, true);
        }
        return e;
    }

    Handle handle_;
    std::wstring name_;
    DWORD access_ = 0;
    DeletionMark mark_ = DeletionMark::FromCreation;
    bool marked_ = false; // the open file vanishes when it is closed
    bool byName_ = false; // the file system renames by name only
    bool committed_ = false;
};

// Writes the next piece of a content into `h`; ERROR_SUCCESS or the system error.
DWORD Put(HANDLE h, detail::WrittenContent& written, const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* bytes = written.Take(data, size);
    return WriteAll(h, bytes, size);
}

// Reads `size` bytes at `offset` of `h`; how many, -1 on a failure.
std::int64_t ReadAtOffset(HANDLE h, std::uint8_t* buffer, std::size_t size, std::uint64_t offset) {
    DWORD got = 0;
    return ReadAt(h, offset, buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), got)
               ? std::int64_t{got}
               : -1;
}

// Reads the flushed file back through its own handle (from the system's cache: Windows offers no way
// to drop one file's cached pages); whether it holds what was written (and `check` is content).
bool ReadsBack(HANDLE h, detail::WrittenContent& written, const ContentCheck& check) {
    if (detail::ReadBackSkipped()) return true;
    return written.ReadsBack([h](std::uint8_t* buffer, std::size_t size,
                                 std::uint64_t offset) { return ReadAtOffset(h, buffer, size, offset); },
                             check);
}

// Hands the producer a writer into `h` that keeps the first failure and writes nothing after it
// (the producer goes on to its end, unaware); ERROR_SUCCESS or that failure.
DWORD Produce(HANDLE h, const ContentProducer& produce, detail::WrittenContent& written) {
    DWORD error = ERROR_SUCCESS;
    produce([h, &error, &written](const std::uint8_t* data, std::size_t size) {
        if (error == ERROR_SUCCESS) error = Put(h, written, data, size);
    });
    return error;
}

FileResult Failed(FileError error) {
    return FileResult{std::move(error), std::nullopt, std::nullopt};
}

} // namespace

// --- Text -----------------------------------------------------------------------------------

std::wstring Widen(std::string_view utf8) {
    return ToWide(utf8, CP_UTF8, Invalid::Replace).value_or(std::wstring());
}

std::string Narrow(std::wstring_view wide) {
    return FromWide(wide, CP_UTF8, Invalid::Replace).value_or(std::string());
}

// --- Code page 932 --------------------------------------------------------------------------

std::optional<std::string> DecodeCp932(std::string_view bytes) {
    auto wide = ToWide(bytes, 932);
    if (!wide) return std::nullopt;
    return FromWide(*wide, CP_UTF8);
}

std::optional<std::string> EncodeCp932(std::string_view utf8) {
    auto wide = ToWide(utf8, CP_UTF8);
    if (!wide) return std::nullopt;
    return FromWide(*wide, 932);
}

// --- Names ----------------------------------------------------------------------------------

bool FileExists(const std::string& name) {
    auto wide = SystemName(name);
    if (!wide || IsDeviceName(LeafPart(*wide))) return false;
    DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    const DWORD notCounted =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
    return (attributes & notCounted) == 0;
}

NameKind KindOfName(const std::string& name) {
    auto wide = SystemName(name);
    if (!wide) return NameKind::Missing;
    if (IsDeviceName(LeafPart(*wide))) return NameKind::Special;
    DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD e = GetLastError();
        if (e == ERROR_CANT_RESOLVE_FILENAME) return NameKind::LinkLoop;
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return NameKind::Missing;
        // What has no attributes but opens is no disk file: a pipe or a device (under wine a FIFO
        // or a device of the Unix side, whose attributes fail with ERROR_INVALID_PARAMETER).
        Handle h(CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr));
        return h.valid() && GetFileType(h.get()) != FILE_TYPE_DISK ? NameKind::Special : NameKind::Missing;
    }
    if (attributes & FILE_ATTRIBUTE_DEVICE) return NameKind::Special;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return NameKind::Folder;
    return NameKind::File;
}

// --- Reading --------------------------------------------------------------------------------

InputFile::~InputFile() {
    Close();
}

OpenFailure InputFile::Open(const std::string& name) {
    Close();
    if (detail::TakeReadFault()) return OpenFailure::Other;
    auto wide = SystemName(name);
    if (!wide) return OpenFailure::Other;
    // Read sharing only: while the file is open here, no other program can write it. One that has
    // it open for writing, or unshared, lets it go within a moment or keeps it in use.
    Handle h;
    for (int attempt = 0;; ++attempt) {
        h.Reset(CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (h.valid()) break;
        const DWORD e = GetLastError();
        if (HeldByAnother(e) && attempt < kInUseRetries) {
            Sleep(kInUsePause);
            continue;
        }
        // A folder, or a link to nothing, is there but is no file.
        const DWORD attributes = GetFileAttributesW(wide->c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            ((e == ERROR_ACCESS_DENIED && (attributes & FILE_ATTRIBUTE_DIRECTORY)) ||
             ((e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) &&
              (attributes & FILE_ATTRIBUTE_REPARSE_POINT))))
            return OpenFailure::NotRegular;
        return OpenFailureOf(e, wide->size());
    }
    if (GetFileType(h.get()) != FILE_TYPE_DISK) return OpenFailure::NotRegular;
    const auto identity = IdentityOfHandle(h.get());
    if (!identity) return OpenFailureOf(GetLastError());
    identity_ = *identity;
    size_ = identity->size;
    read_ = 0;
    handle_ = reinterpret_cast<std::intptr_t>(h.Release());
    return OpenFailure::None;
}

void InputFile::Close() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
}

std::optional<FileIdentity> IdentityOf(const std::string& name) {
    auto wide = SystemName(name);
    if (!wide || IsDeviceName(LeafPart(*wide))) return std::nullopt;
    // Attributes only: no sharing stands in the way, not even that of the source held here.
    Handle h(CreateFileW(wide->c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                         nullptr));
    if (!h.valid() || GetFileType(h.get()) != FILE_TYPE_DISK) return std::nullopt;
    return IdentityOfHandle(h.get());
}

std::int64_t ModificationTime(const FileIdentity& identity) {
    constexpr std::int64_t k1970 = 116444736000000000; // 1970-01-01 in 100-ns units since 1601
    return (identity.modified - k1970) / 10000000;
}

bool RemoveFile(const std::string& name) {
    const auto wide = SystemName(name);
    return wide && DeleteFileW(wide->c_str());
}

std::optional<std::size_t> InputFile::Read(std::uint8_t* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (detail::TakeReadFaultAt(read_ + want)) return std::nullopt;
    if (!ReadAt(reinterpret_cast<HANDLE>(handle_), read_, buffer, want, got)) return std::nullopt;
    read_ += got;
    return got;
}

// --- Writing --------------------------------------------------------------------------------

FileResult ReplaceFileContents(const std::string& target, const ContentProducer& produce,
                               const ReplaceCheck& check, const ContentCheck& contentCheck) {
    auto given = SystemName(target);
    if (!given || given->back() == L'\\' || given->back() == L'/')
        return Failed(MakeError(code::BadFileName));
    auto name = FullName(*given);
    if (!name) return Failed(MakeError(code::BadFileName));

    DWORD attributes = GetFileAttributesW(name->c_str());
    bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists) {
        DWORD e = GetLastError();
        if (e != ERROR_FILE_NOT_FOUND) return Failed(FromWin32(e));
    } else if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)) {
        // Checked here because a rename over a read-only file may succeed (as under wine).
        return Failed(MakeError(code::PathFileAccess));
    }

    TemporaryFile temp;
    if (DWORD e = temp.Create(*name)) {
        if (e == ERROR_ACCESS_DENIED || e == ERROR_WRITE_PROTECT)
            return Failed(MakeError(code::PathFileAccess));
        return Failed(FromWin32(e));
    }
    // A content that its check proves byte for byte needs no digest.
    detail::WrittenContent written(!contentCheck);
    DWORD e = Produce(temp.get(), produce, written);
    if (e == ERROR_SUCCESS) e = temp.Flush();
    if (e == ERROR_SUCCESS && !ReadsBack(temp.get(), written, contentCheck))
        return Failed(MakeError(code::Unverified));
    if (e == ERROR_SUCCESS && exists) {
        CarryOver(*name, temp.get());
        detail::CrashPoint();
    }
    if (e != ERROR_SUCCESS) return Failed(FromWin32(e));
    detail::ReachMoment(Moment::BeforeReplace);
    // Another program may have saved the file since it was read: then its file stays. The source is
    // closed first (a rename cannot replace an open file), and the look comes right before each try
    // of the rename; what remains is the moment between the two, which the system offers no way to
    // close.
    std::function<bool()> stillExpected;
    if (check.expect == ReplaceCheck::Expect::File)
        stillExpected = [&] {
            const auto now = IdentityOf(target);
            return now && *now == check.file;
        };
    if (check.heldSource) check.heldSource->Close();
    const bool replace = check.expect != ReplaceCheck::Expect::Nothing;
    e = temp.Commit(*name, replace, stillExpected);
    if (e == kTargetChanged || (!replace && (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS)))
        return Failed(MakeError(code::ChangedElsewhere));
    // Still refused after the retries: another program has the file open.
    if (TargetInUse(e)) return Failed(MakeError(code::PermissionDenied));
    if (e != ERROR_SUCCESS) return Failed(FromWin32(e));
    temp.Close();
    return {std::nullopt, std::nullopt, IdentityOf(target)};
}

FileResult CopyFileNoReplace(const std::string& source, const std::string& target) {
    InputFile in;
    if (const OpenFailure failure = in.Open(source); failure != OpenFailure::None)
        return Failed(detail::FromOpenFailure(failure));
    return CopyFileNoReplace(in, target);
}

FileResult CopyFileNoReplace(InputFile& source, const std::string& target) {
    auto given = SystemName(target);
    if (!given || given->back() == L'\\' || given->back() == L'/')
        return Failed(MakeError(code::BadFileName));
    auto to = FullName(*given);
    if (!to) return Failed(MakeError(code::BadFileName));
    if (GetFileAttributesW(to->c_str()) != INVALID_FILE_ATTRIBUTES)
        return Failed(MakeError(code::FileAlreadyExists));
    if (DWORD e = GetLastError(); e != ERROR_FILE_NOT_FOUND) return Failed(FromWin32(e));
    if (!source.IsOpen()) return Failed(MakeError(code::FileNotFound));
    const HANDLE in = reinterpret_cast<HANDLE>(source.NativeHandle());

    TemporaryFile temp;
    if (DWORD e = temp.Create(*to)) return Failed(FromWin32(e));
    // The bytes that were read, from the start to the size the file had then, by position: the
    // name is never opened again.
    DWORD e = ERROR_SUCCESS;
    detail::WrittenContent written(false); // the copy is held against its source instead
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(source.Size(), 1 << 20)));
    for (std::uint64_t done = 0; done < source.Size() && e == ERROR_SUCCESS;) {
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(source.Size() - done, buffer.size()));
        DWORD got = 0;
        if (!ReadAt(in, done, buffer.data(), want, got)) {
            e = GetLastError();
        } else if (got == 0) {
            return Failed(MakeError(code::ChangedElsewhere)); // cut short by another program
        } else {
            e = Put(temp.get(), written, buffer.data(), got);
            done += got;
            detail::ReachMoment(Moment::DuringCopy);
        }
    }
    if (e == ERROR_SUCCESS) {
        // What was copied is what was read only if nobody wrote the file in between.
        const auto now = IdentityOfHandle(in);
        if (!now || !(*now == source.Identity())) return Failed(MakeError(code::ChangedElsewhere));
        // The backup carries the source's time of last change, as a copy made by the system would.
        FILETIME lastWrite{};
        if (GetFileTime(in, nullptr, nullptr, &lastWrite))
            (void)SetFileTime(temp.get(), nullptr, nullptr, &lastWrite);
        e = temp.Flush();
        const auto fromSource = [in](std::uint8_t* into, std::size_t size, std::uint64_t offset) {
            return ReadAtOffset(in, into, size, offset);
        };
        if (e == ERROR_SUCCESS &&
            !ReadsBack(temp.get(), written, detail::SameBytesAs(fromSource, source.Size())))
            return Failed(MakeError(code::Unverified));
    }
    if (e == ERROR_SUCCESS) e = temp.Commit(*to, false);
    if (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS)
        return Failed(MakeError(code::FileAlreadyExists));
    if (e != ERROR_SUCCESS) return Failed(FromWin32(e));
    return {};
}

std::vector<std::string> RemoveLeftovers(const std::string& name) {
    std::vector<std::string> kept;
    auto given = SystemName(name);
    if (!given || given->back() == L'\\' || given->back() == L'/') return kept;
    auto full = FullName(*given);
    if (!full) return kept;
    const bool exists = GetFileAttributesW(full->c_str()) != INVALID_FILE_ATTRIBUTES;
    const std::string stem = detail::TemporaryStem(Narrow(LeafPart(*full)), kSuffixLength, kMaxLeaf);
    const std::wstring folder = FolderPart(*full);
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + Widen(stem) + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return kept;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !detail::IsTemporaryName(Narrow(found.cFileName), stem, kSuffixLength))
            continue;
        const std::wstring path = folder + found.cFileName;
        // A live run holds its file unshared, so neither the delete nor the test open gets it.
        if (exists) {
            DeleteFileW(path.c_str());
        } else if (Handle probe(CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
                   probe.valid()) {
            kept.push_back(Narrow(FolderPart(*given)) + Narrow(found.cFileName));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return kept;
}

void RemoveTemporaryFilesOnInterrupt() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

// Console events arrive on a thread of their own that the system starts: there is nothing to keep
// away from a worker.
void HoldInterruptsInThisThread() {}

// --- Folders --------------------------------------------------------------------------------

bool IsReadOnly(const std::string& name) {
    auto wide = SystemName(name);
    if (!wide || IsDeviceName(LeafPart(*wide))) return false;
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0 &&
           (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool ShownBefore(const std::string& a, const std::string& b) {
    const std::wstring wideA = Widen(a), wideB = Widen(b);
    const int order = StrCmpLogicalW(wideA.c_str(), wideB.c_str());
    if (order != 0) return order < 0;
    // Names that the system's order holds equal ("a" and "A", "1" and "01") by their UTF-16 code
    // units, and names that only an invalid byte tells apart by their bytes.
    return wideA != wideB ? wideA < wideB : a < b;
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
    OpenFailure failure = OpenFailure::None;
    return ListFolder(folder, failure);
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder, OpenFailure& failure) {
    auto wide = SystemName(folder.empty() ? std::string(".") : folder);
    if (!wide) {
        failure = OpenFailure::Other;
        return std::nullopt;
    }
    const wchar_t last = wide->back();
    const std::wstring pattern = *wide + (last == L'\\' || last == L'/' || last == L':' ? L"*" : L"\\*");
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    std::vector<FolderEntry> entries;
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        // A drive's empty root folder has no "." to find.
        const DWORD attributes =
            e == ERROR_FILE_NOT_FOUND ? GetFileAttributesW(wide->c_str()) : INVALID_FILE_ATTRIBUTES;
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return entries;
        failure = OpenFailureOf(e, wide->size());
        return std::nullopt;
    }
    do {
        const std::wstring_view leaf = found.cFileName;
        if (leaf == L"." || leaf == L"..") continue;
        const DWORD attributes = found.dwFileAttributes;
        FolderEntry entry;
        entry.name = Narrow(leaf);
        // A junction or a link to a folder is a folder with a reparse point: not followed.
        const bool folderLike = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.folder = folderLike && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        entry.file = !folderLike && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
        entry.hidden = (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        entries.push_back(std::move(entry));
    } while (FindNextFileW(search, &found));
    const DWORD e = GetLastError();
    FindClose(search);
    if (e != ERROR_NO_MORE_FILES) {
        failure = OpenFailureOf(e, wide->size());
        return std::nullopt;
    }
    return entries;
}

unsigned ProcessorCount() {
    // Where the process may run on fewer processors than the system has, those count.
    DWORD_PTR process = 0, system = 0;
    if (GetActiveProcessorGroupCount() == 1 &&
        GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
        unsigned count = 0;
        for (; process != 0; process &= process - 1)
            ++count;
        if (count > 0) return count;
    }
    const DWORD active = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    if (active > 0) return static_cast<unsigned>(active);
    return std::max(1u, std::thread::hardware_concurrency());
}

bool OpenClosedStandardDescriptors() {
    return true;
}

} // namespace zel::platform
