// Platform.h for POSIX systems with glibc: iconv for code page 932, plain file descriptors for
// the files. Every file is opened and closed inside one call.
#include "platform/PlatformDetail.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel::platform {
namespace {

using detail::MakeError;

// --- Code page 932 --------------------------------------------------------------------------

// Converts between two iconv encodings; nothing when any byte sequence is invalid or has no code
// in the target encoding. Characters are never replaced.
std::optional<std::string> Iconv(const char* to, const char* from, std::string_view in) {
    if (in.empty()) return std::string();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string input(in);
    std::string out(in.size() * 3 + 16, '\0');
    char* inPtr = input.data();
    std::size_t inLeft = input.size();
    std::size_t done = 0;
    bool ok = true;
    // Convert all input, then flush the converter's state; grow the output as needed.
    for (bool flushing = false;;) {
        char* outPtr = out.data() + done;
        std::size_t outLeft = out.size() - done;
        std::size_t r = flushing ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                                 : iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        int err = errno;
        done = out.size() - outLeft;
        if (r != static_cast<std::size_t>(-1)) {
            if (flushing) break;
            flushing = true;
        } else if (err == E2BIG) {
            out.resize(out.size() * 2);
        } else {
            ok = false; // EILSEQ: invalid or without a code; EINVAL: cut off inside a character
            break;
        }
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(done);
    return out;
}

// --- Errors ---------------------------------------------------------------------------------

const char* ErrnoName(int e) {
    switch (e) {
    case EIO:
        return "EIO";
    case EFBIG:
        return "EFBIG";
    case ELOOP:
        return "ELOOP";
    case ENXIO:
        return "ENXIO";
    case ENODEV:
        return "ENODEV";
    case EXDEV:
        return "EXDEV";
    case ESTALE:
        return "ESTALE";
    default:
        return nullptr;
    }
}

// The file layer's error for a system error number.
FileError FromErrno(int e) {
    switch (e) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return MakeError(code::PathFileAccess);
    case ENOSPC:
    case EDQUOT:
        return MakeError(code::DiskFull);
    case ENOENT:
    case ENOTDIR:
        return MakeError(code::PathNotFound);
    case ENAMETOOLONG:
    case EINVAL:
        return MakeError(code::BadFileName);
    case EBUSY:
    case ETXTBSY:
        return MakeError(code::PermissionDenied);
    case EMFILE:
    case ENFILE:
        return MakeError(code::TooManyFiles);
    case EFBIG:
        return MakeError(code::DeviceIO, "ファイルが大きすぎます。");
    default: {
        std::string name = ErrnoName(e) ? ErrnoName(e) : "errno " + std::to_string(e);
        return MakeError(code::DeviceIO, detail::DescribeSystemError(name + ": " + std::strerror(e)));
    }
    }
}

// The error of a source file that could not be opened for reading: a missing file is "not found"
// rather than "path not found".
FileError FromSourceErrno(int e) {
    return e == ENOENT ? MakeError(code::FileNotFound) : FromErrno(e);
}

bool IsFolderWriteRefusal(int e) {
    return e == EACCES || e == EPERM || e == EROFS;
}

// --- File descriptors -----------------------------------------------------------------------

// Closes the descriptor at the end of a scope unless it was closed on purpose.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void Reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // Closes and reports the close's own failure (some file systems only report write errors here).
    int Close() {
        int r = ::close(fd_);
        fd_ = -1;
        return r == 0 ? 0 : errno;
    }

private:
    int fd_;
};

