// Reading a written file back before it takes its name: shared by the POSIX and the Win32 writes.
#include "platform/PlatformDetail.h"

#include <algorithm>
#include <cstring>

namespace zel::platform::detail {

const std::uint8_t* WrittenContent::Take(const std::uint8_t* data, std::size_t& size) {
    if (hashed_) hash_.Add(data, size);
    const std::uint64_t offset = length_;
    length_ += size;
    return WrittenBytes(offset, data, size, scratch_);
}

bool WrittenContent::ReadsBack(const ReadAtFunction& readAt, const ContentCheck& check) {
    Sha256 hash;
    std::uint64_t offset = 0;
    bool failed = false;
    const ContentReader read = [&](std::uint8_t* buffer, std::size_t size) -> std::size_t {
        const std::int64_t n = failed || size == 0 ? 0 : readAt(buffer, size, offset);
        if (n < 0) failed = true;
        if (n <= 0) return 0;
        ReadBackSeen(offset, buffer, static_cast<std::size_t>(n));
        if (hashed_) hash.Add(buffer, static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
        return static_cast<std::size_t>(n);
    };
    // A check proves the bytes it read: without a digest it must have read all that was written.
    const bool content = !check || (check(read) && (hashed_ || offset == length_));
    // The rest of the file, as far as the check did not read it.
    std::vector<std::uint8_t> buffer(1 << 16);
    while (read(buffer.data(), buffer.size()) > 0) {
    }
    return content && !failed && offset == length_ && (!hashed_ || hash.Finish() == hash_.Finish());
}

ContentCheck SameBytesAs(const ReadAtFunction& readSource, std::uint64_t length) {
    return [readSource, length](const ContentReader& read) {
        std::vector<std::uint8_t> back(1 << 16), original(1 << 16);
        for (std::uint64_t at = 0;;) {
            const std::size_t n = read(back.data(), back.size());
            if (n == 0) return at == length;
            for (std::size_t got = 0; got < n;) {
                const std::int64_t r = readSource(original.data() + got, n - got, at + got);
                if (r <= 0) return false;
                got += static_cast<std::size_t>(r);
            }
            if (std::memcmp(back.data(), original.data(), n) != 0) return false;
            at += n;
        }
    };
}

} // namespace zel::platform::detail
