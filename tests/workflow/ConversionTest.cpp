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

const std::string kNoName = "ファイル名が指定されていません。ファイル名を指定して下さい。";
const std::string kOverwrite = "データが存在します。上書きしてもよろしいですか？";
const std::string kConverted = "指定したファイルは最新バージョンに変換されました。";
const std::string kCurrent = "最新バージョン（Ver. 1.04）形式のデータなので、変換は必要ありません。";
const Shown kQuestion{Shown::Question, kOverwrite};

std::string LongMessage(const std::string& backup) {
    return kConverted + "\r\r念のため元のファイルをバックアップしました。必要がなければ消して下さい。\r" +
           backup;
}

Bytes Current() {
    Bytes bytes(kSignature102.begin(), kSignature102.end());
    bytes.resize(300, 0x5A);
    return bytes;
}

// Every file of the folder with its bytes.
Files Snapshot(const test::TempDir& dir) {
    Files files;
    for (const std::string& leaf : test::ListFolder(dir.path()))
        if (fs::is_regular_file(dir.path() / test::PathFromUtf8(leaf)))
            files[leaf] = test::ReadBytes(dir.file(leaf));
    return files;
}

// Records, at the question, whether a backup existed yet.
class WatchingMessages : public test::RecordingMessages {
public:
    std::string backup;
    bool backupAtQuestion = false;
    bool AskYesNo(const std::string& text) override {
        backupAtQuestion = fs::exists(test::PathFromUtf8(backup));
        return RecordingMessages::AskYesNo(text);
    }
};

TEST(Conversion, EmptyFieldsEndAtOnceButBlanksAreNames) {
    const struct {
        std::string source, target;
        Outcome outcome;
        std::string targetAfter;
    } cases[] = {{"", "x", Outcome::EmptyFields, "x"},
                 {"x", "", Outcome::EmptyFields, ""},
                 {" ", "  ", Outcome::Refused, "  .zel"}};
    for (const auto& c : cases) {
        SCOPED_TRACE("'" + c.source + "' '" + c.target + "'");
        WorkingSet ws;
        test::RecordingMessages messages;
        ConversionState state{c.source, c.target, ""};
        EXPECT_EQ(RunConversion(state, ws, messages), c.outcome);
        EXPECT_EQ(state.imText2, c.targetAfter);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0] == (Shown{Shown::Info, kNoName}), c.outcome == Outcome::EmptyFields);
    }
}

