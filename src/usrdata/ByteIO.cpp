#include "ByteIO.h"

#include "platform/Platform.h"

namespace zel {

ConversionFailure ConversionFailure::within(const std::string& place) const {
    return ConversionFailure(code_, place + detail_);
}

void FailSubscript(std::string detail) {
    throw ConversionFailure(platform::code::SubscriptOutOfRange, std::move(detail));
}

void FailOverflow(std::string detail) {
    throw ConversionFailure(platform::code::Overflow, std::move(detail));
}

std::optional<std::string> String::Decoded() const {
    return platform::DecodeCp932(bytes);
}

String String::FromText(std::string_view utf8) {
    auto encoded = platform::EncodeCp932(utf8);
    if (!encoded) throw std::invalid_argument("text without a code page 932 form");
    return String{*encoded};
}

bool TextEquals(const String& s, std::string_view utf8) {
    auto text = s.Decoded();
    return text && *text == utf8;
}

bool TextContains(const String& s, std::string_view utf8) {
    auto text = s.Decoded();
    // Both sides are whole UTF-8 characters, so a match can only start on a character boundary.
    return text && text->find(utf8) != std::string::npos;
}

} // namespace zel
