// The batch window's run, toolkit-free: the listing, the conversion on a thread of its own,
// stopping between files, the one question before a run, closing during a run, the full-disk stop
// and the report. A window draws what it holds and passes on what the user pressed; it has no
// thread, lock or timer of its own.
#pragma once

#include "workflow/Batch.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace zel {

// Shown in the counts line while the files are listed.
inline constexpr const char* kBatchListingText = "読み込み中…";

class BatchRun {
public:
    // Called on the run's thread when there is news: the owner posts itself a message and calls
    // TakeNews on its own thread. Not called again until TakeNews has been called.
    using Notify = std::function<void()>;

    // Lists the files `names` stand for on the run's thread; converts nothing. `messages` asks the
    // run's questions and shows its warnings, on the owner's thread. `workers` files are converted
    // at once.
    BatchRun(std::vector<std::string> names, Messages& messages, Notify notify, unsigned workers = 1);
    // Stops a run after its current files and waits for it; no notice comes after.
    ~BatchRun();

    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    // What changed since the last call, for the owner to draw.
    struct News {
        bool listed = false;           // the list is new: every row
        std::vector<std::size_t> rows; // rows whose result changed
        bool close = false;            // a run asked to close has ended: the owner closes now
    };
    // Takes the news on the owner's thread. Asks the question of a run started after an earlier
    // one once its files are listed anew, and warns of a full disk when that has stopped a run.
    [[nodiscard]] News TakeNews();

    // 変換開始: asks once for the files that would be written (none: no question), then converts
    // them. After a run the files are listed anew first, since the run changed them; いいえ leaves
    // the list, its results and the counts as they were.
    void Start();
    // 元に戻す: looks, on the run's thread, which files would be put back from their backups (after a
    // run the files are listed anew first), asks once for them (none: the rows say why), then puts
    // them back. いいえ leaves the list, its results and the counts as they were.
    void StartUndo();
    // 中止: no file is begun after the current one.
    void Stop();
    // 閉じる or the close box: whether the owner may close now. During a run, asks whether to stop
    // after the current file and then close; with はい the run stops, and TakeNews says when to close.
    [[nodiscard]] bool MayClose();
    // A row opened (Enter or a double click): its file's messages.
    void OpenRow(std::size_t row);
    // Writes the report to `name`; a failure is told.
    void SaveReport(const std::string& name);

    const std::vector<std::string>& names() const { return names_; }
    const std::vector<BatchFile>& files() const { return files_; }
    const BatchOutcome& outcome(std::size_t row) const { return outcomes_[row]; }
    // The counts line: the counts, or kBatchListingText while files are listed.
    std::string CountsText() const;
    std::size_t taken() const { return taken_; }
    // Where the report is offered first.
    std::string ReportFolder() const { return zel::ReportFolder(names_, files_); }

    bool listing() const { return job_ == Job::Listing; }
    bool running() const { return job_ == Job::Converting; }
    // 元に戻す looks at the files before it asks.
    bool checking() const { return job_ == Job::Checking; }
    bool canStart() const { return job_ == Job::None && !files_.empty(); }
    bool canStop() const { return running() && !stop_; }
    bool canSave() const { return ran_ && job_ == Job::None; }
    // Whether a listed file has a backup that 元に戻す could put back.
    bool canUndo() const {
        return job_ == Job::None && std::find(backups_.begin(), backups_.end(), true) != backups_.end();
    }

private:
    enum class Job : std::uint8_t { None, Listing, Checking, Converting };

    // Runs `work` on the run's thread (on this one where no thread can be made).
    void Launch(Job job, std::function<void()> work);
    // Lists the files on the run's thread.
    void ListAnew();
    // The state of a conversion or of 元に戻す as it begins.
    void Begin(bool undoing);
    void Converting();
    // 元に戻す's look at the files `files` (a new listing, or the files shown) on the run's thread.
    void Checking(std::vector<BatchFile> files);
    // 元に戻す's run over the files shown.
    void Undoing();
    // Called on the run's thread: the owner hears of news unless a notice is waiting already.
    void Tell();
    // On the owner's thread: a new list arrived.
    void Listed(std::vector<BatchFile> files, News& news);

    std::vector<std::string> names_;
    Messages& messages_;
    unsigned workers_;

    // The owner's: what it draws.
    std::vector<BatchFile> files_; // read by the run's thread while converting
    std::vector<BatchOutcome> outcomes_;
    std::size_t taken_ = 0;
    bool ran_ = false;
    bool startWhenListed_ = false;
    bool undoWhenListed_ = false;
    bool undoing_ = false;                // the rows are those of 元に戻す
    std::vector<bool> backups_;           // by row: the file has a backup
    std::vector<BatchFile> checkedFiles_; // what 元に戻す looked at, until it is answered
    bool closeWhenEnded_ = false;
    Job job_ = Job::Listing;

    // Shared with the run's thread, under mutex_.
    std::mutex mutex_;
    Notify notify_;
    bool noticeWaiting_ = false;
    std::optional<std::vector<BatchFile>> listed_;
    std::optional<std::vector<UndoOutcome>> checked_;
    std::vector<bool> listedBackups_; // with listed_
    std::vector<std::pair<std::size_t, BatchOutcome>> done_;
    std::optional<BatchEnd> end_;
    std::vector<BatchOutcome> runOutcomes_; // the run's own until it has ended
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace zel
