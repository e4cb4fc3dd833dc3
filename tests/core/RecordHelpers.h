// Encoding and decoding single records, filling any record with random member values and changing
// one member of it, all through the record's own member list.
#pragma once

#include "usrdata/FileImage.h"

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
    std::mt19937& rng() { return rng_; }

private:
    std::mt19937 rng_;
};

// Changes the member with the number `target` (counting every scalar, string, plain block and array
// header in member-list order) and tells whether it lies in an anchor's data body, which the
// upgrade to 1.02 drops. Walked without a target, it counts the members.
class ChangeArchive : public Archive<ChangeArchive> {
public:
    explicit ChangeArchive(std::size_t target = SIZE_MAX) : target_(target) {}
    std::size_t count = 0;
    bool inDataBody = false;

    template <class T> void scalar(T& v) {
        if (Hit()) v = static_cast<T>(v ^ 1);
    }
    void bits32(std::uint32_t& v) {
        if (Hit()) v ^= 1u;
    }
    void string(String& s) {
        if (Hit()) s.bytes += 'x';
    }
    void raw(std::uint8_t* p, std::size_t n) {
        if (!Hit()) return;
        p[n - 1] ^= 1u;
        // The data body is made of 888-byte units and a 64-byte rest; no other old block has these sizes.
        inDataBody = n == sizeof(DataUnit{}.Bytes.bytes) || n == sizeof(DataBlock{}.DataRest.bytes);
    }
    template <class T> void dynArray(DynArray<T>& a) {
        if (Hit()) {
            if (a.Dimensioned())
                a.lower += 1;
            else
                a.DimensionEmpty(1);
        }
        for (auto& e : a.items)
            (*this)(e);
    }

private:
    bool Hit() { return count++ == target_; }
    std::size_t target_;
};

template <class T> std::vector<std::uint8_t> Encode(const T& v) {
    VectorSink sink;
    ByteWriter w(sink);
    EncodeRecord(w, v);
    w.Flush();
    return std::move(sink.bytes);
}

} // namespace zel::test
