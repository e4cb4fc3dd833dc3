// The test seams: pending injected write, read and flush faults, and the injected crash. Compiled
// only into the test builds.
#include "platform/PlatformDetail.h"
#include "platform/TestSeams.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace zel::platform {
namespace {

// Each seam is one atomic word, so that writers on worker threads see a fault whole (its count with
// its code, its error with its kind) while a test sets it. A pending write fault: the count in the
// high half, the code in the low one; a flush fault: the system error times two, plus one for a folder.
std::atomic<std::uint64_t> writeFault{0};
std::atomic<int> readFaultsLeft{0};
std::atomic<std::uint64_t> readFaultOffset{UINT64_MAX};
std::atomic<int> flushFault{0};
std::atomic<std::uint64_t> crashCountdown{0}; // the steps left before the crash, plus one; 0: none
std::atomic<bool> withoutLinks{false};
std::atomic<bool> renameByHandleRefused{false};
std::atomic<bool> deletionMarkRefused{false};
std::atomic<std::uint64_t> writtenByteFault{0}; // the offset times two, plus one to drop it; plus two
std::atomic<std::uint64_t> readBackFault{0};    // the offset plus one; 0: none
std::atomic<bool> readBackSkipped{false};
std::mutex momentLock;
std::function<void()> momentActions[2]; // under momentLock, by Moment

// Takes one from `counter` when it is positive; true when it did.
bool TakeOne(std::atomic<int>& counter) {
    int left = counter.load();
    while (left > 0)
        if (counter.compare_exchange_weak(left, left - 1)) return true;
    return false;
}

// Takes one write fault when one is pending: its code, else 0.
int TakeWriteFault() {
    std::uint64_t fault = writeFault.load();
    while (fault >> 32 != 0)
        if (writeFault.compare_exchange_weak(fault, fault - (std::uint64_t{1} << 32)))
            return static_cast<int>(fault & 0xFFFFFFFFu);
    return 0;
}

} // namespace

void InjectWriteFault(int errorCode, int count) {
    writeFault = count > 0 && errorCode > 0
                     ? std::uint64_t{static_cast<unsigned>(count)} << 32 | static_cast<unsigned>(errorCode)
                     : 0;
}

void InjectWrittenByteFault(std::uint64_t offset, bool drop) {
    writtenByteFault = offset == UINT64_MAX ? 0 : offset * 2 + (drop ? 1 : 0) + 2;
}

void InjectReadBackSkipped(bool on) {
    readBackSkipped = on;
}

void InjectReadBackFault(std::uint64_t offset) {
    readBackFault = offset + 1;
}

void InjectReadFault(int count) {
    readFaultsLeft = count > 0 ? count : 0;
}

void InjectReadFaultAt(std::uint64_t offset) {
    readFaultOffset = offset;
}

void InjectFlushFault(bool folder, int systemError) {
    flushFault = systemError > 0 ? systemError * 2 + (folder ? 1 : 0) : 0;
}

void InjectCrashAt(std::uint64_t point) {
    crashCountdown = point + 1;
}

void InjectFileSystemWithoutLinks(bool on) {
    withoutLinks = on;
}

void InjectRenameByHandleRefused(bool on) {
    renameByHandleRefused = on;
}

void InjectDeletionMarkRefused(bool on) {
    deletionMarkRefused = on;
}

void InjectAt(Moment moment, std::function<void()> action) {
    const std::lock_guard<std::mutex> lock(momentLock);
    momentActions[static_cast<int>(moment)] = std::move(action);
}

namespace detail {

void ReachMoment(Moment moment) {
    std::function<void()> action;
    {
        const std::lock_guard<std::mutex> lock(momentLock);
        action.swap(momentActions[static_cast<int>(moment)]);
    }
    if (action) action();
}

bool WithoutLinks() {
    return withoutLinks;
}

bool RenameByHandleRefused() {
    return renameByHandleRefused;
}

bool DeletionMarkRefused() {
    return deletionMarkRefused;
}

bool TakeReadFault() {
    return TakeOne(readFaultsLeft);
}

bool TakeReadFaultAt(std::uint64_t end) {
    std::uint64_t offset = readFaultOffset.load();
    return end > offset && readFaultOffset.compare_exchange_strong(offset, UINT64_MAX);
}

int TakeFlushFault(bool folder) {
    int fault = flushFault.load();
    while (fault != 0 && (fault & 1) == (folder ? 1 : 0))
        if (flushFault.compare_exchange_weak(fault, 0)) return fault / 2;
    return 0;
}

WritePlan PlanWrite(std::size_t size) {
    // An injected fault writes half of the data and then fails as the system would.
    const int fault = TakeWriteFault();
    return {fault != 0 ? size / 2 : size, fault};
}

void CrashPoint() {
    std::uint64_t left = crashCountdown.load();
    while (left != 0 && !crashCountdown.compare_exchange_weak(left, left - 1)) {
    }
    if (left != 1) return; // not armed, or steps to go
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), 137);
#else
    ::raise(SIGKILL);
#endif
    std::abort();
}

bool ReadBackSkipped() {
    return readBackSkipped;
}

const std::uint8_t* WrittenBytes(std::uint64_t offset, const std::uint8_t* data, std::size_t& size,
                                 std::vector<std::uint8_t>& scratch) {
    std::uint64_t fault = writtenByteFault.load();
    if (fault < 2) return data;
    const std::uint64_t at = (fault - 2) / 2;
    if (at < offset || at - offset >= size || !writtenByteFault.compare_exchange_strong(fault, 0))
        return data;
    scratch.assign(data, data + size);
    const auto index = static_cast<std::ptrdiff_t>(at - offset);
    if ((fault - 2) % 2 == 1) {
        scratch.erase(scratch.begin() + index);
        --size;
    } else {
        scratch[static_cast<std::size_t>(index)] ^= 0x01;
    }
    return scratch.data();
}

void ReadBackSeen(std::uint64_t offset, std::uint8_t* data, std::size_t size) {
    std::uint64_t fault = readBackFault.load();
    if (fault == 0 || fault - 1 < offset || fault - 1 - offset >= size ||
        !readBackFault.compare_exchange_strong(fault, 0))
        return;
    data[fault - 1 - offset] ^= 0x80;
}

} // namespace detail

} // namespace zel::platform
