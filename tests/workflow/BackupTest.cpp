// The backup copy: made once per name, never over an existing file, failures told to the user.
#include "platform/Platform.h"
#include "support/TestSupport.h"
#include "workflow/Workflow.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zel {
namespace {

namespace fs = std::filesystem;
using test::Shown;

TEST(Backup, CopiesOnceAndReportsFailures) {
    const std::vector<std::uint8_t> source{'s', 0, 0xFF, '\r', '\n'}, old{'o', 'l', 'd'};
    const std::string readOnly = "指定したファイル(またはフォルダ)は読み取り専用です\r別のファイル("
                                 "またはフォルダ)名を指定してください";
    const std::string diskFull =
        platform::DescribeError(platform::code::DiskFull) + "\r別のディスクへ保存してください";
    enum Setup { Nothing, OldFile, ReadOnlyOldFile, FolderOfTheName, NoFolder, FullDisk };
    const struct {
        Setup setup;
        std::uint8_t result;
        const std::string* message; // null: none; empty text: the error's own description
    } cases[] = {{Nothing, kBackupMade, nullptr},
                 {OldFile, kBackupNameTaken, nullptr},
                 {ReadOnlyOldFile, kBackupNameTaken, nullptr},
                 {FolderOfTheName, kBackupFailed, &readOnly},
                 {NoFolder, kBackupFailed, nullptr},
                 {FullDisk, kBackupFailed, &diskFull}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup);
        test::TempDir dir;
        test::RecordingMessages messages;
        const std::string target = dir.file(c.setup == NoFolder ? "none/現場.zel" : "現場.zel");
        ConversionState state{dir.file("現場.zel"), target, "earlier.bak"};
        test::WriteBytes(state.imText1, source);
        const std::string backup = dir.file(c.setup == NoFolder ? "none/現場.bak" : "現場.bak");
        if (c.setup == OldFile || c.setup == ReadOnlyOldFile) test::WriteBytes(backup, old);
        if (c.setup == ReadOnlyOldFile) fs::permissions(test::PathFromUtf8(backup), fs::perms::owner_read);
        if (c.setup == FolderOfTheName) fs::create_directory(test::PathFromUtf8(backup));
        if (c.setup == FullDisk) platform::InjectWriteFault(platform::code::DiskFull);

        EXPECT_EQ(SetExtension(state, state.imText2, ".bak", messages), c.result);
        platform::InjectWriteFault(0);
        EXPECT_EQ(state.BackupFileName, c.result == kBackupMade ? backup : "earlier.bak");
        EXPECT_EQ(state.imText2, target);
        if (c.result == kBackupFailed) {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].kind, Shown::Warning);
            if (c.message) {
                EXPECT_EQ(messages.shown[0].text, *c.message);
            }
        } else {
            EXPECT_TRUE(messages.shown.empty());
            EXPECT_EQ(test::ReadBytes(backup), c.result == kBackupMade ? source : old);
        }
        if (c.setup == NoFolder || c.setup == FullDisk) {
            EXPECT_EQ(test::ListFolder(dir.path()), std::vector<std::string>{"現場.zel"});
        }
    }
}

} // namespace
} // namespace zel