int OpenRetry(const char* name, int flags, mode_t mode = 0) {
    int fd;
    do
        fd = ::open(name, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Writes all of `size` bytes, going on after partial writes. Returns 0 or the system error number.
// An injected fault writes half of the data and then fails like the system would.
int WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    int fault = detail::TakeWriteFault();
    std::size_t limit = size;
    if (fault != 0) limit = size / 2;
    std::size_t done = 0;
    while (done < limit) {
        ssize_t n = ::write(fd, data + done, limit - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    if (fault != 0) return fault == code::DiskFull ? ENOSPC : EIO;
    return 0;
}

int FsyncRetry(int fd) {
    while (::fsync(fd) != 0)
        if (errno != EINTR) return errno;
    return 0;
}

// Reads up to `maxBytes` bytes from the start of the file. On failure `err` holds the system error.
std::optional<std::vector<std::uint8_t>> ReadUpTo(const std::string& name, std::size_t maxBytes, int& err) {
    err = 0;
    if (detail::TakeReadFault()) {
        err = EIO;
        return std::nullopt;
    }
    Fd fd(OpenRetry(name.c_str(), O_RDONLY));
    if (!fd.valid()) {
        err = errno;
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        bytes.reserve(std::min<std::size_t>(maxBytes, static_cast<std::size_t>(st.st_size)));
    std::uint8_t buffer[65536];
    while (bytes.size() < maxBytes) {
        std::size_t want = std::min(sizeof buffer, maxBytes - bytes.size());
        ssize_t n = ::read(fd.get(), buffer, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            return std::nullopt;
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

// --- Names ----------------------------------------------------------------------------------

std::string FolderOf(const std::string& name) {
    auto slash = name.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return name.substr(0, slash);
}

std::string LeafOf(const std::string& name) {
    auto slash = name.find_last_of('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// Follows symbolic links at the end of `name` to the name of the file they point to; the file
// itself need not exist (a link to a missing file names the file to create). Folders in the
// name are left as they are: the file's folder is the same either way.
std::optional<std::string> FollowLinks(std::string name, int& err) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
        std::string link(PATH_MAX, '\0');
        ssize_t n = ::readlink(name.c_str(), link.data(), link.size());
        if (n < 0) {
            err = errno;
            return std::nullopt;
        }
        link.resize(static_cast<std::size_t>(n));
        name = (!link.empty() && link[0] == '/') ? link : FolderOf(name) + "/" + link;
    }
    err = ELOOP;
    return std::nullopt;
}

// The permission bits that a newly created file gets: 0666 less the process's umask.
mode_t NewFileMode() {
    // Read the umask without changing it where the system tells it (Linux 4.7 and later).
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(0666 & ~std::strtoul(line.c_str() + 6, nullptr, 8));
    mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

// A new, empty temporary file in `folder`, named after `leaf` so that a user who sees it
// left behind by a crash knows where it comes from. Returns the descriptor or -1 with errno set.
int CreateTemp(const std::string& folder, const std::string& leaf, std::string& tempName) {
    // Keep the name within the 255-byte limit of a file name.
    std::string stem = leaf.substr(0, 200);
    tempName = folder + "/." + stem + ".zelconv-XXXXXX";
    int fd;
    do
        fd = ::mkostemp(tempName.data(), O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Makes a completed rename or link in `folder` durable. A folder that cannot be synchronised
// changes nothing for the result: the file is already in place.
void SyncFolder(const std::string& folder) {
    Fd dir(OpenRetry(folder.c_str(), O_RDONLY | O_DIRECTORY));
    if (dir.valid()) (void)FsyncRetry(dir.get());
}

// Writes `bytes` to the temporary file, flushes it and gives it the permission bits and the
// owner of the file it is to replace. Returns 0 or the system error number; the file is closed.
int FillTemp(Fd& fd, const std::vector<std::uint8_t>& bytes, const struct stat* like, mode_t newMode) {
    if (int e = WriteAll(fd.get(), bytes.data(), bytes.size())) return e;
    if (int e = FsyncRetry(fd.get())) return e;
    if (like) {
        // Owner first: changing it clears the set-user-ID and set-group-ID bits that fchmod restores.
        if ((like->st_uid != ::geteuid() || like->st_gid != ::getegid()) &&
            ::fchown(fd.get(), like->st_uid, like->st_gid) != 0 && errno != EPERM)
            return errno;
        if (::fchmod(fd.get(), like->st_mode & 07777) != 0 && errno != EPERM) return errno;
    } else if (::fchmod(fd.get(), newMode) != 0) {
        return errno;
    }
    return fd.Close();
}

// Writes the target where it lies, for a folder that allows no new file: from offset 0, then cut
// to the new length. Space for a longer content is reserved first, so that a full disk is known
// before the first old byte is overwritten.
std::optional<FileError> WriteInPlace(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    Fd fd(OpenRetry(name.c_str(), O_WRONLY));
    if (!fd.valid()) return FromErrno(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0 && static_cast<std::size_t>(st.st_size) < bytes.size()) {
        int e = ::posix_fallocate(fd.get(), 0, static_cast<off_t>(bytes.size()));
        if (e == ENOSPC || e == EDQUOT || e == EFBIG) return FromErrno(e);
    }
    if (int e = WriteAll(fd.get(), bytes.data(), bytes.size())) return FromErrno(e);
    if (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0) return FromErrno(errno);
    if (int e = FsyncRetry(fd.get())) return FromErrno(e);
    if (int e = fd.Close()) return FromErrno(e);
    return std::nullopt;
}

// True when the existing file `st` at `name` may not be written by this process. access() tells
// for ordinary users; root passes access() for every file, so for root a file without any write
// permission bit counts as read-only, as the user who marked it so meant it.
bool IsReadOnly(const std::string& name, const struct stat& st) {
    if (::access(name.c_str(), W_OK) != 0) return errno != ENOENT;
    return ::geteuid() == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

// --- Code page 932 --------------------------------------------------------------------------

std::optional<std::string> DecodeCp932(std::string_view bytes) {
    return Iconv("UTF-8", "CP932", bytes);
}

std::optional<std::string> EncodeCp932(std::string_view utf8) {
    return Iconv("CP932", "UTF-8", utf8);
}

// --- Files ----------------------------------------------------------------------------------

bool FileExists(const std::string& name) {
    struct stat st {};
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::vector<std::uint8_t>> ReadFilePrefix(const std::string& name, std::size_t maxBytes) {
    int err = 0;
    return ReadUpTo(name, maxBytes, err);
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& name) {
    int err = 0;
    return ReadUpTo(name, static_cast<std::size_t>(-1), err);
}

std::optional<FileError> ReplaceFileContents(const std::string& target,
                                             const std::vector<std::uint8_t>& bytes) {
    if (target.empty() || target.back() == '/') return MakeError(code::BadFileName);
    int err = 0;
    auto resolved = FollowLinks(target, err);
    if (!resolved) return FromErrno(err);
    const std::string& name = *resolved;

    struct stat st {};
    bool exists = ::stat(name.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return FromErrno(errno);
    if (exists && !S_ISREG(st.st_mode)) return MakeError(code::PathFileAccess);
    if (exists && IsReadOnly(name, st)) return MakeError(code::PathFileAccess);

    const std::string folder = FolderOf(name);
    std::string tempName;
    Fd fd(CreateTemp(folder, LeafOf(name), tempName));
    if (!fd.valid()) {
        int e = errno;
        if (IsFolderWriteRefusal(e)) {
            if (exists) return WriteInPlace(name, bytes);
            return MakeError(code::PathFileAccess);
        }
        return FromErrno(e);
    }

    int e = FillTemp(fd, bytes, exists ? &st : nullptr, exists ? 0 : NewFileMode());
    if (e == 0 && ::rename(tempName.c_str(), name.c_str()) != 0) e = errno;
    if (e != 0) {
        fd.Reset();
        ::unlink(tempName.c_str());
        return FromErrno(e);
    }
    SyncFolder(folder);
    return std::nullopt;
}

CopyResult CopyFileNoReplace(const std::string& source, const std::string& target, FileError& error) {
    auto fail = [&error](FileError e) {
        error = std::move(e);
        return CopyResult::Failed;
    };
    if (target.empty() || target.back() == '/') return fail(MakeError(code::BadFileName));
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) return CopyResult::TargetExists;
    if (errno != ENOENT) return fail(FromErrno(errno));

    int err = 0;
    auto bytes = ReadUpTo(source, static_cast<std::size_t>(-1), err);
    if (!bytes) return fail(FromSourceErrno(err));
    struct stat sourceStat {};
    mode_t mode = NewFileMode();
    if (::stat(source.c_str(), &sourceStat) == 0) mode &= (sourceStat.st_mode & 0777);

    const std::string folder = FolderOf(target);
    std::string tempName;
    Fd fd(CreateTemp(folder, LeafOf(target), tempName));
    if (!fd.valid()) return fail(FromErrno(errno));

    int e = FillTemp(fd, *bytes, nullptr, mode);
    if (e == 0) {
        // The backup carries the source's time of last change, as a copy made by the system would.
        const struct timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
        if (sourceStat.st_mtim.tv_sec != 0) (void)::utimensat(AT_FDCWD, tempName.c_str(), times, 0);
    }
    CopyResult result = CopyResult::Copied;
    if (e == 0 && ::link(tempName.c_str(), target.c_str()) != 0) {
        e = errno;
#ifdef RENAME_NOREPLACE
        if (e == EPERM || e == ENOTSUP || e == EOPNOTSUPP || e == ENOSYS || e == EMLINK) {
            // A file system without hard links: move the name over, refusing an existing target.
            e = ::renameat2(AT_FDCWD, tempName.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0
                    ? 0
                    : errno;
        }
#endif
        if (e == EEXIST) result = CopyResult::TargetExists;
    }
    fd.Reset();
    ::unlink(tempName.c_str()); // after link() the copy lives on under the target name
    if (result == CopyResult::TargetExists) return result;
    if (e != 0) return fail(FromErrno(e));
    SyncFolder(folder);
    return CopyResult::Copied;
}

} // namespace zel::platform
