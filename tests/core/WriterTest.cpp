// The two writers and the project upgrade: what lands in the target, and that a failure never
// leaves a half-written or changed target behind.
#include "platform/Platform.h"
#include "support/Samples.h"
#include "support/TestSupport.h"
#include "upgrade/Set102Module.h"
#include "usrdata/LoadReadModule.h"
#include "usrdata/Signatures.h"

#include <gtest/gtest.h>

using namespace zel;
using test::Shown;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Reads `source` and writes it to `target` the way the conversion does: 1.01 first for a 1.00 file.
bool Convert(WorkingSet& ws, const std::string& source, const std::string& target,
             test::RecordingMessages& m) {
    if (LoadUsrData(ws, source, m) != kLoadOldFormat) return false;
    if (ws.LastSignature == kSignature100 && !Write101(ws, target, m)) return false;
    return Write102(ws, target, m) == 1;
}

std::unique_ptr<Body102> Parse102(const Bytes& file) {
    EXPECT_EQ(std::string(file.begin(), file.begin() + 64), kSignature102);
    auto body = std::make_unique<Body102>();
    ByteReader r(file.data() + 64, file.size() - 64);
    DecodeBody102(r, *body);
    EXPECT_EQ(r.remaining(), 0u);
    return body;
}

int BuildFailure(const Main101& old) {
    auto out = std::make_unique<Main102>();
    try {
        BuildMain102(old, *out);
    } catch (const ConversionFailure& f) {
        return f.code();
    }
    return 0;
}

} // namespace

TEST(Writers, A100FileBecomes101ThenACompleted102File) {
    test::TempDir dir;
    const Bytes source = test::MakeOldFile(0, 3);
    test::WriteBytes(dir.file("a.zel"), source);
    WorkingSet ws;
    test::RecordingMessages m;
    ASSERT_EQ(LoadUsrData(ws, dir.file("a.zel"), m), kLoadOldFormat);
    ASSERT_EQ(Write101(ws, dir.file("a.zel"), m), 1);
    Bytes expected101 = source;
    expected101[22] = '1';
    expected101.insert(expected101.end(), {0xCD, 0xCC, 0x8C, 0x3F, 0x66, 0x66, 0x66, 0x3F});
    EXPECT_EQ(test::ReadBytes(dir.file("a.zel")), expected101);

    ASSERT_EQ(Write102(ws, dir.file("a.zel"), m), 1);
    EXPECT_TRUE(m.shown.empty());
    Bytes file = test::ReadBytes(dir.file("a.zel"));
    EXPECT_EQ(Bytes(file.end() - 4, file.end()), (Bytes{0, 0, 0, 0})); // WordPair
    auto body = Parse102(file);
    const Main102& n = body->main;
    EXPECT_EQ(n.AnchorCount, 3);
    for (Long count : {n.Anchors.Count(), n.Extras.Count(), n.CycleTables.Count()})
        EXPECT_EQ(count, 3);
    EXPECT_EQ(n.Anchors.lower, 1);
    EXPECT_EQ(n.CycleTables.lower, 1);
    EXPECT_TRUE(n.ListA == ws.main101.ListA);
    EXPECT_TRUE(n.ListB == ws.main101.ListB); // stored as 0..2, kept
    EXPECT_TRUE(n.Tail == ws.main101.Tail);
    EXPECT_EQ(n.Extras.at(3), AnchorExtra{});
    EXPECT_EQ(n.CurrentExtra, AnchorExtra{});
    EXPECT_EQ(n.CycleTables.at(1).Levels.at(4).Value, 120); // anchor 1: multi-cycle, 3 cycles
    EXPECT_EQ(n.CycleTables.at(1).Cycles.at(3).SecondSteps.at(1).List.PointCount, 2);
    EXPECT_EQ(n.CycleTables.at(2).Levels.at(1).Value, 60); // anchor 2: one cycle
    EXPECT_EQ(n.Anchors.at(1).TypeInfo.AnchorTypeCode, 4);
    EXPECT_EQ(n.Anchors.at(2).TypeInfo.AnchorTypeCode, 5);
    EXPECT_TRUE(body->fixedBlock == ws.fixedBlock);
    EXPECT_EQ(body->factorPair.HighFactor.bits, 0x3F8CCCCDu);
}

TEST(Writers, ProjectUpgradeBoundsAndCounts) {
    WorkingSet ws;
    Main101& old = ws.main101;
    old.Anchors.Dimension(1, 1);
    old.Anchors.at(1).HeadText = String::FromText("唯一");
    old.Anchors.at(1).Cycle.CycleCount = 2;
    auto n = std::make_unique<Main102>();
    BuildMain102(old, *n); // N = 0 with one old element
    EXPECT_EQ(n->Anchors.Count(), 1);
    EXPECT_EQ(n->Anchors.at(1).HeadText, old.Anchors.at(1).HeadText);
    EXPECT_EQ(n->Extras.Count(), 1);
    ASSERT_EQ(n->CycleTables.Count(), 1);
    EXPECT_EQ(n->CycleTables.at(1), CycleTable{}); // stays zero although the anchor was converted

    old.AnchorCount = 2; // more than the old array holds
    EXPECT_EQ(BuildFailure(old), platform::code::SubscriptOutOfRange);
    old.AnchorCount = 30000; // fails at anchor 2 without allocating for 30000 first
    EXPECT_EQ(BuildFailure(old), platform::code::SubscriptOutOfRange);
    old.AnchorCount = -1;
    EXPECT_EQ(BuildFailure(old), platform::code::SubscriptOutOfRange);
    old.AnchorCount = 40000;
    EXPECT_EQ(BuildFailure(old), platform::code::Overflow);
    old.AnchorCount = 1;
    old.Anchors.lower = 0; // stored as 0..N−1: element N is missing
    EXPECT_EQ(BuildFailure(old), platform::code::SubscriptOutOfRange);
    old.Anchors = {};
    old.AnchorCount = 0; // no element 1 at all
    EXPECT_EQ(BuildFailure(old), platform::code::SubscriptOutOfRange);
}

