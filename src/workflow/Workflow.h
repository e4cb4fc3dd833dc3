// The conversion workflow behind the Convert button, the name rule and the backup copy. Qt-free:
// the window and the command line both run it on their own ConversionState.
#pragma once

#include "usrdata/LoadReadModule.h"
#include "usrdata/Messages.h"

#include <cstdint>
#include <string>

namespace zel {

// What the conversion window holds: the two name fields and the name of the last backup made.
struct ConversionState {
    std::string imText1;        // source file name
    std::string imText2;        // target file name
    std::string BackupFileName; // full name of the last backup made; never cleared
};

// MakeBackup / SetExtension(".bak") results.
inline constexpr std::uint8_t kBackupNameTaken = 0;
inline constexpr std::uint8_t kBackupMade = 1;
inline constexpr std::uint8_t kBackupFailed = 2;

// How one run of the workflow ended.
enum class Outcome {
    EmptyFields,    // a name field was empty
    Refused,        // the source was missing, not data or damaged
    AlreadyCurrent, // the source is already in format 1.02
    Declined,       // the target exists and the user answered No
    BackupFailed,   // the backup copy failed
    WriteFailed,    // Write101 or Write102 failed
    Converted,      // converted; a backup was made in this run or its name was taken
};

// Derives a name from `name` with the extension `extension` by the name rule. With ".bak" it makes
// the backup copy under the derived name and returns MakeBackup's result; with any other extension
// it writes the derived name into state.imText2 and returns 0.
std::uint8_t SetExtension(ConversionState& state, const std::string& name, const std::string& extension,
                          Messages& messages);

// The name that the name rule derives, without side effects.
std::string DeriveName(const std::string& name, const std::string& extension);

// Copies the source (state.imText1) to `backupName` unless a file of that name exists.
std::uint8_t MakeBackup(ConversionState& state, const std::string& backupName, Messages& messages);

// One press of the Convert button, start to end.
Outcome RunConversion(ConversionState& state, WorkingSet& ws, Messages& messages);

} // namespace zel
