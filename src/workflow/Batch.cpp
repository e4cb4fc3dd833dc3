#include "workflow/Batch.h"

namespace zel {

std::string ListedFormatText(ListedFormat format) {
    switch (format) {
    case ListedFormat::V100:
        return "1.00";
    case ListedFormat::V101:
        return "1.01";
    case ListedFormat::Current:
        return "最新";
    case ListedFormat::NotData:
        return "データではありません";
    case ListedFormat::CannotOpen:
        return "開けません";
    case ListedFormat::ReadOnly:
        return "読み取り専用";
    }
    return {};
}

std::string BatchResultText(const BatchOutcome& outcome) {
    switch (outcome.result) {
    case BatchResult::Pending:
        return {};
    case BatchResult::Converted:
        return "変換しました";
    case BatchResult::ConvertedBackupExisted:
        return "変換しました（バックアップは既存）";
    case BatchResult::NotNeeded:
        return "変換不要";
    case BatchResult::NotConverted:
        return "変換しません：" + outcome.reason;
    case BatchResult::Failed:
        return "失敗：" + outcome.reason;
    case BatchResult::Converted101Only:
        return "1.01 まで変換しました：" + outcome.reason;
    }
    return {};
}

void BatchCounts::Add(BatchResult result) {
    switch (result) {
    case BatchResult::Pending:
        break;
    case BatchResult::Converted:
    case BatchResult::ConvertedBackupExisted:
        ++converted;
        break;
    case BatchResult::NotNeeded:
        ++notNeeded;
        break;
    case BatchResult::NotConverted:
        ++notConverted;
        break;
    case BatchResult::Failed:
    case BatchResult::Converted101Only:
        ++failed;
        break;
    }
}

std::string BatchCountsText(const BatchCounts& counts) {
    return "変換 " + std::to_string(counts.converted) + " 件　変換不要 " + std::to_string(counts.notNeeded) +
           " 件　変換しない " + std::to_string(counts.notConverted) + " 件　失敗 " +
           std::to_string(counts.failed) + " 件";
}

std::string BatchConfirmText(std::size_t count) {
    return std::to_string(count) + " 個のファイルをその場で最新形式に変換します。" + CR +
           "元のファイルは「名前.bak」にバックアップします（同じ名前のファイルがあるときは作りません）。" + CR +
           "よろしいですか？";
}

} // namespace zel

// Not yet built: the listing, the run and the report.
namespace zel {
std::vector<BatchFile> ListBatch(const std::vector<std::string>&) {
    return {};
}
bool ShownBefore(const std::string& a, const std::string& b) {
    return a < b;
}
BatchEnd RunBatch(const std::vector<BatchFile>& files, std::vector<BatchOutcome>& outcomes, const BatchOptions&) {
    outcomes.assign(files.size(), BatchOutcome{});
    return BatchEnd::Finished;
}
std::string BatchReportCsv(const std::vector<BatchFile>&, const std::vector<BatchOutcome>&) {
    return {};
}
std::string DefaultReportName(std::time_t) {
    return {};
}
} // namespace zel
