#include "workflow/Batch.h"

#include "platform/Platform.h"
#include "workflow/Utf8.h"

#include <algorithm>
#include <array>
#include <exception>
#include <initializer_list>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>
#include <thread>

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
    case ListedFormat::InUse:
        return "使用中";
    case ListedFormat::Missing:
        return "見つかりません";
    case ListedFormat::TooLong:
        return "パスが長すぎます";
    case ListedFormat::NoPermission:
        return "権限がありません";
    case ListedFormat::NotRegular:
        return "通常のファイルではありません";
    }
    return {};
}

std::string BatchResultText(const BatchOutcome& outcome) {
    if (outcome.undo) return UndoResultText(*outcome.undo);
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

void ShowBatchRow(const BatchFile& file, const BatchOutcome& outcome, Messages& messages) {
    if (outcome.undo) {
        const UndoResult result = outcome.undo->result;
        const std::string text = file.fullName + CR + CR + UndoResultText(*outcome.undo);
        if (result == UndoResult::PutBack || result == UndoResult::NotNeeded)
            messages.Inform(text);
        else if (result != UndoResult::Pending)
            messages.Warn(text);
        return;
    }
    if (outcome.result == BatchResult::Pending) return;
    const std::string text =
        file.fullName + CR + CR + (outcome.messages.empty() ? BatchResultText(outcome) : outcome.messages);
    if (outcome.result == BatchResult::NotConverted || outcome.result == BatchResult::Failed ||
        outcome.result == BatchResult::Converted101Only)
        messages.Warn(text);
    else
        messages.Inform(text);
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
           "元のファイルは「名前.bak」にバックアップします（同じ名前のファイルがあるときは作りません）。" +
           CR + "よろしいですか？";
}

} // namespace zel

namespace zel {

namespace {

constexpr std::string_view kListedExtension = kTargetExtension;

char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithZel(const std::string& leaf) {
    if (leaf.size() < kListedExtension.size()) return false;
    const std::size_t start = leaf.size() - kListedExtension.size();
    for (std::size_t i = 0; i < kListedExtension.size(); ++i)
        if (FoldCase(leaf[start + i]) != kListedExtension[i]) return false;
    return true;
}

// A folder's name without the separators after it ("/" itself and "C:\" keep theirs).
std::string WithoutTrailingSeparators(std::string folder) {
    while (folder.size() > 1 && platform::IsSeparator(folder.back())) {
#ifdef _WIN32
        if (folder.size() == 3 && folder[1] == ':') break;
#endif
        folder.pop_back();
    }
    return folder;
}

std::string Join(const std::string& folder, const std::string& leaf) {
    if (!folder.empty() && platform::IsSeparator(folder.back())) return folder + leaf;
    return folder + platform::kSeparator + leaf;
}

// The row's format for a name that cannot be read.
ListedFormat UnreadableFormat(platform::OpenFailure failure) {
    switch (failure) {
    case platform::OpenFailure::Missing:
        return ListedFormat::Missing;
    case platform::OpenFailure::TooLong:
        return ListedFormat::TooLong;
    case platform::OpenFailure::NoPermission:
        return ListedFormat::NoPermission;
    case platform::OpenFailure::NotRegular:
        return ListedFormat::NotRegular;
    case platform::OpenFailure::InUse:
        return ListedFormat::InUse;
    case platform::OpenFailure::None: // readable again a moment later
    case platform::OpenFailure::Other:
        break;
    }
    return ListedFormat::CannotOpen;
}

// Why a name cannot be opened.
platform::OpenFailure ProbeFailure(const std::string& name) {
    platform::InputFile file;
    return file.Open(name);
}

// The format of a file from its first bytes and, for an old one, whether it may be written.
ListedFormat ProbeFormat(const std::string& name) {
    platform::InputFile file;
    if (const platform::OpenFailure failure = file.Open(name); failure != platform::OpenFailure::None)
        return UnreadableFormat(failure);
    std::array<std::uint8_t, kSignatureSize> head{};
    std::size_t got = 0;
    while (got < head.size()) {
        const std::optional<std::size_t> n = file.Read(head.data() + got, head.size() - got);
        if (!n) return ListedFormat::CannotOpen;
        if (*n == 0) break;
        got += *n;
    }
    switch (DetectVersion(std::string_view(reinterpret_cast<const char*>(head.data()), got))) {
    case FileVersion::V100:
        return platform::IsReadOnly(name) ? ListedFormat::ReadOnly : ListedFormat::V100;
    case FileVersion::V101:
        return platform::IsReadOnly(name) ? ListedFormat::ReadOnly : ListedFormat::V101;
    case FileVersion::V102:
        return ListedFormat::Current;
    case FileVersion::Unknown:
        break;
    }
    return ListedFormat::NotData;
}

// Adds the listed files of `root` and its subfolders: the folder's own files first, then each
// subfolder in turn, each group in Explorer's order of names. A folder that cannot be read is a row
// that tells why. Walked with a stack of its own, so that a deep tree cannot exhaust the thread's
// stack.
void ListFolderTree(const std::string& root, bool relative, std::set<std::string>& seen,
                    std::vector<BatchFile>& files) {
    const std::string top = WithoutTrailingSeparators(root);
    const std::size_t prefix = Join(top, "").size();
    auto shown = [&](const std::string& full) {
        return relative && full != top ? full.substr(prefix) : full;
    };
    std::vector<std::string> pending{top}; // folders still to list, the next one last
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        platform::OpenFailure failure = platform::OpenFailure::Other;
        std::optional<std::vector<platform::FolderEntry>> entries = platform::ListFolder(folder, failure);
        if (!entries) {
            if (seen.insert(ListingKey(folder)).second)
                files.push_back({folder, shown(folder), UnreadableFormat(failure), true});
            continue;
        }
        std::sort(entries->begin(), entries->end(),
                  [](const platform::FolderEntry& a, const platform::FolderEntry& b) {
                      return platform::ShownBefore(a.name, b.name);
                  });
        std::vector<std::string> subfolders;
        for (const platform::FolderEntry& entry : *entries) {
            if (entry.hidden) continue;
            const std::string full = Join(folder, entry.name);
            // A name of the list that is neither a file nor a folder (a FIFO, a device, a dangling
            // link) is a row that says so; a link to a folder is left out.
            if (entry.folder) {
                subfolders.push_back(full);
            } else if (EndsWithZel(entry.name) &&
                       (entry.file || platform::KindOfName(full) != platform::NameKind::Folder) &&
                       seen.insert(ListingKey(full)).second) {
                files.push_back({full, shown(full), ProbeFormat(full)});
            }
        }
        pending.insert(pending.end(), subfolders.rbegin(), subfolders.rend());
    }
}

} // namespace

