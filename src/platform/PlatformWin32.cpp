// Platform.h for Windows: the wide-character API throughout. UTF-8 names become wide strings
// before they reach the system; code page 932 is converted by the system's own tables. Temporary
// files are marked for deletion while they are written, so that a killed process leaves nothing.
#include "platform/PlatformDetail.h"
#include "platform/Utf16.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>

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

FileError LastError() {
    return FromWin32(GetLastError());
}

// --- Names ----------------------------------------------------------------------------------

// The wide name that the system is given for a UTF-8 name. Full names too long for the classic
// limit take the "\\?\" form, which also covers the temporary name made next to them.
std::optional<std::wstring> SystemName(const std::string& name) {
    auto wide = ToWide(name, CP_UTF8);
    if (!wide || wide->empty() || wide->find(L'\0') != std::wstring::npos) return std::nullopt;
    constexpr std::size_t kRoomForTemp = 40;
    if (wide->size() + kRoomForTemp >= MAX_PATH && wide->find(L'/') == std::wstring::npos &&
        wide->compare(0, 4, L"\\\\?\\") != 0) {
        if (wide->size() > 2 && (*wide)[1] == L':' && (*wide)[2] == L'\\') return L"\\\\?\\" + *wide;
        if (wide->compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + wide->substr(2);
    }
    return wide;
}

// The full form of a name relative to the current folder: ReplaceFileW refuses relative names.
std::optional<std::wstring> FullName(const std::wstring& name) {
    DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (size == 0) return std::nullopt;
    std::wstring full(size, L'\0');
    DWORD written = GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
    if (written == 0 || written >= size) return std::nullopt;
    full.resize(written);
    return full;
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

// --- Handles --------------------------------------------------------------------------------

class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~Handle() { Reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    void Reset() {
        if (valid()) CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }
    // Gives up ownership of the handle.
    HANDLE Release() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }
    // Closes and reports the close's own failure.
    DWORD Close() {
        DWORD e = CloseHandle(h_) ? ERROR_SUCCESS : GetLastError();
        h_ = INVALID_HANDLE_VALUE;
        return e;
    }

private:
    HANDLE h_;
};

HANDLE OpenForReading(const std::wstring& name) {
    return CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// A write that failed: the system error. Thrown by the content writer handed to the producer, so
// that producing stops at the first failure, and caught before the call returns.
struct WriteStopped {
    DWORD error;
};

// Writes all of `size` bytes; throws WriteStopped on failure (or what the test seams plan).
void WriteAll(HANDLE h, const std::uint8_t* data, std::size_t size) {
    const detail::WritePlan plan = detail::PlanWrite(size);
    const std::size_t limit = plan.limit;
    std::size_t done = 0;
    while (done < limit) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(limit - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, data + done, chunk, &written, nullptr)) throw WriteStopped{GetLastError()};
        if (written == 0) throw WriteStopped{ERROR_WRITE_FAULT};
        done += written;
    }
    if (plan.crash) detail::CrashNow();
    if (plan.fault != 0)
        throw WriteStopped{
            static_cast<DWORD>(plan.fault == code::DiskFull ? ERROR_DISK_FULL : ERROR_WRITE_FAULT)};
}

// --- Temporary files ------------------------------------------------------------------------

constexpr std::size_t kSuffixLength = 6;
constexpr std::size_t kMaxLeaf = 255;

// The full name of the temporary file that the console handler must remove, or empty.
std::mutex pendingLock;
std::wstring pendingTemporary;

void SetPendingTemporary(const std::wstring& name) {
    std::lock_guard<std::mutex> lock(pendingLock);
    pendingTemporary = name;
}

BOOL WINAPI OnConsoleEvent(DWORD) {
    std::lock_guard<std::mutex> lock(pendingLock);
    if (!pendingTemporary.empty()) DeleteFileW(pendingTemporary.c_str());
    return FALSE; // the default handler ends the process
}

// Marks an open file for deletion when its last handle closes (`remove` true), or takes the mark
// back. A process that dies while the mark is set takes the file with it.
bool MarkForDeletion(HANDLE h, bool remove) {
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info) != 0;
}

