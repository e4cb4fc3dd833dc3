// libFuzzer target: a whole user-data file in memory, read as LoadUsrData reads it (same budget). A
// body that reads must be written again to exactly the bytes it was read from; an old one's upgrade
// must fail with one of its two codes or write a 1.02 file that reads back to the same records. A
// damaged or oversized body is refused; any other exception, sanitizer report or mismatch is a finding.
#include "fileops/LoadReadModule.h"
#include "platform/Platform.h"
#include "upgrade/Set102Module.h"

#include <cstring>
#include <memory>

using namespace zel;

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

// Decodes a body as the reader does; false when it is refused.
template <class Body, class Decode>
bool Read(const std::uint8_t* data, std::size_t size, Body& body, Decode decode, std::size_t& consumed) {
    ByteReader reader(data + kSignatureSize, size - kSignatureSize);
    MemoryBudget budget(ConversionBudget(size));
    try {
        decode(reader, body, &budget);
    } catch (const DamagedFile&) {
        return false;
    } catch (const RecordsTooLarge&) {
        return false;
    }
    consumed = kSignatureSize + reader.position();
    return true;
}

void Decode102(ByteReader& reader, Body102& body, MemoryBudget* budget) {
    DecodeBody102(reader, body, budget);
}

void CheckUpgrade(const Body101& old) {
    auto built = std::make_unique<Main102>();
    try {
        BuildMain102(old.main, *built);
    } catch (const ConversionFailure& failure) {
        Require((failure.code() == platform::code::Overflow ||
                 failure.code() == platform::code::SubscriptOutOfRange) &&
                !failure.detail().empty());
        return;
    }
    VectorSink sink;
    EncodeFile102(sink, *built, old.fixedBlock, old.factorPair, WordPair{});
    auto back = std::make_unique<Body102>();
    std::size_t consumed = 0;
    Require(Read(sink.bytes.data(), sink.bytes.size(), *back, Decode102, consumed));
    Require(consumed == sink.bytes.size() && back->main == *built && back->fixedBlock == old.fixedBlock);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FileVersion version = DetectVersion(std::string_view(reinterpret_cast<const char*>(data), size));
    std::size_t consumed = 0;
    if (version == FileVersion::V100 || version == FileVersion::V101) {
        auto body = std::make_unique<Body101>();
        auto decode = [version](ByteReader& r, Body101& b, MemoryBudget* m) {
            DecodeBody101(r, version, b, m);
        };
        if (!Read(data, size, *body, decode, consumed)) return 0;
        VectorSink sink;
        EncodeFile101(sink, version, body->main, body->fixedBlock, body->factorPair);
        Require(sink.bytes.size() == consumed && std::memcmp(sink.bytes.data(), data, consumed) == 0);
        CheckUpgrade(*body);
    } else if (version == FileVersion::V102) {
        auto body = std::make_unique<Body102>();
        if (!Read(data, size, *body, Decode102, consumed)) return 0;
        VectorSink sink;
        EncodeFile102(sink, body->main, body->fixedBlock, body->factorPair, body->wordPair);
        Require(sink.bytes.size() == consumed && std::memcmp(sink.bytes.data(), data, consumed) == 0);
    }
    return 0;
}
