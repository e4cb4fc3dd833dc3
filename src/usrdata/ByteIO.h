// The building blocks of the .zel encoding: scalar member types that keep their exact bits,
// strings that keep their exact code page 932 bytes, bounds-checked 1-based fixed arrays and
// dynamic arrays that remember the bounds they were stored with, a bounds-checked reader over a
// file image (in memory or streamed), a buffered writer into a sink, a memory budget for decoding,
// and the archives that walk a record's member list (one `serialize(archive, record)` per record
// type drives reading, writing and sizing).
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace zel {

// --- Failures --------------------------------------------------------------------------------

// How reading, writing and upgrading records fail: by throwing one of the three types below. The
// file operations (src/fileops) catch them and tell the user, once; nothing below them shows a
// message. The first two carry no text: the file operations have the user's words for them.

// The file's body cannot be what the format says: it ends early, or holds a length, count or
// bound that the bytes left cannot honour. The file is refused; nothing is converted.
struct DamagedFile {};

// The records would take more memory than the file's size allows (MemoryBudget).
struct RecordsTooLarge {};

// A failure of the upgrade: an index outside an array's bounds (code 9) or a counter or sum that
// leaves its range (code 6). `detail` says in the user's words where it arose and with which value.
class ConversionFailure {
public:
    ConversionFailure(int code, std::string detail) : code_(code), detail_(std::move(detail)) {}
    int code() const { return code_; }
    const std::string& detail() const { return detail_; }
    // Puts the place (for example which anchor) in front of the detail.
    ConversionFailure within(const std::string& place) const;

private:
    int code_;
    std::string detail_;
};

[[noreturn]] void FailSubscript(std::string detail);
[[noreturn]] void FailOverflow(std::string detail);

// --- Scalar member types ---------------------------------------------------------------------

using Integer = std::int16_t; // signed 16-bit
using Long = std::int32_t;    // signed 32-bit
using Byte = std::uint8_t;    // unsigned 8-bit

// An IEEE 754 single held as its 32 bits: copying it never converts it, so every NaN pattern and
// the sign of zero survive. value() is used only where a number is compared or computed.
struct Single {
    std::uint32_t bits = 0;
    float value() const { return std::bit_cast<float>(bits); }
    static Single of(float f) { return Single{std::bit_cast<std::uint32_t>(f)}; }
    bool operator==(const Single&) const = default; // same bits
};

// A 32-bit member whose numeric type no operation uses: only moved as its bits.
struct Value4 {
    std::uint32_t bits = 0;
    bool operator==(const Value4&) const = default;
};

// A string as stored in the file: its exact code page 932 bytes (decoding and encoding again is not
// lossless for code page 932). It is decoded to Unicode only to compare or to show. A file may hold
// millions of strings, so each takes 8 bytes in its record: up to seven bytes are held there, a
// longer string in one block on the heap. No string then takes more than four times what it takes
// in the file (2 bytes of length and its bytes).
class String {
public:
    static constexpr std::size_t kMaxSize = 0xFFFF; // the 16-bit length of the file format

    String() = default;
    // The string of these bytes; throws std::length_error beyond kMaxSize.
    explicit String(std::string_view bytes) { Assign(bytes); }
    String(const String& other) { Assign(other.view()); }
    String& operator=(const String& other) {
        if (this != &other) Assign(other.view());
        return *this;
    }
    String(String&& other) noexcept : rep_(other.rep_) { other.rep_ = {}; }
    String& operator=(String&& other) noexcept {
        if (this != &other) {
            Free();
            rep_ = other.rep_;
            other.rep_ = {};
        }
        return *this;
    }
    ~String() { Free(); }

    std::size_t size() const {
        if (IsInline()) return rep_[0] >> 1;
        const std::uint8_t* block = Block();
        return block ? static_cast<std::size_t>(block[0] | (block[1] << 8)) : 0;
    }
    bool empty() const { return size() == 0; }
    std::string_view view() const {
        const std::uint8_t* bytes = IsInline() ? rep_.data() + 1 : Block() ? Block() + 2 : nullptr;
        return bytes ? std::string_view(reinterpret_cast<const char*>(bytes), size()) : std::string_view();
    }
    // Makes the string `n` bytes long, of unspecified content, and returns them to be filled;
    // throws std::length_error beyond kMaxSize.
    std::uint8_t* Resize(std::size_t n);
    bool operator==(const String& other) const { return view() == other.view(); }

    // The text as UTF-8, or nothing when the bytes are not valid code page 932.
    std::optional<std::string> Decoded() const;
    // Made from UTF-8 text (tests and generated files); throws std::invalid_argument when a
    // character has no code page 932 code.
    static String FromText(std::string_view utf8);
    // What a string of `n` bytes takes on the heap beyond its 8 bytes: its block with the
    // allocator's own header, rounded as the allocator rounds (nothing for seven bytes or fewer).
    static constexpr std::size_t HeapCost(std::size_t n) {
        return n <= kInlineSize ? 0 : std::max<std::size_t>(32, (n + 2 + 8 + 15) / 16 * 16);
    }

private:
    static constexpr std::size_t kInlineSize = 7;
    static_assert(std::endian::native == std::endian::little && sizeof(std::uint8_t*) == 8,
                  "the first byte of the 8 bytes is the low byte of the block's address");

    // Seven bytes or fewer: the first byte is twice the size plus one (odd), the bytes follow.
    // Else the 8 bytes hold the address of the block (even: blocks are aligned), or zero when empty.
    bool IsInline() const { return rep_[0] & 1; }
    std::uint8_t* Block() const {
        std::uint8_t* block = nullptr;
        std::memcpy(&block, rep_.data(), sizeof block);
        return block;
    }
    void Free() {
        if (!IsInline()) delete[] Block();
        rep_ = {};
    }
    void Assign(std::string_view bytes) {
        std::uint8_t* to = Resize(bytes.size());
        if (!bytes.empty()) std::memcpy(to, bytes.data(), bytes.size());
    }
    std::array<std::uint8_t, 8> rep_{};
};

// True when the decoded text equals / contains `utf8`; bytes that do not decode match nothing.
bool TextEquals(const String& s, std::string_view utf8);
bool TextContains(const String& s, std::string_view utf8);

// A block of plain data of fixed size, copied as it is.
template <std::size_t N> struct RawBlock {
    std::array<std::uint8_t, N> bytes{};
    bool operator==(const RawBlock&) const = default;
};

// --- Arrays ----------------------------------------------------------------------------------

// A fixed array indexed 1..N, as the records declare them. at() checks the index.
template <class T, int N> struct FixedArray {
    std::array<T, N> items{};

    T& at(long i) {
        if (i < 1 || i > N) FailSubscript(IndexText(i));
        return items[static_cast<std::size_t>(i - 1)];
    }
    const T& at(long i) const { return const_cast<FixedArray*>(this)->at(i); }
    static constexpr int size() { return N; }
    bool operator==(const FixedArray&) const = default;

private:
    static std::string IndexText(long i) {
        return "要素番号 " + std::to_string(i) + " は 1～" + std::to_string(N) + " の範囲外です。";
    }
};

// A dynamic array as stored in the file: its number of dimensions (0 when it was never
// dimensioned, else 1), its lower bound and its elements. It keeps the bounds it was read with.
// Copies share their elements until one of them is changed, so that a list taken over whole by a
// newer record costs nothing.
template <class T> struct DynArray {
    Integer dims = 0;
    Long lower = 0;

    bool Dimensioned() const { return dims != 0; }
    Long Count() const { return static_cast<Long>(Items().size()); }
    // The highest index, as a 64-bit value (lower − 1 when the array has no element).
    std::int64_t Upper() const { return static_cast<std::int64_t>(lower) + Count() - 1; }
    bool Contains(std::int64_t i) const { return Dimensioned() && i >= lower && i <= Upper(); }

    // Dimensions the array as lower..lower+count−1 with empty elements.
    void Dimension(Long lowerBound, Long count) {
        dims = 1;
        lower = lowerBound;
        items_ = std::make_shared<std::vector<T>>(static_cast<std::size_t>(count));
    }
    // Dimensions the array as lowerBound.. with no element yet; elements are appended one by one.
    void DimensionEmpty(Long lowerBound) {
        dims = 1;
        lower = lowerBound;
        items_ = std::make_shared<std::vector<T>>();
    }

    const std::vector<T>& Items() const {
        static const std::vector<T> none;
        return items_ ? *items_ : none;
    }
    // The elements to change: this array's own, no longer shared with a copy.
    std::vector<T>& MutableItems() {
        if (!items_)
            items_ = std::make_shared<std::vector<T>>();
        else if (items_.use_count() > 1)
            items_ = std::make_shared<std::vector<T>>(*items_);
        return *items_;
    }

    T& at(std::int64_t i) {
        if (!Contains(i)) FailSubscript(IndexText(i));
        return MutableItems()[static_cast<std::size_t>(i - lower)];
    }
    const T& at(std::int64_t i) const {
        if (!Contains(i)) FailSubscript(IndexText(i));
        return Items()[static_cast<std::size_t>(i - lower)];
    }
    bool operator==(const DynArray& other) const {
        return dims == other.dims && lower == other.lower && Items() == other.Items();
    }

private:
    std::string IndexText(std::int64_t i) const {
        if (!Dimensioned()) return "要素番号 " + std::to_string(i) + " の配列には要素がありません。";
        return "要素番号 " + std::to_string(i) + " は " + std::to_string(lower) + "～" +
               std::to_string(Upper()) + " の範囲外です。";
    }
    std::shared_ptr<std::vector<T>> items_;
};

// --- Reader and writer -----------------------------------------------------------------------

// Where a streamed reader takes its bytes from: the file layer reads them from the file.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to `size` bytes into `buffer` and returns how many; 0 only at the end.
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t size) = 0;
};

