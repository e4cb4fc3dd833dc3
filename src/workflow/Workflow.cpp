#include "workflow/Workflow.h"

#include "platform/Platform.h"
#include "workflow/Utf8.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace zel {

namespace {

// Texts of the workflow's own messages.
constexpr const char* kNoFileNameText = "ファイル名が指定されていません。ファイル名を指定して下さい。";
constexpr const char* kOverwriteText = "データが存在します。上書きしてもよろしいですか？";
constexpr const char* kConvertedText = "指定したファイルは最新バージョンに変換されました。";
constexpr const char* kBackupNoteText =
    "念のため元のファイルをバックアップしました。必要がなければ消して下さい。";

// Byte offsets at which the characters of a UTF-8 text start. A byte that does not begin a valid
// sequence counts as one character of its own, so that a damaged name still gets a definite length.
std::vector<std::size_t> CharacterStarts(const std::string& text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); i += std::max<std::size_t>(1, Utf8SequenceAt(text, i)))
        starts.push_back(i);
    return starts;
}

} // namespace

std::string DeriveName(const std::string& name, const std::string& extension) {
    const std::vector<std::size_t> starts = CharacterStarts(name);
    const std::size_t n = starts.size();

    // The last component follows the last separator (the whole name when there is none). The
    // separator and ".zel" are ASCII, which never occurs inside a multi-byte UTF-8 sequence, so
    // the byte search finds exactly the character matches.
    const std::size_t lastSeparator = name.rfind(platform::kSeparator);
    const std::size_t componentStart = lastSeparator == std::string::npos ? 0 : lastSeparator + 1;
    const bool hasZel = name.find(kTargetExtension, componentStart) != std::string::npos;

    // When the last component contains ".zel" anywhere, the last four characters of the name are
    // dropped, whatever they are ("site.zel.old" becomes "site.zel" + extension).
    const std::size_t keepBytes = hasZel ? starts[n - 4] : name.size();
    return name.substr(0, keepBytes) + extension;
}

BackupResult SetExtension(ConversionState& state, const std::string& name, const std::string& extension,
                          Messages& messages) {
    std::string derived = DeriveName(name, extension);
    if (extension == kBackupExtension) return MakeBackup(state, derived, messages);
    state.targetName = std::move(derived);
    if (state.targetSettled) state.targetSettled(state.targetName);
    return BackupResult::NameTaken;
}

namespace {

// MakeBackup's end: the outcome of the copy told to the user.
BackupResult BackupCopied(ConversionState& state, const platform::FileResult& copy,
                          const std::string& backupName, Messages& messages) {
    if (copy.ok()) {
        state.backupFileName = backupName;
        if (copy.warning) ReportWriteWarning(messages, *copy.warning, backupName);
        return BackupResult::Made;
    }
    platform::FileError error = *copy.error;
    if (error.code == platform::code::FileAlreadyExists) {
        // Only an ordinary file (read-only ones included) keeps its name for the earlier backup.
        // A folder, or a hidden or system file, under that name is not an earlier backup: the copy
        // cannot be made there, and the user is told that the name may not be written.
        if (platform::FileExists(backupName)) return BackupResult::NameTaken;
        error = {platform::code::PathFileAccess, platform::DescribeError(platform::code::PathFileAccess)};
    }
    if (error.code == platform::code::ChangedElsewhere)
        messages.Warn(error.description + NameBelow(state.sourceName));
    else if (error.code == platform::code::Unverified)
        ReportUnverified(messages, backupName);
    else
        ReportWriteError(messages, error);
    return BackupResult::Failed;
}

// The backup copied from the source as it was read, never opened again by its name.
BackupResult MakeBackupFrom(ConversionState& state, platform::InputFile& source,
                            const std::string& backupName, Messages& messages) {
    return BackupCopied(state, platform::CopyFileNoReplace(source, backupName), backupName, messages);
}

} // namespace

BackupResult MakeBackup(ConversionState& state, const std::string& backupName, Messages& messages) {
    return BackupCopied(state, platform::CopyFileNoReplace(state.sourceName, backupName), backupName,
                        messages);
}

std::string NotAFileReason(platform::NameKind kind) {
    switch (kind) {
    case platform::NameKind::Folder:
        return "フォルダです";
    case platform::NameKind::Special:
        return "通常のファイルではありません（デバイスなど）";
    case platform::NameKind::LinkLoop:
        return "循環するシンボリックリンクです";
    case platform::NameKind::Missing:
    case platform::NameKind::File:
        break;
    }
    return {};
}

