// Pieces shared by the POSIX and the Win32 implementation of Platform.h: building a FileError and
// the state of the test seams. Not for use outside src/platform.
#pragma once

#include "platform/Platform.h"

#include <string>

namespace zel::platform::detail {

// A FileError with the fixed description of its code.
FileError MakeError(int code);

// A FileError with a description of its own, for failures that the code alone does not tell
// apart (a system error without a code of its own, a file too large).
FileError MakeError(int code, std::string description);

// The description of code 57 naming the system's error: its number and its text.
std::string DescribeSystemError(const std::string& systemText);

// Consumes one injected write fault. Returns the code to fail with, or 0 when none is pending.
int TakeWriteFault();

// Consumes one injected read fault. True when this read must fail.
bool TakeReadFault();

} // namespace zel::platform::detail
