#include "workflow/Undo.h"

#include "fileops/LoadReadModule.h"
#include "platform/Platform.h"
#include "workflow/Workflow.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>
#include <thread>

namespace zel {

UndoOutcome PutBack(const std::string& name, bool dryRun) {
    UndoOutcome outcome;
    outcome.backupName = DeriveName(name, kBackupExtension);
    // What a killed run left of either name goes first, where that name exists.
    (void)platform::RemoveLeftovers(name);
    (void)platform::RemoveLeftovers(outcome.backupName);
    platform::InputFile file;
    std::vector<std::uint8_t> old;
    platform::FileIdentity backup;
    switch (CheckPutBack(name, outcome.backupName, file, old, backup)) {
    case PutBackCheck::NoBackup:
        outcome.result = UndoResult::NoBackup;
        return outcome;
    case PutBackCheck::BackupNotOld:
        outcome.result = UndoResult::BackupNotOld;
        return outcome;
    case PutBackCheck::Unreadable:
        outcome.result = UndoResult::Failed;
        outcome.reason = "読み込みできません";
        return outcome;
    case PutBackCheck::Same:
        outcome.result = UndoResult::NotNeeded;
        return outcome;
    case PutBackCheck::Changed:
        outcome.result = UndoResult::Changed;
        return outcome;
    case PutBackCheck::Converted:
        break;
    }
    outcome.backupTime = platform::ModificationTime(backup);
    if (dryRun) {
        outcome.result = UndoResult::WouldPutBack;
        return outcome;
    }
    // Over the very file that was checked, and proven against the backup's bytes when read back.
    const platform::ReplaceCheck check{platform::ReplaceCheck::Expect::File, file.Identity(), &file};
    const platform::FileResult written = platform::ReplaceFileContents(
        name, [&old](const platform::ContentWriter& write) { write(old.data(), old.size()); }, check,
        [&old](const platform::ContentReader& read) {
            std::uint8_t piece[1 << 16];
            std::size_t at = 0;
            while (const std::size_t n = read(piece, sizeof piece)) {
                if (n > old.size() - at || std::memcmp(piece, old.data() + at, n) != 0) return false;
                at += n;
            }
            return at == old.size();
        });
    if (written.error) {
        outcome.result = UndoResult::Failed;
        outcome.reason = written.error->description;
        if (written.error->code == platform::code::Unverified)
            outcome.reason += "元のファイルはそのままです。";
        return outcome;
    }
    outcome.result = UndoResult::PutBack;
    // The backup goes only while it is the file that was read.
    if (platform::IdentityOf(outcome.backupName) != backup || !platform::RemoveFile(outcome.backupName))
        outcome.reason = "バックアップは消せませんでした";
    return outcome;
}

std::vector<UndoOutcome> PutBackAll(const std::vector<std::string>& names, bool dryRun, unsigned workers,
                                    const std::function<void(std::size_t, const UndoOutcome&)>& done,
                                    const std::atomic<bool>* stop) {
    std::vector<UndoOutcome> outcomes(names.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t index; !(stop && *stop) && (index = next.fetch_add(1)) < names.size();) {
            outcomes[index] = PutBack(names[index], dryRun);
            if (done) done(index, outcomes[index]);
        }
    };
    std::vector<std::thread> threads;
    const std::size_t count = std::min<std::size_t>(std::max(workers, 1u), names.size());
    for (std::size_t i = 1; i < count; ++i)
        threads.emplace_back(work);
    work();
    for (std::thread& thread : threads)
        thread.join();
    return outcomes;
}

std::size_t PutBackCount(const std::vector<UndoOutcome>& outcomes) {
    return static_cast<std::size_t>(std::count_if(outcomes.begin(), outcomes.end(), [](const UndoOutcome& o) {
        return o.result == UndoResult::WouldPutBack || o.result == UndoResult::PutBack;
    }));
}

std::string UndoResultText(const UndoOutcome& outcome) {
    const std::size_t slash = outcome.backupName.find_last_of(std::string(1, platform::kSeparator) + "/");
    const std::string leaf =
        slash == std::string::npos ? outcome.backupName : outcome.backupName.substr(slash + 1);
    auto dated = [&] { return leaf + "（" + LocalTimeText(outcome.backupTime, "%Y-%m-%d %H:%M") + "）"; };
    switch (outcome.result) {
    case UndoResult::Pending:
        break;
    case UndoResult::WouldPutBack:
        return "戻します：" + dated();
    case UndoResult::PutBack:
        return "戻しました：" + dated() + (outcome.reason.empty() ? "" : "　" + outcome.reason);
    case UndoResult::NotNeeded:
        return "戻す必要はありません";
    case UndoResult::NoBackup:
        return "戻しません：バックアップがありません";
    case UndoResult::BackupNotOld:
        return "戻しません：バックアップは古い形式のファイルではありません";
    case UndoResult::Changed:
        return "戻しません：変換後に変更されたか、別の版で変換されています";
    case UndoResult::Failed:
        return "失敗：" + outcome.reason;
    }
    return {};
}

std::string LocalTimeText(std::int64_t time, const char* format) {
    const auto at = static_cast<std::time_t>(time);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &at);
#else
    localtime_r(&at, &local);
#endif
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, format, &local));
}

std::string UndoConfirmText(std::size_t count) {
    return std::to_string(count) + " 個のファイルを変換前に戻します。よろしいですか？";
}

} // namespace zel
