// One press of Convert over real files: which messages the user sees, in which order, and what
// happens to the source, the target and the backup in every outcome.
#include "platform/Platform.h"
#include "support/Samples.h"
#include "support/TestSupport.h"
#include "usrdata/Signatures.h"
#include "workflow/Workflow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace zel {
namespace {

namespace fs = std::filesystem;
using test::Shown;
using Bytes = std::vector<std::uint8_t>;
using Files = std::map<std::string, Bytes>;

const std::string kConverted = "指定したファイルは最新バージョンに変換されました。";
const std::string kCurrent = "最新バージョン（Ver. 1.04）形式のデータなので、変換は必要ありません。";
const std::string kReadOnly =
    "指定したファイル(またはフォルダ)は読み取り専用です\r別のファイル(またはフォルダ)名を指定してください";
const Shown kQuestion{Shown::Question, "データが存在します。上書きしてもよろしいですか？"};

// Every ordinary file of the folder with its bytes.
Files Snapshot(const test::TempDir& dir) {
    Files files;
    for (const std::string& leaf : test::ListFolder(dir.path()))
        if (fs::is_regular_file(dir.path() / test::PathFromUtf8(leaf)))
            files[leaf] = test::ReadBytes(dir.file(leaf));
    return files;
}

// Records, at the question, whether the backup existed yet.
struct WatchingMessages : test::RecordingMessages {
    std::string backup;
    bool backupAtQuestion = false;
    bool AskYesNo(const std::string& text) override {
        backupAtQuestion = fs::exists(test::PathFromUtf8(backup));
        return RecordingMessages::AskYesNo(text);
    }
};

// Runs that end before anything is written: the files are as they were, only the expected messages
// were shown, the target field keeps its settled name and the last backup name is kept.
TEST(Conversion, EndsBeforeWritingLeaveEveryFileAlone) {
    const Bytes old = test::MakeOldFile(0);
    Bytes current(kSignature102.begin(), kSignature102.end());
    current.resize(300, 0x5A);
    const std::string missing = "フォルダが見つかりませんでした\rファイル名：@"; // @: the source's name
    const std::string diskFull =
        platform::DescribeError(platform::code::DiskFull) + "\r別のディスクへ保存してください";
    const Shown noName{Shown::Info, "ファイル名が指定されていません。ファイル名を指定して下さい。"};
    struct Case {
        const char* what{};
        std::string source = "site.zel", target = "site", targetAfter = "site.zel";
        Files files{};
        std::string folder{}; // made besides the files
        bool answer = true;
        int fault = 0;
        Outcome outcome{};
        std::vector<Shown> shown{};
    };
    // clang-format off
    const Case cases[] = {
        {.what = "empty source", .source = "", .target = "x", .targetAfter = "x",
         .outcome = Outcome::EmptyFields, .shown = {noName}},
        {.what = "empty target", .target = "", .targetAfter = "", .files = {{"site.zel", old}},
         .outcome = Outcome::EmptyFields, .shown = {noName}},
        {.what = "blanks are names", .source = " ", .target = "  ", .targetAfter = "  .zel",
         .outcome = Outcome::Refused, .shown = {{Shown::Warning, missing}}},
        {.what = "missing", .target = "結果", .targetAfter = "結果.zel", .files = {{"other.zel", old}},
         .outcome = Outcome::Refused, .shown = {{Shown::Warning, missing}}},
        {.what = "foreign source", .target = "other", .targetAfter = "other.zel",
         .files = {{"site.zel", Bytes(200, 'x')}, {"other.zel", old}}, .outcome = Outcome::Refused,
         .shown = {{Shown::Warning, "カルトゥーバのデータではありません。ファイル形式が違います。\r\r     @"}}},
        {.what = "current source", .target = "other", .targetAfter = "other.zel",
         .files = {{"site.zel", current}, {"other.zel", old}}, .outcome = Outcome::AlreadyCurrent,
         .shown = {{Shown::Info, kCurrent}}},
        {.what = "answer No", .files = {{"site.zel", old}}, .answer = false, .outcome = Outcome::Declined,
         .shown = {kQuestion}},
        {.what = "backup folder missing", .target = "none/site", .targetAfter = "none/site.zel",
         .files = {{"site.zel", old}}, .outcome = Outcome::BackupFailed,
         .shown = {{Shown::Warning, platform::DescribeError(platform::code::PathNotFound)}}},
        {.what = "folder of the backup name", .files = {{"site.zel", old}}, .folder = "site.bak",
         .outcome = Outcome::BackupFailed, .shown = {kQuestion, {Shown::Warning, kReadOnly}}},
        {.what = "backup disk full", .files = {{"site.zel", old}}, .fault = platform::code::DiskFull,
         .outcome = Outcome::BackupFailed, .shown = {kQuestion, {Shown::Warning, diskFull}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        // Names that are empty or begin with a blank are used as they are, the others lie in `dir`.
        auto full = [&](const std::string& leaf) {
            return leaf.empty() || leaf[0] == ' ' ? leaf : dir.file(leaf);
        };
        for (const auto& [leaf, bytes] : c.files)
            test::WriteBytes(dir.file(leaf), bytes);
        if (!c.folder.empty()) fs::create_directory(test::PathFromUtf8(dir.file(c.folder)));
        ConversionState state{full(c.source), full(c.target), "earlier.bak"};
        WorkingSet ws;
        test::RecordingMessages messages;
        messages.answers = {c.answer};
        platform::InjectWriteFault(c.fault);
        EXPECT_EQ(RunConversion(state, ws, messages), c.outcome);
        platform::InjectWriteFault(0);

        std::vector<Shown> expected = c.shown;
        for (Shown& s : expected)
            if (auto at = s.text.find('@'); at != std::string::npos) s.text.replace(at, 1, state.imText1);
        EXPECT_EQ(messages.shown, expected);
        EXPECT_EQ(Snapshot(dir), c.files);
        EXPECT_EQ(state.imText2, full(c.targetAfter));
        EXPECT_EQ(state.BackupFileName, "earlier.bak");
    }
}

TEST(Conversion, ConvertsAfterTheQuestionWithTheBackupNamedAfterTheTarget) {
    const Bytes old100 = test::MakeOldFile(0, 3), old101 = test::MakeOldFile(1);
    struct Case {
        const char* what{};
        Bytes source{};
        std::string sourceLeaf = "site.zel", target = "site.zel", targetAfter = "site.zel",
                    backup = "site.bak";
        Files before{}; // besides the source
        bool readOnlyBackup = false, asked = true, backupMade = true;
    };
    // clang-format off
    const Case cases[] = {
        {.what = "1.00 in place", .source = old100, .sourceLeaf = "現場.zel", .target = "現場.zel",
         .targetAfter = "現場.zel", .backup = "現場.bak"},
        {.what = "1.01 in place", .source = old101},
        {.what = "backup name taken", .source = old100, .before = {{"site.bak", {'o'}}}, .backupMade = false},
        {.what = "read-only backup name taken", .source = old101, .before = {{"site.bak", {'o'}}},
         .readOnlyBackup = true, .backupMade = false},
        {.what = "new target", .source = old101, .target = "new", .targetAfter = "new.zel",
         .backup = "new.bak", .asked = false},
        {.what = "other existing target", .source = old100, .target = "other.zel", .targetAfter = "other.zel",
         .backup = "other.bak", .before = {{"other.zel", Bytes(20, 'q')}}},
        {.what = "capital extension", .source = old101, .sourceLeaf = "site.ZEL", .target = "site.ZEL",
         .targetAfter = "site.ZEL.zel", .backup = "site.ZEL.bak", .asked = false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        for (const auto& [leaf, bytes] : c.before)
            test::WriteBytes(dir.file(leaf), bytes);
        if (c.readOnlyBackup) fs::permissions(test::PathFromUtf8(dir.file(c.backup)), fs::perms::owner_read);
        test::WriteBytes(dir.file(c.sourceLeaf), c.source);
        ConversionState state{dir.file(c.sourceLeaf), dir.file(c.target), "earlier.bak"};
        WorkingSet ws;
        WatchingMessages messages;
        messages.backup = dir.file(c.backup);
        EXPECT_EQ(RunConversion(state, ws, messages), Outcome::Converted);

        std::vector<Shown> expected;
        if (c.asked) expected.push_back(kQuestion);
        expected.push_back({Shown::Info, c.backupMade ? kConverted +
                                                            "\r\r念のため元のファイルをバックアップしました。"
                                                            "必要がなければ消して下さい。\r" +
                                                            dir.file(c.backup)
                                                      : kConverted});
        EXPECT_EQ(messages.shown, expected);
        EXPECT_EQ(messages.backupAtQuestion, !c.backupMade && c.asked);
        EXPECT_EQ(state.imText2, dir.file(c.targetAfter));
        EXPECT_EQ(state.BackupFileName, c.backupMade ? dir.file(c.backup) : "earlier.bak");
        EXPECT_EQ(test::ReadBytes(dir.file(c.backup)), c.backupMade ? c.source : c.before.at(c.backup));
        EXPECT_EQ(test::ReadBytes(state.imText2), EncodeFile102(ws));
        if (c.sourceLeaf != c.targetAfter) {
            EXPECT_EQ(test::ReadBytes(state.imText1), c.source);
        }
        // A 1.00 source gets the default factors 1.1 and 0.9, a 1.01 source keeps its own.
        EXPECT_EQ(ws.factorPair.HighFactor.bits == 0x3F8CCCCDu && ws.factorPair.LowFactor.bits == 0x3F666666u,
                  c.source == old100);

        // Pressed again, the file converted in place is found current.
        messages.shown.clear();
        if (c.sourceLeaf == c.targetAfter) {
            EXPECT_EQ(RunConversion(state, ws, messages), Outcome::AlreadyCurrent);
            EXPECT_EQ(messages.shown, (std::vector<Shown>{{Shown::Info, kCurrent}}));
        }
    }
}

TEST(Conversion, FailingUpgradeOfA100SourceLeavesTheBackupAndTheComplete101Target) {
    test::TempDir dir;
    const Bytes source = test::MakeOldFile(0, 3, 2);
    test::WriteBytes(dir.file("site.zel"), source);
    ConversionState state{dir.file("site.zel"), dir.file("new"), ""};
    WorkingSet ws;
    test::RecordingMessages messages;
    EXPECT_EQ(RunConversion(state, ws, messages), Outcome::WriteFailed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, Shown::Warning);
    Bytes as101 = source;
    as101[22] = '1';
    as101.insert(as101.end(), {0xCD, 0xCC, 0x8C, 0x3F, 0x66, 0x66, 0x66, 0x3F});
    EXPECT_EQ(Snapshot(dir), (Files{{"new.bak", source}, {"new.zel", as101}, {"site.zel", source}}));
}

TEST(Conversion, ReadOnlyFileInPlaceIsBackedUpOnceAndNotWritten) {
    for (int minor : {0, 1}) { // Write101, then Write102 fails
        test::TempDir dir;
        const Bytes source = test::MakeOldFile(minor);
        const std::string name = dir.file("site.zel");
        test::WriteBytes(name, source);
        fs::permissions(test::PathFromUtf8(name), fs::perms::owner_read);
        for (int press = 1; press <= 2; ++press) {
            SCOPED_TRACE(std::to_string(minor) + " press " + std::to_string(press));
            ConversionState state{name, name, ""};
            WorkingSet ws;
            test::RecordingMessages messages;
            EXPECT_EQ(RunConversion(state, ws, messages), Outcome::WriteFailed);
            EXPECT_EQ(messages.shown, (std::vector<Shown>{kQuestion, {Shown::Warning, kReadOnly}}));
            EXPECT_EQ(state.BackupFileName, press == 1 ? dir.file("site.bak") : "");
            EXPECT_EQ(Snapshot(dir), (Files{{"site.bak", source}, {"site.zel", source}}));
        }
    }
}

} // namespace
} // namespace zel