std::string ListingKey(const std::string& name) {
#ifdef _WIN32
    std::string key = name;
    for (char& c : key)
        c = c == '/' ? '\\' : FoldCase(c);
    return key;
#else
    return name;
#endif
}

bool NamesMakeABatch(const std::vector<std::string>& names) {
    return names.size() > 1 ||
           (names.size() == 1 && platform::KindOfName(names.front()) == platform::NameKind::Folder);
}

std::size_t FilesToConvert(const std::vector<BatchFile>& files) {
    return static_cast<std::size_t>(std::count_if(files.begin(), files.end(), [](const BatchFile& f) {
        return f.format == ListedFormat::V100 || f.format == ListedFormat::V101;
    }));
}

std::vector<std::string> FullNames(const std::vector<BatchFile>& files) {
    std::vector<std::string> names;
    for (const BatchFile& file : files)
        names.push_back(file.fullName);
    return names;
}

std::string ReportFolder(const std::vector<std::string>& names, const std::vector<BatchFile>& files) {
    if (names.size() == 1 && platform::KindOfName(names.front()) == platform::NameKind::Folder)
        return names.front();
    const std::string& first = files.empty() ? names.front() : files.front().fullName;
    const auto last = std::find_if(first.rbegin(), first.rend(), platform::IsSeparator);
    return last == first.rend() ? std::string() : std::string(first.begin(), last.base() - 1);
}

std::vector<BatchFile> ListBatch(const std::vector<std::string>& names) {
    std::vector<BatchFile> files;
    std::set<std::string> seen;
    const bool oneRoot = names.size() == 1;
    for (const std::string& name : names) {
        switch (platform::KindOfName(name)) {
        case platform::NameKind::File:
            if (seen.insert(ListingKey(name)).second) files.push_back({name, name, ProbeFormat(name)});
            break;
        case platform::NameKind::Folder:
            ListFolderTree(name, oneRoot, seen, files);
            break;
        case platform::NameKind::Missing:
        case platform::NameKind::Special:
        case platform::NameKind::LinkLoop:
            // Named, yet not there to be read: a row that says so, refused when its turn comes.
            if (seen.insert(ListingKey(name)).second)
                files.push_back({name, name, UnreadableFormat(ProbeFailure(name))});
            break;
        }
    }
    return files;
}

namespace {

// Records what the workflow shows for one file and answers its question as the options say.
class FileMessages : public Messages {
public:
    FileMessages(std::size_t index, const BatchOptions& options, BatchOutcome& outcome)
        : index_(index), options_(options), outcome_(outcome) {}

