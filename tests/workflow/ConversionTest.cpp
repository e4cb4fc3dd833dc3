// One press of Convert over real files: which messages the user sees, in which order, and what
// happens to the source, the target and the backup in every outcome.
#include "platform/Platform.h"
#include "support/Samples.h"
#include "support/TestSupport.h"
#include "usrdata/Signatures.h"
#include "workflow/Workflow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace zel {
namespace {

using test::Shown;
using Bytes = std::vector<std::uint8_t>;

const std::string kNoName = "ファイル名が指定されていません。ファイル名を指定して下さい。";
const std::string kOverwrite = "データが存在します。上書きしてもよろしいですか？";
const std::string kConverted = "指定したファイルは最新バージョンに変換されました。";
const std::string kBackupNote = "念のため元のファイルをバックアップしました。必要がなければ消して下さい。";
const std::string kAlreadyCurrent = "最新バージョン（Ver. 1.04）形式のデータなので、変換は必要ありません。";
const std::string kReadOnly =
    "指定したファイル(またはフォルダ)は読み取り専用です\r別のファイル(またはフォルダ)名を指定してください";

std::string LongMessage(const std::string& backup) {
    return kConverted + "\r\r" + kBackupNote + "\r" + backup;
}

Bytes CurrentFile() {
    Bytes bytes(kSignature102.begin(), kSignature102.end());
    bytes.insert(bytes.end(), 300, 0x5A);
    return bytes;
}

bool StartsWith(const Bytes& bytes, std::string_view signature) {
    return bytes.size() >= signature.size() && std::equal(signature.begin(), signature.end(), bytes.begin());
}

// A 1.00 file written again as 1.01: the version digit changes and the default factors follow.
Bytes As101(Bytes file100) {
    file100[22] = '1';
    file100.insert(file100.end(), {0xCD, 0xCC, 0x8C, 0x3F, 0x66, 0x66, 0x66, 0x3F});
    return file100;
}

// Records the messages and, at the question, whatever the test wants to look at just then.
class WatchingMessages : public test::RecordingMessages {
public:
    std::function<void()> atQuestion;
    bool AskYesNo(const std::string& text) override {
        if (atQuestion) atQuestion();
        return RecordingMessages::AskYesNo(text);
    }
};

class Conversion : public ::testing::Test {
protected:
    ~Conversion() override { platform::InjectWriteFault(0); }

    // Source and target in the temporary folder; the target field holds `targetLeaf`.
    void Use(const std::string& sourceLeaf, const std::string& targetLeaf) {
        state.imText1 = dir.file(sourceLeaf);
        state.imText2 = dir.file(targetLeaf);
    }
    Outcome Run() { return RunConversion(state, ws, messages); }
    std::vector<std::string> Files() const { return test::ListFolder(dir.path()); }

