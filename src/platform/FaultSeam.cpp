// The test seams: pending injected write and read faults.
#include "platform/PlatformDetail.h"

#include <atomic>

namespace zel::platform {
namespace {

std::atomic<int> writeFaultsLeft{0};
std::atomic<int> writeFaultCode{0};
std::atomic<int> readFaultsLeft{0};

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

namespace detail {

int TakeWriteFault() {
    return TakeOne(writeFaultsLeft) ? writeFaultCode.load() : 0;
}

bool TakeReadFault() {
    return TakeOne(readFaultsLeft);
}

} // namespace detail
} // namespace zel::platform
