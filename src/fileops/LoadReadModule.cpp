#include "fileops/LoadReadModule.h"

#include "platform/Platform.h"
#include "upgrade/Set102Module.h"

#include <memory>
#include <new>
#include <optional>
#include <string_view>

namespace zel {

namespace {

// A read of the file failed after it was opened.
struct ReadFailed {};

// The body of an open file, read through a small buffer.
class FileSource : public ByteSource {
public:
    explicit FileSource(platform::InputFile& file) : file_(file) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t size) override {
        auto got = file_.Read(buffer, size);
        if (!got) throw ReadFailed{};
        return *got;
    }

private:
    platform::InputFile& file_;
};

FileCheck FormatOf(FileVersion version) {
    return version == FileVersion::V100   ? FileCheck::Format100
           : version == FileVersion::V101 ? FileCheck::Format101
                                          : FileCheck::Format102;
}

// Reads a file's signature and then, for a format whose body is wanted (`old` for 1.00 and 1.01,
// `current` for 1.02), its body through the same open file.
FileCheck ReadSource(const std::string& name, platform::InputFile& file, FileVersion& version, Body101* old,
                     Body102* current) {
    version = FileVersion::Unknown;
    if (name.empty() || !platform::FileExists(name)) return FileCheck::Missing;
    // A file that another program holds is in use; one that cannot be opened or read for any other
    // reason counts as one whose signature matches nothing.
    const platform::OpenFailure failure = file.Open(name);
    if (failure == platform::OpenFailure::InUse) return FileCheck::InUse;
    if (failure != platform::OpenFailure::None) return FileCheck::NotData;
    try {
        FileSource source(file);
        const std::uint64_t size = file.Size();
        std::string head(kSignatureSize, '\0');
        if (size < kSignatureSize) return FileCheck::NotData;
        ByteReader signatureReader(source, kSignatureSize);
        signatureReader.bytes(head.data(), kSignatureSize);
        version = DetectVersion(head);
        if (version == FileVersion::Unknown) return FileCheck::NotData;

        const bool isOld = version != FileVersion::V102;
        if ((isOld && !old) || (!isOld && !current)) return FormatOf(version);
        ByteReader body(source, static_cast<std::size_t>(size - kSignatureSize));
        // One budget for the records read and, for an old file, the 1.02 records built from them.
        MemoryBudget budget(ConversionBudget(size));
        if (isOld) {
            DecodeBody101(body, version, *old, &budget);
            budget.Charge(Main102Cost(old->main));
        } else {
            DecodeBody102(body, *current, &budget);
        }
        return FormatOf(version);
    } catch (const ReadFailed&) {
        version = FileVersion::Unknown;
        return FileCheck::NotData;
    } catch (const DamagedFile&) {
        return FileCheck::Damaged;
    } catch (const RecordsTooLarge&) {
        return FileCheck::TooLarge;
    } catch (const std::bad_alloc&) {
        return FileCheck::TooLarge;
    }
}

// Receives an encoder's bytes and hands them to the file being written, counting them.
class ContentSink : public ByteSink {
public:
    explicit ContentSink(const platform::ContentWriter& write) : write_(write) {}
    void Put(const std::uint8_t* data, std::size_t size) override {
        write_(data, size);
        size_ += size;
    }
    std::size_t size() const { return size_; }

private:
    const platform::ContentWriter& write_;
    std::size_t size_ = 0;
};

// Gives a reader the bytes of a written file as they are read back.
class ReadBackSource : public ByteSource {
public:
    explicit ReadBackSource(const platform::ContentReader& read) : read_(read) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t size) override { return read_(buffer, size); }

private:
    const platform::ContentReader& read_;
};

// Writes what `encode` puts into its sink as the new content of the target, and while the written
// file is read back decodes it with `encodes` (a reader over the written size in, whether it holds
// the records that were encoded out); reports a failure, or a warning when the new content may not
// have reached the disk for good. `originalKept`: the target, should this write fail, still holds
// what it held before the conversion.
template <class Encode, class Encodes>
WriteResult WriteTarget(const std::string& target, Encode encode, Encodes encodes, Messages& messages,
                        platform::ReplaceCheck& check, bool originalKept) {
    std::size_t written = 0;
    const platform::FileResult result = platform::ReplaceFileContents(
        target,
        [&](const platform::ContentWriter& write) {
            ContentSink sink(write);
            encode(sink);
            written = sink.size();
        },
        check,
        [&](const platform::ContentReader& read) {
            ReadBackSource source(read);
            ByteReader reader(source, written);
            return encodes(reader);
        });
    if (result.error) {
        if (result.error->code == platform::code::ChangedElsewhere)
            messages.Warn(result.error->description + NameBelow(target));
        else if (result.error->code == platform::code::Unverified)
            ReportUnverified(messages, target, originalKept);
        else
            ReportWriteError(messages, *result.error);
        return WriteResult::Failed;
    }
    if (result.warning) ReportWriteWarning(messages, *result.warning, target);
    check = platform::ReplaceCheck{};
    if (result.written) check = {platform::ReplaceCheck::Expect::File, *result.written, nullptr};
    return WriteResult::Written;
}

