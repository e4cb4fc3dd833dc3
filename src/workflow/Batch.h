// The conversion of many files in one go, shared by the batch window and the command line: which
// files a list of dropped or named files and folders stands for, the conversion of each in place
// by the workflow with its messages recorded, the counts and the report. Toolkit-free.
#pragma once

#include "workflow/Undo.h"
#include "workflow/Workflow.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zel {

// What a listed file is, from its signature alone, or why it cannot be read (the list's format column).
enum class ListedFormat : std::uint8_t {
    V100,         // "1.00"
    V101,         // "1.01"
    Current,      // "最新"
    NotData,      // "データではありません": no signature of the three formats
    CannotOpen,   // "開けません": for a reason other than those below
    ReadOnly,     // "読み取り専用": an old-format file that may not be written
    Missing,      // "見つかりません": gone since it was listed or named
    TooLong,      // "パスが長すぎます": a full name longer than the system takes
    NoPermission, // "権限がありません"
    NotRegular,   // "通常のファイルではありません": a FIFO, device or dangling link
    InUse,        // "使用中": another program holds the file open without sharing (Windows)
};

// The column text of a format.
std::string ListedFormatText(ListedFormat format);

// One file of a batch.
struct BatchFile {
    std::string fullName;  // as the system takes it
    std::string shownName; // relative to the dropped folder; the full name where several roots were given
    ListedFormat format = ListedFormat::NotData;
    bool folder = false; // a folder that could not be listed; its format tells why
};

// The files that `names` stand for, each listed once: a file stands for itself; a folder for every
// file in it and its subfolders whose name ends in ".zel" in any letter case, folder by folder in
// the order the system shows names (platform::ShownBefore). Hidden and system files and
// folders are left out, and links to folders are not followed. Each file's format is read from its
// signature. A folder that cannot be listed, a name ending in ".zel" in it that is no file and no
// folder, and a name of `names` that is neither, is a row of its own that tells why.
std::vector<BatchFile> ListBatch(const std::vector<std::string>& names);

// The key under which a full name is listed once: equal for two spellings of one name (on Windows
// letter case and the two separators do not tell names apart).
std::string ListingKey(const std::string& name);

// Whether names given to the window program stand for a batch: several names, or one folder (one
// file fills the conversion window's fields instead).
bool NamesMakeABatch(const std::vector<std::string>& names);

// The listed files that a run would write: those of format 1.00 or 1.01.
std::size_t FilesToConvert(const std::vector<BatchFile>& files);

// The full names of the listed files, in their order.
std::vector<std::string> FullNames(const std::vector<BatchFile>& files);

// Where the report is offered first: the folder given alone, else the folder of the first file.
std::string ReportFolder(const std::vector<std::string>& names, const std::vector<BatchFile>& files);

// How the conversion of one file of a batch ended.
enum class BatchResult : std::uint8_t {
    Pending,                // not converted yet (or the run stopped before it)
    Converted,              // "変換しました"
    ConvertedBackupExisted, // "変換しました（バックアップは既存）"
    NotNeeded,              // "変換不要"
    NotConverted,           // "変換しません：" + reason; the file is not written
    Failed,                 // "失敗：" + the first line of the message; the file keeps its content
    Converted101Only,       // "1.01 まで変換しました：" + reason; a 1.00 file whose 1.02 step failed
};

// One message shown for a file: its kind, its text and, for a question, the answer given.
struct BatchMessage {
    enum class Kind : std::uint8_t { Inform, Warn, Ask };
    Kind kind = Kind::Inform;
    std::string text;
    bool answer = false;
};

struct BatchOutcome {
    BatchResult result = BatchResult::Pending;
    std::string reason;            // the text after "：" for NotConverted, Failed and Converted101Only
    std::string messages;          // every message shown for the file, in order, separated by empty lines
    std::string backupName;        // the backup made in this run; empty when none was made
    std::vector<BatchMessage> log; // the messages and questions, in order (the command line shows them)
    std::time_t finishedAt = 0;
    std::optional<UndoOutcome> undo; // a 元に戻す run's outcome, in place of the conversion's
};

