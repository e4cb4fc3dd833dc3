#include "usrdata/FileImage.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace zel {

std::size_t ConversionBudget(std::uint64_t fileSize) {
    constexpr std::uint64_t kRoom = 48u << 20;
    const std::uint64_t budget = fileSize > (UINT64_MAX - kRoom) / 4 ? UINT64_MAX : 4 * fileSize + kRoom;
    return static_cast<std::size_t>(std::min<std::uint64_t>(budget, SIZE_MAX));
}

void DecodeBody101(ByteReader& r, FileVersion version, Body101& body, MemoryBudget* budget) {
    if (version != FileVersion::V100 && version != FileVersion::V101)
        throw std::invalid_argument("not an old format");
    DecodeRecord(r, body.main, budget);
    DecodeRecord(r, body.fixedBlock);
    if (version == FileVersion::V101) DecodeRecord(r, body.factorPair);
}

void DecodeBody102(ByteReader& r, Body102& body, MemoryBudget* budget) {
    DecodeRecord(r, body.main, budget);
    DecodeRecord(r, body.fixedBlock);
    DecodeRecord(r, body.factorPair);
    DecodeRecord(r, body.wordPair);
}

namespace {

void PutSignature(ByteWriter& w, FileVersion version) {
    const std::string_view signature = SignatureOf(version);
    w.bytes(signature.data(), signature.size());
}

} // namespace

void EncodeFile101(ByteSink& sink, FileVersion version, const Main101& main, const FixedBlock& fixedBlock,
                   const FactorPair& factorPair) {
    if (version != FileVersion::V100 && version != FileVersion::V101)
        throw std::invalid_argument("not an old format");
    ByteWriter w(sink);
    PutSignature(w, version);
    EncodeRecord(w, main);
    EncodeRecord(w, fixedBlock);
    if (version == FileVersion::V101) EncodeRecord(w, factorPair);
    w.Flush();
}

void EncodeFile102(ByteSink& sink, const Main102& main, const FixedBlock& fixedBlock,
                   const FactorPair& factorPair, const WordPair& wordPair) {
    ByteWriter w(sink);
    PutSignature(w, FileVersion::V102);
    EncodeRecord(w, main);
    EncodeRecord(w, fixedBlock);
    EncodeRecord(w, factorPair);
    EncodeRecord(w, wordPair);
    w.Flush();
}

namespace {

// Whether `compare` finds the records after the signature of `version`, and the image ends with them.
template <class Compare> bool Encodes(ByteReader& r, FileVersion version, Compare compare) {
    try {
        char head[kSignatureSize];
        r.bytes(head, kSignatureSize);
        if (std::string_view(head, kSignatureSize) != SignatureOf(version)) return false;
        compare();
        return r.remaining() == 0;
    } catch (const DamagedFile&) {
    } catch (const CompareArchive::Differs&) {
    }
    return false;
}

} // namespace

bool EncodesFile101(ByteReader& r, FileVersion version, const Main101& main, const FixedBlock& fixedBlock,
                    const FactorPair& factorPair) {
    return Encodes(r, version, [&] {
        ExpectRecord(r, main);
        ExpectRecord(r, fixedBlock);
        if (version == FileVersion::V101) ExpectRecord(r, factorPair);
    });
}

bool EncodesFile102(ByteReader& r, const Main102& main, const FixedBlock& fixedBlock,
                    const FactorPair& factorPair, const WordPair& wordPair) {
    return Encodes(r, FileVersion::V102, [&] {
        ExpectRecord(r, main);
        ExpectRecord(r, fixedBlock);
        ExpectRecord(r, factorPair);
        ExpectRecord(r, wordPair);
    });
}

} // namespace zel