// Reads little-endian values from a file image of a known size, either held in memory or streamed
// from a ByteSource through a small buffer (so that a large file, or the bytes after its last
// block, never have to be in memory at once). Every read checks the bytes left and throws
// DamagedFile instead of reading past the end.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size)
        : begin_(data), cur_(data), end_(data + size), size_(size) {}
    explicit ByteReader(const std::vector<std::uint8_t>& v) : ByteReader(v.data(), v.size()) {}
    // Streams `size` bytes from `source`.
    ByteReader(ByteSource& source, std::size_t size) : source_(&source), size_(size) {}
    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;

    std::size_t position() const { return consumed_ + static_cast<std::size_t>(cur_ - begin_); }
    std::size_t remaining() const { return size_ - position(); }
    void need(std::size_t n) const {
        if (n > remaining()) throw DamagedFile{};
    }
    std::uint8_t u8() {
        Have(1);
        return *cur_++;
    }
    std::uint16_t u16() {
        Have(2);
        std::uint16_t v = static_cast<std::uint16_t>(cur_[0] | (cur_[1] << 8));
        cur_ += 2;
        return v;
    }
    std::uint32_t u32() {
        Have(4);
        std::uint32_t v = static_cast<std::uint32_t>(cur_[0]) | (static_cast<std::uint32_t>(cur_[1]) << 8) |
                          (static_cast<std::uint32_t>(cur_[2]) << 16) |
                          (static_cast<std::uint32_t>(cur_[3]) << 24);
        cur_ += 4;
        return v;
    }
    void bytes(void* out, std::size_t n);
    // Reads `n` bytes and tells whether they are those at `expected`, without copying them out.
    bool Matches(const void* expected, std::size_t n);

