#include "workflow/BatchRun.h"

#include "platform/Platform.h"

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
        {
            const std::lock_guard lock(mutex_);
            listed_ = std::move(files);
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
    std::vector<std::pair<std::size_t, BatchOutcome>> done;
    std::optional<BatchEnd> end;
    {
        const std::lock_guard lock(mutex_);
        noticeWaiting_ = false;
        listed.swap(listed_);
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
    return news;
}

void BatchRun::Listed(std::vector<BatchFile> files, News& news) {
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

void BatchRun::Converting() {
    ran_ = true;
    stop_ = false;
    closeWhenEnded_ = false;
    runOutcomes_.clear();
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
    BatchCounts counts;
    for (const BatchOutcome& outcome : outcomes_)
        counts.Add(outcome.result);
    return BatchCountsText(counts);
}

} // namespace zel