namespace {

// The refusal of a target name that names no file that could be replaced: what the name is.
std::string NotAFileText(platform::NameKind kind, const std::string& name) {
    return "変換後のファイル名は" + NotAFileReason(kind) + "。\r別のファイル名を指定して下さい。" +
           NameBelow(name);
}

// The temporary files that killed runs left for the target and its backup: removed where the name
// exists; kept, and returned, where it does not, for then they may hold the only copy of its content.
std::vector<std::string> ClearLeftovers(const std::string& target) {
    std::vector<std::string> kept = platform::RemoveLeftovers(target);
    for (std::string& name : platform::RemoveLeftovers(DeriveName(target, kBackupExtension)))
        kept.push_back(std::move(name));
    return kept;
}

// The conversion of a settled target name, from reading the source to the final message.
Outcome ConvertTo(ConversionState& state, WorkingSet& ws, Messages& messages) {
    // Held open from the read to the last rename: the backup is copied from it, and its identity
    // tells whether another program wrote the file in the meantime.
    platform::InputFile source;
    LoadResult loaded = LoadUsrData(ws, state.sourceName, messages, source);
    if (loaded == LoadResult::Refused) return Outcome::Refused;
    if (loaded == LoadResult::AlreadyCurrent) return Outcome::AlreadyCurrent;
    const FileVersion version = ws.LastSignature;

    // A folder, a device or a circle of links cannot take the converted file: refused before the
    // question, the backup or any write.
    const platform::NameKind kind = platform::KindOfName(state.targetName);
    if (kind != platform::NameKind::Missing && kind != platform::NameKind::File) {
        messages.Warn(NotAFileText(kind, state.targetName));
        return Outcome::Refused;
    }

    // In place when the target's name holds the very file that was read. Told before the question:
    // a file that another program saves there while the user answers is its save, not the source.
    const platform::FileIdentity& read = source.Identity();
    const std::optional<platform::FileIdentity> atRead = platform::IdentityOf(state.targetName);
    const bool inPlace = atRead && atRead->volume == read.volume && atRead->file == read.file;

    // Asked for every old-format source whose target exists, the source itself included.
    if (platform::FileExists(state.targetName) && !messages.AskYesNo(kOverwriteText))
        return Outcome::Declined;

    // What the target's name must hold at each rename: the source as it was read (in place), else
    // the file the user agreed to overwrite, or nothing (then the name is never taken from another).
    platform::ReplaceCheck check;
    check.heldSource = &source;
    check.expect = platform::ReplaceCheck::Expect::File;
    if (inPlace) {
        check.file = read;
    } else if (const std::optional<platform::FileIdentity> agreed = platform::IdentityOf(state.targetName)) {
        check.file = *agreed;
    } else {
        check.expect = platform::ReplaceCheck::Expect::Nothing;
    }

    const BackupResult backupResult =
        MakeBackupFrom(state, source, DeriveName(state.targetName, kBackupExtension), messages);
    if (backupResult == BackupResult::Failed) return Outcome::BackupFailed;
    if (version == FileVersion::V100 &&
        Write101(ws, state.targetName, messages, check) == WriteResult::Failed)
        return Outcome::WriteFailed;
    if (Write102(ws, state.targetName, messages, check, version == FileVersion::V100) == WriteResult::Failed)
        return version == FileVersion::V100 ? Outcome::WriteFailedAfter101 : Outcome::WriteFailed;

    if (backupResult == BackupResult::Made) {
        messages.Inform(std::string(kConvertedText) + CR + CR + kBackupNoteText + CR + state.backupFileName);
    } else {
        messages.Inform(kConvertedText);
    }
    return Outcome::Converted;
}

// The run for a settled target name, with the leftovers of killed runs cleared around it.
Outcome ConvertSettled(ConversionState& state, WorkingSet& ws, Messages& messages) {
    const std::vector<std::string> kept = ClearLeftovers(state.targetName);

    const Outcome outcome = ConvertTo(state, ws, messages);
    if (kept.empty()) return outcome;
    if (outcome == Outcome::Converted) {
        // Both names exist now, with complete content: what was kept for want of them goes.
        (void)ClearLeftovers(state.targetName); // none can be kept now
    } else {
        std::string text = std::string("以前に中断された書き込みの一時ファイルが残っています。") + CR +
                           "書き込み先のファイルがないため消さずに残しました。このファイルにしか残っていない"
                           "内容があるかもしれません。" +
                           CR;
        for (const std::string& leftover : kept)
            text += CR + std::string("     ") + leftover;
        messages.Inform(text);
    }
    return outcome;
}

// A field of blanks is a name, only a field with nothing in it is not.
bool FieldsEmpty(const ConversionState& state, Messages& messages) {
    if (!state.sourceName.empty() && !state.targetName.empty()) return false;
    messages.Inform(kNoFileNameText);
    return true;
}

} // namespace

Outcome RunConversion(ConversionState& state, WorkingSet& ws, Messages& messages) {
    if (FieldsEmpty(state, messages)) return Outcome::EmptyFields;
    // The target name is settled first and stays in the target field whatever happens next.
    (void)SetExtension(state, state.targetName, kTargetExtension, messages); // always 0 for ".zel"
    return ConvertSettled(state, ws, messages);
}

Outcome RunConversionTo(ConversionState& state, WorkingSet& ws, Messages& messages) {
    if (FieldsEmpty(state, messages)) return Outcome::EmptyFields;
    if (state.targetSettled) state.targetSettled(state.targetName);
    return ConvertSettled(state, ws, messages);
}

} // namespace zel