// Removes temporary files for the file `target` that earlier runs left when they were killed. A
// file that its writer still has open cannot be deleted and stays.
void RemoveLeftovers(const std::wstring& target) {
    const std::string stem = detail::TemporaryStem(Narrow(LeafPart(target)), kSuffixLength, kMaxLeaf);
    const std::wstring folder = FolderPart(target);
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + Widen(stem) + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            detail::IsTemporaryName(Narrow(found.cFileName), stem, kSuffixLength))
            DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// A new, empty temporary file next to `target`, named after it so that a user who finds one left
// behind knows where it comes from, and marked for deletion until it is complete.
HANDLE CreateTemp(const std::wstring& target, std::wstring& tempName) {
    static std::atomic<unsigned> counter{0};
    const std::wstring stem =
        FolderPart(target) + Widen(detail::TemporaryStem(Narrow(LeafPart(target)), kSuffixLength, kMaxLeaf));
    for (int attempt = 0; attempt < 100; ++attempt) {
        LARGE_INTEGER tick{};
        QueryPerformanceCounter(&tick);
        unsigned long long mix = static_cast<unsigned long long>(tick.QuadPart) * 0x9E3779B97F4A7C15ull ^
                                 (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^ counter++;
        wchar_t suffix[kSuffixLength + 1];
        for (std::size_t i = 0; i < kSuffixLength; ++i)
            suffix[i] = L"0123456789abcdefghijklmnopqrstuvwxyz"[(mix >> (i * 5)) % 36];
        suffix[kSuffixLength] = L'\0';
        tempName = stem + suffix;
        HANDLE h = CreateFileW(tempName.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            SetPendingTemporary(tempName);
            MarkForDeletion(h, true);
            return h;
        }
        DWORD e = GetLastError();
        if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) {
            SetLastError(e);
            break;
        }
    }
    return INVALID_HANDLE_VALUE;
}

// Hands the producer a writer into `h`; the error of a failed write, or ERROR_SUCCESS.
DWORD Produce(HANDLE h, const ContentProducer& produce) {
    try {
        produce([h](const std::uint8_t* data, std::size_t size) { WriteAll(h, data, size); });
    } catch (const WriteStopped& stopped) {
        return stopped.error;
    }
    return ERROR_SUCCESS;
}

// Flushes the complete temporary file, takes back its deletion mark and closes it, ready to be
// moved into place.
DWORD Finish(Handle& temp) {
    if (!FlushFileBuffers(temp.get())) return GetLastError();
    if (!MarkForDeletion(temp.get(), false)) return GetLastError();
    return temp.Close();
}

// Deletes a temporary file that was not moved into place (its handle may still be open).
class TemporaryCleanup {
public:
    TemporaryCleanup(Handle& handle, const std::wstring& name) : handle_(handle), name_(name) {}
    ~TemporaryCleanup() {
        if (armed_) {
            handle_.Reset();
            DeleteFileW(name_.c_str());
        }
        SetPendingTemporary(L"");
    }
    void Disarm() { armed_ = false; }

private:
    Handle& handle_;
    const std::wstring& name_;
    bool armed_ = true;
};

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
    if (!wide) return false;
    DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    const DWORD notCounted =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
    return (attributes & notCounted) == 0;
}

NameKind KindOfName(const std::string& name) {
    auto wide = SystemName(name);
    if (!wide) return NameKind::Missing;
    DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_CANT_RESOLVE_FILENAME ? NameKind::LinkLoop : NameKind::Missing;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return NameKind::Special;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return NameKind::Folder;
    return NameKind::File;
}

// --- Reading --------------------------------------------------------------------------------

InputFile::~InputFile() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool InputFile::Open(const std::string& name) {
    if (detail::TakeReadFault()) return false;
    auto wide = SystemName(name);
    if (!wide) return false;
    Handle h(OpenForReading(*wide));
    LARGE_INTEGER size{};
    if (!h.valid() || GetFileType(h.get()) != FILE_TYPE_DISK || !GetFileSizeEx(h.get(), &size)) return false;
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    size_ = static_cast<std::uint64_t>(size.QuadPart);
    handle_ = reinterpret_cast<std::intptr_t>(h.Release());
    return true;
}

std::optional<std::size_t> InputFile::Read(std::uint8_t* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, want, &got, nullptr)) return std::nullopt;
    return got;
}

// --- Writing --------------------------------------------------------------------------------

