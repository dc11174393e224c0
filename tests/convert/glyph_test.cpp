#include "convert/glyph.h"

#include <gtest/gtest.h>

#include <set>

using namespace mosaiq;

TEST(RandomGlyphs, startsFromThePinnedStateAtEveryProgramStart)
{
    RandomGlyphs generator;
    EXPECT_FLOAT_EQ(generator.nextValue(), 0.7055475f);
    EXPECT_FLOAT_EQ(generator.nextValue(), 0.5334240f);
    EXPECT_FLOAT_EQ(generator.nextValue(), 0.5795186f);

    RandomGlyphs first, second;
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(first.next(), second.next());
}

TEST(RandomGlyphs, drawsOnlyAtSignAndCapitalLetters)
{
    RandomGlyphs generator;
    std::set<char> seen;
    for (int i = 0; i < 200000; ++i) {
        const char c = generator.next();
        ASSERT_TRUE(c == '@' || (c >= 'A' && c <= 'Z')) << int(c);
        seen.insert(c);
    }
    EXPECT_EQ(seen.size(), 27u);
}

TEST(RandomGlyphs, firstCodesFollowFromTheFirstValues)
{
    // 0.7055475 x 26 + 64 = 82.34 gives "R"; 0.5334240 gives 77.87, "N"; 0.5795186 gives 79.07,
    // "O".
    RandomGlyphs generator;
    EXPECT_EQ(generator.next(), 'R');
    EXPECT_EQ(generator.next(), 'N');
    EXPECT_EQ(generator.next(), 'O');
}

TEST(Glyph, pageByteIsWindows1252OrQuestionMark)
{
    EXPECT_EQ(windows1252(U'o'), 'o');
    EXPECT_EQ(windows1252(U'é'), '\xE9');
    EXPECT_EQ(windows1252(U'€'), '\x80');
    EXPECT_EQ(windows1252(U'œ'), '\x9C');
    EXPECT_EQ(windows1252(U'Ÿ'), '\x9F');
    EXPECT_EQ(windows1252(U'\u0100'), '?');
    EXPECT_EQ(windows1252(U'😀'), '?');
}

TEST(Glyph, keepsUnicodeForTheCodesAndWritesAReferenceWhereThePageHasNoByte)
{
    struct Case {
        char32_t c;
        const char* utf8;
        std::string_view page;
    };
    const Case cases[] = {
        { U'é', "é", "\xE9" },
        { U'€', "€", "\x80" },
        { U'?', "?", "?" },
        { U'♥', "♥", "&#9829;" },
        { U'Ω', "Ω", "&#937;" },
        { U'😀', "😀", "&#128512;" },
        { char32_t(0x10FFFF), "\xF4\x8F\xBF\xBF", "&#1114111;" },
        // Not a character: U+FFFD, in the codes and the page alike.
        { char32_t(0xD800), "\xEF\xBF\xBD", "&#65533;" },
    };
    for (const Case& c : cases) {
        const Glyph glyph = glyphFor(c.c);
        EXPECT_EQ(std::string(glyph.utf8, glyph.utf8Length), c.utf8);
        EXPECT_EQ(glyph.pageText(), c.page) << c.utf8;
        EXPECT_EQ(glyph.character(), c.c == 0xD800 ? U'\uFFFD' : c.c);
    }
}

TEST(Glyph, decodesUtf8ReplacingEachInvalidByte)
{
    EXPECT_EQ(decodeUtf8("aé€😀"), std::u32string(U"aé€😀"));
    EXPECT_EQ(decodeUtf8("a\xFF"
                         "b"),
        std::u32string(U"a\uFFFDb"));
    EXPECT_EQ(decodeUtf8("\xC0\xAF"), std::u32string(U"\uFFFD\uFFFD")); // overlong
    EXPECT_EQ(decodeUtf8("\xED\xA0\x80"), std::u32string(U"\uFFFD\uFFFD\uFFFD")); // surrogate
    EXPECT_EQ(decodeUtf8("\xE2\x82"), std::u32string(U"\uFFFD\uFFFD")); // cut short
}
