// Platform.h for POSIX systems with glibc: iconv for code page 932, plain file descriptors for
// the files. Files are written through unnamed temporary files (O_TMPFILE) that get a name only
// when they are complete, so a killed write leaves nothing behind.
#include "platform/PlatformDetail.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iconv.h>
#include <map>
#include <mutex>
#include <pthread.h>
#include <random>
#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
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

// Why a name could not be opened, from the system's error number.
OpenFailure OpenFailureOf(int e) {
    switch (e) {
    case ENOENT:
    case ENOTDIR:
        return OpenFailure::Missing;
    case ENAMETOOLONG:
        return OpenFailure::TooLong;
    case EACCES:
    case EPERM:
        return OpenFailure::NoPermission;
    case ELOOP:
    case ENXIO:
    case ENODEV:
        return OpenFailure::NotRegular;
    default:
        return OpenFailure::Other;
    }
}

std::int64_t Nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

FileIdentity IdentityFrom(const struct stat& st) {
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                        static_cast<std::uint64_t>(st.st_size), Nanoseconds(st.st_mtim),
                        Nanoseconds(st.st_ctim)};
}

bool IsFolderWriteRefusal(int e) {
    return e == EACCES || e == EPERM || e == EROFS;
}

// --- File descriptors -----------------------------------------------------------------------

// Closes the descriptor at the end of a scope. Its close comes after everything the descriptor was
// for: the data is flushed and the file has its name by then, so what close says changes nothing.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void Reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Gives up ownership of the descriptor.
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
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