private:
    void Have(std::size_t n) {
        if (static_cast<std::size_t>(end_ - cur_) < n) Refill(n);
    }
    // Makes at least `n` bytes (a scalar's width) available in the window, or throws DamagedFile.
    void Refill(std::size_t n);

    const std::uint8_t* begin_ = nullptr; // the window on the image: begin_ <= cur_ <= end_
    const std::uint8_t* cur_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    ByteSource* source_ = nullptr;
    std::size_t size_ = 0;
    std::size_t consumed_ = 0; // bytes of the image before begin_
    std::vector<std::uint8_t> buffer_;
};

// Where a writer puts its bytes: the file layer writes them to the file, tests collect them.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Put(const std::uint8_t* data, std::size_t size) = 0;
};

// Collects everything in memory.
class VectorSink : public ByteSink {
public:
    std::vector<std::uint8_t> bytes;
    void Put(const std::uint8_t* data, std::size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
    }
};

// Appends little-endian values through a buffer to a sink. Flush() passes on what is buffered;
// the file encoders call it at their end.
class ByteWriter {
public:
    explicit ByteWriter(ByteSink& sink) : sink_(sink) {}
    ByteWriter(const ByteWriter&) = delete;
    ByteWriter& operator=(const ByteWriter&) = delete;

    void u8(std::uint8_t v) {
        Room(1);
        buf_[used_++] = v;
    }
    void u16(std::uint16_t v) {
        Room(2);
        buf_[used_++] = static_cast<std::uint8_t>(v);
        buf_[used_++] = static_cast<std::uint8_t>(v >> 8);
    }
    void u32(std::uint32_t v) {
        Room(4);
        for (int s = 0; s < 32; s += 8)
            buf_[used_++] = static_cast<std::uint8_t>(v >> s);
    }
    void bytes(const void* p, std::size_t n);
    void Flush();

private:
    static constexpr std::size_t kBufferSize = 1 << 18;
    void Room(std::size_t n) {
        if (kBufferSize - used_ < n) Flush();
    }
    ByteSink& sink_;
    std::unique_ptr<std::uint8_t[]> buf_ = std::make_unique<std::uint8_t[]>(kBufferSize);
    std::size_t used_ = 0;
};

