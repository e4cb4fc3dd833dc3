// Code page 932 conversion and the error descriptions.
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <set>

namespace zel::platform {
namespace {

TEST(Cp932, TextsConvertExactlyOrNotAtAll) {
    const std::pair<std::string, std::string> both[] = {
        {"", ""},
        {"Anchor-1 (A)", "Anchor-1 (A)"},
        {"\x91\xBD\x83\x54\x83\x43\x83\x4E\x83\x8B", "多サイクル"},
        {"\x81\x40\xB1\xDD\xB6\xB0", "　ｱﾝｶｰ"},
        {"kN\x81\x5E\x82\x8D\x82\x51", "kN／ｍ２"},
        {"\xFA\x5C", "纊"}, // of the two codes of this character, encoding picks the IBM one
    };
    for (const auto& [bytes, text] : both) {
        EXPECT_EQ(DecodeCp932(bytes), text);
        EXPECT_EQ(EncodeCp932(text), bytes);
    }
    EXPECT_EQ(DecodeCp932("\xED\x40"), "纊");
    // Invalid bytes and characters without a code give nothing, never a stand-in character.
    for (std::string bytes : {"\x81", "ab\x83", "\x81\x20", "\x83\x7F", "\xEF\x40x"})
        EXPECT_FALSE(DecodeCp932(bytes)) << bytes;
    for (std::string text : {"caf\xC3\xA9", "한", "\xF0\x9F\x98\x80", "\xFF\xFE"})
        EXPECT_FALSE(EncodeCp932(text)) << text;
}

TEST(ErrorText, EveryCodeHasItsOwnJapaneseText) {
    std::set<std::string> texts;
    for (int c :
         {code::Overflow, code::OutOfMemory, code::SubscriptOutOfRange, code::BadFileName, code::FileNotFound,
          code::FileAlreadyOpen, code::DeviceIO, code::FileAlreadyExists, code::DiskFull, code::TooManyFiles,
          code::PermissionDenied, code::PathFileAccess, code::PathNotFound})
        EXPECT_TRUE(EncodeCp932(*texts.insert(DescribeError(c)).first)) << c;
    EXPECT_EQ(texts.size(), 13u);
    EXPECT_EQ(DescribeError(code::DiskFull), "ディスクの空き容量が不足しています。");
    EXPECT_EQ(DescribeError(12345), "エラーが発生しました (エラー番号 12345)。");
}

} // namespace
} // namespace zel::platform
