// Reading a source and writing the targets: every refusal with its message and what lands in the
// target. How failing writes leave the target is tested with the workflow.
#include "fileops/LoadReadModule.h"
#include "platform/Platform.h"
#include "support/SampleFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace zel;
using test::Shown;

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kNotData = "カルトゥーバのデータではありません。ファイル形式が違います。\r\r     ";
const std::string kDamaged = "ファイルが壊れているため変換できません。\r\r     ";
const std::string kMemory = "メモリが不足しています。\r\r     ";
const std::string kReadOnly =
    "指定したファイル(またはフォルダ)は読み取り専用です\r別のファイル(またはフォルダ)名を指定してください";

Bytes WithSignature(std::string_view signature, Bytes body = {}) {
    Bytes file(signature.begin(), signature.end());
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

struct Files : ::testing::Test {
    test::TempDir dir;
    WorkingSet ws;
    test::RecordingMessages messages;
    std::string Put(const std::string& leaf, const Bytes& bytes) {
        test::WriteBytes(dir.file(leaf), bytes);
        return dir.file(leaf);
    }
    void TearDown() override {
        platform::InjectWriteFault(0, 0);
        platform::InjectReadFault(0);
    }
};

TEST_F(Files, RefusedSourcesChangeNothing) {
    const Bytes good = test::SampleFile(FileVersion::V101, {.anchorCount = 1});
    std::string lower(kSignature100);
    lower[0] = 't';
    std::filesystem::create_directory(dir.path() / "folder.zel");
    const Bytes truncated(good.begin(), good.end() - 1);
    struct Case {
        std::string name;
        std::string text; // @: the name
        bool readFault = false;
    };
    const Case cases[] = {
        {"", "ファイルを指定してください"},
        {dir.file("missing.zel"), "フォルダが見つかりませんでした\rファイル名：@"},
        {dir.file("folder.zel"), "フォルダが見つかりませんでした\rファイル名：@"},
        {Put("foreign.zel", Bytes(5000, 'x')), kNotData + "@"},
        {Put("case.zel", WithSignature(lower, good)), kNotData + "@"},
        {Put("short.zel", WithSignature(kSignature101.substr(0, 63))), kNotData + "@"},
        {Put("locked.zel", good), kNotData + "@", true},
        {Put("cut.zel", truncated), kDamaged + "@"},
        // Two megabytes claiming a million strings: refused before they take the memory (the records
        // of a file may take 1.5 times its size and 16 MB).
        {Put("strings.zel", test::ManyEmptyStrings(FileVersion::V101, 1000000)), kMemory + "@"},
    };
    ASSERT_EQ(LoadUsrData(ws, Put("good.zel", good), messages), LoadResult::OldFormat);
    const Main101 before = ws.main101;
    for (const Case& c : cases) {
        messages.shown.clear();
        platform::InjectReadFault(c.readFault ? 1 : 0);
        EXPECT_EQ(LoadUsrData(ws, c.name, messages), LoadResult::Refused) << c.name;
        std::string text = c.text;
        if (auto at = text.find('@'); at != std::string::npos) text.replace(at, 1, c.name);
        EXPECT_EQ(messages.shown, (std::vector<Shown>{{Shown::Warning, text}})) << c.name;
        EXPECT_EQ(ws.LastSignature, FileVersion::V101) << c.name;
        EXPECT_TRUE(ws.main101 == before) << c.name;
    }
}

// Twelve anchors: the files are larger than the writer's buffer, which is passed on more than once.
TEST_F(Files, A100FileBecomesItself101AndThenA102FileAndTheNextStandsAlone) {
    const auto project = test::SampleProject({.anchorCount = 12});
    const std::string name = Put("a.zel", test::FileBytes(FileVersion::V100, *project));
    ws.factorPair.HighFactor = Single{0x12345678};
    ASSERT_EQ(LoadUsrData(ws, name, messages), LoadResult::OldFormat);
    EXPECT_TRUE(ws.LastSignature == FileVersion::V100 && ws.factorPair.HighFactor.bits == 0x12345678u);
    ASSERT_EQ(Write101(ws, name, messages), WriteResult::Written);
    auto as101 = std::make_unique<Body101>(*project);
    as101->factorPair = {Single{0x3F8CCCCD}, Single{0x3F666666}}; // 1.1 and 0.9
    EXPECT_EQ(test::ReadBytes(name), test::FileBytes(FileVersion::V101, *as101));
    ASSERT_EQ(Write102(ws, name, messages), WriteResult::Written);
    EXPECT_EQ(test::ReadBytes(name), test::FileBytes(FileVersion::V102, *as101));
    EXPECT_TRUE(messages.shown.empty());

    // The next file, a 1.01 one keeping its own factors, converts as it would alone.
    const auto next = test::SampleProject({.anchorCount = 1});
    Bytes nextFile = test::FileBytes(FileVersion::V101, *next);
    nextFile.insert(nextFile.end(), 3000, 0xEE); // bytes after the last block are never read
    ASSERT_EQ(LoadUsrData(ws, Put("b.zel", nextFile), messages), LoadResult::OldFormat);
    ASSERT_EQ(Write102(ws, dir.file("b.zel"), messages), WriteResult::Written);
    EXPECT_EQ(test::ReadBytes(dir.file("b.zel")), test::FileBytes(FileVersion::V102, *next));
}

// The sample files beside the project, converted in place, give the bytes that an independent
// implementation of the format gives. Skipped where the samples are not there.
TEST_F(Files, SampleFilesConvertToTheirExpectedBytes) {
    const std::filesystem::path samples = ZEL_SAMPLES_DIR;
    if (!std::filesystem::exists(samples / "two-anchors-100.zel")) GTEST_SKIP() << "no sample files here";
    auto sample = [&](const std::string& leaf) { return test::ReadBytes((samples / leaf).string()); };
    const struct {
        const char* source;
        const char* expected;
    } cases[] = {{"two-anchors-100", "two-anchors-100.expected-102.zel"},
                 {"no-anchors-101", "no-anchors-101.expected-102.zel"},
                 {"step-count-11-100", "step-count-11-100.expected-101.zel"}};
    for (const auto& c : cases) {
        const std::string name = Put(std::string(c.source) + ".zel", sample(std::string(c.source) + ".zel"));
        ASSERT_EQ(LoadUsrData(ws, name, messages), LoadResult::OldFormat);
        if (ws.LastSignature == FileVersion::V100) Write101(ws, name, messages);
        Write102(ws, name, messages);
        EXPECT_EQ(test::ReadBytes(name), sample(c.expected)) << c.source;
    }
    EXPECT_EQ(LoadUsrData(ws, (samples / "truncated-101.zel").string(), messages), LoadResult::Refused);
}

} // namespace
