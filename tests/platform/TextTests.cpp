// Code page 932 conversion and the error descriptions.
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <set>

namespace zel::platform {
namespace {

struct Cp932Case {
    const char* name;
    std::string bytes; // code page 932
    std::string text;  // UTF-8
};

void PrintTo(const Cp932Case& c, std::ostream* out) {
    *out << c.name;
}

class Cp932RoundTrip : public ::testing::TestWithParam<Cp932Case> {};

TEST_P(Cp932RoundTrip, DecodesAndEncodesBack) {
    const auto& c = GetParam();
    EXPECT_EQ(DecodeCp932(c.bytes), c.text);
    EXPECT_EQ(EncodeCp932(c.text), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Cp932RoundTrip,
    ::testing::Values(Cp932Case{"Empty", "", ""}, Cp932Case{"Ascii", "Anchor-1 (A)", "Anchor-1 (A)"},
                      Cp932Case{"TenBytes", "\x91\xBD\x83\x54\x83\x43\x83\x4E\x83\x8B", "多サイクル"},
                      Cp932Case{"Go", "\x83\x53", "ゴ"}, Cp932Case{"FullWidthSpace", "\x81\x40", "　"},
                      Cp932Case{"HalfWidthKana", "\xB1\xDD\xB6\xB0", "ｱﾝｶｰ"},
                      Cp932Case{"Mixed", "kN\x81\x5E\x82\x8D\x82\x51", "kN／ｍ２"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Cp932, DuplicateCodesDecodeToTheSameCharacter) {
    // NEC-selected and IBM extension codes of one character both decode; encoding picks one.
    EXPECT_EQ(DecodeCp932("\xED\x40"), "纊");
    EXPECT_EQ(DecodeCp932("\xFA\x5C"), "纊");
    EXPECT_EQ(EncodeCp932("纊"), "\xFA\x5C");
    EXPECT_EQ(DecodeCp932("\x87\x90"), DecodeCp932("\x81\xE0"));
}

TEST(Cp932, InvalidBytesGiveNothing) {
    for (std::string bytes : {std::string("\x81"), std::string("ab\x83"), std::string("\x81\x20"),
                              std::string("\x83\x7F"), std::string("\xEF\x40x")})
        EXPECT_FALSE(DecodeCp932(bytes).has_value()) << ::testing::PrintToString(bytes);
}

TEST(Cp932, CharactersWithoutCodeGiveNothing) {
    // Never a best-fit or default character in their place.
    for (std::string text : {std::string("caf\xC3\xA9"), std::string("한"), std::string("\xF0\x9F\x98\x80"),
                             std::string("\xFF\xFE")})
        EXPECT_FALSE(EncodeCp932(text).has_value()) << text;
}

TEST(ErrorText, EveryCodeHasItsOwnText) {
    const int codes[] = {code::Overflow,          code::SubscriptOutOfRange,
                         code::BadFileName,       code::FileNotFound,
                         code::FileAlreadyOpen,   code::DeviceIO,
                         code::FileAlreadyExists, code::DiskFull,
                         code::TooManyFiles,      code::PermissionDenied,
                         code::PathFileAccess,    code::PathNotFound};
    std::set<std::string> texts;
    for (int c : codes) {
        auto text = DescribeError(c);
        EXPECT_FALSE(text.empty()) << c;
        EXPECT_TRUE(DecodeCp932(*EncodeCp932(text))) << c; // shown in Japanese, so it must have codes
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), std::size(codes));
    EXPECT_EQ(DescribeError(code::FileNotFound), "ファイルが見つかりません。");
    EXPECT_EQ(DescribeError(code::PathNotFound), "パスが見つかりません。");
    EXPECT_EQ(DescribeError(code::DiskFull), "ディスクの空き容量が不足しています。");
    EXPECT_NE(DescribeError(12345).find("12345"), std::string::npos);
}

} // namespace
} // namespace zel::platform