    test::TempDir dir;
    WatchingMessages messages;
    WorkingSet ws;
    ConversionState state;
};

// --- Runs that end before anything is written ---------------------------------------------------

TEST_F(Conversion, EmptyFieldEndsWithTheNoNameMessage) {
    const struct { std::string source, target; } cases[] = {{"", "x.zel"}, {"x.zel", ""}, {"", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE("source '" + c.source + "' target '" + c.target + "'");
        test::RecordingMessages recorded;
        ConversionState fields{c.source, c.target, ""};
        EXPECT_EQ(RunConversion(fields, ws, recorded), Outcome::EmptyFields);
        EXPECT_EQ(recorded.shown, (std::vector<Shown>{{Shown::Info, kNoName}}));
        EXPECT_EQ(fields.imText2, c.target); // not normalised
    }
}

TEST_F(Conversion, BlankFieldsAreNamesNotEmptyFields) {
    state.imText1 = " ";
    state.imText2 = "  ";
    EXPECT_EQ(Run(), Outcome::Refused);
    EXPECT_EQ(state.imText2, "  .zel");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, Shown::Warning);
    EXPECT_NE(messages.shown[0].text, kNoName);
}

TEST_F(Conversion, MissingSourceIsRefusedAndTheTargetNameStaysNormalised) {
    Use("無い.zel", "結果");
    EXPECT_EQ(Run(), Outcome::Refused);
    EXPECT_EQ(messages.shown,
              (std::vector<Shown>{
                  {Shown::Warning, "フォルダが見つかりませんでした\rファイル名：" + state.imText1}}));
    EXPECT_EQ(state.imText2, dir.file("結果.zel"));
    EXPECT_TRUE(Files().empty());
}

TEST_F(Conversion, ForeignFileIsRefusedWithoutAQuestion) {
    const Bytes foreign(200, 'x');
    const Bytes target = test::MakeOldFile(1);
    Use("foreign.zel", "target.zel");
    test::WriteBytes(state.imText1, foreign);
    test::WriteBytes(state.imText2, target);
    EXPECT_EQ(Run(), Outcome::Refused);
    EXPECT_EQ(messages.shown,
              (std::vector<Shown>{
                  {Shown::Warning, "カルトゥーバのデータではありません。ファイル形式が違います。\r\r     " +
                                       state.imText1}}));
    EXPECT_EQ(Files(), (std::vector<std::string>{"foreign.zel", "target.zel"}));
    EXPECT_EQ(test::ReadBytes(state.imText1), foreign);
    EXPECT_EQ(test::ReadBytes(state.imText2), target);
}

TEST_F(Conversion, CurrentFormatNeedsNoConversionEvenOverAnotherExistingTarget) {
    const Bytes target = test::MakeOldFile(0);
    for (const char* targetLeaf : {"current.zel", "other.zel"}) {
        SCOPED_TRACE(targetLeaf);
        messages.shown.clear();
        Use("current.zel", targetLeaf);
        test::WriteBytes(state.imText1, CurrentFile());
        test::WriteBytes(dir.file("other.zel"), target);
        EXPECT_EQ(Run(), Outcome::AlreadyCurrent);
        EXPECT_EQ(messages.shown, (std::vector<Shown>{{Shown::Info, kAlreadyCurrent}}));
        EXPECT_EQ(test::ReadBytes(state.imText1), CurrentFile());
        EXPECT_EQ(test::ReadBytes(dir.file("other.zel")), target);
        EXPECT_EQ(Files(), (std::vector<std::string>{"current.zel", "other.zel"}));
    }
}

TEST_F(Conversion, AnsweringNoTouchesNothing) {
    for (int minor : {0, 1}) {
        SCOPED_TRACE(minor);
        test::TempDir folder;
        const Bytes source = test::MakeOldFile(minor);
        state = {folder.file("site.zel"), folder.file("site.zel"), ""};
        test::WriteBytes(state.imText1, source);
        test::RecordingMessages recorded;
        recorded.answers = {false};
        EXPECT_EQ(RunConversion(state, ws, recorded), Outcome::Declined);
        EXPECT_EQ(recorded.shown, (std::vector<Shown>{{Shown::Question, kOverwrite}}));
        EXPECT_EQ(test::ReadBytes(state.imText1), source);
        EXPECT_EQ(test::ListFolder(folder.path()), std::vector<std::string>{"site.zel"});
        EXPECT_TRUE(state.BackupFileName.empty());
    }
}

// --- Backup failures -----------------------------------------------------------------------------

TEST_F(Conversion, BackupFailureInAMissingFolderEndsBeforeTheTarget) {
    const Bytes source = test::MakeOldFile(0);
    Use("site.zel", "missing/site");
    test::WriteBytes(state.imText1, source);
    EXPECT_EQ(Run(), Outcome::BackupFailed);
    // No question: the target does not exist. One warning from the copy, nothing else.
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, Shown::Warning);
    EXPECT_EQ(state.imText2, dir.file("missing/site.zel"));
    EXPECT_EQ(Files(), std::vector<std::string>{"site.zel"});
    EXPECT_EQ(test::ReadBytes(state.imText1), source);
}

TEST_F(Conversion, BackupWriteFaultLeavesSourceAndTargetAsTheyWere) {
    const Bytes source = test::MakeOldFile(1);
    Use("site.zel", "site.zel");
    test::WriteBytes(state.imText1, source);
    platform::InjectWriteFault(platform::code::DiskFull);
    EXPECT_EQ(Run(), Outcome::BackupFailed);
    EXPECT_EQ(messages.shown,
              (std::vector<Shown>{{Shown::Question, kOverwrite},
                                  {Shown::Warning, platform::DescribeError(platform::code::DiskFull) +
                                                       "\r別のディスクへ保存してください"}}));
    EXPECT_EQ(Files(), std::vector<std::string>{"site.zel"});
    EXPECT_EQ(test::ReadBytes(state.imText1), source);
    EXPECT_TRUE(state.BackupFileName.empty());
}

// --- Writer failures -----------------------------------------------------------------------------

