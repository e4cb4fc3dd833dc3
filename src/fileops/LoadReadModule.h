// The file operations that tell the user: reading an old user-data file into the working set, and
// the two writers that write the working set out as format 1.01 and 1.02, with their shared
// failure report.
#pragma once

#include "fileops/Messages.h"
#include "usrdata/FileImage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zel::platform {
struct FileError;
class InputFile;
struct ReplaceCheck;
struct FileIdentity;
} // namespace zel::platform

namespace zel {

// All records of the file being converted: the old project record with the blocks behind it as
// read from the source, and the new project record built from it. Created once by the program
// and passed to every operation.
struct WorkingSet {
    Main101 main101;
    FixedBlock fixedBlock{};
    FactorPair factorPair{};
    Main102 main102;
    WordPair wordPair{};
    // Which of the three signatures the last file whose signature was recognised began with.
    FileVersion LastSignature = FileVersion::Unknown;
};

enum class [[nodiscard]] LoadResult : std::uint8_t{Refused = 0, OldFormat = 1, AlreadyCurrent = 2};
enum class [[nodiscard]] WriteResult : std::uint8_t{Failed = 0, Written = 1};

// Checks the name, reads the signature and, for formats 1.00 and 1.01, the body into the working
// set, setting LastSignature to the format found. Shows its own message for every refusal and for
// a 1.02 file. A damaged body, or one whose records would take far more memory than its size
// allows, is refused and leaves the old records and LastSignature as they were.
LoadResult LoadUsrData(WorkingSet& ws, const std::string& name, Messages& messages);

// The same, leaving the source open in `source` when its records were read (the conversion copies
// the backup from it and checks that nobody wrote it before the target is replaced).
LoadResult LoadUsrData(WorkingSet& ws, const std::string& name, Messages& messages,
                       platform::InputFile& source);

// Writes the working set as a complete format 1.01 file, after setting the default factors.
// The target is replaced only by a complete file; a failure has been reported.
WriteResult Write101(WorkingSet& ws, const std::string& target, Messages& messages);

// Builds Main102 from Main101 and writes the working set as a complete format 1.02 file. A failing
// build leaves the target untouched; a failure has been reported.
WriteResult Write102(WorkingSet& ws, const std::string& target, Messages& messages);

// The two writers with what they expect to find at the target's name before they replace it. A
// write that finds another program's file there replaces nothing and reports it, naming the target.
// After a write, `check` expects the file just written, so that the next write checks for it.
// Every write is read back before it takes the target's name (platform::ReplaceFileContents), and the
// content read must also decode to the records it was written from. `after101`: the 1.02 step of a
// 1.00 file, whose target already holds the 1.01 file, so that a failure does not say that the
// original is as it was.
WriteResult Write101(WorkingSet& ws, const std::string& target, Messages& messages,
                     platform::ReplaceCheck& check);
WriteResult Write102(WorkingSet& ws, const std::string& target, Messages& messages,
                     platform::ReplaceCheck& check, bool after101 = false);

// Sets HighFactor 1.1 and LowFactor 0.9 in the working set.
void SetDefaultFactors(WorkingSet& ws);

// Shows the message for a write or copy that did not read back as written (code::Unverified): the
// text, "元のファイルはそのままです。" when `originalKept`, and the name below.
void ReportUnverified(Messages& messages, const std::string& name, bool originalKept = true);

// Shows the message for a failed write or copy: the read-only texts for code 75, the description
// and the advice to use another disk for code 61, the description alone for any other code.
void ReportWriteError(Messages& messages, const platform::FileError& error);

// Warns that `name` was written completely but its folder could not be flushed to disk, so that a
// power cut may still take the new content back.
void ReportWriteWarning(Messages& messages, const platform::FileError& warning, const std::string& name);

// What putting back the old file from which a file was converted finds, before anything is written.
enum class [[nodiscard]] PutBackCheck : std::uint8_t{
    NoBackup,     // no backup of that name
    BackupNotOld, // the backup is no complete 1.00 or 1.01 file
    Unreadable,   // the file or its backup cannot be read
    Same,         // the file holds what its backup holds
    Converted,    // the file is exactly what converting the backup writes
    Changed,      // anything else: changed since, or converted by another program
};
// Reads the file `name` and its backup `backupName` whole: whether the backup is an old file,
// whether the file equals it, and whether the file is byte for byte what this program writes when
// it converts the backup (1.02, or the 1.01 where a 1.00 conversion stops there), which proves that
// putting the backup back loses nothing. `file` stays open, for the put-back to check that nobody
// wrote the file since; `backupBytes` and `backupIdentity` get the backup as it was read.
PutBackCheck CheckPutBack(const std::string& name, const std::string& backupName, platform::InputFile& file,
                          std::vector<std::uint8_t>& backupBytes, platform::FileIdentity& backupIdentity);

// What a file is, from reading it once, signature and body, whatever its format; shows nothing
// and keeps nothing (the command line's --check).
enum class [[nodiscard]] FileCheck{Missing,   NotData,   Damaged,   TooLarge,
                                   Format100, Format101, Format102, InUse};
FileCheck CheckUsrData(const std::string& name);

} // namespace zel
