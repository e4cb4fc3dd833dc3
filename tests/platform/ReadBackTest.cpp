// Every write read back before it takes its name: the hash that proves it, and writes and copies
// whose file on disk is not what was written.
#include "platform/Platform.h"
#include "platform/Sha256.h"
#include "platform/TestSeams.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zel::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The digests of the examples of FIPS 180-4 (the second one needs two padding blocks), whether the
// bytes come at once or a few at a time.
TEST(Sha256, GivesTheDigestsOfTheStandardsExamples) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}};
    for (const auto& [text, digest] : cases)
        for (std::size_t piece : {std::size_t{1} << 20, std::size_t{63}, std::size_t{1}}) {
            Sha256 hash;
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
            for (std::size_t at = 0; at < text.size(); at += piece)
                hash.Add(bytes + at, std::min(piece, text.size() - at));
            std::string hex;
            for (std::uint8_t b : hash.Finish())
                hex += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
            EXPECT_EQ(hex, digest) << text.size() << " bytes in pieces of " << piece;
        }
}

// A write or a copy whose file holds a changed or a missing byte, whose reading back sees another
// byte, or whose content check refuses what it reads or stops before the end, takes no name: the
// target stays as it was and nothing else is left. Without a fault both go through. (A copy is held
// against its source, with no content check.)
TEST(ReadBack, AFileThatDoesNotReadBackAsWrittenTakesNoName) {
    enum Fault { None, Changed, Dropped, ReadBack, Refused, Partial };
    Bytes content(200000); // beyond one piece of the reading back
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    const Bytes old(100, 'o');
    for (Fault fault : {None, Changed, Dropped, ReadBack, Refused, Partial})
        for (auto [copy, checked] : {std::pair{false, false}, {false, true}, {true, false}}) {
            SCOPED_TRACE(testing::Message() << static_cast<int>(fault) << (copy ? " copy" : " write")
                                            << (checked ? " checked" : ""));
            test::TempDir dir;
            test::WriteBytes(dir.file("s.zel"), content);
            test::WriteBytes(dir.file("t.zel"), old);
            if (fault == Changed || fault == Dropped) InjectWrittenByteFault(150001, fault == Dropped);
            if (fault == ReadBack) InjectReadBackFault(150001);
            // As a conversion checks: every byte read back against what was meant.
            const ContentCheck check = [&](const ContentReader& read) {
                Bytes back(fault == Partial ? 1000 : content.size() + 1);
                std::size_t got = 0;
                while (const std::size_t n = read(back.data() + got, back.size() - got))
                    got += n;
                return fault != Refused && std::equal(back.begin(), back.begin() + got, content.begin());
            };
            const FileResult result =
                copy ? CopyFileNoReplace(dir.file("s.zel"), dir.file("b.zel"))
                     : ReplaceFileContents(
                           dir.file("t.zel"),
                           [&](const ContentWriter& write) { write(content.data(), content.size()); }, {},
                           checked ? check : ContentCheck{});
            InjectWrittenByteFault(UINT64_MAX, false);
            InjectReadBackFault(UINT64_MAX);
            const bool written = fault == None || (!checked && (fault == Refused || fault == Partial));
            EXPECT_EQ(result.error ? result.error->code : 0, written ? 0 : code::Unverified);
            test::Snapshot expected{{"s.zel", content}, {"t.zel", written && !copy ? content : old}};
            if (written && copy) expected["b.zel"] = content;
            EXPECT_EQ(test::SnapshotOf(dir.path()), expected);
        }
    EXPECT_EQ(DescribeError(code::Unverified), "書き込んだ内容を確認できませんでした。");
}

} // namespace
} // namespace zel::platform