    void Inform(const std::string& text) override { Record(BatchMessage::Kind::Inform, text, false); }
    void Warn(const std::string& text) override {
        if (firstWarning_.empty()) firstWarning_ = text;
        Record(BatchMessage::Kind::Warn, text, false);
    }
    void WarnFailure(const std::string& text, int errorCode) override {
        if (errorCode == platform::code::DiskFull) diskFull_ = true;
        Warn(text);
    }
    bool AskYesNo(const std::string& text) override {
        const bool yes = !options_.answer || options_.answer(index_, text);
        outcome_.log.push_back({BatchMessage::Kind::Ask, text, yes});
        return yes;
    }

    bool diskFull() const { return diskFull_; }
    // The first line of the first warning, else of the first message.
    std::string FirstLine() const {
        std::string text = firstWarning_;
        if (text.empty() && !outcome_.log.empty()) text = outcome_.log.front().text;
        return text.substr(0, text.find(CR));
    }

private:
    void Record(BatchMessage::Kind kind, const std::string& text, bool answer) {
        if (!outcome_.messages.empty()) outcome_.messages += std::string(2, CR);
        outcome_.messages += text;
        outcome_.log.push_back({kind, text, answer});
    }
    std::size_t index_; // the file's place in the list
    const BatchOptions& options_;
    BatchOutcome& outcome_;
    std::string firstWarning_;
    bool diskFull_ = false;
};

constexpr const char* kUnexpectedErrorText = "予期しないエラーが発生しました。";
constexpr const char* kDeclinedReason = "上書きしないと答えました";

// For each file, why it may not be written because of its backup name ("" where it may): of the
// files listed as ones that would be written (format 1.00 or 1.01), every one whose backup name is,
// on this system, that of an earlier one in the list's order, so that no backup stands for two files.
// From the listing, without reading every file once more before the run begins.
std::vector<std::string> BackupNameClashes(const std::vector<BatchFile>& files) {
    std::vector<std::string> reasons(files.size());
    std::set<std::string> taken;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].format != ListedFormat::V100 && files[i].format != ListedFormat::V101) continue;
        const std::string backup = DeriveName(files[i].fullName, kBackupExtension);
        if (taken.insert(ListingKey(backup)).second) continue;
        const auto leaf = std::find_if(backup.rbegin(), backup.rend(), platform::IsSeparator).base();
        reasons[i] = "バックアップ名「" + std::string(leaf, backup.end()) + "」がほかのファイルと重なります";
    }
    return reasons;
}

// Converts one file in place unless `refusal` says why not; true when it failed for a full disk.
bool ConvertOne(std::size_t index, const BatchFile& file, const std::string& refusal,
                const BatchOptions& options, BatchOutcome& outcome) {
    outcome = BatchOutcome{};
    if (file.folder || !refusal.empty()) {
        outcome.result = BatchResult::NotConverted;
        outcome.reason = refusal.empty() ? ListedFormatText(file.format) : refusal;
        outcome.finishedAt = std::time(nullptr);
        return false;
    }
    // Looked at again now: the file may have changed since it was listed.
    const ListedFormat format = ProbeFormat(file.fullName);
    bool diskFull = false;
    switch (format) {
    case ListedFormat::Current:
        outcome.result = BatchResult::NotNeeded;
        break;
    case ListedFormat::NotData:
    case ListedFormat::CannotOpen:
    case ListedFormat::ReadOnly:
    case ListedFormat::Missing:
    case ListedFormat::TooLong:
    case ListedFormat::NoPermission:
    case ListedFormat::NotRegular:
        outcome.result = BatchResult::NotConverted;
        outcome.reason = ListedFormatText(format);
        break;
    case ListedFormat::InUse:
        outcome.result = BatchResult::NotConverted;
        outcome.reason = "使用中です";
        break;
    case ListedFormat::V100:
    case ListedFormat::V101: {
        FileMessages messages(index, options, outcome);
        ConversionState state;
        state.sourceName = file.fullName;
        state.targetName = file.fullName;
        Outcome result = Outcome::WriteFailed;
        try {
            // One working set per file: nothing of an earlier file stays in memory.
            auto ws = std::make_unique<WorkingSet>();
            result = RunConversionTo(state, *ws, messages);
        } catch (const std::bad_alloc&) {
            messages.Warn(platform::DescribeError(platform::code::OutOfMemory));
        } catch (const std::exception&) {
            messages.Warn(kUnexpectedErrorText);
        }
        diskFull = messages.diskFull();
        // Only a backup made now is named: one kept from before is told by the result.
        outcome.backupName = state.backupFileName;
        switch (result) {
        case Outcome::Converted:
            outcome.result =
                state.backupFileName.empty() ? BatchResult::ConvertedBackupExisted : BatchResult::Converted;
            break;
        case Outcome::AlreadyCurrent:
            outcome.result = BatchResult::NotNeeded;
            break;
        case Outcome::Declined:
            outcome.result = BatchResult::NotConverted;
            outcome.reason = kDeclinedReason;
            break;
        case Outcome::WriteFailedAfter101:
            outcome.result = BatchResult::Converted101Only;
            outcome.reason = messages.FirstLine();
            break;
        case Outcome::EmptyFields:
        case Outcome::Refused:
        case Outcome::BackupFailed:
        case Outcome::WriteFailed:
            outcome.result = BatchResult::Failed;
            outcome.reason = messages.FirstLine();
            break;
        }
        break;
    }
    }
    outcome.finishedAt = std::time(nullptr);
    return diskFull;
}

} // namespace

