#include "output/codes/forumdialect.h"

#include <array>

namespace mosaiq {

namespace {

    // What each forum reads, checked against its own help pages and default settings:
    //
    // | dialect   | colour            | centre           | limit (default setting)           |
    // |-----------|-------------------|------------------|-----------------------------------|
    // | phpbb     | [color=#RRGGBB]   | none             | 60,000 characters (max_post_chars |
    // |           |                   |                  | in the install schema), tags count|
    // | vbulletin | [color=#RRGGBB]   | [center]         | 10,000 characters (postmaxchars)  |
    // | smf       | [color=#RRGGBB]   | [center]         | 20,000 characters                 |
    // |           |                   |                  | (max_messageLength, install data) |
    // | xenforo   | [color=#RRGGBB]   | [center]         | 25,000 characters                 |
    // |           |                   |                  | (messageMaxLength)                |
    // | mybb      | [color=#RRGGBB]   | [align=center]   | 65,535 bytes (maxmessagelength;   |
    // |           |                   |                  | the column holds bytes)           |
    // | discourse | [color=#RRGGBB]   | [center]         | 32,000 characters                 |
    // |           | (BBCode plugin)   | (BBCode plugin)  | (max_post_length)                 |
    //
    // Sources: phpBB's BBCode guide (its FAQ: [color=#FF0000], no centring among the default
    // tags) and install schema; MyBB's MyCode page ([color=#0000FF], [align=center]); SMF's
    // BBC reference and install settings; for vBulletin, XenForo and Discourse their BB code help
    // pages as we know them (not re-read for this table: the assumption to check first if a
    // forum shows tags as text). All take [b] and [i]. None but the blog has a background
    // colour tag, so a square cell there is a full block, U+2588, in the cell's colour.
    //
    // Shorter colour texts (written only with --best-runs), from each parser's own source where
    // we could read it: phpBB 3.2 and later checks [color=] with its text formatter's colour
    // filter, which takes #RGB, #RRGGBB and any name in letters (3.0's own pattern took
    // #[0-9a-f]{3}, six digits and names as well), though its BBCode guide shows only names and
    // six digits; MyBB's parser takes a name in letters, #RGB or #RRGGBB; SMF's BBC reference
    // takes the colour values of CSS 2.1, names and #RGB both. vBulletin, XenForo and Discourse
    // (its BBCode plugin) were not checked: six digits only.
    //
    // Colour tags inside colour tags (written only with --best-runs), from the same sources:
    // phpBB's text formatter pairs tags on a stack and lets a [color] hold up to 10 others (its
    // tags' default nesting limit, which phpBB changes for quotes alone); MyBB replaces
    // [color=...]...[/color] pairs again and again until none is left, each open tag becoming a
    // <span> and each close a </span>, so the spans nest as the tags do; SMF's parser keeps the
    // open tags on a stack, and its [color] forbids neither parent nor child. vBulletin, XenForo
    // and Discourse were not checked: their colour tags stay side by side.
    //
    // Escapes: bracket forums turn HTML into text themselves, and have no escape common to all
    // of them, so "[" and "]" never share a colour tag with another glyph: alone between a tag's
    // "]" and the next "[/", neither can start or end a tag. Discourse posts are Markdown as
    // well; CommonMark lets a backslash escape any ASCII punctuation mark, so every such glyph
    // gets one, and ":" stands alone too (emoji are written :name:).
    //
    // Chat codes have no tags: a colour code starts each run whose colour code differs from the
    // one before, and the row ends with a reset where colours would carry over. Discord: a
    // message is at most 2,000 characters (its API's message content limit), fence included.
    // IRC: a line is at most 512 bytes with its CR LF (RFC 1459, 2.3), the sender's prefix and
    // command included; 510 is the bound checked here, and a client's own "PRIVMSG #channel :"
    // leaves less. ansi: no limit. Styles have no code here.
    constexpr std::array<ForumDialect, 10> Dialects { {
        { "blog", "[c=#", "[/c]", "[f=#", "[/f]", "[g]", "[/g]", "[i]", "[/i]", "[align=center]",
            "[/align]", GlyphEscape::None, "[]", 0, LimitUnit::Characters, {}, CodeKind::Bracket,
            "", "", false },
        { "phpbb", "[color=#", "[/color]", "", "", "[b]", "[/b]", "[i]", "[/i]", "", "",
            GlyphEscape::None, "[]", 60'000, LimitUnit::Characters, { true, true, true },
            CodeKind::Bracket, "", "", false },
        { "vbulletin", "[color=#", "[/color]", "", "", "[b]", "[/b]", "[i]", "[/i]", "[center]",
            "[/center]", GlyphEscape::None, "[]", 10'000, LimitUnit::Characters, {},
            CodeKind::Bracket, "", "", false },
        { "smf", "[color=#", "[/color]", "", "", "[b]", "[/b]", "[i]", "[/i]", "[center]",
            "[/center]", GlyphEscape::None, "[]", 20'000, LimitUnit::Characters,
            { true, true, true }, CodeKind::Bracket, "", "", false },
        { "xenforo", "[color=#", "[/color]", "", "", "[b]", "[/b]", "[i]", "[/i]", "[center]",
            "[/center]", GlyphEscape::None, "[]", 25'000, LimitUnit::Characters, {},
            CodeKind::Bracket, "", "", false },
        { "mybb", "[color=#", "[/color]", "", "", "[b]", "[/b]", "[i]", "[/i]", "[align=center]",
            "[/align]", GlyphEscape::None, "[]", 65'535, LimitUnit::Bytes, { true, true, true },
            CodeKind::Bracket, "", "", false },
        { "discourse", "[color=#", "[/color]", "", "", "[b]", "[/b]", "[i]", "[/i]", "[center]",
            "[/center]", GlyphEscape::Markdown, "[]:", 32'000, LimitUnit::Characters, {},
            CodeKind::Bracket, "", "", false },
        { "discord", "", "", "", "", "", "", "", "", "", "", GlyphEscape::None, "", 2'000,
            LimitUnit::Characters, {}, CodeKind::Discord, "```ansi\n", "```\n", false },
        { "irc", "", "", "", "", "", "", "", "", "", "", GlyphEscape::None, "", 510,
            LimitUnit::Bytes, {}, CodeKind::Irc, "", "", true },
        { "ansi", "", "", "", "", "", "", "", "", "", "", GlyphEscape::None, "", 0,
            LimitUnit::Bytes, {}, CodeKind::Ansi, "", "", false },
    } };

} // namespace

const ForumDialect& blogDialect()
{
    return Dialects[0];
}

std::span<const ForumDialect> forumDialects()
{
    return Dialects;
}

const ForumDialect* findDialect(std::string_view name)
{
    for (const auto& dialect : Dialects) {
        if (dialect.name == name)
            return &dialect;
    }
    return nullptr;
}

std::size_t sizeIn(std::string_view text, LimitUnit unit)
{
    if (unit == LimitUnit::Bytes)
        return text.size();
    std::size_t characters = 0;
    for (char c : text)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return characters;
}

} // namespace mosaiq
