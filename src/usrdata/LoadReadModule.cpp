#include "LoadReadModule.h"

#include "Signatures.h"
#include "platform/Platform.h"
#include "upgrade/Set102Module.h"

#include <memory>

namespace zel {

namespace {

constexpr char CR = '\r';
const std::string kFiveBlanks = "     ";

enum class Version { None, V100, V101, V102 };

Version DetectSignature(const std::vector<std::uint8_t>& head) {
    if (head.size() < kSignatureSize) return Version::None;
    std::string_view text(reinterpret_cast<const char*>(head.data()), kSignatureSize);
    if (text == kSignature100) return Version::V100;
    if (text == kSignature101) return Version::V101;
    if (text == kSignature102) return Version::V102;
    return Version::None;
}

// Writes a complete file image to the target, never leaving it half-written; reports a failure.
std::uint8_t WriteImage(const std::string& target, const std::vector<std::uint8_t>& image,
                        Messages& messages) {
    if (auto error = platform::ReplaceFileContents(target, image)) {
        ReportWriteError(messages, *error);
        return 0;
    }
    return 1;
}

void PutSignature(ByteWriter& w, std::string_view signature) {
    w.bytes(signature.data(), signature.size());
}

} // namespace

std::uint8_t LoadUsrData(WorkingSet& ws, const std::string& name, Messages& messages) {
    if (name.empty()) {
        messages.Warn("ファイルを指定してください");
        return kLoadRefused;
    }
    if (!platform::FileExists(name)) {
        messages.Warn(std::string("フォルダが見つかりませんでした") + CR + "ファイル名：" + name);
        return kLoadRefused;
    }
    // Only the signature is read first: a file that is not ours is never loaded whole. A file that
    // cannot be read counts as one whose signature matches nothing.
    auto head = platform::ReadFilePrefix(name, kSignatureSize);
    Version version = head ? DetectSignature(*head) : Version::None;
    if (version == Version::None) {
        messages.Warn(std::string("カルトゥーバのデータではありません。ファイル形式が違います。") + CR + CR +
                      kFiveBlanks + name);
        return kLoadRefused;
    }
    std::string signature(reinterpret_cast<const char*>(head->data()), kSignatureSize);
    if (version == Version::V102) {
        messages.Inform("最新バージョン（Ver. 1.04）形式のデータなので、変換は必要ありません。");
        ws.LastSignature = signature;
        return kLoadAlreadyCurrent;
    }

    // The body is read into a fresh record and taken over only when it is complete, so a damaged
    // file leaves the working set as it was.
    std::unique_ptr<Body101> body;
    bool complete = false;
    try {
        body = std::make_unique<Body101>();
        if (auto image = platform::ReadWholeFile(name); image && image->size() >= kSignatureSize) {
            ByteReader reader(image->data() + kSignatureSize, image->size() - kSignatureSize);
            DecodeBody101(reader, *body, version == Version::V101);
            complete = true;
        }
    } catch (const DamagedFile&) {
    } catch (const std::bad_alloc&) {
        // Only a body far larger than any real project can exhaust memory; it is not converted.
        messages.Warn(platform::DescribeError(platform::code::OutOfMemory) + CR + CR + kFiveBlanks + name);
        return kLoadRefused;
    }
    if (!complete) {
        messages.Warn(std::string("ファイルが壊れているため変換できません。") + CR + CR + kFiveBlanks + name);
        return kLoadRefused;
    }
    std::swap(ws.main101, body->main);
    ws.fixedBlock = body->fixedBlock;
    if (version == Version::V101) ws.factorPair = body->factorPair;
    ws.LastSignature = signature;
    return kLoadOldFormat;
}

void SetDefaultFactors(WorkingSet& ws) {
    ws.factorPair.HighFactor = Single{0x3F8CCCCD}; // 1.1
    ws.factorPair.LowFactor = Single{0x3F666666};  // 0.9
}

std::vector<std::uint8_t> EncodeFile101(const WorkingSet& ws) {
    ByteWriter w;
    w.reserve(kSignatureSize + EncodedSize(ws.main101) + 208 + 8);
    PutSignature(w, kSignature101);
    EncodeRecord(w, ws.main101);
    EncodeRecord(w, ws.fixedBlock);
    EncodeRecord(w, ws.factorPair);
    return std::move(w.buffer());
}

std::vector<std::uint8_t> EncodeFile102(const WorkingSet& ws) {
    ByteWriter w;
    w.reserve(kSignatureSize + EncodedSize(ws.main102) + 208 + 8 + 4);
    PutSignature(w, kSignature102);
    EncodeRecord(w, ws.main102);
    EncodeRecord(w, ws.fixedBlock);
    EncodeRecord(w, ws.factorPair);
    EncodeRecord(w, ws.wordPair);
    return std::move(w.buffer());
}

static std::uint8_t ReportOutOfMemory(Messages& messages) {
    ReportWriteError(messages, platform::FileError{platform::code::OutOfMemory,
                                                   platform::DescribeError(platform::code::OutOfMemory)});
    return 0;
}

std::uint8_t Write101(WorkingSet& ws, const std::string& target, Messages& messages) {
    SetDefaultFactors(ws);
    try {
        return WriteImage(target, EncodeFile101(ws), messages);
    } catch (const std::bad_alloc&) {
        return ReportOutOfMemory(messages);
    }
}

std::uint8_t Write102(WorkingSet& ws, const std::string& target, Messages& messages) {
    // The whole record is built before the target is touched: a failing build leaves it as it was.
    try {
        BuildMain102(ws.main101, ws.main102);
        ws.wordPair = WordPair{};
        return WriteImage(target, EncodeFile102(ws), messages);
    } catch (const ConversionFailure& failure) {
        ReportWriteError(messages,
                         platform::FileError{failure.code(), platform::DescribeError(failure.code()) + CR +
                                                                 failure.detail()});
        return 0;
    } catch (const std::bad_alloc&) {
        ws.main102 = Main102{};
        return ReportOutOfMemory(messages);
    }
}

void ReportWriteError(Messages& messages, const platform::FileError& error) {
    switch (error.code) {
    case platform::code::PathFileAccess:
        messages.Warn(std::string("指定したファイル(またはフォルダ)は読み取り専用です") + CR +
                      "別のファイル(またはフォルダ)名を指定してください");
        break;
    case platform::code::DiskFull:
        messages.Warn(error.description + CR + "別のディスクへ保存してください");
        break;
    default:
        messages.Warn(error.description);
        break;
    }
}

} // namespace zel
