#include "cli/cp1252.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp1252, Utf8ToCodePage) {
    struct Case { std::string utf8, cp; } cases[] = {
        {"Hallo", "Hallo"},
        {"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F", "\xE4\xF6\xFC\xDF"},      // äöüß
        {"\xE2\x82\xAC", "\x80"},                                      // euro sign
        {"\xC2\xA8", "\xA8"},
        {"\xE4\xB8\xAD", "\x7F"},                                      // no code-page form
        {"\xF0\x9F\x98\x80!", "\x7F!"},                                // emoji
        {std::string("a\0b", 3), "a\x7F" "b"},                         // code 0 never ends the text
        {"\xFF", "\x7F"},                                              // malformed lead byte
        {"\xC3", "\x7F"},                                              // cut short at the end
        {"\xC3(", "\x7F("},                                            // bad continuation
        {"\xE0\x80\x80", "\x7F"},                                      // overlong
        {"\xED\xA0\x80x", "\x7Fx"},                                    // surrogate
        {"\xC2\x81", "\x7F"},                                          // U+0081: no code-page form
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8ToCp1252(c.utf8, '\x7F'), c.cp);
}

TEST(Cp1252, CodePageToUtf8) {
    EXPECT_EQ(Cp1252ToUtf8("\xE4\xF6\xFC\xC4\xD6\xDC\xDF"), "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F");
    EXPECT_EQ(Cp1252ToUtf8("@_$"), "@_$");
    EXPECT_EQ(Cp1252ToUtf8("\x80\x9F"), "\xE2\x82\xAC\xC5\xB8");
    EXPECT_EQ(Cp1252ToUtf8("\x81"), "\xEF\xBF\xBD");
}

TEST(Cp1252, EveryDefinedByteRoundTrips) {
    for (int b = 1; b < 256; ++b) {
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
        std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one), '?'), one) << b;
    }
}

}  // namespace