// A limit on the memory that decoded records may take, charged while they are read, so that a
// small file that claims millions of elements is refused before it takes the machine's memory.
class MemoryBudget {
public:
    explicit MemoryBudget(std::size_t bytes) : left_(bytes) {}
    // Throws RecordsTooLarge when `bytes` more would exceed the budget.
    void Charge(std::size_t bytes);

private:
    std::size_t left_;
};

// --- Archives --------------------------------------------------------------------------------

template <class T> struct IsFixedArray : std::false_type {};
template <class T, int N> struct IsFixedArray<FixedArray<T, N>> : std::true_type {};
template <class T> struct IsDynArray : std::false_type {};
template <class T> struct IsDynArray<DynArray<T>> : std::true_type {};
template <class T> struct IsRawBlock : std::false_type {};
template <std::size_t N> struct IsRawBlock<RawBlock<N>> : std::true_type {};

// Walks one member by its type: scalars, strings and raw blocks go to the concrete archive,
// arrays are walked element by element, records through their serialize() function.
template <class Derived> class Archive {
public:
    template <class T> void operator()(T& v) {
        auto& self = static_cast<Derived&>(*this);
        if constexpr (std::is_same_v<T, Integer> || std::is_same_v<T, Long> || std::is_same_v<T, Byte>) {
            self.scalar(v);
        } else if constexpr (std::is_same_v<T, Single> || std::is_same_v<T, Value4>) {
            self.bits32(v.bits);
        } else if constexpr (std::is_same_v<T, String>) {
            self.string(v);
        } else if constexpr (IsRawBlock<T>::value) {
            self.raw(v.bytes.data(), v.bytes.size());
        } else if constexpr (IsFixedArray<T>::value) {
            for (auto& e : v.items)
                (*this)(e);
        } else if constexpr (IsDynArray<T>::value) {
            self.dynArray(v);
        } else {
            serialize(self, v);
        }
    }
    template <class... T> void fields(T&... v) { ((*this)(v), ...); }
};

// Counts the encoded size of a record.
class SizeArchive : public Archive<SizeArchive> {
public:
    std::size_t size = 0;
    template <class T> void scalar(T&) { size += sizeof(T); }
    void bits32(std::uint32_t&) { size += 4; }
    void string(String& s) { size += 2 + s.size(); }
    void raw(std::uint8_t*, std::size_t n) { size += n; }
    template <class T> void dynArray(DynArray<T>& a) {
        size += 2;
        if (!a.Dimensioned()) return;
        size += 8;
        for (const T& e : a.Items()) // sizing changes nothing: the elements stay shared
            (*this)(const_cast<T&>(e));
    }
};

// What the strings of a record take on the heap (String::HeapCost of each).
class StringHeapArchive : public Archive<StringHeapArchive> {
public:
    std::size_t size = 0;
    template <class T> void scalar(T&) {}
    void bits32(std::uint32_t&) {}
    void string(String& s) { size += String::HeapCost(s.size()); }
    void raw(std::uint8_t*, std::size_t) {}
    template <class T> void dynArray(DynArray<T>& a) {
        for (const T& e : a.Items()) // counting changes nothing: the elements stay shared
            (*this)(const_cast<T&>(e));
    }
};

template <class T> std::size_t StringHeapOf(const T& v) {
    StringHeapArchive a;
    a(const_cast<T&>(v));
    return a.size;
}

// The smallest encoded size of a T: every string empty, every dynamic array undimensioned.
// A stored element count is checked against it before an array is dimensioned.
template <class T> std::size_t MinEncodedSize() {
    static const std::size_t size = [] {
        auto empty = std::make_unique<T>();
        SizeArchive a;
        a(*empty);
        return a.size;
    }();
    return size;
}

