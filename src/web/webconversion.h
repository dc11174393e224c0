#pragma once

#include "convert/numbertext.h"
#include "convert/rowloop.h"
#include "output/codes/forumdialect.h"
#include "run/codeoutputs.h"
#include "run/runoptions.h"
#include "web/cellstream.h"
#include "web/chunkstream.h"
#include "web/pagestream.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mosaiq {

// The options of a run in the browser: the window's, and mosaiq-cli's forum options, taken by
// the same rules; the size fields as the user typed them.
using WebSettings = RunOptions;

enum class WebStep : int {
    Running = 0,
    Finished = 1,
    Refused = 2, // message() says why
};

// One conversion for the page in the browser, on the same row loop as mosaiq-cli and with the
// same outputs: the page, the HTML code, the blog or forum code and its posts, each handed on
// in chunks as the rows come. The page's script calls step() again and again, so that it can
// report progress and stop between calls.
class WebConversion {
public:
    // pixels: 0xAARRGGBB words, row after row, already flattened on white; shared, since the
    // page keeps its picture in the module from run to run. opacity: a byte a pixel, row after
    // row, for a picture with pixels that are not opaque; null for an opaque one. firstRow: the
    // row pixels and opacity begin with, for a band of the picture that holds no rows above it
    // (only a shared run's band that samples none of them may run on it).
    WebConversion(const WebSettings& settings, std::shared_ptr<const std::uint32_t[]> pixels,
        std::int32_t width, std::int32_t height, ChunkStream::Output output,
        ChunkStream::Room room = {}, std::shared_ptr<const std::uint8_t[]> opacity = {},
        std::int32_t firstRow = 0);

    // The start checks, the grid of a size budget, then the page's header. Refused or Running.
    WebStep start();
    // Makes at most rows rows; the call after the last row ends the outputs.
    WebStep step(std::int64_t rows);

    // Before the first step, shares the run between parts workers, each with its own module:
    // this one makes the part-th band of rows, the first with the page's header and the codes'
    // opening tags, the last with their ends, so that the bands' outputs joined in order are
    // the whole run's. Only where a band's bytes do not hang on the rows before it: not with a
    // size budget, merged cells or a forum code. firstShare: the first band's share of the rows,
    // the others sharing the rest evenly (the first worker has more to do besides its rows); 0 or
    // less: all bands even. Whether it is shared.
    bool share(int part, int parts, double firstShare = 0);

    // The page's or a code's bytes only counted from now on (ChunkStream::countOnly); no other
    // channel is.
    void countOnly(WebChannel channel);

    int percent() const { return m_loop ? m_loop->percent() : 0; }
    std::int64_t rowsDone() const { return m_loop ? m_loop->rowsDone() : 0; }
    std::int64_t rowCount() const { return m_loop ? m_loop->rowCount() : 0; }
    // The first and last rows of the picture that the rows still to make sample, or cover with
    // their cells' blocks when chosen by shape (a shared run's: its band's), within the picture;
    // the whole picture when unsure; last below first when the run has not started or has no
    // picture.
    std::pair<std::int64_t, std::int64_t> sampledRows() const;
    // The cells across, once the run has started.
    std::int64_t columnCount() const { return loopCount(m_input.columns); }
    // Why the run was refused, or what it tells besides its outputs (the grid a size budget
    // chose), in French; empty when nothing.
    const std::string& message() const { return m_message; }
    // The posts the code was split into; 0 when it was not.
    std::size_t postCount() const { return m_postCount; }
    // What each glyph byte of the cells stands for, once the run has started; null before.
    const GlyphSlots* cellSlots() const { return m_cellSink ? &m_cellSink->slots() : nullptr; }
    // The shapes' characters that the cells' glyph places stand for; empty without shapes.
    const std::vector<std::uint32_t>* shapeCharacters() const
    {
        return m_cellSink ? &m_cellSink->shapeCharacters() : nullptr;
    }

private:
    WebStep refuse(std::string message);
    WebStep finish();

    WebSettings m_settings;
    std::shared_ptr<const std::uint32_t[]> m_pixels;
    std::shared_ptr<const std::uint8_t[]> m_opacity;
    std::shared_ptr<const std::u32string> m_characters; // what m_input views
    const ForumDialect* m_dialect = nullptr;
    RunStart m_start;
    RowInput m_input;
    RandomGlyphs m_random; // fresh, as mosaiq-cli's: the window's first run after a start
    RandomGlyphs m_randomAtStart; // what a measure of the real run's glyphs draws from
    std::unique_ptr<FixedSettings> m_fixed;
    ChunkStream m_page;
    ChunkStream m_html;
    ChunkStream m_blog;
    ChunkStream m_posts;
    ChunkStream m_cells;
    PageStream m_pageSink;
    std::unique_ptr<CodeOutputs> m_codes;
    bool m_fromCells = false;
    std::unique_ptr<CellStream> m_cellSink;
    std::unique_ptr<RowLoop> m_loop;
    std::string m_message;
    std::size_t m_postCount = 0;
    bool m_stepped = false;
    std::optional<std::int64_t> m_partEnd; // the row after a shared run's band, but the last
};

// Reads the size fields of options as mosaiq-cli reads its sizes, under the names the page shows
// ("la largeur"), into the plain numbers a run takes; under a size budget, which chooses the size,
// they are dropped. Without a picture they are left for the start checks. The French refusal of
// a size, or empty.
std::string readSizeFields(RunOptions& options, bool picture);

// Flattens RGBA bytes (a canvas's, colours not premultiplied) on white into the engine's
// 0xAARRGGBB words, as mosaiq-cli's reader flattens a transparent picture: in place, each
// pixel's four bytes becoming its word, since a photo's copy would cost as much again.
void flattenRgba(std::uint32_t* pixels, std::size_t count);
// The same for opaque pixels given as blue, green, red and an unused byte.
void flattenBgrx(std::uint32_t* pixels, std::size_t count);

} // namespace mosaiq
