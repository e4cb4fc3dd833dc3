// The conversion workflow behind the Convert button, the name rule and the backup copy. Toolkit-
// free: the windows and the command line all run it on their own ConversionState.
#pragma once

#include "fileops/LoadReadModule.h"
#include "fileops/Messages.h"
#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <string>

namespace zel {

// The extension of the program's data files, and that of the backup copy.
inline constexpr const char* kTargetExtension = ".zel";
inline constexpr const char* kBackupExtension = ".bak";

// What the conversion window holds: the two name fields and the name of the last backup made.
struct ConversionState {
    std::string sourceName;     // the source file's name (the upper field)
    std::string targetName;     // the target file's name (the lower field)
    std::string backupFileName; // full name of the last backup made; never cleared
    // Told the settled target name as soon as the name rule settles it, before any question or
    // message, so that a window can show it at once.
    std::function<void(const std::string&)> targetSettled;
};

// MakeBackup / SetExtension results.
enum class [[nodiscard]] BackupResult : std::uint8_t{NameTaken = 0, Made = 1, Failed = 2};

// How one run of the workflow ended.
enum class [[nodiscard]] Outcome{
    EmptyFields,         // a name field was empty
    Refused,             // the source was missing, not data or damaged, or the target is no file
    AlreadyCurrent,      // the source is already in format 1.02
    Declined,            // the target exists and the user answered No
    BackupFailed,        // the backup copy failed
    WriteFailed,         // Write101 or Write102 failed; the target holds what it held before
    WriteFailedAfter101, // a 1.00 source: Write101 wrote the target, then Write102 failed
    Converted,           // converted; a backup was made in this run or its name was taken
};

// Derives a name from `name` with the extension `extension` by the name rule. With ".bak" it makes
// the backup copy under the derived name and returns MakeBackup's result; with any other extension
// it makes the derived name the target name and returns NameTaken (0).
BackupResult SetExtension(ConversionState& state, const std::string& name, const std::string& extension,
                          Messages& messages);

// What a name is that cannot take a converted file ("フォルダです" and the like), or "" for a name
// that can (a file, or none yet).
std::string NotAFileReason(platform::NameKind kind);

// The name that the name rule derives, without side effects.
std::string DeriveName(const std::string& name, const std::string& extension);

// Copies the source (state.sourceName) to `backupName` unless a file of that name exists.
BackupResult MakeBackup(ConversionState& state, const std::string& backupName, Messages& messages);

// One press of the Convert button, start to end.
Outcome RunConversion(ConversionState& state, WorkingSet& ws, Messages& messages);

// The same with the target name taken as it is, without the name rule (a batch converts each file
// where it is, "SITE.ZEL" included). The backup still follows the name rule.
Outcome RunConversionTo(ConversionState& state, WorkingSet& ws, Messages& messages);

} // namespace zel
