// The test seams: pending injected write and read faults, and the injected crash.
#include "platform/PlatformDetail.h"

#include <algorithm>
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
std::atomic<bool> crashArmed{false};
std::atomic<std::uint64_t> bytesBeforeCrash{0};
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

void InjectCrashAfter(std::uint64_t bytes) {
    bytesBeforeCrash = bytes;
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

WritePlan PlanWrite(std::size_t size) {
    WritePlan plan{size, TakeOne(writeFaultsLeft) ? writeFaultCode.load() : 0, false};
    // An injected fault writes half of the data and then fails as the system would.
    if (plan.fault != 0) plan.limit = size / 2;
    if (crashArmed) {
        const std::uint64_t left = bytesBeforeCrash.load();
        plan.crash = left < plan.limit;
        if (plan.crash) plan.limit = static_cast<std::size_t>(left);
        bytesBeforeCrash = left - plan.limit;
    }
    return plan;
}

void CrashNow() {
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), 137);
#else
    ::raise(SIGKILL);
#endif
    std::abort();
}

} // namespace detail
} // namespace zel::platform
