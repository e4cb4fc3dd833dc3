// The test seams: pending injected write, read and flush faults, and the injected crash. Compiled
// only into the test builds.
#include "platform/PlatformDetail.h"
#include "platform/TestSeams.h"

#include <atomic>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace zel::platform {
namespace {

std::atomic<int> writeFaultsLeft{0};
std::atomic<int> writeFaultCode{0};
std::atomic<int> readFaultsLeft{0};
std::atomic<std::uint64_t> readFaultOffset{UINT64_MAX};
std::atomic<int> flushFault{0};
std::atomic<bool> flushFaultOnFolder{false};
std::atomic<bool> crashArmed{false};
std::atomic<std::uint64_t> pointsBeforeCrash{0};
std::atomic<bool> withoutLinks{false};

// Takes one from `counter` when it is positive; true when it did.
bool TakeOne(std::atomic<int>& counter) {
    int left = counter.load();
    while (left > 0)
        if (counter.compare_exchange_weak(left, left - 1)) return true;
    return false;
}

} // namespace

void InjectWriteFault(int errorCode, int count) {
    writeFaultCode = errorCode;
    writeFaultsLeft = count > 0 ? count : 0;
}

void InjectReadFault(int count) {
    readFaultsLeft = count > 0 ? count : 0;
}

void InjectReadFaultAt(std::uint64_t offset) {
    readFaultOffset = offset;
}

void InjectFlushFault(bool folder, int systemError) {
    flushFaultOnFolder = folder;
    flushFault = systemError;
}

void InjectCrashAt(std::uint64_t point) {
    pointsBeforeCrash = point;
    crashArmed = true;
}

void InjectFileSystemWithoutLinks(bool on) {
    withoutLinks = on;
}

namespace detail {

bool WithoutLinks() {
    return withoutLinks;
}

bool TakeReadFault() {
    return TakeOne(readFaultsLeft);
}

bool TakeReadFaultAt(std::uint64_t end) {
    std::uint64_t offset = readFaultOffset.load();
    return end > offset && readFaultOffset.compare_exchange_strong(offset, UINT64_MAX);
}

int TakeFlushFault(bool folder) {
    return flushFaultOnFolder == folder ? flushFault.exchange(0) : 0;
}

WritePlan PlanWrite(std::size_t size) {
    // An injected fault writes half of the data and then fails as the system would.
    const int fault = TakeOne(writeFaultsLeft) ? writeFaultCode.load() : 0;
    return {fault != 0 ? size / 2 : size, fault};
}

void CrashPoint() {
    if (!crashArmed) return;
    if (pointsBeforeCrash.fetch_sub(1) != 0) return;
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), 137);
#else
    ::raise(SIGKILL);
#endif
    std::abort();
}

} // namespace detail
} // namespace zel::platform
