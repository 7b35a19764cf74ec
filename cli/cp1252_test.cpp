#include "cli/cp1252.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp1252, Utf8ToCodePageAndBack) {
    struct Case { std::string utf8, cp; } cases[] = {
        {"Hallo", "Hallo"}, {"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F", "\xE4\xF6\xFC\xDF"}, {"\xE2\x82\xAC", "\x80"},
        {"\xC2\xA8", "\xA8"}, {"\xE4\xB8\xAD", "\x7F"}, {"\xF0\x9F\x98\x80!", "\x7F!"},  // no code-page form
        {std::string("a\0b", 3), "a\x7F" "b"},                                         // code 0 never ends the text
        {"\xFF", "\x7F"}, {"\xC3", "\x7F"}, {"\xC3(", "\x7F("}, {"\xE0\x81\x81", "\x7F"},  // malformed, cut short,
        {"\xED\xA0\x80x", "\x7Fx"}, {"\xC2\x81", "\x7F"}, {"\xC5\xB8\xE2\x84\xA2", "\x9F\x99"},  // overlong, surrogate
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8ToCp1252(c.utf8, '\x7F'), c.cp) << c.utf8;
    EXPECT_EQ(Cp1252ToUtf8("\x80\x9F\x81@_$"), "\xE2\x82\xAC\xC5\xB8\xEF\xBF\xBD@_$");
    std::string defined;  // every byte with a character round trips
    for (int b = 1; b < 256; ++b)
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D) defined += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(defined), '?'), defined);
}

}  // namespace
