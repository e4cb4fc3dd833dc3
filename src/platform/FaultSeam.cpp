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

namespace detail {

int TakeWriteFault() {
    return TakeOne(writeFaultsLeft) ? writeFaultCode.load() : 0;
}

bool TakeReadFault() {
    return TakeOne(readFaultsLeft);
}

std::size_t BytesBeforeCrash(std::size_t size) {
    if (!crashArmed) return size;
    const std::uint64_t left = bytesBeforeCrash.load();
    const std::size_t allowed = static_cast<std::size_t>(std::min<std::uint64_t>(left, size));
    bytesBeforeCrash = left - allowed;
    return allowed < size ? allowed : size;
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
