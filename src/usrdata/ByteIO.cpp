#include "usrdata/ByteIO.h"

#include "platform/Platform.h"

#include <algorithm>
#include <cstring>

namespace zel {

ConversionFailure ConversionFailure::within(const std::string& place) const {
    return ConversionFailure(code_, place + detail_);
}

void FailSubscript(std::string detail) {
    throw ConversionFailure(platform::code::SubscriptOutOfRange, std::move(detail));
}

void FailOverflow(std::string detail) {
    throw ConversionFailure(platform::code::Overflow, std::move(detail));
}

std::uint8_t* String::Resize(std::size_t n) {
    if (n > kMaxSize) throw std::length_error("a string longer than 65535 bytes");
    Free();
    if (n == 0) return rep_.data() + 1;
    if (n <= kInlineSize) {
        rep_[0] = static_cast<std::uint8_t>(2 * n + 1);
        return rep_.data() + 1;
    }
    auto* block = new std::uint8_t[n + 2];
    block[0] = static_cast<std::uint8_t>(n);
    block[1] = static_cast<std::uint8_t>(n >> 8);
    std::memcpy(rep_.data(), &block, sizeof block);
    return block + 2;
}

std::optional<std::string> String::Decoded() const {
    return platform::DecodeCp932(view());
}

String String::FromText(std::string_view utf8) {
    auto encoded = platform::EncodeCp932(utf8);
    if (!encoded) throw std::invalid_argument("text without a code page 932 form");
    return String(*encoded);
}

bool TextEquals(const String& s, std::string_view utf8) {
    auto text = s.Decoded();
    return text && *text == utf8;
}

bool TextContains(const String& s, std::string_view utf8) {
    auto text = s.Decoded();
    // Both sides are whole UTF-8 characters, so a match can only start on a character boundary.
    return text && text->find(utf8) != std::string::npos;
}

// --- Reader ---------------------------------------------------------------------------------

namespace {
constexpr std::size_t kReadBufferSize = 1 << 16;
} // namespace

void ByteReader::Refill(std::size_t n) {
    need(n);
    if (!source_) throw DamagedFile{}; // an image in memory has no more
    // Keep the bytes not yet read at the front of the buffer and fill up behind them.
    const std::size_t kept = static_cast<std::size_t>(end_ - cur_);
    const std::size_t position = this->position();
    if (buffer_.empty()) buffer_.resize(kReadBufferSize);
    if (kept > 0) std::memmove(buffer_.data(), cur_, kept);
    std::size_t filled = kept;
    const std::size_t wanted = std::min(buffer_.size(), kept + (size_ - position - kept));
    while (filled < n) {
        const std::size_t got = source_->Read(buffer_.data() + filled, wanted - filled);
        if (got == 0) throw DamagedFile{};
        filled += got;
    }
    consumed_ = position;
    begin_ = cur_ = buffer_.data();
    end_ = buffer_.data() + filled;
}

void ByteReader::bytes(void* out, std::size_t n) {
    need(n);
    auto* to = static_cast<std::uint8_t*>(out);
    const std::size_t inWindow = std::min(n, static_cast<std::size_t>(end_ - cur_));
    if (inWindow) std::memcpy(to, cur_, inWindow);
    cur_ += inWindow;
    to += inWindow;
    n -= inWindow;
    if (n == 0) return;
    // The window is used up: large blocks go straight from the source, small ones through it.
    if (n >= kReadBufferSize / 2) {
        const std::size_t start = position();
        for (std::size_t done = 0; done < n;) {
            const std::size_t got = source_->Read(to + done, n - done);
            if (got == 0) throw DamagedFile{};
            done += got;
        }
        consumed_ = start + n;
        begin_ = cur_ = end_ = buffer_.data();
        return;
    }
    Refill(n);
    std::memcpy(to, cur_, n);
    cur_ += n;
}

bool ByteReader::Matches(const void* expected, std::size_t n) {
    need(n);
    const auto* from = static_cast<const std::uint8_t*>(expected);
    bool same = true;
    while (n > 0) {
        if (cur_ == end_) Refill(1);
        const std::size_t take = std::min(n, static_cast<std::size_t>(end_ - cur_));
        same = same && std::memcmp(cur_, from, take) == 0;
        cur_ += take;
        from += take;
        n -= take;
    }
    return same;
}

// --- Writer ---------------------------------------------------------------------------------

void ByteWriter::bytes(const void* p, std::size_t n) {
    auto* from = static_cast<const std::uint8_t*>(p);
    if (n >= kBufferSize) {
        Flush();
        sink_.Put(from, n);
        return;
    }
    Room(n);
    if (n) std::memcpy(buf_.get() + used_, from, n);
    used_ += n;
}

void ByteWriter::Flush() {
    if (used_ == 0) return;
    const std::size_t size = used_;
    used_ = 0;
    sink_.Put(buf_.get(), size);
}

void MemoryBudget::Charge(std::size_t bytes) {
    if (bytes > left_) throw RecordsTooLarge{};
    left_ -= bytes;
}

void CompareArchive::raw(const std::uint8_t* p, std::size_t n) {
    Expect(r_.Matches(p, n));
}

} // namespace zel
