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

TEST(Glyph, keepsUnicodeForTheCodesAndReplacesWhatIsNoCharacter)
{
    const Glyph smile = glyphFor(U'😀');
    EXPECT_EQ(std::string(smile.utf8, smile.utf8Length), "😀");
    EXPECT_EQ(smile.page, '?');
    const Glyph e = glyphFor(U'é');
    EXPECT_EQ(std::string(e.utf8, e.utf8Length), "é");
    EXPECT_EQ(e.page, '\xE9');
    const Glyph lone = glyphFor(char32_t(0xD800));
    EXPECT_EQ(std::string(lone.utf8, lone.utf8Length), "\xEF\xBF\xBD");
    EXPECT_EQ(lone.page, '?');
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