std::optional<FileError> ReplaceFileContents(const std::string& target, const ContentProducer& produce) {
    auto given = SystemName(target);
    if (!given || given->back() == L'\\' || given->back() == L'/') return MakeError(code::BadFileName);
    auto name = FullName(*given);
    if (!name) return MakeError(code::BadFileName);

    DWORD attributes = GetFileAttributesW(name->c_str());
    bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists) {
        DWORD e = GetLastError();
        if (e != ERROR_FILE_NOT_FOUND) return FromWin32(e);
    } else if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)) {
        // Checked here because moving a file over a read-only one may succeed (as under wine).
        return MakeError(code::PathFileAccess);
    }

    RemoveLeftovers(*name);
    std::wstring tempName;
    Handle temp(CreateTemp(*name, tempName));
    if (!temp.valid()) {
        DWORD e = GetLastError();
        if (e == ERROR_ACCESS_DENIED || e == ERROR_WRITE_PROTECT) return MakeError(code::PathFileAccess);
        return FromWin32(e);
    }
    TemporaryCleanup cleanup(temp, tempName);

    DWORD e = Produce(temp.get(), produce);
    if (e == ERROR_SUCCESS) e = Finish(temp);
    if (e == ERROR_SUCCESS) {
        if (exists) {
            // ReplaceFileW keeps the target's security and creation time, and on Windows its
            // attributes; giving them to the new file first keeps them where it does not (wine).
            const DWORD carried = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
            if (attributes & carried) SetFileAttributesW(tempName.c_str(), attributes & carried);
            if (!ReplaceFileW(name->c_str(), tempName.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                              nullptr, nullptr)) {
                e = GetLastError();
                // The old file was moved away but the new one could not take its name: finish the move.
                if ((e == ERROR_UNABLE_TO_MOVE_REPLACEMENT || e == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) &&
                    MoveFileExW(tempName.c_str(), name->c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                    e = ERROR_SUCCESS;
            }
        } else if (!MoveFileExW(tempName.c_str(), name->c_str(), MOVEFILE_WRITE_THROUGH)) {
            e = GetLastError();
        }
    }
    if (e != ERROR_SUCCESS) return FromWin32(e);
    cleanup.Disarm();
    return std::nullopt;
}

CopyResult CopyFileNoReplace(const std::string& source, const std::string& target, FileError& error) {
    auto fail = [&error](FileError e) {
        error = std::move(e);
        return CopyResult::Failed;
    };
    auto from = SystemName(source);
    auto to = SystemName(target);
    if (!from || !to || to->back() == L'\\' || to->back() == L'/') return fail(MakeError(code::BadFileName));
    if (GetFileAttributesW(to->c_str()) != INVALID_FILE_ATTRIBUTES) return CopyResult::TargetExists;
    if (DWORD e = GetLastError(); e != ERROR_FILE_NOT_FOUND) return fail(FromWin32(e));

    Handle in(OpenForReading(*from));
    if (!in.valid()) return fail(LastError());
    std::wstring tempName;
    Handle out(CreateTemp(*to, tempName));
    if (!out.valid()) return fail(LastError());
    TemporaryCleanup cleanup(out, tempName);

    DWORD e = Produce(out.get(), [&](const ContentWriter& write) {
        std::vector<std::uint8_t> buffer(1 << 20);
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
                throw WriteStopped{GetLastError()};
            if (got == 0) break;
            write(buffer.data(), got);
        }
    });
    // The backup carries the source's time of last change, as a copy made by the system would.
    FILETIME written{};
    if (e == ERROR_SUCCESS && GetFileTime(in.get(), nullptr, nullptr, &written))
        SetFileTime(out.get(), nullptr, nullptr, &written);
    in.Reset();
    if (e == ERROR_SUCCESS) e = Finish(out);
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name was taken meanwhile.
    if (e == ERROR_SUCCESS && !MoveFileExW(tempName.c_str(), to->c_str(), MOVEFILE_WRITE_THROUGH))
        e = GetLastError();
    if (e == ERROR_SUCCESS) {
        cleanup.Disarm();
        return CopyResult::Copied;
    }
    if (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS) return CopyResult::TargetExists;
    return fail(FromWin32(e));
}

void RemoveTemporaryFilesOnInterrupt() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

} // namespace zel::platform