TEST_F(Conversion, FailingUpgradeOfA100SourceLeavesTheComplete101Target) {
    const Bytes source = test::MakeOldFile(0, 3, 2);
    Use("site.zel", "new");
    test::WriteBytes(state.imText1, source);
    EXPECT_EQ(Run(), Outcome::WriteFailed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, Shown::Warning);
    EXPECT_EQ(test::ReadBytes(dir.file("new.bak")), source);
    EXPECT_EQ(test::ReadBytes(dir.file("new.zel")), As101(source));
    EXPECT_EQ(test::ReadBytes(state.imText1), source);
}

TEST_F(Conversion, FailingUpgradeOfA101SourceKeepsTheBackup) {
    const Bytes source = test::MakeOldFile(1, 2, 1);
    Use("site.zel", "site.zel");
    test::WriteBytes(state.imText1, source);
    EXPECT_EQ(Run(), Outcome::WriteFailed);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0], (Shown{Shown::Question, kOverwrite}));
    EXPECT_EQ(messages.shown[1].kind, Shown::Warning);
    EXPECT_EQ(test::ReadBytes(dir.file("site.bak")), source);
    EXPECT_EQ(test::ReadBytes(state.imText1), source);
}

TEST_F(Conversion, ReadOnlyFileInPlaceKeepsItsBackupAndIsNotBackedUpTwice) {
    const Bytes source = test::MakeOldFile(0);
    Use("site.zel", "site.zel");
    test::WriteBytes(state.imText1, source);
    std::filesystem::permissions(test::PathFromUtf8(state.imText1), std::filesystem::perms::owner_read);
    EXPECT_EQ(Run(), Outcome::WriteFailed);
    EXPECT_EQ(messages.shown,
              (std::vector<Shown>{{Shown::Question, kOverwrite}, {Shown::Warning, kReadOnly}}));
    EXPECT_EQ(test::ReadBytes(dir.file("site.bak")), source);
    EXPECT_EQ(state.BackupFileName, dir.file("site.bak"));

    std::filesystem::permissions(test::PathFromUtf8(dir.file("site.bak")),
                                 std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    test::WriteBytes(dir.file("site.bak"), {'k', 'e', 'p', 't'});
    messages.shown.clear();
    EXPECT_EQ(Run(), Outcome::WriteFailed);
    EXPECT_EQ(test::ReadBytes(dir.file("site.bak")), (Bytes{'k', 'e', 'p', 't'}));
    EXPECT_EQ(test::ReadBytes(state.imText1), source);
}

// --- Conversions ---------------------------------------------------------------------------------

TEST_F(Conversion, InPlaceConversionBacksUpFirstAndNamesTheBackup) {
    for (int minor : {0, 1}) {
        SCOPED_TRACE(minor);
        test::TempDir folder;
        const Bytes source = test::MakeOldFile(minor);
        const std::string name = folder.file("現場データ.zel");
        const std::string backup = folder.file("現場データ.bak");
        state = {name, name, ""};
        test::WriteBytes(name, source);
        WatchingMessages watching;
        bool backupAtQuestion = true;
        Bytes sourceAtQuestion;
        watching.atQuestion = [&] {
            backupAtQuestion = std::filesystem::exists(test::PathFromUtf8(backup));
            sourceAtQuestion = test::ReadBytes(name);
        };
        EXPECT_EQ(RunConversion(state, ws, watching), Outcome::Converted);
        EXPECT_FALSE(backupAtQuestion);
        EXPECT_EQ(sourceAtQuestion, source);
        EXPECT_EQ(watching.shown,
                  (std::vector<Shown>{{Shown::Question, kOverwrite}, {Shown::Info, LongMessage(backup)}}));
        EXPECT_EQ(state.BackupFileName, backup);
        EXPECT_EQ(test::ReadBytes(backup), source);
        const Bytes converted = test::ReadBytes(name);
        EXPECT_TRUE(StartsWith(converted, kSignature102));
        EXPECT_EQ(converted, EncodeFile102(ws));
        EXPECT_EQ(ws.LastSignature, minor == 0 ? kSignature100 : kSignature101);
    }
}

TEST_F(Conversion, Converted100CarriesTheDefaultFactorsAnd101KeepsItsOwn) {
    const Bytes source101 = test::MakeOldFile(1);
    WorkingSet probe;
    test::RecordingMessages quiet;
    test::WriteBytes(dir.file("probe.zel"), source101);
    ASSERT_EQ(LoadUsrData(probe, dir.file("probe.zel"), quiet), kLoadOldFormat);

    Use("a.zel", "a.zel");
    test::WriteBytes(state.imText1, source101);
    ASSERT_EQ(Run(), Outcome::Converted);
    EXPECT_EQ(ws.factorPair, probe.factorPair);

    Use("b.zel", "b.zel");
    test::WriteBytes(state.imText1, test::MakeOldFile(0));
    ASSERT_EQ(Run(), Outcome::Converted);
    EXPECT_EQ(ws.factorPair.HighFactor.bits, 0x3F8CCCCDu);
    EXPECT_EQ(ws.factorPair.LowFactor.bits, 0x3F666666u);
}

TEST_F(Conversion, TakenBackupNameGivesTheShortMessageAndKeepsTheOldBackup) {
    const Bytes source = test::MakeOldFile(0);
    Use("site.zel", "site.zel");
    test::WriteBytes(state.imText1, source);
    test::WriteBytes(dir.file("site.bak"), {'o', 'l', 'd'});
    state.BackupFileName = dir.file("earlier.bak");
    EXPECT_EQ(Run(), Outcome::Converted);
    EXPECT_EQ(messages.shown, (std::vector<Shown>{{Shown::Question, kOverwrite}, {Shown::Info, kConverted}}));
    EXPECT_EQ(test::ReadBytes(dir.file("site.bak")), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(state.BackupFileName, dir.file("earlier.bak"));
    EXPECT_TRUE(StartsWith(test::ReadBytes(state.imText1), kSignature102));
}

TEST_F(Conversion, NewTargetElsewhereIsWrittenWithoutAQuestion) {
    const Bytes source = test::MakeOldFile(1);
    std::filesystem::create_directory(dir.path() / "out");
    Use("site.zel", "out/結果");
    test::WriteBytes(state.imText1, source);
    EXPECT_EQ(Run(), Outcome::Converted);
    EXPECT_EQ(state.imText2, dir.file("out/結果.zel"));
    EXPECT_EQ(messages.shown, (std::vector<Shown>{{Shown::Info, LongMessage(dir.file("out/結果.bak"))}}));
    EXPECT_EQ(test::ReadBytes(dir.file("out/結果.bak")), source);
    EXPECT_EQ(test::ReadBytes(state.imText1), source);
    EXPECT_TRUE(StartsWith(test::ReadBytes(state.imText2), kSignature102));
}

TEST_F(Conversion, ExistingOtherTargetIsOverwrittenAfterYesWithoutACopyOfIt) {
    const Bytes source = test::MakeOldFile(0);
    Use("site.zel", "other.zel");
    test::WriteBytes(state.imText1, source);
    test::WriteBytes(state.imText2, Bytes(20, 'q'));
    EXPECT_EQ(Run(), Outcome::Converted);
    EXPECT_EQ(messages.shown, (std::vector<Shown>{{Shown::Question, kOverwrite},
                                                  {Shown::Info, LongMessage(dir.file("other.bak"))}}));
    EXPECT_EQ(test::ReadBytes(dir.file("other.bak")), source);
    EXPECT_TRUE(StartsWith(test::ReadBytes(state.imText2), kSignature102));
}

TEST_F(Conversion, CapitalExtensionWritesADoubledNameNextToTheSource) {
    const Bytes source = test::MakeOldFile(1);
    Use("site.ZEL", "site.ZEL");
    test::WriteBytes(state.imText1, source);
    EXPECT_EQ(Run(), Outcome::Converted);
    EXPECT_EQ(state.imText2, dir.file("site.ZEL.zel"));
    EXPECT_EQ(messages.shown, (std::vector<Shown>{{Shown::Info, LongMessage(dir.file("site.ZEL.bak"))}}));
    EXPECT_EQ(test::ReadBytes(state.imText1), source);
    EXPECT_EQ(Files(), (std::vector<std::string>{"site.ZEL", "site.ZEL.bak", "site.ZEL.zel"}));
}

TEST_F(Conversion, SecondPressFindsTheFileCurrent) {
    Use("site.zel", "site.zel");
    test::WriteBytes(state.imText1, test::MakeOldFile(0));
    ASSERT_EQ(Run(), Outcome::Converted);
    const Bytes converted = test::ReadBytes(state.imText1);
    messages.shown.clear();
    EXPECT_EQ(Run(), Outcome::AlreadyCurrent);
    EXPECT_EQ(messages.shown, (std::vector<Shown>{{Shown::Info, kAlreadyCurrent}}));
    EXPECT_EQ(test::ReadBytes(state.imText1), converted);
}

} // namespace
} // namespace zel
