// libFuzzer target: the input is a whole user-data file held in memory. Its first 64 bytes choose
// the reader as LoadUsrData chooses it; a body that reads completely must then survive the whole
// conversion:
//  - a 1.00/1.01 body, written again by the 1.01 writer, gives back exactly the bytes it was read
//    from (the 1.00 signature differs only in its byte 22, and 1.00 has no factor pair);
//  - the 1.02 record built from it either fails with one of the two conversion codes, or writes a
//    1.02 file that reads back to the same records, consuming every byte;
//  - a 1.02 body written again gives back exactly the bytes it was read from.
// A damaged body must be refused with DamagedFile; any other exception, sanitizer report or
// mismatch is a finding.
#include "fileops/LoadReadModule.h"
#include "platform/Platform.h"
#include "upgrade/Set102Module.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

using namespace zel;

namespace {

constexpr std::size_t kVersionByte = 22; // where the three signatures differ
constexpr std::size_t kFactorPairSize = 8;

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    return n == 0 || std::memcmp(a, b, n) == 0;
}

// The text comparisons of the upgrade on arbitrary bytes: they must agree with the decoder, and a
// text that decodes must equal and contain itself.
void CheckText(const String& s) {
    auto decoded = platform::DecodeCp932(s.bytes);
    Require(decoded.has_value() == TextContains(s, ""));
    if (!decoded) {
        Require(!TextEquals(s, kMultiCycle) && !TextContains(s, kSslPermanentAnchor));
        return;
    }
    Require(TextEquals(s, *decoded) && TextContains(s, *decoded));
    Require(TextContains(s, kSslPermanentAnchor) ==
            (decoded->find(kSslPermanentAnchor) != std::string::npos));
    Require(TextEquals(s, kOneCycle) == (*decoded == kOneCycle));
}

template <class AnchorT> void CheckAnchorTexts(const AnchorT& a) {
    CheckText(a.TestMethod);
    CheckText(a.TypeInfo.AnchorTypeName);
    if (a.Entries.Count() > 0) CheckText(a.Entries.items.front().EntryText1);
}

template <class MainT> void CheckTexts(const MainT& m) {
    CheckText(m.Text1);
    CheckAnchorTexts(m.CurrentAnchor);
    if (m.Anchors.Count() > 0) CheckAnchorTexts(m.Anchors.items.front());
    if (m.ListA.Count() > 0) CheckText(m.ListA.items.back());
}

// The shape of a built 1.02 record: anchors, extras and cycle tables 1..N (1..1 for no anchor),
// and everything the upgrade carries over unchanged.
void CheckBuiltShape(const Main101& old, const Main102& built) {
    const Long expected = old.AnchorCount == 0 ? 1 : old.AnchorCount;
    for (auto lower : {built.Anchors.lower, built.Extras.lower, built.CycleTables.lower})
        Require(lower == 1);
    Require(built.Anchors.Count() == expected && built.Extras.Count() == expected &&
            built.CycleTables.Count() == expected);
    Require(built.AnchorCount == old.AnchorCount && built.Code == old.Code && built.Setting == old.Setting);
    Require(built.ListA == old.ListA && built.ListB == old.ListB && built.Tail == old.Tail);
    Require(built.CurrentAnchor.Entries.Count() ==
            (old.CurrentAnchor.EntryCount == 0 ? 1 : Long{old.CurrentAnchor.EntryCount}));
}

// Upgrades the parsed record, writes it as 1.02 and reads that back.
void CheckUpgrade(WorkingSet& ws) {
    try {
        BuildMain102(ws.main101, ws.main102);
    } catch (const ConversionFailure& failure) {
        Require(failure.code() == platform::code::Overflow ||
                failure.code() == platform::code::SubscriptOutOfRange);
        Require(!failure.detail().empty());
        return;
    }
    CheckBuiltShape(ws.main101, ws.main102);
    ws.wordPair = WordPair{};
    VectorSink sink;
    EncodeFile102(sink, ws.main102, ws.fixedBlock, ws.factorPair, ws.wordPair);
    const std::vector<std::uint8_t>& image = sink.bytes;
    Require(
        image.size() > kSignatureSize &&
        SameBytes(image.data(), reinterpret_cast<const std::uint8_t*>(kSignature102.data()), kSignatureSize));

    auto back = std::make_unique<Body102>();
    ByteReader reader(image.data() + kSignatureSize, image.size() - kSignatureSize);
    try {
        DecodeBody102(reader, *back);
    } catch (const DamagedFile&) {
        __builtin_trap(); // the writer wrote something its own reader refuses
    }
    Require(reader.remaining() == 0);
    Require(back->main == ws.main102 && back->fixedBlock == ws.fixedBlock &&
            back->factorPair == ws.factorPair && back->wordPair == ws.wordPair);
}

void CheckOld(const std::uint8_t* data, std::size_t size, FileVersion version) {
    const bool withFactors = version == FileVersion::V101;
    auto body = std::make_unique<Body101>();
    ByteReader reader(data + kSignatureSize, size - kSignatureSize);
    MemoryBudget budget(DecodingBudget(size));
    try {
        DecodeBody101(reader, version, *body, &budget);
    } catch (const DamagedFile&) {
        return;
    } catch (const RecordsTooLarge&) {
        return;
    }
    const std::size_t consumed = kSignatureSize + reader.position();

    auto ws = std::make_unique<WorkingSet>();
    ws->main101 = std::move(body->main);
    ws->fixedBlock = body->fixedBlock;
    if (withFactors) ws->factorPair = body->factorPair;
    CheckTexts(ws->main101);

    VectorSink sink;
    EncodeFile101(sink, FileVersion::V101, ws->main101, ws->fixedBlock, ws->factorPair);
    std::vector<std::uint8_t>& image = sink.bytes;
    // A 1.00 source lacks the factor pair at the end, which the 1.01 writer always writes.
    const std::size_t tail = withFactors ? 0 : kFactorPairSize;
    Require(image.size() == consumed + tail);
    if (!withFactors) image[kVersionByte] = '0';
    Require(SameBytes(image.data(), data, consumed));

    CheckUpgrade(*ws);
}

void CheckCurrent(const std::uint8_t* data, std::size_t size) {
    auto body = std::make_unique<Body102>();
    ByteReader reader(data + kSignatureSize, size - kSignatureSize);
    MemoryBudget budget(DecodingBudget(size));
    try {
        DecodeBody102(reader, *body, &budget);
    } catch (const DamagedFile&) {
        return;
    } catch (const RecordsTooLarge&) {
        return;
    }
    const std::size_t consumed = kSignatureSize + reader.position();

    auto ws = std::make_unique<WorkingSet>();
    ws->main102 = std::move(body->main);
    ws->fixedBlock = body->fixedBlock;
    ws->factorPair = body->factorPair;
    ws->wordPair = body->wordPair;
    CheckTexts(ws->main102);

    VectorSink sink;
    EncodeFile102(sink, ws->main102, ws->fixedBlock, ws->factorPair, ws->wordPair);
    const std::vector<std::uint8_t>& image = sink.bytes;
    Require(image.size() == consumed && SameBytes(image.data(), data, consumed));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kSignatureSize) return 0;
    const FileVersion version = DetectVersion(std::string_view(reinterpret_cast<const char*>(data), size));
    if (version == FileVersion::V100 || version == FileVersion::V101)
        CheckOld(data, size, version);
    else if (version == FileVersion::V102)
        CheckCurrent(data, size);
    return 0;
}
