// The Japanese description of every error code of the file layer, and the names of temporary files.
#include "platform/PlatformDetail.h"

#include <algorithm>
#include <utility>

namespace zel::platform {

std::string DescribeError(int errorCode) {
    switch (errorCode) {
    case code::Overflow:
        return "オーバーフローしました。";
    case code::OutOfMemory:
        return "メモリが不足しています。";
    case code::SubscriptOutOfRange:
        return "インデックスが有効範囲にありません。";
    case code::BadFileName:
        return "ファイル名が正しくありません。";
    case code::FileNotFound:
        return "ファイルが見つかりません。";
    case code::DeviceIO:
        return "デバイス I/O エラーが発生しました。";
    case code::FileAlreadyExists:
        return "同じ名前のファイルが既に存在します。";
    case code::DiskFull:
        return "ディスクの空き容量が不足しています。";
    case code::TooManyFiles:
        return "開いているファイルが多すぎます。";
    case code::PermissionDenied:
        return "書き込みできません。ファイルはほかのプログラムで使用中です。";
    case code::PathFileAccess:
        return "パス名またはファイル名が無効です。";
    case code::PathNotFound:
        return "パスが見つかりません。";
    case code::ChangedElsewhere:
        return "変換中にほかのプログラムがファイルを変更しました。変換しませんでした。";
    case code::Unverified:
        return "書き込んだ内容を確認できませんでした。";
    default:
        return "エラーが発生しました (エラー番号 " + std::to_string(errorCode) + ")。";
    }
}

namespace detail {

FileError MakeError(int errorCode) {
    return FileError{errorCode, DescribeError(errorCode)};
}

FileError MakeError(int errorCode, std::string description) {
    if (description.empty()) description = DescribeError(errorCode);
    return FileError{errorCode, std::move(description)};
}

// The file layer's error for a source that could not be opened.
FileError FromOpenFailure(OpenFailure failure) {
    switch (failure) {
    case OpenFailure::Missing:
    case OpenFailure::NotRegular:
        return MakeError(code::FileNotFound);
    case OpenFailure::TooLong:
        return MakeError(code::BadFileName);
    case OpenFailure::NoPermission:
        return MakeError(code::PathFileAccess);
    case OpenFailure::InUse:
        return MakeError(code::PermissionDenied);
    case OpenFailure::None:
    case OpenFailure::Other:
        break;
    }
    return MakeError(code::DeviceIO);
}

std::string DescribeSystemError(const std::string& systemText) {
    // "デバイス I/O エラーが発生しました。" with the system's own words in parentheses before the stop.
    std::string text = DescribeError(code::DeviceIO);
    const std::string stop = "。";
    if (text.size() >= stop.size() && text.compare(text.size() - stop.size(), stop.size(), stop) == 0)
        text.resize(text.size() - stop.size());
    return text + " (" + systemText + ")" + stop;
}

std::string TemporaryStem(const std::string& leaf, std::size_t suffixLength, std::size_t maxLength) {
    const std::string mark(kTemporaryMark);
    const std::size_t room = maxLength - 1 - mark.size() - suffixLength;
    std::size_t keep = std::min(leaf.size(), room);
    // Never cut inside a UTF-8 sequence: back up to the start of the character.
    while (keep < leaf.size() && keep > 0 && (static_cast<unsigned char>(leaf[keep]) & 0xC0) == 0x80)
        --keep;
    return "." + leaf.substr(0, keep) + mark;
}

bool IsTemporaryName(const std::string& name, const std::string& stem, std::size_t suffixLength) {
    return name.size() == stem.size() + suffixLength && name.compare(0, stem.size(), stem) == 0;
}

} // namespace detail
} // namespace zel::platform