TEST(Writers, FailuresLeaveTheTargetAsItWas) {
    test::TempDir dir;
    const std::string target = dir.file("t.zel");
    const Bytes previous(200000, 0x5A);
    WorkingSet ws;
    test::RecordingMessages m;
    test::WriteBytes(dir.file("bad.zel"), test::MakeOldFile(1, 2, 2));
    ASSERT_EQ(LoadUsrData(ws, dir.file("bad.zel"), m), kLoadOldFormat);

    // A failing build: anchor 2 has 11 steps. The message says where.
    test::WriteBytes(target, previous);
    EXPECT_EQ(Write102(ws, target, m), 0);
    ASSERT_EQ(m.shown.size(), 1u);
    EXPECT_EQ(m.shown[0].kind, Shown::Warning);
    EXPECT_TRUE(m.shown[0].text.starts_with(platform::DescribeError(platform::code::SubscriptOutOfRange) +
                                            "\r2 番目"))
        << m.shown[0].text;
    EXPECT_EQ(test::ReadBytes(target), previous);

    // A longer target is replaced by exactly the new bytes.
    m.shown.clear();
    ASSERT_EQ(Write101(ws, target, m), 1);
    const Bytes written101 = test::ReadBytes(target);
    EXPECT_LT(written101.size(), previous.size());

    // A full disk: the advice to use another disk, and the target unchanged.
    platform::InjectWriteFault(platform::code::DiskFull);
    EXPECT_EQ(Write101(ws, target, m), 0);
    platform::InjectWriteFault(platform::code::DiskFull, 0);
    ASSERT_EQ(m.shown.size(), 1u);
    EXPECT_EQ(m.shown[0], (Shown{Shown::Warning, platform::DescribeError(platform::code::DiskFull) +
                                                     "\r別のディスクへ保存してください"}));
    EXPECT_EQ(test::ReadBytes(target), written101);

    // A read-only target.
    m.shown.clear();
    std::filesystem::permissions(test::PathFromUtf8(target), std::filesystem::perms::owner_read |
                                                                 std::filesystem::perms::group_read |
                                                                 std::filesystem::perms::others_read);
    EXPECT_EQ(Write101(ws, target, m), 0);
    EXPECT_EQ(m.shown,
              (std::vector<Shown>{{Shown::Warning, "指定したファイル(またはフォルダ)は読み取り専用です\r"
                                                   "別のファイル(またはフォルダ)名を指定してください"}}));
    EXPECT_EQ(test::ReadBytes(target), written101);
    EXPECT_EQ(test::ListFolder(dir.path()),
              (std::vector<std::string>{"bad.zel", "t.zel"})); // no temporary file
}

TEST(Writers, EachConversionStandsAlone) {
    test::TempDir dir;
    test::WriteBytes(dir.file("one.zel"), test::MakeOldFile(1, 3));
    test::WriteBytes(dir.file("two.zel"), test::MakeOldFile(0, 1));
    test::RecordingMessages m;
    WorkingSet shared;
    ASSERT_TRUE(Convert(shared, dir.file("one.zel"), dir.file("one-out.zel"), m));
    ASSERT_TRUE(Convert(shared, dir.file("two.zel"), dir.file("two-after.zel"), m));
    WorkingSet fresh;
    ASSERT_TRUE(Convert(fresh, dir.file("two.zel"), dir.file("two-alone.zel"), m));
    EXPECT_EQ(test::ReadBytes(dir.file("two-after.zel")), test::ReadBytes(dir.file("two-alone.zel")));
}

// The sample files beside the project, converted in place, give the bytes that an independent
// implementation of the format gives. Skipped where the samples are not there.
TEST(Writers, SampleFilesConvertToTheirExpectedBytes) {
    const std::filesystem::path samples = ZEL_SAMPLES_DIR;
    if (!std::filesystem::exists(samples / "two-anchors-100.zel")) GTEST_SKIP() << "no sample files here";
    struct Case {
        const char* source;
        const char* expected;
        bool converts;
    };
    const Case cases[] = {{"two-anchors-100", "two-anchors-100.expected-102.zel", true},
                          {"no-anchors-101", "no-anchors-101.expected-102.zel", true},
                          {"step-count-11-100", "step-count-11-100.expected-101.zel", false}};
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        std::string name = dir.file(std::string(c.source) + ".zel");
        std::filesystem::copy_file(samples / (std::string(c.source) + ".zel"), test::PathFromUtf8(name));
        std::filesystem::permissions(test::PathFromUtf8(name), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        WorkingSet ws;
        test::RecordingMessages m;
        EXPECT_EQ(Convert(ws, name, name, m), c.converts);
        auto expectedName = (samples / c.expected).u8string();
        EXPECT_EQ(test::ReadBytes(name),
                  test::ReadBytes(std::string(expectedName.begin(), expectedName.end())));
    }
    WorkingSet ws;
    test::RecordingMessages m;
    auto truncated = (samples / "truncated-101.zel").u8string();
    EXPECT_EQ(LoadUsrData(ws, std::string(truncated.begin(), truncated.end()), m), kLoadRefused);
}
