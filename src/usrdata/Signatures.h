// The 64-byte texts at the start of every user-data file that name its format.
#pragma once

#include <string_view>

namespace zel {

inline constexpr std::string_view kSignature100 =
    "Tarvelquistmoranda 1.00 UsrData (c) 2000 TALMO Development Corp.";
inline constexpr std::string_view kSignature101 =
    "Tarvelquistmoranda 1.01 UsrData (c) 2000 TALMO Development Corp.";
inline constexpr std::string_view kSignature102 =
    "Tarvelquistmoranda 1.02 UsrData (c) 2000 TALMO Development Corp.";
inline constexpr std::size_t kSignatureSize = 64;

static_assert(kSignature100.size() == kSignatureSize && kSignature101.size() == kSignatureSize &&
              kSignature102.size() == kSignatureSize);

} // namespace zel