WriteResult ReportOutOfMemory(Messages& messages) {
    ReportWriteError(messages, platform::FileError{platform::code::OutOfMemory,
                                                   platform::DescribeError(platform::code::OutOfMemory)});
    return WriteResult::Failed;
}

} // namespace

LoadResult LoadUsrData(WorkingSet& ws, const std::string& name, Messages& messages) {
    platform::InputFile source;
    return LoadUsrData(ws, name, messages, source);
}

LoadResult LoadUsrData(WorkingSet& ws, const std::string& name, Messages& messages,
                       platform::InputFile& source) {
    source.Close();
    if (name.empty()) {
        messages.Warn("ファイルを指定してください");
        return LoadResult::Refused;
    }
    // The record built for an earlier file is of no further use; it is rebuilt for every file.
    ws.main102 = Main102{};

    // The body is read into a fresh record and taken over only when it is complete, so a damaged
    // file leaves the working set as it was.
    std::unique_ptr<Body101> body;
    FileVersion version = FileVersion::Unknown;
    FileCheck state = FileCheck::TooLarge;
    try {
        body = std::make_unique<Body101>();
        state = ReadSource(name, source, version, body.get(), nullptr);
    } catch (const std::bad_alloc&) {
    }
    const std::string shownName = NameBelow(name);
    if (state != FileCheck::Format100 && state != FileCheck::Format101) source.Close();
    switch (state) {
    case FileCheck::Missing:
        messages.Warn(std::string("フォルダが見つかりませんでした") + CR + "ファイル名：" + name);
        return LoadResult::Refused;
    case FileCheck::NotData:
        messages.Warn("カルトゥーバのデータではありません。ファイル形式が違います。" + shownName);
        return LoadResult::Refused;
    case FileCheck::Damaged:
        messages.Warn("ファイルが壊れているため変換できません。" + shownName);
        return LoadResult::Refused;
    case FileCheck::InUse:
        messages.Warn("読み込みできません。ファイルはほかのプログラムで使用中です。" + shownName);
        return LoadResult::Refused;
    case FileCheck::TooLarge:
        // Only a body far larger than any real project gets here; it is not converted.
        messages.Warn(platform::DescribeError(platform::code::OutOfMemory) + shownName);
        return LoadResult::Refused;
    case FileCheck::Format100:
    case FileCheck::Format101:
    case FileCheck::Format102:
        break;
    }
    ws.LastSignature = version;
    if (version == FileVersion::V102) {
        messages.Inform("最新バージョン（Ver. 1.04）形式のデータなので、変換は必要ありません。");
        return LoadResult::AlreadyCurrent;
    }
    std::swap(ws.main101, body->main);
    ws.fixedBlock = body->fixedBlock;
    if (version == FileVersion::V101) ws.factorPair = body->factorPair;
    return LoadResult::OldFormat;
}

FileCheck CheckUsrData(const std::string& name) {
    FileVersion version = FileVersion::Unknown;
    try {
        auto old = std::make_unique<Body101>();
        auto current = std::make_unique<Body102>();
        platform::InputFile file;
        return ReadSource(name, file, version, old.get(), current.get());
    } catch (const std::bad_alloc&) {
        return FileCheck::TooLarge;
    }
}

void SetDefaultFactors(WorkingSet& ws) {
    ws.factorPair.HighFactor = Single{0x3F8CCCCD}; // 1.1
    ws.factorPair.LowFactor = Single{0x3F666666};  // 0.9
}

WriteResult Write101(WorkingSet& ws, const std::string& target, Messages& messages) {
    platform::ReplaceCheck anything;
    return Write101(ws, target, messages, anything);
}

WriteResult Write102(WorkingSet& ws, const std::string& target, Messages& messages) {
    platform::ReplaceCheck anything;
    return Write102(ws, target, messages, anything);
}

WriteResult Write101(WorkingSet& ws, const std::string& target, Messages& messages,
                     platform::ReplaceCheck& check) {
    SetDefaultFactors(ws);
    try {
        return WriteTarget(
            target,
            [&ws](ByteSink& sink) {
                EncodeFile101(sink, FileVersion::V101, ws.main101, ws.fixedBlock, ws.factorPair);
            },
            [&ws](ByteReader& reader) {
                return EncodesFile101(reader, FileVersion::V101, ws.main101, ws.fixedBlock, ws.factorPair);
            },
            messages, check, true);
    } catch (const std::bad_alloc&) {
        return ReportOutOfMemory(messages);
    }
}

