// The backup copy: made once per name, never over an existing file, failures told to the user.
#include "platform/Platform.h"
#include "support/TestSupport.h"
#include "workflow/Workflow.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zel {
namespace {

using test::Shown;

const std::vector<std::uint8_t> kSourceBytes{'s', 'o', 'u', 'r', 'c', 'e', 0, 0xFF, '\r', '\n'};
const std::vector<std::uint8_t> kOldBackupBytes{'o', 'l', 'd'};

class Backup : public ::testing::Test {
protected:
    Backup() {
        state.imText1 = dir.file("現場.zel");
        state.imText2 = state.imText1;
        state.BackupFileName = "earlier.bak";
        test::WriteBytes(state.imText1, kSourceBytes);
    }
    ~Backup() override { platform::InjectWriteFault(0); }

    test::TempDir dir;
    test::RecordingMessages messages;
    ConversionState state;
};

TEST_F(Backup, CopiesTheSourceUnderTheBackupName) {
    const std::string backup = dir.file("現場.bak");
    EXPECT_EQ(MakeBackup(state, backup, messages), kBackupMade);
    EXPECT_EQ(test::ReadBytes(backup), kSourceBytes);
    EXPECT_EQ(state.BackupFileName, backup);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Backup, BackupExtensionCopiesUnderTheDerivedNameAndLeavesTheTargetField) {
    std::filesystem::create_directory(dir.path() / "out");
    const std::string target = dir.file("out/結果.zel");
    state.imText2 = target;
    EXPECT_EQ(SetExtension(state, target, ".bak", messages), kBackupMade);
    // Named after the target, in the target's folder, holding the source.
    EXPECT_EQ(test::ReadBytes(dir.file("out/結果.bak")), kSourceBytes);
    EXPECT_EQ(state.BackupFileName, dir.file("out/結果.bak"));
    EXPECT_EQ(state.imText2, target);
}

TEST_F(Backup, ExistingFileOfTheNameIsLeftAlone) {
    for (bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "read-only" : "ordinary");
        const std::string backup = dir.file(readOnly ? "ro.bak" : "rw.bak");
        test::WriteBytes(backup, kOldBackupBytes);
        if (readOnly)
            std::filesystem::permissions(test::PathFromUtf8(backup), std::filesystem::perms::owner_read);
        EXPECT_EQ(MakeBackup(state, backup, messages), kBackupNameTaken);
        EXPECT_EQ(test::ReadBytes(backup), kOldBackupBytes);
        EXPECT_EQ(state.BackupFileName, "earlier.bak");
        EXPECT_TRUE(messages.shown.empty());
    }
}

TEST_F(Backup, MissingFolderIsReportedWithTheErrorsDescription) {
    const std::string backup = dir.file("missing/現場.bak");
    EXPECT_EQ(MakeBackup(state, backup, messages), kBackupFailed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, Shown::Warning);
    EXPECT_FALSE(messages.shown[0].text.empty());
    EXPECT_EQ(messages.shown[0].text.find('\r'), std::string::npos);
    EXPECT_EQ(state.BackupFileName, "earlier.bak");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

TEST_F(Backup, MissingSourceFails) {
    state.imText1 = dir.file("gone.zel");
    EXPECT_EQ(MakeBackup(state, dir.file("gone.bak"), messages), kBackupFailed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, Shown::Warning);
    EXPECT_FALSE(std::filesystem::exists(test::PathFromUtf8(dir.file("gone.bak"))));
}

TEST_F(Backup, FolderOfTheBackupNameIsNoEarlierBackup) {
    std::filesystem::create_directory(test::PathFromUtf8(dir.file("現場.bak")));
    EXPECT_EQ(MakeBackup(state, dir.file("現場.bak"), messages), kBackupFailed);
    EXPECT_EQ(messages.shown,
              (std::vector<Shown>{{Shown::Warning, "指定したファイル(またはフォルダ)は読み取り専用です\r"
                                                   "別のファイル(またはフォルダ)名を指定してください"}}));
    EXPECT_EQ(state.BackupFileName, "earlier.bak");
}

TEST_F(Backup, FullDiskLeavesNoPartialCopy) {
    platform::InjectWriteFault(platform::code::DiskFull);
    const std::string backup = dir.file("現場.bak");
    EXPECT_EQ(MakeBackup(state, backup, messages), kBackupFailed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, Shown::Warning);
    EXPECT_EQ(messages.shown[0].text,
              platform::DescribeError(platform::code::DiskFull) + "\r別のディスクへ保存してください");
    EXPECT_FALSE(std::filesystem::exists(test::PathFromUtf8(backup)));
    EXPECT_EQ(test::ListFolder(dir.path()), std::vector<std::string>{"現場.zel"});
    EXPECT_EQ(state.BackupFileName, "earlier.bak");
}

} // namespace
} // namespace zel
