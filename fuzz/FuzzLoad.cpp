// libFuzzer target: a whole user-data file in memory, read as LoadUsrData reads it (same budget). A
// body that reads must be written again to exactly the bytes it was read from; an old one's upgrade
// must fail with one of its two codes or write a 1.02 file that reads back to the same records. A
// damaged or oversized body is refused; any other exception, sanitizer report or mismatch is a finding.
#include "fileops/LoadReadModule.h"
#include "platform/Platform.h"
#include "upgrade/Set102Module.h"

#include <algorithm>
#include <memory>
#include <type_traits>

using namespace zel;

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

// Decodes a body of `version` as the reader does: the bytes it takes with the signature, or 0 if refused.
template <class Body>
std::size_t Read(const std::uint8_t* data, std::size_t size, FileVersion version, Body& body) {
    ByteReader reader(data + kSignatureSize, size - kSignatureSize);
    MemoryBudget budget(ConversionBudget(size));
    try {
        if constexpr (std::is_same_v<Body, Body102>)
            DecodeBody102(reader, body, &budget);
        else
            DecodeBody101(reader, version, body, &budget);
    } catch (const DamagedFile&) {
        return 0;
    } catch (const RecordsTooLarge&) {
        return 0;
    }
    return kSignatureSize + reader.position();
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
    Require(Read(sink.bytes.data(), sink.bytes.size(), FileVersion::V102, *back) == sink.bytes.size());
    Require(back->main == *built && back->fixedBlock == old.fixedBlock);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FileVersion version = DetectVersion(std::string_view(reinterpret_cast<const char*>(data), size));
    VectorSink sink;
    std::size_t consumed = 0;
    if (version == FileVersion::V100 || version == FileVersion::V101) {
        auto body = std::make_unique<Body101>();
        consumed = Read(data, size, version, *body);
        if (consumed == 0) return 0;
        EncodeFile101(sink, version, body->main, body->fixedBlock, body->factorPair);
        CheckUpgrade(*body);
    } else if (version == FileVersion::V102) {
        auto body = std::make_unique<Body102>();
        consumed = Read(data, size, version, *body);
        if (consumed == 0) return 0;
        EncodeFile102(sink, body->main, body->fixedBlock, body->factorPair, body->wordPair);
    }
    Require(std::equal(sink.bytes.begin(), sink.bytes.end(), data, data + consumed));
    return 0;
}