BatchEnd RunBatch(const std::vector<BatchFile>& files, std::vector<BatchOutcome>& outcomes,
                  const BatchOptions& options) {
    outcomes.assign(files.size(), BatchOutcome{});
    // Decided for the whole list before any file is written, whatever order the workers take.
    const std::vector<std::string> clashes = BackupNameClashes(files);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> diskFull{false};
    std::atomic<bool> stopped{false};
    auto work = [&]() {
        for (;;) {
            if (diskFull.load()) return;
            if (options.stop && options.stop->load()) {
                stopped = true;
                return;
            }
            const std::size_t index = next.fetch_add(1);
            if (index >= files.size()) return;
            if (ConvertOne(index, files[index], clashes[index], options, outcomes[index])) diskFull = true;
            if (options.done) options.done(index, outcomes[index]);
        }
    };

    const unsigned wanted = std::max(1u, std::min(options.workers, platform::ProcessorCount()));
    const std::size_t count = std::min<std::size_t>(wanted, files.size());
    if (count <= 1) {
        work();
    } else {
        std::vector<std::thread> workers;
        workers.reserve(count);
        try {
            for (std::size_t i = 0; i < count; ++i)
                workers.emplace_back([&work]() {
                    platform::HoldInterruptsInThisThread();
                    work();
                });
        } catch (const std::system_error&) {
            // Fewer threads than asked for: those started share the files.
        }
        if (workers.empty()) work();
        for (std::thread& worker : workers)
            worker.join();
    }
    if (diskFull) return BatchEnd::DiskFull;
    return stopped && next.load() < files.size() ? BatchEnd::Stopped : BatchEnd::Finished;
}

namespace {

// A text as the report holds it: valid UTF-8 stays; every byte that does not belong to a valid
// sequence is written as the four characters \xHH (hex, capitals), as a terminal shows such a name.
std::string ShownBytes(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t length = Utf8SequenceAt(text, i)) {
            out.append(text, i, length);
            i += length;
        } else {
            const auto byte = static_cast<unsigned char>(text[i++]);
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    return out;
}

std::string CsvField(const std::string& text) {
    std::string field = ShownBytes(text);
    if (!field.empty() && std::string_view("=+-@\t\r").find(field[0]) != std::string_view::npos)
        field.insert(0, 1, '\'');
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

} // namespace

std::string BatchReportCsv(const std::vector<BatchFile>& files, const std::vector<BatchOutcome>& outcomes) {
    std::string csv = "\xEF\xBB\xBF";
    auto row = [&csv](std::initializer_list<std::string> fields) {
        bool first = true;
        for (const std::string& field : fields) {
            if (!first) csv += ',';
            csv += CsvField(field);
            first = false;
        }
        csv += "\r\n";
    };
    row({"ファイル", "変換前の形式", "結果", "バックアップ", "日時"});
    for (std::size_t i = 0; i < files.size(); ++i) {
        const BatchOutcome outcome = i < outcomes.size() ? outcomes[i] : BatchOutcome{};
        const bool finished = outcome.undo ? outcome.undo->result != UndoResult::Pending
                                           : outcome.result != BatchResult::Pending;
        row({files[i].shownName, ListedFormatText(files[i].format), BatchResultText(outcome),
             outcome.backupName,
             finished ? LocalTimeText(outcome.finishedAt, "%Y-%m-%d %H:%M:%S") : std::string()});
    }
    return csv;
}

void SaveBatchReport(const std::string& name, const std::vector<BatchFile>& files,
                     const std::vector<BatchOutcome>& outcomes, Messages& messages) {
    const std::string report = BatchReportCsv(files, outcomes);
    const platform::FileResult written =
        platform::ReplaceFileContents(name, std::vector<std::uint8_t>(report.begin(), report.end()));
    if (written.error)
        ReportWriteError(messages, *written.error);
    else if (written.warning)
        ReportWriteWarning(messages, *written.warning, name);
}

std::string DefaultReportName(std::time_t now) {
    return "変換結果_" + LocalTimeText(now, "%Y%m%d_%H%M%S") + ".csv";
}

} // namespace zel
