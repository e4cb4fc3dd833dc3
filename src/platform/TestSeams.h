// Fault seams of the file layer, compiled only into builds with ZEL_TEST_SEAMS (the test builds):
// the programs that are shipped contain none of this.
#pragma once

#ifdef ZEL_TEST_SEAMS

#include <cstdint>
#include <functional>

namespace zel::platform {

// Makes the next `count` file writes of ReplaceFileContents / CopyFileNoReplace fail, after part
// of the data was written, as if the system had reported the failure that maps to `errorCode`
// (code::DiskFull: ENOSPC / ERROR_DISK_FULL; code::DeviceIO: EIO / ERROR_WRITE_FAULT). count 0
// switches the fault off.
void InjectWriteFault(int errorCode, int count = 1);

// Makes InputFile::Open fail for the next `count` opens, as for a file that exists but cannot be
// read (which file modes cannot arrange for root).
void InjectReadFault(int count = 1);

// Makes the next InputFile::Read that would go past `offset` bytes of its file fail, as a disk that
// cannot be read there.
void InjectReadFaultAt(std::uint64_t offset);

// Makes the next flush to disk of a written file (`folder` false) or of a folder after a new name
// was put in it (`folder` true) fail with the system error number `systemError` (EIO; EINVAL as
// some network file systems answer for folders). POSIX only.
void InjectFlushFault(bool folder, int systemError);

// Ends the process (as kill -9 would) at the `point`-th step of the write protocol from now on,
// counting from 0: each system call of a write or copy that changes what is on disk, and the middle
// of every write of data. Only crash tests call this, in a child process.
void InjectCrashAt(std::uint64_t point);

// Makes file writes behave as on a file system that has neither unnamed temporary files nor hard
// links (FAT or exFAT on a USB stick, some network shares): the temporary file has a name from the
// start, and a copy that must not replace a file is moved into place. Linux only.
void InjectFileSystemWithoutLinks(bool on);

// Makes writes behave as on a Windows file system that cannot rename a file through its handle
// (the rename goes by name, with the file closed first). Windows only.
void InjectRenameByHandleRefused(bool on);

// Makes writes behave as on a file system that refuses to mark a file for deletion while it is
// open: the temporary file is deleted by its name instead. Windows only.
void InjectDeletionMarkRefused(bool on);

// Makes the next write of a file's content (ReplaceFileContents, CopyFileNoReplace) put on disk, at
// `offset` of the content, its byte changed or (`drop`) left out, as a faulty driver or disk might.
// UINT64_MAX switches it off.
void InjectWrittenByteFault(std::uint64_t offset, bool drop);
// Makes the next read-back of a written file see its byte at `offset` changed (UINT64_MAX: none).
void InjectReadBackFault(std::uint64_t offset);
// Makes writes give their files their names without reading them back: the benchmark's measure of
// what reading back costs.
void InjectReadBackSkipped(bool on);
// Moments at which another program may act on the file being converted.
enum class Moment : std::uint8_t {
    DuringCopy,    // the backup copy has read part of its source
    BeforeReplace, // a replacing write has its complete content and is about to check the target
};
// Runs `action` once, on the thread that reaches `moment` next (an empty action clears it).
void InjectAt(Moment moment, std::function<void()> action);

} // namespace zel::platform

#endif
