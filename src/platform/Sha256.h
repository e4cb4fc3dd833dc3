// SHA-256 of a stream of bytes, for proving that a file read back holds what was written.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zel::platform {

class Sha256 {
public:
    using Digest = std::array<std::uint8_t, 32>;
    // Adds the next `size` bytes.
    void Add(const std::uint8_t* data, std::size_t size);
    // The digest of all bytes added; the object is spent afterwards.
    Digest Finish();
    // How many bytes have been added.
    std::uint64_t Length() const { return length_; }

private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::array<std::uint8_t, 64> pending_{};
    std::uint64_t length_ = 0;
};

} // namespace zel::platform