// Fills records from a file image. Every count and bound is checked against the bytes left, and
// charged to the memory budget when there is one, before anything is allocated.
class ReadArchive : public Archive<ReadArchive> {
public:
    explicit ReadArchive(ByteReader& r, MemoryBudget* budget = nullptr) : r_(r), budget_(budget) {}
    void scalar(Integer& v) { v = static_cast<Integer>(r_.u16()); }
    void scalar(Long& v) { v = static_cast<Long>(r_.u32()); }
    void scalar(Byte& v) { v = r_.u8(); }
    void bits32(std::uint32_t& v) { v = r_.u32(); }
    void string(String& s) {
        std::size_t n = r_.u16();
        r_.need(n);
        Charge(String::HeapCost(n));
        r_.bytes(s.Resize(n), n);
    }
    void raw(std::uint8_t* p, std::size_t n) { r_.bytes(p, n); }
    template <class T> void dynArray(DynArray<T>& a) {
        Integer dims = static_cast<Integer>(r_.u16());
        if (dims == 0) {
            a = DynArray<T>{};
            return;
        }
        if (dims != 1) throw DamagedFile{};
        Long count = static_cast<Long>(r_.u32());
        Long lower = static_cast<Long>(r_.u32());
        if (count < 0) throw DamagedFile{};
        std::int64_t upper = static_cast<std::int64_t>(lower) + count - 1;
        if (upper > std::numeric_limits<Long>::max() || upper < std::numeric_limits<Long>::min())
            throw DamagedFile{};
        if (static_cast<std::uint64_t>(count) * MinEncodedSize<T>() > r_.remaining()) throw DamagedFile{};
        Charge(static_cast<std::size_t>(count) * sizeof(T));
        a.Dimension(lower, count);
        for (auto& e : a.MutableItems())
            (*this)(e);
    }

private:
    void Charge(std::size_t bytes) {
        if (budget_) budget_->Charge(bytes);
    }
    ByteReader& r_;
    MemoryBudget* budget_;
};

// Encodes records into a writer.
class WriteArchive : public Archive<WriteArchive> {
public:
    explicit WriteArchive(ByteWriter& w) : w_(w) {}
    void scalar(Integer& v) { w_.u16(static_cast<std::uint16_t>(v)); }
    void scalar(Long& v) { w_.u32(static_cast<std::uint32_t>(v)); }
    void scalar(Byte& v) { w_.u8(v); }
    void bits32(std::uint32_t& v) { w_.u32(v); }
    void string(String& s) {
        w_.u16(static_cast<std::uint16_t>(s.size()));
        w_.bytes(s.view().data(), s.size());
    }
    void raw(std::uint8_t* p, std::size_t n) { w_.bytes(p, n); }
    template <class T> void dynArray(DynArray<T>& a) {
        w_.u16(static_cast<std::uint16_t>(a.dims));
        if (!a.Dimensioned()) return;
        w_.u32(static_cast<std::uint32_t>(a.Count()));
        w_.u32(static_cast<std::uint32_t>(a.lower));
        for (const T& e : a.Items()) // writing changes nothing: the elements stay shared
            (*this)(const_cast<T&>(e));
    }
    // Writing walks the same member list as reading; the records are not changed.
    template <class T> void write(const T& v) { (*this)(const_cast<T&>(v)); }

private:
    ByteWriter& w_;
};

// Reads a file image as ReadArchive does and tells whether it encodes the records walked, member by
// member, without building a copy of them: the first difference ends the walk with `Differs`.
class CompareArchive : public Archive<CompareArchive> {
public:
    struct Differs {};
    explicit CompareArchive(ByteReader& r) : r_(r) {}
    void scalar(Integer& v) { Expect(static_cast<Integer>(r_.u16()) == v); }
    void scalar(Long& v) { Expect(static_cast<Long>(r_.u32()) == v); }
    void scalar(Byte& v) { Expect(r_.u8() == v); }
    void bits32(std::uint32_t& v) { Expect(r_.u32() == v); }
    void string(String& s) {
        Expect(r_.u16() == s.size());
        raw(reinterpret_cast<const std::uint8_t*>(s.view().data()), s.size());
    }
    void raw(const std::uint8_t* p, std::size_t n);
    template <class T> void dynArray(DynArray<T>& a) {
        Expect(r_.u16() == static_cast<std::uint16_t>(a.dims));
        if (!a.Dimensioned()) return;
        Expect(r_.u32() == static_cast<std::uint32_t>(a.Count()));
        Expect(r_.u32() == static_cast<std::uint32_t>(a.lower));
        for (const T& e : a.Items()) // comparing changes nothing: the elements stay shared
            (*this)(const_cast<T&>(e));
    }

private:
    static void Expect(bool same) {
        if (!same) throw Differs{};
    }
    ByteReader& r_;
};

// Reads a T from the reader, or throws DamagedFile (or RecordsTooLarge with a budget).
template <class T> void DecodeRecord(ByteReader& r, T& v, MemoryBudget* budget = nullptr) {
    ReadArchive a(r, budget);
    a(v);
}

template <class T> void EncodeRecord(ByteWriter& w, const T& v) {
    WriteArchive a(w);
    a.write(v);
}

// Reads a T's encoding from the reader and compares it with `v`; throws CompareArchive::Differs at
// the first difference, DamagedFile when the image ends first.
template <class T> void ExpectRecord(ByteReader& r, const T& v) {
    CompareArchive a(r);
    a(const_cast<T&>(v));
}

} // namespace zel