// The result column's text ("" while pending; a 元に戻す run's text where it has one).
std::string BatchResultText(const BatchOutcome& outcome);

// Shows an opened row's file (nothing while it is pending): its full name, an empty line, then every
// message shown for it (or the result's text), as a warning when the file was not written, or not
// to the end.
void ShowBatchRow(const BatchFile& file, const BatchOutcome& outcome, Messages& messages);

// The counts of the line below the list.
struct BatchCounts {
    std::size_t converted = 0;    // Converted, ConvertedBackupExisted
    std::size_t notNeeded = 0;    // NotNeeded
    std::size_t notConverted = 0; // NotConverted
    std::size_t failed = 0;       // Failed, Converted101Only
    void Add(BatchResult result);
};

// "変換 N 件　変換不要 N 件　変換しない N 件　失敗 N 件".
std::string BatchCountsText(const BatchCounts& counts);

// The question asked once before a run: "N 個のファイルをその場で最新形式に変換します。" …
std::string BatchConfirmText(std::size_t count);

// Asked when the batch window is closed during a run.
inline constexpr const char* kBatchCloseWhileRunningText =
    "変換中です。今のファイルを終えたところで中止して閉じますか？";
// Shown when a full disk has stopped a run.
inline constexpr const char* kBatchDiskFullText = "ディスクの空き容量が不足しているため中止しました。";

// How a run of the batch ended.
enum class BatchEnd : std::uint8_t {
    Finished, // every file was taken
    Stopped,  // the stop flag was set; the files after the last one taken are still pending
    DiskFull, // a file failed for a full disk; every later file would have failed the same way
};

struct BatchOptions {
    // Files converted at once, each on a thread of its own (1: one after the other on the calling
    // thread). At most the number of processors is used.
    unsigned workers = 1;
    // Answers the workflow's overwrite question for the file at `index` in the list; called on the
    // thread that converts the file. Empty: every question is answered Yes.
    std::function<bool(std::size_t index, const std::string& question)> answer;
    // Set by any thread to stop the run between files: no file is begun after it is seen.
    const std::atomic<bool>* stop = nullptr;
    // Told as soon as a file is done (on the thread that converted it, `index` into the list).
    std::function<void(std::size_t index, const BatchOutcome& outcome)> done;
};

// Converts each file of format 1.00 or 1.01 in `files` in place, that very file, whatever the
// letter case of its extension, with the workflow and a backup by the name rule; files already
// current, not data or read-only are not written and get no backup. `outcomes` receives one entry
// per file (Pending for those not taken). Of files to be written whose backup names are one name
// on this system, all but the first are refused before anything is written. Memory stays within
// the bound of one file per worker.
BatchEnd RunBatch(const std::vector<BatchFile>& files, std::vector<BatchOutcome>& outcomes,
                  const BatchOptions& options);

// The report as CSV (RFC 4180: every field quoted, CRLF line ends), UTF-8 with a byte-order mark:
// the heading "ファイル,変換前の形式,結果,バックアップ,日時" and a row per file, times as
// "2026-12-07 09:15:03" local time; a field beginning with =, +, -, @, a tab or a carriage return
// begins with ' before it.
std::string BatchReportCsv(const std::vector<BatchFile>& files, const std::vector<BatchOutcome>& outcomes);

// Writes the report to `name` (a complete file or the old content, as every write); a failure, or a
// folder that could not be flushed, is told through `messages`.
void SaveBatchReport(const std::string& name, const std::vector<BatchFile>& files,
                     const std::vector<BatchOutcome>& outcomes, Messages& messages);

// "変換結果_YYYYMMDD_HHMMSS.csv" for the local time `now`.
std::string DefaultReportName(std::time_t now);

} // namespace zel
