// 元に戻す: putting back the old files from which files were converted, from their backups.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zel {

// What putting back a file's old content came to.
enum class UndoResult : std::uint8_t {
    Pending,      // not looked at (yet)
    WouldPutBack, // a dry run: it would be put back
    PutBack,      // "戻しました：<backup>（<its date>）"; the backup is gone
    NotNeeded,    // "戻す必要はありません": the file is its backup
    NoBackup,     // "戻しません：バックアップがありません"
    BackupNotOld, // "戻しません：バックアップは古い形式のファイルではありません"
    Changed,      // "戻しません：変換後に変更されたか、別の版で変換されています"
    Failed,       // "失敗：" + reason: the file could not be read, or the put-back not written
};

struct UndoOutcome {
    UndoResult result = UndoResult::Pending;
    std::string backupName;      // the backup's full name
    std::int64_t backupTime = 0; // the backup's time of last modification (seconds since 1970)
    std::string reason;          // Failed: why; PutBack: what went wrong after (the backup kept)
};

// Puts back the old file from which the file `name` was converted, from its backup (the ".bak" name
// the name rule derives), in this order: the backup must exist and be a 1.00 or 1.01 file; a file
// that equals it needs nothing; the file must be byte for byte what converting the backup writes,
// so that putting the backup back loses nothing; the backup's bytes are then written in its place
// as a conversion writes (crash-safe, read back, and only over the very file that was checked),
// and the backup is removed, so that the folder is as it was before the conversion. With `dryRun`
// the checks are made and nothing is written.
UndoOutcome PutBack(const std::string& name, bool dryRun);

// Puts back every file of `names` on `workers` threads (at least one); `done` is told of each file as it
// ends, on the thread that did it. Once `stop` is set no file is begun (they stay Pending).
std::vector<UndoOutcome> PutBackAll(const std::vector<std::string>& names, bool dryRun, unsigned workers,
                                    const std::function<void(std::size_t, const UndoOutcome&)>& done = {},
                                    const std::atomic<bool>* stop = nullptr);

// How many of `outcomes` put a file back, or would.
std::size_t PutBackCount(const std::vector<UndoOutcome>& outcomes);

// The text of a result, as a row's 結果 column and the command line show it.
std::string UndoResultText(const UndoOutcome& outcome);

// `time` in local time as strftime's `format` writes it.
std::string LocalTimeText(std::int64_t time, const char* format);

// "N 個のファイルを変換前に戻します。よろしいですか？"
std::string UndoConfirmText(std::size_t count);

} // namespace zel