int OpenAtRetry(int dir, const char* name, int flags, mode_t mode = 0) {
    int fd;
    do
        fd = ::openat(dir, name, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Writes all of `size` bytes, going on after partial writes; 0 or the system error number.
int WriteRange(int fd, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Writes a piece of content in two halves, with a step of the crash tests between them (a kill in
// the middle of a write); 0 or the system error number (or the one the test seams plan).
int WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    const detail::WritePlan plan = detail::PlanWrite(size);
    const std::size_t half = plan.limit / 2;
    if (int e = WriteRange(fd, data, half)) return e;
    detail::CrashPoint();
    if (int e = WriteRange(fd, data + half, plan.limit - half)) return e;
    return plan.fault == 0 ? 0 : plan.fault == code::DiskFull ? ENOSPC : EIO;
}

ssize_t ReadRetry(int fd, std::uint8_t* buffer, std::size_t size) {
    ssize_t n;
    do
        n = ::read(fd, buffer, size);
    while (n < 0 && errno == EINTR);
    return n;
}

int FsyncRetry(int fd) {
    if (int e = detail::TakeFlushFault(false)) return e;
    while (::fsync(fd) != 0)
        if (errno != EINTR) return errno;
    return 0;
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
    static std::mutex reading; // two threads reading it at once would leave 022 set
    std::lock_guard<std::mutex> lock(reading);
    mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

// True when the existing file `st` at `name` may not be written by this process. access() tells
// for ordinary users; root passes access() for every file, so for root a file without any write
// permission bit counts as read-only, as the user who marked it so meant it.
bool IsReadOnly(const std::string& name, const struct stat& st) {
    if (::access(name.c_str(), W_OK) != 0) return errno != ENOENT;
    return ::geteuid() == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// --- Temporary files ------------------------------------------------------------------------

constexpr std::size_t kSuffixLength = 6;
constexpr std::size_t kMaxLeaf = NAME_MAX;
// Not a system error number: the file at a target's name is not the one the write expected there.
constexpr int kTargetChanged = -1;

std::string RandomSuffix() {
    static std::atomic<unsigned> counter{0};
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::uint64_t mix = (static_cast<std::uint64_t>(device()) << 32) ^ device() ^
                        (static_cast<std::uint64_t>(::getpid()) << 16) ^ counter++;
    std::string suffix;
    for (std::size_t i = 0; i < kSuffixLength; ++i, mix /= 36)
        suffix += digits[mix % 36];
    return suffix;
}

// --- Interrupts -----------------------------------------------------------------------------

// The signals that end the program by request: Ctrl-C, SIGTERM and SIGHUP.
sigset_t EndingSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, s);
    return set;
}

// What the one place that handles those signals needs: the named temporary files that writes have
// open at this moment, and the naming steps, which every write holds shared while its temporary
// file gets or loses a name and which the handling thread takes alone before it removes the files.
// With several writers there are several files, each registered under its own number.
struct Interrupts {
    // Writers first: once the handling thread waits for it, no new step begins, however busy the
    // writers are.
    pthread_rwlock_t naming = PTHREAD_RWLOCK_WRITER_NONRECURSIVE_INITIALIZER_NP;
    std::mutex pendingLock;
    // Each file as its folder's descriptor and its name there, so that it can be removed whatever
    // the length of its full name.
    std::map<std::uint64_t, std::pair<int, std::string>> pending;
    std::uint64_t nextId = 0;
    bool installed = false; // a handling thread runs in this process
    pthread_t handler{};
};

Interrupts& Shared() {
    static Interrupts* state = new Interrupts; // kept to the end: the handling thread outlives main
    return *state;
}

// Blocks the signals that end the program by request (Ctrl-C, SIGTERM, SIGHUP) in the calling
// thread for the object's lifetime: where they are not handled in one place, they arrive when a
// step that must not be cut in two is done.
class InterruptsHeld {
public:
    InterruptsHeld() {
        const sigset_t set = EndingSignals();
        ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~InterruptsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t previous_;
};

// A step in which a temporary file gets or loses a name: an interrupt waits until it is done.
class NamingStep {
public:
    NamingStep() { ::pthread_rwlock_rdlock(&Shared().naming); }
    ~NamingStep() { ::pthread_rwlock_unlock(&Shared().naming); }
    NamingStep(const NamingStep&) = delete;
    NamingStep& operator=(const NamingStep&) = delete;

private:
    InterruptsHeld held_;
};

// Records that the temporary file `name` in the open folder `dir` exists for a write; returns its
// number.
std::uint64_t AddPending(int dir, const std::string& name) {
    Interrupts& state = Shared();
    std::lock_guard<std::mutex> lock(state.pendingLock);
    state.pending.emplace(++state.nextId, std::make_pair(dir, name));
    return state.nextId;
}

void RemovePending(std::uint64_t id) {
    Interrupts& state = Shared();
    std::lock_guard<std::mutex> lock(state.pendingLock);
    state.pending.erase(id);
}

// The handling thread: waits for an ending signal, lets the naming steps under way finish and keeps
// new ones from starting, removes the pending temporary files and ends the process as the signal
// would have.
void HandleInterrupts() {
    const sigset_t set = EndingSignals();
    int number = 0;
    for (;;) {
        if (::sigwait(&set, &number) != 0) continue;
        // Blocked signals stay pending even where they are ignored: those are passed over.
        struct sigaction now {};
        if (::sigaction(number, nullptr, &now) != 0 || now.sa_handler != SIG_IGN) break;
    }
    Interrupts& state = Shared();
    ::pthread_rwlock_wrlock(&state.naming); // kept: the process ends
    state.pendingLock.lock();
    for (const auto& entry : state.pending)
        ::unlinkat(entry.second.first, entry.second.second.c_str(), 0);
    ::signal(number, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, number);
    ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(number);
    ::_exit(128 + number); // not reached
}

// A thread that did not block the signals and got one passes it on to the handling thread.
void ForwardInterrupt(int number) {
    ::pthread_kill(Shared().handler, number);
}

// Around fork: no naming step and no change of the pending files is under way while the process is
// copied. The child has no handling thread and no writes of its own yet: it starts afresh, with the
// signals free, and may install a handler of its own.
void BeforeFork() {
    ::pthread_rwlock_wrlock(&Shared().naming);
    Shared().pendingLock.lock();
}

void AfterForkInParent() {
    Shared().pendingLock.unlock();
    ::pthread_rwlock_unlock(&Shared().naming);
}

void AfterForkInChild() {
    AfterForkInParent();
    Interrupts& state = Shared();
    if (!state.installed) return;
    state.installed = false;
    state.pending.clear();
    struct sigaction now {};
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        if (::sigaction(s, nullptr, &now) == 0 && now.sa_handler == ForwardInterrupt) ::signal(s, SIG_DFL);
    const sigset_t set = EndingSignals();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

// Whether `name` in the folder `dir` names the open file `fd` at this moment.
bool IsNamedBy(int dir, const std::string& name, int fd) {
    struct stat byName {
    }, byFd{};
    return ::fstatat(dir, name.c_str(), &byName, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &byFd) == 0 &&
           byName.st_dev == byFd.st_dev && byName.st_ino == byFd.st_ino;
}

// The names in the folder `dir` that are temporary names of this program for the file `leaf`.
std::vector<std::string> TemporaryNamesFor(int dir, const std::string& leaf) {
    const std::string stem = detail::TemporaryStem(leaf, kSuffixLength, kMaxLeaf);
    std::vector<std::string> found;
    int listFd = ::dup(dir);
    if (listFd < 0) return found;
    DIR* list = ::fdopendir(listFd);
    if (!list) {
        ::close(listFd);
        return found;
    }
    while (const dirent* entry = ::readdir(list))
        if (detail::IsTemporaryName(entry->d_name, stem, kSuffixLength)) found.emplace_back(entry->d_name);
    ::closedir(list);
    return found;
}

// Whether the temporary file `name` in `dir` is a leftover: a regular file that no live run holds.
// A writer locks its file from the moment the file exists until it has its final name, so a free
// lock means its writer is gone. With `remove`, a leftover is removed while the lock is held, so
// that a writer that created it a moment ago finds its name gone when it gets the lock.
bool TakeLeftover(int dir, const std::string& name, bool remove) {
    Fd fd(OpenAtRetry(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return false;
    return !remove || (IsNamedBy(dir, name, fd.get()) && ::unlinkat(dir, name.c_str(), 0) == 0);
}

// A temporary file in a folder, written and then given a name of its own. Where the file system
// allows it, the file has no name until it is complete, so a killed process leaves nothing; else
// it has a temporary name from the start, which an interrupt removes and a later run cleans up.
// Either way it is locked from its start until it has its final name.
class TemporaryFile {
public:
    TemporaryFile(int dir, const std::string& leaf)
        : dir_(dir), stem_(detail::TemporaryStem(leaf, kSuffixLength, kMaxLeaf)) {}
    ~TemporaryFile() {
        if (!name_.empty()) {
            NamingStep step;
            ::unlinkat(dir_, name_.c_str(), 0);
            Forget();
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates the file with `mode`; 0 or the system error number.
    int Create(mode_t mode) {
        fd_.Reset();
        int fd = detail::WithoutLinks() ? (errno = EOPNOTSUPP, -1)
                                        : OpenAtRetry(dir_, ".", O_TMPFILE | O_RDWR, mode);
        if (fd >= 0) {
            fd_.Reset(fd);
            // Locked before it can have a name. A file system without locks (ENOLCK) leaves it
            // unlocked, and a clean-up there removes nothing.
            (void)::flock(fd, LOCK_EX | LOCK_NB);
            detail::CrashPoint();
            return 0;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) return errno;
        // No unnamed files on this file system: a named file, created and then locked. Between the
        // two, another run's clean-up may take it for a leftover and remove it (under the lock):
        // once this run has the lock, it makes sure that the name is still its file.
        for (int attempt = 0; attempt < 100; ++attempt) {
            name_ = stem_ + RandomSuffix();
            {
                NamingStep step; // an interrupt finds the name registered and the file made, or neither
                pendingId_ = AddPending(dir_, name_);
                fd = OpenAtRetry(dir_, name_.c_str(), O_CREAT | O_EXCL | O_RDWR, mode);
                if (fd < 0) {
                    const int e = errno;
                    Forget();
                    if (e != EEXIST) return e;
                    continue;
                }
            }
            fd_.Reset(fd);
            detail::CrashPoint();
            while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
            }
            if (IsNamedBy(dir_, name_, fd)) return 0;
            fd_.Reset();
            NamingStep step;
            Forget();
        }
        return EEXIST;
    }
    int fd() const { return fd_.get(); }

    // Gives the complete file the name `target` in the folder: replacing an existing file, or
    // failing with EEXIST when `replace` is false and the name is taken. 0 or the error number.
    // The file stays open (and locked) until the object ends.
    // `stillExpected`, when given, is asked right before a rename that replaces: false keeps the
    // target as it is and fails with kTargetChanged.
    int Commit(const std::string& target, bool replace, const std::function<bool()>& stillExpected = {}) {
        NamingStep step; // a Ctrl-C now would leave the temporary name behind
        if (name_.empty()) {
            if (!replace) return Step(LinkUnnamed(target));
            // Unnamed files can only be linked to a free name: a temporary one, then moved.
            int e = EEXIST;
            for (int attempt = 0; attempt < 100 && e == EEXIST; ++attempt) {
                name_ = stem_ + RandomSuffix();
                e = LinkUnnamed(name_);
            }
            if (e != 0) {
                name_.clear();
                return e;
            }
            pendingId_ = AddPending(dir_, name_); // removed on an interrupt if the move fails
            detail::CrashPoint();
        } else if (!replace) {
            // A hard link fails on a taken name, where a rename would replace it.
            if (!detail::WithoutLinks() && ::linkat(dir_, name_.c_str(), dir_, target.c_str(), 0) == 0) {
                detail::CrashPoint();
                ::unlinkat(dir_, name_.c_str(), 0);
            } else {
                const int e = detail::WithoutLinks() ? EPERM : errno;
                if (e != EPERM && e != ENOTSUP && e != ENOSYS && e != EMLINK) return e;
                // A file system without hard links: move the name over, refusing a taken one.
                if (::renameat2(dir_, name_.c_str(), dir_, target.c_str(), RENAME_NOREPLACE) != 0)
                    return errno;
            }
            Forget();
            return Step(0);
        }
        if (stillExpected && !stillExpected()) return kTargetChanged;
        if (::renameat(dir_, name_.c_str(), dir_, target.c_str()) != 0) return errno;
        Forget();
        return Step(0);
    }

private:
    // A step of the write protocol has been taken (when `e` is 0).
    static int Step(int e) {
        if (e == 0) detail::CrashPoint();
        return e;
    }

    // Called in a naming step.
    void Forget() {
        name_.clear();
        if (pendingId_ != 0) RemovePending(pendingId_);
        pendingId_ = 0;
    }

    int LinkUnnamed(const std::string& name) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
        if (::linkat(AT_FDCWD, self.c_str(), dir_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
        const int e = errno;
        if (e != ENOENT) return e;
        // Without /proc: allowed only to privileged processes.
        return ::linkat(fd_.get(), "", dir_, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
    }

    int dir_; // the folder's descriptor, open for as long as the object lives
    std::string stem_;
    std::string name_;            // the temporary name, while the file has one
    std::uint64_t pendingId_ = 0; // its entry among the files that an interrupt removes
    Fd fd_;
};

// Opens the folder of a file for the *at() calls; the descriptor, or -1 with errno set.
int OpenFolder(const std::string& folder) {
    return OpenRetry(folder.c_str(), O_RDONLY | O_DIRECTORY);
}

// Writes the next piece of a content into `fd`; 0 or the system error number.
int Put(int fd, detail::WrittenContent& written, const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* bytes = written.Take(data, size);
    return WriteAll(fd, bytes, size);
}

// Reads `size` bytes at `offset` of `fd`, whatever its file position; how many, -1 on a failure.
std::int64_t ReadAt(int fd, std::uint8_t* buffer, std::size_t size, std::uint64_t offset) {
    ssize_t n;
    do
        n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
    while (n < 0 && errno == EINTR);
    return n;
}

// Reads the flushed file `fd` back, with its cached pages dropped first so that the device is read
// where the system allows it; whether it holds what was written (and `check` is content).
bool ReadsBack(int fd, detail::WrittenContent& written, const ContentCheck& check) {
    if (detail::ReadBackSkipped()) return true;
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL); // read whole: the larger read-ahead
    return written.ReadsBack([fd](std::uint8_t* buffer, std::size_t size,
                                  std::uint64_t offset) { return ReadAt(fd, buffer, size, offset); },
                             check);
}

// Hands the producer a writer into `fd` that keeps the first failure and writes nothing after it
// (the producer goes on to its end, unaware); 0 or the error number of that failure.
int Produce(int fd, const ContentProducer& produce, detail::WrittenContent& written) {
    int error = 0;
    produce([fd, &error, &written](const std::uint8_t* data, std::size_t size) {
        if (error == 0) error = Put(fd, written, data, size);
    });
    return error;
}

// Gives the written file the permission bits and the owner of the file it is to replace, then
// flushes it to disk. 0 or the system error number.
int Finish(int fd, const struct stat* like, mode_t newMode) {
    if (like) {
        // Owner first: changing it clears the set-user-ID and set-group-ID bits that fchmod restores.
        // EPERM: an ordinary user cannot give a file away; the new file stays theirs.
        if ((like->st_uid != ::geteuid() || like->st_gid != ::getegid()) &&
            ::fchown(fd, like->st_uid, like->st_gid) != 0 && errno != EPERM)
            return errno;
        if (::fchmod(fd, like->st_mode & 07777) != 0 && errno != EPERM) return errno;
    } else if (::fchmod(fd, newMode) != 0) {
        return errno;
    }
    if (int e = FsyncRetry(fd)) return e;
    detail::CrashPoint();
    return 0;
}

// Flushes the folder after a new name was put in it, which makes the name durable. The rename has
// happened and the content is complete either way, so a failure is a warning, not an error. Some
// network and FUSE file systems cannot flush a folder at all (EINVAL, ENOTSUP): nothing can be done
// there, and nothing is said.
std::optional<FileError> FlushFolder(int dir) {
    int e = detail::TakeFlushFault(true);
    if (e == 0) e = FsyncRetry(dir);
    if (e == 0 || e == EINVAL || e == ENOTSUP || e == EOPNOTSUPP) return std::nullopt;
    return FromErrno(e);
}

} // namespace

// --- Code page 932 --------------------------------------------------------------------------

std::optional<std::string> DecodeCp932(std::string_view bytes) {
    return Iconv("UTF-8", "CP932", bytes);
}

std::optional<std::string> EncodeCp932(std::string_view utf8) {
    return Iconv("CP932", "UTF-8", utf8);
}

// --- Names ----------------------------------------------------------------------------------

bool FileExists(const std::string& name) {
    struct stat st {};
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

NameKind KindOfName(const std::string& name) {
    struct stat st {};
    if (name.empty()) return NameKind::Missing;
    if (::stat(name.c_str(), &st) != 0) return errno == ELOOP ? NameKind::LinkLoop : NameKind::Missing;
    if (S_ISREG(st.st_mode)) return NameKind::File;
    if (S_ISDIR(st.st_mode)) return NameKind::Folder;
    return NameKind::Special;
}

// --- Reading --------------------------------------------------------------------------------

InputFile::~InputFile() {
    Close();
}

OpenFailure InputFile::Open(const std::string& name) {
    Close();
    if (detail::TakeReadFault()) return OpenFailure::Other;
    // Without waiting: a FIFO put in the file's place must not hang the program.
    Fd fd(OpenRetry(name.c_str(), O_RDONLY | O_NONBLOCK));
    if (!fd.valid()) {
        const int e = errno;
        // A link to nothing is there, but is no file.
        struct stat st {};
        if (e == ENOENT && ::lstat(name.c_str(), &st) == 0) return OpenFailure::NotRegular;
        return OpenFailureOf(e);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return OpenFailureOf(errno);
    if (!S_ISREG(st.st_mode)) return OpenFailure::NotRegular;
    (void)::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    size_ = static_cast<std::uint64_t>(st.st_size);
    identity_ = IdentityFrom(st);
    read_ = 0;
    handle_ = fd.Release();
    return OpenFailure::None;
}

void InputFile::Close() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = -1;
}

std::optional<FileIdentity> IdentityOf(const std::string& name) {
    struct stat st {};
    if (name.empty() || ::stat(name.c_str(), &st) != 0) return std::nullopt;
    return IdentityFrom(st);
}

std::int64_t ModificationTime(const FileIdentity& identity) {
    return identity.modified / 1000000000;
}

bool RemoveFile(const std::string& name) {
    return !name.empty() && ::unlink(name.c_str()) == 0;
}

std::optional<std::size_t> InputFile::Read(std::uint8_t* buffer, std::size_t size) {
    if (detail::TakeReadFaultAt(read_ + size)) return std::nullopt;
    const ssize_t n = ReadRetry(static_cast<int>(handle_), buffer, size);
    if (n < 0) return std::nullopt;
    read_ += static_cast<std::uint64_t>(n);
    return static_cast<std::size_t>(n);
}

// --- Writing --------------------------------------------------------------------------------

FileResult ReplaceFileContents(const std::string& target, const ContentProducer& produce,
                               const ReplaceCheck& check, const ContentCheck& contentCheck) {
    auto failed = [](FileError error) { return FileResult{std::move(error), std::nullopt, std::nullopt}; };
    if (target.empty() || target.back() == '/') return failed(MakeError(code::BadFileName));
    int err = 0;
    auto resolved = FollowLinks(target, err);
    if (!resolved) return failed(FromErrno(err));
    const std::string& name = *resolved;

    struct stat st {};
    const bool exists = ::stat(name.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return failed(FromErrno(errno));
    if (exists && (!S_ISREG(st.st_mode) || IsReadOnly(name, st)))
        return failed(MakeError(code::PathFileAccess));

    const std::string folder = FolderOf(name), leaf = LeafOf(name);
    Fd dir(OpenFolder(folder));
    if (!dir.valid()) return failed(FromErrno(errno));

    TemporaryFile temp(dir.get(), leaf);
    if (int e = temp.Create(exists ? 0600 : NewFileMode()))
        return failed(IsFolderWriteRefusal(e) ? MakeError(code::PathFileAccess) : FromErrno(e));
    // A content that its check proves byte for byte needs no digest.
    detail::WrittenContent written(!contentCheck);
    int e = Produce(temp.fd(), produce, written);
    if (e == 0) e = Finish(temp.fd(), exists ? &st : nullptr, NewFileMode());
    if (e != 0) return failed(FromErrno(e));
    if (!ReadsBack(temp.fd(), written, contentCheck)) return failed(MakeError(code::Unverified));
    detail::ReachMoment(Moment::BeforeReplace);
    // Another program may have saved the file since it was read: then its file stays. The look comes
    // last before the rename; what remains is the moment between the two, which the system offers
    // no way to close. A name that held nothing is given to the new file only while it is free.
    std::function<bool()> stillExpected;
    if (check.expect == ReplaceCheck::Expect::File)
        stillExpected = [&] {
            struct stat now {};
            return ::fstatat(dir.get(), leaf.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                   IdentityFrom(now) == check.file;
        };
    const bool replace = check.expect != ReplaceCheck::Expect::Nothing;
    e = temp.Commit(leaf, replace, stillExpected);
    if (check.heldSource) check.heldSource->Close();
    if (e == kTargetChanged || (e == EEXIST && !replace)) return failed(MakeError(code::ChangedElsewhere));
    if (e != 0) return failed(FromErrno(e));
    FileResult result{std::nullopt, FlushFolder(dir.get()), std::nullopt};
    struct stat now {};
    if (::fstat(temp.fd(), &now) == 0) result.written = IdentityFrom(now);
    return result;
}

FileResult CopyFileNoReplace(const std::string& source, const std::string& target) {
    InputFile in;
    if (const OpenFailure failure = in.Open(source); failure != OpenFailure::None)
        return FileResult{detail::FromOpenFailure(failure), std::nullopt, std::nullopt};
    return CopyFileNoReplace(in, target);
}

FileResult CopyFileNoReplace(InputFile& source, const std::string& target) {
    auto failed = [](FileError error) { return FileResult{std::move(error), std::nullopt, std::nullopt}; };
    if (target.empty() || target.back() == '/') return failed(MakeError(code::BadFileName));
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) return failed(MakeError(code::FileAlreadyExists));
    if (errno != ENOENT) return failed(FromErrno(errno));
    if (!source.IsOpen()) return failed(MakeError(code::FileNotFound));
    const int in = static_cast<int>(source.NativeHandle());

    const std::string folder = FolderOf(target);
    Fd dir(OpenFolder(folder));
    if (!dir.valid()) return failed(FromErrno(errno));
    struct stat sourceStat {};
    if (::fstat(in, &sourceStat) != 0) return failed(FromErrno(errno));
    TemporaryFile temp(dir.get(), LeafOf(target));
    if (int e = temp.Create(NewFileMode() & (sourceStat.st_mode & 0777))) return failed(FromErrno(e));

    // The bytes that were read, from the start to the size the file had then, by position: the
    // name is never opened again, and what another program appends is not copied.
    int e = 0;
    detail::WrittenContent written(false); // the copy is held against its source instead
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(source.Size(), 1 << 20)));
    for (std::uint64_t done = 0; done < source.Size() && e == 0;) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(source.Size() - done, buffer.size()));
        ssize_t n;
        do
            n = ::pread(in, buffer.data(), want, static_cast<off_t>(done));
        while (n < 0 && errno == EINTR);
        if (n < 0) {
            e = errno;
        } else if (n == 0) {
            e = -1; // cut short by another program
        } else {
            e = Put(temp.fd(), written, buffer.data(), static_cast<std::size_t>(n));
            done += static_cast<std::uint64_t>(n);
            detail::ReachMoment(Moment::DuringCopy);
        }
    }
    if (e == -1) return failed(MakeError(code::ChangedElsewhere));
    if (e == 0) {
        // What was copied is what was read only if nobody wrote the file in between.
        if (::fstat(in, &sourceStat) != 0) return failed(FromErrno(errno));
        if (!(IdentityFrom(sourceStat) == source.Identity()))
            return failed(MakeError(code::ChangedElsewhere));
        // The backup carries the source's time of last change, as a copy made by the system would.
        // A file system that keeps no times loses only that.
        const struct timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
        (void)::futimens(temp.fd(), times);
        e = FsyncRetry(temp.fd());
        const auto fromSource = [in](std::uint8_t* into, std::size_t size, std::uint64_t offset) {
            return ReadAt(in, into, size, offset);
        };
        if (e == 0 && !ReadsBack(temp.fd(), written, detail::SameBytesAs(fromSource, source.Size())))
            return failed(MakeError(code::Unverified));
    }
    if (e == 0) {
        detail::CrashPoint();
        e = temp.Commit(LeafOf(target), false);
    }
    if (e == EEXIST) return failed(MakeError(code::FileAlreadyExists));
    if (e != 0) return failed(FromErrno(e));
    return {std::nullopt, FlushFolder(dir.get()), std::nullopt};
}

std::vector<std::string> RemoveLeftovers(const std::string& name) {
    std::vector<std::string> kept;
    int err = 0;
    // Temporary files are made beside the file that a link points to.
    auto resolved = FollowLinks(name, err);
    if (!resolved || resolved->empty() || resolved->back() == '/') return kept;
    const std::string folder = FolderOf(*resolved);
    Fd dir(OpenFolder(folder));
    if (!dir.valid()) return kept;
    struct stat st {};
    const bool exists = ::lstat(resolved->c_str(), &st) == 0;
    for (const std::string& leftover : TemporaryNamesFor(dir.get(), LeafOf(*resolved)))
        if (TakeLeftover(dir.get(), leftover, exists) && !exists)
            kept.push_back(resolved->find('/') == std::string::npos ? leftover : folder + "/" + leftover);
    return kept;
}

void RemoveTemporaryFilesOnInterrupt() {
    static std::once_flag aroundFork;
    std::call_once(aroundFork, [] { ::pthread_atfork(BeforeFork, AfterForkInParent, AfterForkInChild); });
    Interrupts& state = Shared();
    std::lock_guard<std::mutex> lock(state.pendingLock);
    if (state.installed) return;
    // Blocked here first, so that the handling thread and every thread started later inherit it.
    HoldInterruptsInThisThread();
    std::thread handler(HandleInterrupts);
    state.handler = handler.native_handle();
    handler.detach();
    struct sigaction action {};
    action.sa_handler = ForwardInterrupt;
    action.sa_mask = EndingSignals();
    // A signal that the caller set to be ignored (SIGHUP under nohup) stays ignored.
    struct sigaction before {};
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        if (::sigaction(s, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            ::sigaction(s, &action, nullptr);
    state.installed = true;
}

void HoldInterruptsInThisThread() {
    const sigset_t set = EndingSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// --- Folders --------------------------------------------------------------------------------

bool IsReadOnly(const std::string& name) {
    struct stat st {};
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) && IsReadOnly(name, st);
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
    OpenFailure failure = OpenFailure::None;
    return ListFolder(folder, failure);
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder, OpenFailure& failure) {
    Fd dir(OpenFolder(folder.empty() ? std::string(".") : folder));
    if (!dir.valid()) {
        failure = OpenFailureOf(errno);
        return std::nullopt;
    }
    DIR* list = ::fdopendir(dir.get());
    if (!list) {
        failure = OpenFailureOf(errno);
        return std::nullopt;
    }
    dir.Release(); // closedir closes it
    std::vector<FolderEntry> entries;
    for (;;) {
        errno = 0;
        const dirent* found = ::readdir(list);
        if (!found) break;
        FolderEntry entry;
        entry.name = found->d_name;
        if (entry.name == "." || entry.name == "..") continue;
        entry.hidden = entry.name[0] == '.';
        // The kind as the folder tells it where it does, else as the name itself does (not followed).
        struct stat st {};
        unsigned char type = found->d_type;
        if (type == DT_UNKNOWN && ::fstatat(::dirfd(list), found->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            type = S_ISDIR(st.st_mode)   ? DT_DIR
                   : S_ISREG(st.st_mode) ? DT_REG
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
        entry.folder = type == DT_DIR;
        entry.file =
            type == DT_REG ||
            (type == DT_LNK && ::fstatat(::dirfd(list), found->d_name, &st, 0) == 0 && S_ISREG(st.st_mode));
        entries.push_back(std::move(entry));
    }
    const int e = errno;
    ::closedir(list);
    if (e != 0) {
        failure = OpenFailureOf(e);
        return std::nullopt;
    }
    return entries;
}

namespace {

// One piece of a name as the order of names sees it: a run of digits or one other character.
struct NamePiece {
    unsigned key = 0;      // the character, letters folded to ASCII lower case; '0' for a number
    std::string digits;    // a number's digits after its leading zeros, in ASCII
    std::size_t zeros = 0; // a number's leading zeros
    std::size_t end = 0;   // where the next piece begins
};

// Whether `name` holds at `i` a full-width character EF `second` xx with xx within [low, high];
// `offset` is then xx - low.
bool FullWidthAt(const std::string& name, std::size_t i, unsigned char second, unsigned char low,
                 unsigned char high, unsigned& offset) {
    if (name.size() - i < 3 || static_cast<unsigned char>(name[i]) != 0xEF ||
        static_cast<unsigned char>(name[i + 1]) != second)
        return false;
    const auto third = static_cast<unsigned char>(name[i + 2]);
    offset = third - low;
    return third >= low && third <= high;
}

// The value of the digit (ASCII or full-width, U+FF10 to U+FF19) at `i` and its length in bytes;
// nothing when there is none (also at the end, where `name[i]` is the terminating zero).
std::optional<unsigned> DigitAt(const std::string& name, std::size_t i, std::size_t& length) {
    unsigned offset = 0;
    if (name[i] >= '0' && name[i] <= '9') {
        length = 1;
        return static_cast<unsigned>(name[i] - '0');
    }
    if (FullWidthAt(name, i, 0xBC, 0x90, 0x99, offset)) {
        length = 3;
        return offset;
    }
    return std::nullopt;
}

// The piece of `name` that begins at `i` (before its end).
NamePiece PieceAt(const std::string& name, std::size_t i) {
    NamePiece piece;
    std::size_t length = 0;
    unsigned offset = 0;
    if (DigitAt(name, i, length)) {
        piece.key = '0';
        for (std::optional<unsigned> digit; (digit = DigitAt(name, i, length)); i += length) {
            if (*digit == 0 && piece.digits.empty())
                ++piece.zeros;
            else
                piece.digits += static_cast<char>('0' + *digit);
        }
    } else if (FullWidthAt(name, i, 0xBC, 0xA1, 0xBA, offset) ||
               FullWidthAt(name, i, 0xBD, 0x81, 0x9A, offset)) {
        piece.key = 'a' + offset; // U+FF21 to U+FF3A, U+FF41 to U+FF5A
        i += 3;
    } else {
        const auto c = static_cast<unsigned char>(name[i++]);
        piece.key = c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; // UTF-8 bytes keep code point order
    }
    piece.end = i;
    return piece;
}

} // namespace

bool ShownBefore(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    int zerosTie = 0; // < 0: a has fewer leading zeros in the first number where the counts differ
    while (i < a.size() && j < b.size()) {
        const NamePiece p = PieceAt(a, i), q = PieceAt(b, j);
        // A number sorts among the characters where its digits would; no other character is there.
        if (p.key != q.key) return p.key < q.key;
        if (p.digits.size() != q.digits.size()) return p.digits.size() < q.digits.size();
        if (p.digits != q.digits) return p.digits < q.digits;
        if (zerosTie == 0 && p.zeros != q.zeros) zerosTie = p.zeros < q.zeros ? -1 : 1;
        i = p.end;
        j = q.end;
    }
    if (i < a.size() || j < b.size()) return j < b.size();
    if (zerosTie != 0) return zerosTie < 0;
    return a < b;
}

unsigned ProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

bool OpenClosedStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free number: fd itself, as every lower one is open by now.
        const int opened = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
        if (opened == fd) continue;
        if (opened >= 0) ::close(opened);
        return false;
    }
    return true;
}

} // namespace zel::platform