// Runs that end before the target is written: the files are as they were, only the expected
// messages were shown, and the target field keeps its settled name.
TEST(Conversion, EndsBeforeWritingLeaveEveryFileAlone) {
    const Bytes old = test::MakeOldFile(0);
    const std::string diskFull =
        platform::DescribeError(platform::code::DiskFull) + "\r別のディスクへ保存してください";
    const struct {
        const char* what;
        Files files;
        std::string target;
        bool answer;
        int fault;
        Outcome outcome;
        std::vector<Shown> shown; // an empty text stands for the error's own description
    } cases[] = {
        {"missing source",
         {{"other.zel", old}},
         "結果",
         true,
         0,
         Outcome::Refused,
         {{Shown::Warning, "フォルダが見つかりませんでした\rファイル名：@"}}},
        {"foreign source",
         {{"site.zel", Bytes(200, 'x')}, {"other.zel", old}},
         "other",
         true,
         0,
         Outcome::Refused,
         {{Shown::Warning, "カルトゥーバのデータではありません。ファイル形式が違います。\r\r     @"}}},
        {"current source",
         {{"site.zel", Current()}, {"other.zel", old}},
         "other",
         true,
         0,
         Outcome::AlreadyCurrent,
         {{Shown::Info, kCurrent}}},
        {"answer No", {{"site.zel", old}}, "site", false, 0, Outcome::Declined, {kQuestion}},
        {"backup folder missing",
         {{"site.zel", old}},
         "none/site",
         true,
         0,
         Outcome::BackupFailed,
         {{Shown::Warning, ""}}},
        {"backup disk full",
         {{"site.zel", test::MakeOldFile(1)}},
         "site.zel",
         true,
         platform::code::DiskFull,
         Outcome::BackupFailed,
         {kQuestion, {Shown::Warning, diskFull}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        for (const auto& [leaf, bytes] : c.files)
            test::WriteBytes(dir.file(leaf), bytes);
        ConversionState state{dir.file("site.zel"), dir.file(c.target), ""};
        WorkingSet ws;
        test::RecordingMessages messages;
        messages.answers = {c.answer};
        if (c.fault) platform::InjectWriteFault(c.fault);
        EXPECT_EQ(RunConversion(state, ws, messages), c.outcome);
        platform::InjectWriteFault(0);

        ASSERT_EQ(messages.shown.size(), c.shown.size());
        for (std::size_t i = 0; i < c.shown.size(); ++i) {
            EXPECT_EQ(messages.shown[i].kind, c.shown[i].kind);
            std::string expected = c.shown[i].text;
            if (auto at = expected.find('@'); at != std::string::npos) expected.replace(at, 1, state.imText1);
            if (!expected.empty()) {
                EXPECT_EQ(messages.shown[i].text, expected);
            }
        }
        EXPECT_EQ(Snapshot(dir), c.files);
        EXPECT_EQ(state.imText2, DeriveName(dir.file(c.target), ".zel"));
        EXPECT_TRUE(state.BackupFileName.empty());
    }
}

TEST(Conversion, ConvertsAfterTheQuestionWithTheBackupNamedAfterTheTarget) {
    const Bytes old100 = test::MakeOldFile(0, 3), old101 = test::MakeOldFile(1);
    const struct {
        const char* what;
        Bytes source;
        std::string sourceLeaf, target, targetAfter, backup;
        Files before; // besides the source
        bool asked, backupMade;
    } cases[] = {
        {"1.00 in place", old100, "現場.zel", "現場.zel", "現場.zel", "現場.bak", {}, true, true},
        {"1.01 in place", old101, "現場.zel", "現場.zel", "現場.zel", "現場.bak", {}, true, true},
        {"backup name taken",
         old100,
         "site.zel",
         "site.zel",
         "site.zel",
         "site.bak",
         {{"site.bak", {'o'}}},
         true,
         false},
        {"new target", old101, "site.zel", "new", "new.zel", "new.bak", {}, false, true},
        {"other existing target",
         old100,
         "site.zel",
         "other.zel",
         "other.zel",
         "other.bak",
         {{"other.zel", Bytes(20, 'q')}},
         true,
         true},
        {"capital extension",
         old101,
         "site.ZEL",
         "site.ZEL",
         "site.ZEL.zel",
         "site.ZEL.bak",
         {},
         false,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        for (const auto& [leaf, bytes] : c.before)
            test::WriteBytes(dir.file(leaf), bytes);
        test::WriteBytes(dir.file(c.sourceLeaf), c.source);
        ConversionState state{dir.file(c.sourceLeaf), dir.file(c.target), "earlier.bak"};
        WorkingSet ws;
        WatchingMessages messages;
        messages.backup = dir.file(c.backup);
        EXPECT_EQ(RunConversion(state, ws, messages), Outcome::Converted);

        std::vector<Shown> expected;
        if (c.asked) expected.push_back(kQuestion);
        expected.push_back({Shown::Info, c.backupMade ? LongMessage(dir.file(c.backup)) : kConverted});
        EXPECT_EQ(messages.shown, expected);
        EXPECT_EQ(messages.backupAtQuestion, !c.backupMade && c.asked);
        EXPECT_EQ(state.imText2, dir.file(c.targetAfter));
        EXPECT_EQ(state.BackupFileName, c.backupMade ? dir.file(c.backup) : "earlier.bak");
        EXPECT_EQ(test::ReadBytes(dir.file(c.backup)), c.backupMade ? c.source : c.before.at(c.backup));
        EXPECT_EQ(test::ReadBytes(state.imText2), EncodeFile102(ws));
        if (c.sourceLeaf != c.targetAfter) {
            EXPECT_EQ(test::ReadBytes(state.imText1), c.source);
        }
        EXPECT_EQ(ws.factorPair.HighFactor.bits == 0x3F8CCCCDu && ws.factorPair.LowFactor.bits == 0x3F666666u,
                  c.source == old100);

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
    test::TempDir dir;
    const Bytes source = test::MakeOldFile(1);
    const std::string name = dir.file("site.zel");
    test::WriteBytes(name, source);
    fs::permissions(test::PathFromUtf8(name), fs::perms::owner_read);
    for (int press = 1; press <= 2; ++press) {
        SCOPED_TRACE(press);
        ConversionState state{name, name, ""};
        WorkingSet ws;
        test::RecordingMessages messages;
        EXPECT_EQ(RunConversion(state, ws, messages), Outcome::WriteFailed);
        EXPECT_EQ(messages.shown,
                  (std::vector<Shown>{kQuestion,
                                      {Shown::Warning, "指定したファイル(またはフォルダ)は読み取り専用です\r"
                                                       "別のファイル(またはフォルダ)名を指定してください"}}));
        EXPECT_EQ(state.BackupFileName, press == 1 ? dir.file("site.bak") : "");
        EXPECT_EQ(Snapshot(dir), (Files{{"site.bak", source}, {"site.zel", source}}));
    }
}

} // namespace
} // namespace zel