WriteResult Write102(WorkingSet& ws, const std::string& target, Messages& messages,
                     platform::ReplaceCheck& check, bool after101) {
    // The whole record is built before the target is touched: a failing build leaves it as it was.
    try {
        BuildMain102(ws.main101, ws.main102);
        ws.wordPair = WordPair{};
        return WriteTarget(
            target,
            [&ws](ByteSink& sink) {
                EncodeFile102(sink, ws.main102, ws.fixedBlock, ws.factorPair, ws.wordPair);
            },
            [&ws](ByteReader& reader) {
                return EncodesFile102(reader, ws.main102, ws.fixedBlock, ws.factorPair, ws.wordPair);
            },
            messages, check, !after101);
    } catch (const ConversionFailure& failure) {
        ReportWriteError(messages,
                         platform::FileError{failure.code(), platform::DescribeError(failure.code()) + CR +
                                                                 failure.detail()});
        return WriteResult::Failed;
    } catch (const std::bad_alloc&) {
        ws.main102 = Main102{};
        return ReportOutOfMemory(messages);
    }
}

void ReportWriteWarning(Messages& messages, const platform::FileError& warning, const std::string& name) {
    messages.Warn("ファイルは書き込みましたが、ディスクへの記録を確認できませんでした。" +
                  std::string(1, CR) + "停電などがあると、書き込む前の状態に戻ることがあります。" + CR +
                  warning.description + NameBelow(name));
}

void ReportUnverified(Messages& messages, const std::string& name, bool originalKept) {
    messages.WarnFailure(platform::DescribeError(platform::code::Unverified) +
                             (originalKept ? "元のファイルはそのままです。" : "") + NameBelow(name),
                         platform::code::Unverified);
}

void ReportWriteError(Messages& messages, const platform::FileError& error) {
    switch (error.code) {
    case platform::code::PathFileAccess:
        messages.WarnFailure(std::string("指定したファイル(またはフォルダ)は読み取り専用です") + CR +
                                 "別のファイル(またはフォルダ)名を指定してください",
                             error.code);
        break;
    case platform::code::DiskFull:
        messages.WarnFailure(error.description + CR + "別のディスクへ保存してください", error.code);
        break;
    default:
        messages.WarnFailure(error.description, error.code);
        break;
    }
}

namespace {

// The whole content of `name`, opened into `file`; nothing when it cannot be opened or read.
std::optional<std::vector<std::uint8_t>> ReadWhole(const std::string& name, platform::InputFile& file) {
    if (!platform::FileExists(name) || file.Open(name) != platform::OpenFailure::None) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
    for (std::size_t done = 0; done < bytes.size();) {
        const auto got = file.Read(bytes.data() + done, bytes.size() - done);
        if (!got || *got == 0) return std::nullopt;
        done += *got;
    }
    return bytes;
}

// Whether `bytes` are exactly what converting the old file `old` of format `version` writes.
bool ConvertsTo(const std::vector<std::uint8_t>& old, FileVersion version,
                const std::vector<std::uint8_t>& bytes) {
    auto body = std::make_unique<Body101>();
    ByteReader reader(old.data() + kSignatureSize, old.size() - kSignatureSize);
    MemoryBudget budget(ConversionBudget(old.size()));
    DecodeBody101(reader, version, *body, &budget);
    if (version == FileVersion::V100) {
        WorkingSet factors;
        SetDefaultFactors(factors);
        body->factorPair = factors.factorPair;
        ByteReader as101(bytes);
        if (EncodesFile101(as101, FileVersion::V101, body->main, body->fixedBlock, body->factorPair))
            return true;
    }
    auto main102 = std::make_unique<Main102>();
    try {
        BuildMain102(body->main, *main102);
    } catch (const ConversionFailure&) {
        return false;
    }
    ByteReader as102(bytes);
    return EncodesFile102(as102, *main102, body->fixedBlock, body->factorPair, WordPair{});
}

} // namespace

PutBackCheck CheckPutBack(const std::string& name, const std::string& backupName, platform::InputFile& file,
                          std::vector<std::uint8_t>& backupBytes, platform::FileIdentity& backupIdentity) {
    try {
        platform::InputFile backup;
        if (!platform::FileExists(backupName)) return PutBackCheck::NoBackup;
        auto old = ReadWhole(backupName, backup);
        if (!old) return PutBackCheck::Unreadable;
        backupIdentity = backup.Identity();
        const FileVersion version =
            DetectVersion(std::string_view(reinterpret_cast<const char*>(old->data()), old->size()));
        if (version != FileVersion::V100 && version != FileVersion::V101) return PutBackCheck::BackupNotOld;
        auto now = ReadWhole(name, file);
        if (!now) return PutBackCheck::Unreadable;
        backupBytes = std::move(*old);
        if (*now == backupBytes) return PutBackCheck::Same;
        return ConvertsTo(backupBytes, version, *now) ? PutBackCheck::Converted : PutBackCheck::Changed;
    } catch (const DamagedFile&) {
        return PutBackCheck::BackupNotOld;
    } catch (const RecordsTooLarge&) {
        return PutBackCheck::Unreadable;
    } catch (const std::bad_alloc&) {
        return PutBackCheck::Unreadable;
    }
}

} // namespace zel
