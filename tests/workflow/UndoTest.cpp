// 元に戻す over real files: what each kind of file comes to, a folder converted and put back byte for
// byte, another program's save between the check and the rename, and kills at every step.
#include "workflow/Undo.h"
#include "platform/TestSeams.h"
#include "support/SampleFiles.h"
#include "support/TestSupport.h"
#include "workflow/Batch.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using enum UndoResult;

// Converted as a folder, then each file as its row says; a dry run tells what would be done, the
// run does it: the old files come back byte for byte without their backups, the rest stays.
TEST(Undo, AConvertedFolderComesBackByteForByteAndOnlyWhereNothingIsLost) {
    const Bytes v100 = test::SampleFile(FileVersion::V100), v101 = test::SampleFile(FileVersion::V101),
                stops101 = test::SampleFile(FileVersion::V100, {.failingAnchor = 1}),
                current = test::SampleFile(FileVersion::V102);
    const struct {
        const char* leaf;
        Bytes before;
        const char* after; // what is done to the folder after its conversion: "" nothing
        UndoResult result; // of the run (the dry run: WouldPutBack where this is PutBack)
        const char* text;  // the row, without the backup's name and date
    } rows[] = {
        {"a.zel", v100, "", PutBack, "戻しました："},
        {"b.zel", v101, "", PutBack, "戻しました："},
        {"c.zel", stops101, "", PutBack, "戻しました："}, // its conversion stopped at 1.01
        {"d.zel", current, "", NoBackup, "戻しません：バックアップがありません"},
        {"e.zel", v101, "edit", Changed, "戻しません：変換後に変更されたか、別の版で変換されています"},
        {"f.zel", v101, "backup 1.02", BackupNotOld,
         "戻しません：バックアップは古い形式のファイルではありません"},
        {"g.zel", v101, "put back", NotNeeded, "戻す必要はありません"},
        {"h.zel", v100, "other 1.00", Changed, "戻しません：変換後に変更されたか、別の版で変換されています"},
    };
    test::TempDir dir;
    for (const auto& row : rows)
        test::WriteBytes(dir.file(row.leaf), row.before);
    std::vector<BatchOutcome> converted;
    (void)RunBatch(ListBatch({dir.file("")}), converted, {});
    std::vector<std::string> names;
    test::Snapshot expected;
    for (const auto& row : rows) {
        const std::string name = dir.file(row.leaf), backup = name.substr(0, name.size() - 3) + "bak";
        const std::string change = row.after;
        if (change == "edit") test::WriteBytes(name, Bytes(test::ReadBytes(name).size(), 'e'));
        if (change == "backup 1.02") test::WriteBytes(backup, current);
        if (change == "put back") test::WriteBytes(name, test::ReadBytes(backup));
        if (change == "other 1.00") test::WriteBytes(backup, stops101); // older, another project
        names.push_back(name);
        expected[row.leaf] = row.result == PutBack ? row.before : test::ReadBytes(name);
        if (row.result != PutBack && row.result != NoBackup)
            expected[std::string(row.leaf).substr(0, 2) + "bak"] = test::ReadBytes(backup);
    }
    const test::Snapshot converted102 = test::SnapshotOf(dir.path());
    for (bool dryRun : {true, false}) {
        const std::vector<UndoOutcome> outcomes = PutBackAll(names, dryRun, 2);
        for (std::size_t i = 0; i < std::size(rows); ++i) {
            const UndoResult result = rows[i].result == PutBack && dryRun ? WouldPutBack : rows[i].result;
            const std::string text = UndoResultText(outcomes[i]);
            EXPECT_EQ(outcomes[i].result, result) << rows[i].leaf;
            const std::string start = dryRun && result == WouldPutBack ? "戻します：" : rows[i].text;
            EXPECT_EQ(text.substr(0, start.size()), start) << rows[i].leaf;
            if (rows[i].result == PutBack) { // the backup's name and its date
                EXPECT_NE(text.find(std::string(rows[i].leaf).substr(0, 2) + "bak（20"), std::string::npos)
                    << text;
            }
        }
        EXPECT_EQ(test::SnapshotOf(dir.path()), dryRun ? converted102 : expected);
    }
    EXPECT_EQ(UndoConfirmText(3), "3 個のファイルを変換前に戻します。よろしいですか？");
}

// Another program that saves the file after it was checked keeps its save, and the backup stays.
TEST(Undo, AnotherProgramsSaveBetweenTheCheckAndTheRenameStays) {
    test::TempDir dir;
    const Bytes v101 = test::SampleFile(FileVersion::V101), saved(700, 's');
    test::WriteBytes(dir.file("a.zel"), v101);
    std::vector<BatchOutcome> converted;
    (void)RunBatch(ListBatch({dir.file("a.zel")}), converted, {});
    const std::string name = dir.file("a.zel");
    bool saveFailed = false;
    platform::InjectAt(platform::Moment::BeforeReplace, [&] {
        test::WriteBytes(name + ".new", saved);
        std::error_code error;
        std::filesystem::rename(test::PathFromUtf8(name + ".new"), test::PathFromUtf8(name), error);
        if ((saveFailed = static_cast<bool>(error)))
            std::filesystem::remove(test::PathFromUtf8(name + ".new"));
    });
    const UndoOutcome outcome = zel::PutBack(name, false);
#ifdef _WIN32
    // The file is held with read sharing only until the rename: the save fails, the put-back goes on.
    EXPECT_TRUE(saveFailed);
    EXPECT_EQ(outcome.result, UndoResult::PutBack);
    EXPECT_EQ(test::SnapshotOf(dir.path()), (test::Snapshot{{"a.zel", v101}}));
#else
    EXPECT_FALSE(saveFailed);
    EXPECT_EQ(UndoResultText(outcome),
              "失敗：変換中にほかのプログラムがファイルを変更しました。変換しませんでした。");
    EXPECT_EQ(test::SnapshotOf(dir.path()), (test::Snapshot{{"a.zel", saved}, {"a.bak", v101}}));
#endif
}

#ifndef _WIN32
// A kill at any step of a put-back leaves the file converted or old and its backup whole (gone only
// once the file is old); one more run leaves the old file, at most with its backup (a file that equals
// its backup needs nothing), and nothing else.
TEST(Undo, EveryKillLeavesTheFileWholeAndOneMoreRunFinishes) {
    const Bytes v100 = test::SampleFile(FileVersion::V100);
    int killed = 0;
    for (std::uint64_t point = 0;; ++point, ++killed) {
        test::TempDir dir;
        const std::string name = dir.file("a.zel");
        test::WriteBytes(name, v100);
        std::vector<BatchOutcome> converted;
        (void)RunBatch(ListBatch({name}), converted, {});
        const Bytes as102 = test::ReadBytes(name);
        const pid_t child = ::fork();
        if (child == 0) {
            platform::InjectCrashAt(point);
            (void)zel::PutBack(name, false);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFSIGNALED(status)) break;
        test::Snapshot files = test::SnapshotOf(dir.path());
        EXPECT_TRUE(files["a.zel"] == as102 || files["a.zel"] == v100) << point;
        EXPECT_TRUE(files.count("a.bak") ? files["a.bak"] == v100 : files["a.zel"] == v100) << point;
        (void)zel::PutBack(name, false);
        files = test::SnapshotOf(dir.path());
        files.erase(files.count("a.bak") && files["a.bak"] == v100 ? "a.bak" : "");
        EXPECT_EQ(files, (test::Snapshot{{"a.zel", v100}})) << point;
    }
    EXPECT_GE(killed, 4); // the write takes several steps
}
#endif

} // namespace
} // namespace zel
