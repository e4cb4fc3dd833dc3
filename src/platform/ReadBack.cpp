// Reading a written file back before it takes its name: shared by the POSIX and the Win32 writes.
#include "platform/PlatformDetail.h"

#include <vector>

namespace zel::platform::detail {

bool ReadsBackAsWritten(const std::function<std::int64_t(std::uint8_t*, std::size_t, std::uint64_t)>& readAt,
                        std::uint64_t length, const Sha256::Digest& digest, const ContentCheck& check) {
    Sha256 hash;
    bool failed = false;
    const ContentReader read = [&](std::uint8_t* buffer, std::size_t size) -> std::size_t {
        if (failed || size == 0) return 0;
        const std::uint64_t offset = hash.Length();
        const std::int64_t n = readAt(buffer, size, offset);
        if (n < 0) failed = true;
        if (n <= 0) return 0;
        ReadBackSeen(offset, buffer, static_cast<std::size_t>(n));
        hash.Add(buffer, static_cast<std::size_t>(n));
        return static_cast<std::size_t>(n);
    };
    const bool content = !check || check(read);
    // The rest of the file, as far as the check did not read it.
    std::vector<std::uint8_t> buffer(1 << 16);
    while (read(buffer.data(), buffer.size()) > 0) {
    }
    return content && !failed && hash.Length() == length && hash.Finish() == digest;
}

} // namespace zel::platform::detail
