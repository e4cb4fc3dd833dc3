#include "workflow/BatchRun.h"

#include "platform/Platform.h"

#include <ctime>
#include <system_error>

namespace zel {

BatchRun::BatchRun(std::vector<std::string> names, Messages& messages, Notify notify, unsigned workers)
    : names_(std::move(names)), messages_(messages), workers_(workers), notify_(std::move(notify)) {
    ListAnew();
}

BatchRun::~BatchRun() {
    {
        const std::lock_guard lock(mutex_);
        notify_ = nullptr;
    }
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void BatchRun::Launch(Job job, std::function<void()> work) {
    if (thread_.joinable()) thread_.join();
    job_ = job;
    try {
        thread_ = std::thread([work] {
            platform::HoldInterruptsInThisThread();
            work();
        });
    } catch (const std::system_error&) {
        work();
    }
}

void BatchRun::ListAnew() {
    Launch(Job::Listing, [this] {
        std::vector<BatchFile> files = ListBatch(names_);
        std::vector<bool> backups;
        for (const BatchFile& file : files)
            backups.push_back(!file.folder &&
                              platform::FileExists(DeriveName(file.fullName, kBackupExtension)));
        {
            const std::lock_guard lock(mutex_);
            listed_ = std::move(files);
            listedBackups_ = std::move(backups);
        }
        Tell();
    });
}

void BatchRun::Tell() {
    Notify notify;
    {
        const std::lock_guard lock(mutex_);
        if (noticeWaiting_ || !notify_) return;
        noticeWaiting_ = true;
        notify = notify_;
    }
    notify();
}

BatchRun::News BatchRun::TakeNews() {
    News news;
    std::optional<std::vector<BatchFile>> listed;
    std::optional<std::vector<UndoOutcome>> checked;
    std::vector<std::pair<std::size_t, BatchOutcome>> done;
    std::optional<BatchEnd> end;
    {
        const std::lock_guard lock(mutex_);
        noticeWaiting_ = false;
        listed.swap(listed_);
        checked.swap(checked_);
        done.swap(done_);
        end.swap(end_);
    }
    for (auto& [index, outcome] : done) {
        if (index >= outcomes_.size()) continue;
        outcomes_[index] = std::move(outcome);
        news.rows.push_back(index);
        ++taken_;
    }
    if (end) {
        if (thread_.joinable()) thread_.join();
        job_ = Job::None;
        // The run's own record is the whole truth; what was told on the way is part of it.
        if (runOutcomes_.size() == outcomes_.size()) outcomes_ = std::move(runOutcomes_);
        // A conversion made backups, a put-back removed them.
        backups_.resize(outcomes_.size());
        for (std::size_t i = 0; i < outcomes_.size(); ++i) {
            if (!outcomes_[i].backupName.empty()) backups_[i] = true;
            if (outcomes_[i].undo && outcomes_[i].undo->result == UndoResult::PutBack)
                backups_[i] = !outcomes_[i].undo->reason.empty(); // kept where it could not be removed
        }
        news.rows.clear();
        for (std::size_t i = 0; i < outcomes_.size(); ++i)
            news.rows.push_back(i);
        if (*end == BatchEnd::DiskFull) messages_.Warn(kBatchDiskFullText);
        news.close = closeWhenEnded_;
    }
    if (listed) {
        if (thread_.joinable()) thread_.join();
        job_ = Job::None;
        Listed(std::move(*listed), news);
    }
    if (checked) {
        if (thread_.joinable()) thread_.join();
        job_ = Job::None;
        const std::size_t count = PutBackCount(*checked);
        if (count > 0 && !messages_.AskYesNo(UndoConfirmText(count))) return news;
        news.listed = true; // as listed for 元に戻す, which may be anew
        files_ = std::move(checkedFiles_);
        outcomes_.assign(files_.size(), BatchOutcome{});
        news.rows.clear();
        if (count == 0) {
            // Nothing to put back: the rows say why.
            undoing_ = true;
            for (std::size_t i = 0; i < outcomes_.size(); ++i) {
                outcomes_[i].undo = (*checked)[i];
                news.rows.push_back(i);
            }
        } else {
            Undoing();
        }
    }
    return news;
}

void BatchRun::Listed(std::vector<BatchFile> files, News& news) {
    {
        const std::lock_guard lock(mutex_);
        backups_ = std::move(listedBackups_);
    }
    if (std::exchange(undoWhenListed_, false)) {
        Checking(std::move(files));
        return;
    }
    const bool start = std::exchange(startWhenListed_, false);
    if (start) {
        // The question counts the files that would be written; with none there is nothing to
        // confirm. No leaves the list and its results as they were.
        const std::size_t toConvert = FilesToConvert(files);
        if (toConvert > 0 && !messages_.AskYesNo(BatchConfirmText(toConvert))) return;
    }
    files_ = std::move(files);
    outcomes_.assign(files_.size(), BatchOutcome{});
    taken_ = 0;
    news.listed = true;
    news.rows.clear();
    if (start && !files_.empty()) Converting();
}

void BatchRun::Start() {
    if (job_ != Job::None) return;
    if (ran_) {
        // Listed anew, since the run has changed the files; asked once they are listed.
        startWhenListed_ = true;
        ListAnew();
        return;
    }
    const std::size_t toConvert = FilesToConvert(files_);
    if (toConvert > 0 && !messages_.AskYesNo(BatchConfirmText(toConvert))) return;
    Converting();
}

void BatchRun::StartUndo() {
    if (job_ != Job::None) return;
    if (ran_) {
        // Listed anew, since the run has changed the files.
        undoWhenListed_ = true;
        ListAnew();
        return;
    }
    Checking(files_);
}

void BatchRun::Checking(std::vector<BatchFile> files) {
    checkedFiles_ = std::move(files);
    stop_ = false;
    Launch(Job::Checking, [this] {
        std::vector<UndoOutcome> plan = PutBackAll(FullNames(checkedFiles_), true, workers_, {}, &stop_);
        {
            const std::lock_guard lock(mutex_);
            checked_ = std::move(plan);
        }
        Tell();
    });
}

void BatchRun::Begin(bool undoing) {
    ran_ = true;
    undoing_ = undoing;
    stop_ = false;
    closeWhenEnded_ = false;
    runOutcomes_.clear();
}

void BatchRun::Undoing() {
    Begin(true);
    for (BatchOutcome& outcome : outcomes_)
        outcome.undo = UndoOutcome{};
    Launch(Job::Converting, [this] {
        auto row = [](const UndoOutcome& undo) {
            BatchOutcome outcome;
            outcome.undo = undo;
            outcome.finishedAt = std::time(nullptr);
            return outcome;
        };
        const std::vector<UndoOutcome> results = PutBackAll(
            FullNames(files_), false, workers_,
            [this, &row](std::size_t index, const UndoOutcome& undo) {
                {
                    const std::lock_guard lock(mutex_);
                    done_.emplace_back(index, row(undo));
                }
                Tell();
            },
            &stop_);
        std::vector<BatchOutcome> outcomes;
        for (std::size_t i = 0; i < results.size(); ++i)
            outcomes.push_back(results[i].result == UndoResult::Pending ? row(UndoOutcome{})
                                                                        : row(results[i]));
        {
            const std::lock_guard lock(mutex_);
            runOutcomes_ = std::move(outcomes);
            end_ = BatchEnd::Finished;
        }
        Tell();
    });
}

void BatchRun::Converting() {
    Begin(false);
    // The one question has been answered for the whole run: every overwrite question is answered
    // Yes (an empty `answer`).
    Launch(Job::Converting, [this] {
        BatchOptions options;
        options.workers = workers_;
        options.stop = &stop_;
        options.done = [this](std::size_t index, const BatchOutcome& outcome) {
            {
                const std::lock_guard lock(mutex_);
                done_.emplace_back(index, outcome);
            }
            Tell();
        };
        std::vector<BatchOutcome> outcomes;
        const BatchEnd end = RunBatch(files_, outcomes, options);
        {
            const std::lock_guard lock(mutex_);
            runOutcomes_ = std::move(outcomes);
            end_ = end;
        }
        Tell();
    });
}

void BatchRun::Stop() {
    if (running()) stop_ = true;
}

bool BatchRun::MayClose() {
    if (!running()) return true;
    if (closeWhenEnded_ || !messages_.AskYesNo(kBatchCloseWhileRunningText)) return false;
    // The run may have ended while the question was shown.
    if (!running()) return true;
    closeWhenEnded_ = true;
    stop_ = true;
    return false;
}

void BatchRun::OpenRow(std::size_t row) {
    if (row < files_.size()) ShowBatchRow(files_[row], outcomes_[row], messages_);
}

void BatchRun::SaveReport(const std::string& name) {
    SaveBatchReport(name, files_, outcomes_, messages_);
}

std::string BatchRun::CountsText() const {
    if (listing()) return kBatchListingText;
    if (undoing_) {
        std::size_t counts[4] = {}; // put back, not needed, not put back, failed
        for (const BatchOutcome& outcome : outcomes_) {
            switch (outcome.undo ? outcome.undo->result : UndoResult::Pending) {
            case UndoResult::Pending:
            case UndoResult::WouldPutBack:
                break;
            case UndoResult::PutBack:
                ++counts[0];
                break;
            case UndoResult::NotNeeded:
                ++counts[1];
                break;
            case UndoResult::NoBackup:
            case UndoResult::BackupNotOld:
            case UndoResult::Changed:
                ++counts[2];
                break;
            case UndoResult::Failed:
                ++counts[3];
                break;
            }
        }
        return "戻した " + std::to_string(counts[0]) + " 件　戻す必要なし " + std::to_string(counts[1]) +
               " 件　戻さない " + std::to_string(counts[2]) + " 件　失敗 " + std::to_string(counts[3]) +
               " 件";
    }
    BatchCounts counts;
    for (const BatchOutcome& outcome : outcomes_)
        counts.Add(outcome.result);
    return BatchCountsText(counts);
}

} // namespace zel
