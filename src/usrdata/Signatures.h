// The 64-byte texts at the start of every user-data file that name its format, and the format
// they name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zel {

inline constexpr std::string_view kSignature100 =
    "Tarvelquistmoranda 1.00 UsrData (c) 2000 TALMO Development Corp.";
inline constexpr std::string_view kSignature101 =
    "Tarvelquistmoranda 1.01 UsrData (c) 2000 TALMO Development Corp.";
inline constexpr std::string_view kSignature102 =
    "Tarvelquistmoranda 1.02 UsrData (c) 2000 TALMO Development Corp.";
inline constexpr std::size_t kSignatureSize = 64;

static_assert(kSignature100.size() == kSignatureSize);
static_assert(kSignature101.size() == kSignatureSize);
static_assert(kSignature102.size() == kSignatureSize);

// The format a file's signature names; Unknown for a file that begins with none of them.
enum class FileVersion : std::uint8_t { Unknown, V100, V101, V102 };

// The format named by the first bytes of a file: all 64 must equal a signature, exactly.
inline FileVersion DetectVersion(std::string_view head) {
    if (head.size() < kSignatureSize) return FileVersion::Unknown;
    head = head.substr(0, kSignatureSize);
    if (head == kSignature100) return FileVersion::V100;
    if (head == kSignature101) return FileVersion::V101;
    if (head == kSignature102) return FileVersion::V102;
    return FileVersion::Unknown;
}

// The signature of a format (empty for Unknown).
inline constexpr std::string_view SignatureOf(FileVersion version) {
    switch (version) {
    case FileVersion::V100:
        return kSignature100;
    case FileVersion::V101:
        return kSignature101;
    case FileVersion::V102:
        return kSignature102;
    case FileVersion::Unknown:
        break;
    }
    return {};
}

} // namespace zel
