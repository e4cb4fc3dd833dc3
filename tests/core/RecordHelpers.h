// Encoding and decoding single records, and filling any record with random member values
// through its own member list.
#pragma once

#include "usrdata/ByteIO.h"

#include <random>

namespace zel::test {

// Walks a record's member list and fills every member with random bits: NaN patterns, strings
// with duplicate-mapped and invalid code page 932 bytes, arrays with lower bounds 0 and 5 and
// arrays never dimensioned.
class FillArchive : public Archive<FillArchive> {
public:
    explicit FillArchive(unsigned seed) : rng_(seed) {}
    template <class T> void scalar(T& v) { v = static_cast<T>(rng_()); }
    void bits32(std::uint32_t& v) {
        static const std::uint32_t nans[] = {0x7FC00000u, 0x7F800001u, 0xFFFFFFFFu, 0x80000000u};
        v = rng_() % 4 == 0 ? nans[rng_() % 4] : static_cast<std::uint32_t>(rng_());
    }
    void string(String& s) {
        static const std::string pieces[] = {"",    "\xED\x40", "\xFA\x5C", "\x83\x53",
                                             "SSL", "\xFF",     "\x81",     "abc"};
        s.bytes.clear();
        for (int i = static_cast<int>(rng_() % 4); i > 0; --i)
            s.bytes += pieces[rng_() % 8];
    }
    void raw(std::uint8_t* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            p[i] = static_cast<std::uint8_t>(rng_());
    }
    template <class T> void dynArray(DynArray<T>& a) {
        if (rng_() % 4 == 0) {
            a = DynArray<T>{};
            return;
        }
        a.Dimension(rng_() % 2 ? 0 : 5, static_cast<Long>(rng_() % 3));
        for (auto& e : a.items)
            (*this)(e);
    }

private:
    std::mt19937 rng_;
};

template <class T> std::vector<std::uint8_t> Encode(const T& v) {
    ByteWriter w;
    EncodeRecord(w, v);
    return w.buffer();
}

// Decodes a T that must take up all of `bytes`.
template <class T> T Decode(const std::vector<std::uint8_t>& bytes) {
    ByteReader r(bytes);
    T v{};
    DecodeRecord(r, v);
    if (r.remaining() != 0) throw std::logic_error("bytes left after the record");
    return v;
}

} // namespace zel::test
