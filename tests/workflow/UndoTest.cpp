// 元に戻す over real files: what each kind of file comes to, a folder converted and put back byte for
// byte, another program's save between the check and the rename (kills: ConversionTest.cpp).
#include "workflow/Undo.h"
#include "platform/TestSeams.h"
#include "support/SampleFiles.h"
#include "support/TestSupport.h"
#include "workflow/Batch.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using enum UndoResult;

// Converted as a folder, then each file and backup changed as its row says; a dry run tells what would be
// done, the run does it: the old files come back byte for byte without their backups, the rest stays.
// Then another program saves a put-back file, converted again, between the check and the rename: the save
// and the backup stay.
TEST(Undo, AConvertedFolderComesBackByteForByteAndOnlyWhereNothingIsLost) {
    const Bytes v100 = test::SampleFile(FileVersion::V100), v101 = test::SampleFile(FileVersion::V101),
                stops101 = test::SampleFile(FileVersion::V100, {.failingAnchor = 1}),
                current = test::SampleFile(FileVersion::V102), saved(700, 's');
    // As long as b.zel converted: a change that keeps the size.
    const Bytes edited(test::FileBytes(FileVersion::V102, *test::SampleProject()).size(), 'e');
    const char* changed = "戻しません：変換後に変更されたか、別の版で変換されています";
    const struct {
        const char* leaf;
        Bytes before, file, backup; // file, backup: written after the conversion (none: empty)
        UndoResult result;          // of the run (the dry run: WouldPutBack where this is PutBack)
        const char* text;           // the row, without the backup's name and date
    } rows[] = {
        // clang-format off
        {"a.zel", v100, {}, {}, PutBack, "戻しました："}, {"b.zel", v101, {}, {}, PutBack, "戻しました："},
        {"c.zel", stops101, {}, {}, PutBack, "戻しました："}, // its conversion stopped at 1.01
        {"d.zel", current, {}, {}, NoBackup, "戻しません：バックアップがありません"},
        {"e.zel", v101, edited, {}, Changed, changed}, {"h.zel", v100, {}, stops101, Changed, changed}, // h: an older backup, of another project
        {"f.zel", v101, {}, current, BackupNotOld, "戻しません：バックアップは古い形式のファイルではありません"},
        {"g.zel", v101, v101, {}, NotNeeded, "戻す必要はありません"}, // put back by hand
        // clang-format on
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
        if (!row.file.empty()) test::WriteBytes(name, row.file);
        if (!row.backup.empty()) test::WriteBytes(backup, row.backup);
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
            EXPECT_TRUE(text.starts_with(result == WouldPutBack ? "戻します：" : rows[i].text)) << text;
            if (rows[i].result == PutBack) { // the backup's name and its date
                EXPECT_NE(text.find(std::string(rows[i].leaf).substr(0, 2) + "bak（20"), std::string::npos)
                    << text;
            }
        }
        EXPECT_EQ(test::SnapshotOf(dir.path()), dryRun ? converted102 : expected);
    }
    EXPECT_EQ(UndoConfirmText(3), "3 個のファイルを変換前に戻します。よろしいですか？");

    const std::string name = dir.file("b.zel");
    (void)RunBatch(ListBatch({name}), converted, {});
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
#else
    EXPECT_FALSE(saveFailed);
    EXPECT_EQ(UndoResultText(outcome),
              "失敗：変換中にほかのプログラムがファイルを変更しました。変換しませんでした。");
    expected["b.zel"] = saved;
    expected["b.bak"] = v101;
#endif
    EXPECT_EQ(test::SnapshotOf(dir.path()), expected);
}

} // namespace
} // namespace zel
