// UTF-8 and UTF-16, for the parts of the Windows build that talk to the wide-character API.
#pragma once

#ifdef _WIN32

#include <optional>
#include <string>
#include <string_view>

namespace zel::platform {

// UTF-8 text as UTF-16; an invalid byte sequence becomes U+FFFD.
std::wstring Widen(std::string_view utf8);

// UTF-16 text as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view wide);

// The full form of a name relative to the current folder, with "\" for "/" and without "." and ".."
// steps (the system's own reading of the name); nothing when the system cannot read it.
std::optional<std::wstring> FullName(const std::wstring& name);

} // namespace zel::platform

#endif
