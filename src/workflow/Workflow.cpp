#include "workflow/Workflow.h"

#include "platform/Platform.h"
#include "usrdata/Signatures.h"

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

constexpr const char* kTargetExtension = ".zel";
constexpr const char* kBackupExtension = ".bak";

// Byte offsets at which the characters of a UTF-8 text start. A byte that does not begin a valid
// sequence counts as one character of its own, so that a damaged name still gets a definite length.
std::vector<std::size_t> CharacterStarts(const std::string& text) {
    std::vector<std::size_t> starts;
    std::size_t i = 0;
    while (i < text.size()) {
        starts.push_back(i);
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (lead >= 0xC2 && lead <= 0xDF)
            length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4;
        if (length > 1) {
            if (i + length > text.size()) {
                length = 1;
            } else {
                for (std::size_t k = 1; k < length; ++k)
                    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) length = 1;
            }
        }
        i += length;
    }
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

std::uint8_t SetExtension(ConversionState& state, const std::string& name, const std::string& extension,
                          Messages& messages) {
    std::string derived = DeriveName(name, extension);
    if (extension == kBackupExtension) return MakeBackup(state, derived, messages);
    state.imText2 = std::move(derived);
    return 0;
}

std::uint8_t MakeBackup(ConversionState& state, const std::string& backupName, Messages& messages) {
    platform::FileError error;
    switch (platform::CopyFileNoReplace(state.imText1, backupName, error)) {
    case platform::CopyResult::Copied:
        state.BackupFileName = backupName;
        return kBackupMade;
    case platform::CopyResult::TargetExists:
        // Only an ordinary file (read-only ones included) keeps its name for the earlier backup.
        // A folder, or a hidden or system file, under that name is not an earlier backup: the copy
        // cannot be made there, and the user is told that the name may not be written.
        if (platform::FileExists(backupName)) return kBackupNameTaken;
        error.code = platform::code::PathFileAccess;
        error.description = platform::DescribeError(error.code);
        break;
    case platform::CopyResult::Failed:
        break;
    }
    ReportWriteError(messages, error);
    return kBackupFailed;
}

Outcome RunConversion(ConversionState& state, WorkingSet& ws, Messages& messages) {
    std::uint8_t backupResult = kBackupNameTaken;

    // A field of blanks is a name, only a field with nothing in it is not.
    if (state.imText1.empty() || state.imText2.empty()) {
        messages.Inform(kNoFileNameText);
        return Outcome::EmptyFields;
    }

    // The target name is settled first and stays in imText2 whatever happens next.
    SetExtension(state, state.imText2, kTargetExtension, messages);

    int stepResult = LoadUsrData(ws, state.imText1, messages);
    const std::string signature = ws.LastSignature;

    // Asked for every old-format source whose target exists, the source itself included.
    if (ws.LastSignature != kSignature102 && stepResult != kLoadRefused) {
        if (platform::FileExists(state.imText2) && !messages.AskYesNo(kOverwriteText))
            return Outcome::Declined;
    }

    if (stepResult == kLoadRefused) return Outcome::Refused;
    if (stepResult != kLoadOldFormat) return Outcome::AlreadyCurrent;

    if (signature == kSignature100) {
        backupResult = SetExtension(state, state.imText2, kBackupExtension, messages);
        if (backupResult == kBackupFailed) return Outcome::BackupFailed;
        if (Write101(ws, state.imText2, messages) == 0) return Outcome::WriteFailed;
        stepResult = Write102(ws, state.imText2, messages);
    } else if (signature == kSignature101) {
        backupResult = SetExtension(state, state.imText2, kBackupExtension, messages);
        if (backupResult == kBackupFailed) return Outcome::BackupFailed;
        stepResult = Write102(ws, state.imText2, messages);
    } else {
        // LoadUsrData reads a body only under an old signature; nothing was written.
        return Outcome::Refused;
    }
    if (stepResult == 0) return Outcome::WriteFailed;

    if (backupResult == kBackupMade) {
        messages.Inform(std::string(kConvertedText) + "\r\r" + kBackupNoteText + "\r" + state.BackupFileName);
    } else {
        messages.Inform(kConvertedText);
    }
    return Outcome::Converted;
}

} // namespace zel
