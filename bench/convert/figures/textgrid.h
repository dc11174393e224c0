#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a program's text shows, cell by cell: the character, its ink and the cell's background,
// whichever program wrote it, so that one renderer draws them all alike.
struct TextCell {
    char32_t glyph = U' ';
    std::uint32_t ink = 0; // 0xRRGGBB
    std::uint32_t ground = 0; // 0xRRGGBB
};

struct TextGrid {
    int columns = 0;
    int rows = 0;
    std::vector<TextCell> cells; // row by row from the top

    const TextCell& at(int column, int row) const
    {
        return cells[std::size_t(row) * std::size_t(columns) + std::size_t(column)];
    }
};

// A grid, or why the text is not one.
struct TextReading {
    std::optional<TextGrid> grid;
    std::string error;
};

// mosaiq-cli's HTML code (--html-code): a cell is a <font color> holding one character, in a
// <span style="background-color"> when it has its own background; a cell without one is shown on
// the page's background, pageGround (0xRRGGBB). Rows end with <br>; every row must have as many
// cells.
TextReading readHtmlCode(std::string_view code, std::uint32_t pageGround);

// A terminal's text in 24-bit colour, as chafa writes it: SGR 38;2 and 48;2 (ink and
// background), 39 and 49 (the terminal's own), 0 (reset), 7 and 27 (inverse), the repeat of the
// last character (CSI n b), other CSI sequences ignored; a line feed ends a row.
// defaultInk and defaultGround are the terminal's colours (0xRRGGBB).
TextReading readAnsiText(
    std::string_view text, std::uint32_t defaultInk, std::uint32_t defaultGround);
