// Every member survives a read and a write with its exact bits, and a cut or inflated body is
// refused without reading past its end.
#include "RecordHelpers.h"
#include "support/Samples.h"
#include "usrdata/Main101Module.h"
#include "usrdata/Main102Module.h"

#include <gtest/gtest.h>

using namespace zel;
using namespace zel::test;

namespace {

template <class T> void ExpectRoundTrip(unsigned seed) {
    auto original = std::make_unique<T>();
    FillArchive fill(seed);
    fill(*original);
    auto bytes = Encode(*original);
    auto back = std::make_unique<T>();
    ByteReader r(bytes);
    DecodeRecord(r, *back);
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_TRUE(*back == *original) << "seed " << seed;
    EXPECT_EQ(Encode(*back), bytes) << "seed " << seed;
}

} // namespace

TEST(RoundTrip, RandomRecordsComeBackBitForBit) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        ExpectRoundTrip<Main101>(seed);
        ExpectRoundTrip<Main102>(seed);
        ExpectRoundTrip<TailRecord>(seed);
    }
}

TEST(RoundTrip, EveryCutOfABodyIsRefused) {
    auto file = test::MakeOldFile(1, 0);
    const std::vector<std::uint8_t> body(file.begin() + 64, file.end());
    for (std::size_t cut = 0; cut < body.size(); ++cut) {
        ByteReader r(body.data(), cut);
        auto parsed = std::make_unique<Body101>();
        ASSERT_THROW(DecodeBody101(r, *parsed, true), DamagedFile) << "cut at " << cut;
    }
    ByteReader whole(body);
    auto parsed = std::make_unique<Body101>();
    EXPECT_NO_THROW(DecodeBody101(whole, *parsed, true));
}
