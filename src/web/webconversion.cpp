#include "web/webconversion.h"

#include "web/bandrows.h"

#include "convert/glyphshapes.h"
#include "convert/numbertext.h"
#include "output/codes/codefit.h"
#include "run/gridbudget.h"
#include "run/gridsize.h"
#include "run/preparedrun.h"
#include "wording/runmessages.h"
#include "wording/webwords.h"

#include <algorithm>

namespace mosaiq {

WebConversion::WebConversion(const WebSettings& settings,
    std::shared_ptr<const std::uint32_t[]> pixels, std::int32_t width, std::int32_t height,
    ChunkStream::Output output, ChunkStream::Room room,
    std::shared_ptr<const std::uint8_t[]> opacity, std::int32_t firstRow)
    : m_settings(settings)
    , m_pixels(std::move(pixels))
    , m_opacity(std::move(opacity))
    , m_page(WebChannel::Page, output, room)
    , m_html(WebChannel::HtmlCode, output, room)
    , m_blog(WebChannel::BlogCode, output, room)
    , m_posts(WebChannel::Post, output)
    , m_cells(WebChannel::Cells, output)
    , m_pageSink(m_page)
{
    m_input.picture = PixelBuffer { m_pixels.get(), width, height, width };
    m_input.picture.firstRow = firstRow;
    if (m_opacity) {
        m_input.picture.alpha = m_opacity.get();
        m_input.picture.alphaStride = width;
    }
}

void WebConversion::countOnly(WebChannel channel)
{
    for (ChunkStream* stream : { &m_page, &m_html, &m_blog })
        if (channel == stream->channel())
            stream->countOnly();
}

WebStep WebConversion::refuse(std::string message)
{
    m_message = std::move(message);
    m_loop.reset();
    return WebStep::Refused;
}

std::string readSizeFields(RunOptions& options, bool picture)
{
    if (options.fitLimit) {
        options.columns.reset();
        options.rows.reset();
        return {};
    }
    if (!picture)
        return {};
    for (const bool down : { false, true }) {
        std::optional<std::string>& size = down ? options.rows : options.columns;
        if (!size)
            continue;
        std::string refusal = gridSizeRefusal(*size, down, web::sizeFieldName(down));
        if (!refusal.empty())
            return refusal;
        size = readGridSize(*size).plain;
    }
    return {};
}

WebStep WebConversion::start()
{
    const WebSettings& s = m_settings;
    const bool picture = m_input.picture.width > 0;
    // A size budget measures the whole picture, which a band does not hold.
    if (m_input.picture.firstRow > 0 && s.fitLimit)
        return refuse(NotEnoughMemory);
    RunOptions options = s;
    if (std::string refusal = readSizeFields(options, picture); !refusal.empty())
        return refuse(std::move(refusal));
    PreparedRun run
        = prepareRun(options, { picture ? "image" : "", m_input.picture }, m_randomAtStart);
    if (!run.refusal.empty())
        return refuse(std::move(run.refusal));
    m_message = std::move(run.message);
    m_dialect = run.dialect;
    m_start = std::move(run.start);
    m_input = run.input;
    m_characters = std::move(run.characters);
    m_fixed = std::make_unique<FixedSettings>(m_input, s.style);

    m_loop = std::make_unique<RowLoop>(m_start, *m_fixed, m_pageSink, m_random);
    m_fromCells = s.bracketFromCells();
    m_codes = std::make_unique<CodeOutputs>(
        CodeOutputs::Sinks { &m_html, &m_blog, s.split ? &m_posts : nullptr }, *m_dialect,
        m_fromCells, s.style);
    m_loop->addSink(*m_codes);
    std::vector<Glyph> slotted;
    std::vector<Glyph> shapeSet;
    if (m_start.shapes) {
        // The set's glyphs as the run writes them, a space as a no-break space.
        const auto set = std::uint8_t(m_start.shapes->set);
        for (const GlyphShape& shape : glyphShapes())
            if ((shape.sets & set) != 0)
                shapeSet.push_back(glyphFor(shape.character == U' ' ? U'\u00A0' : shape.character));
    } else if (m_start.glyphSource == GlyphSource::Defined) {
        slotted = glyphsFor(*m_characters);
    }
    m_cellSink = std::make_unique<CellStream>(m_cells, slotted, shapeSet);
    m_loop->addSink(*m_cellSink);
    return WebStep::Running;
}

bool WebConversion::share(int part, int parts, double firstShare)
{
    if (!m_loop || m_stepped || !bandsPossible(m_settings, m_loop->rowCount(), part, parts))
        return false;
    const std::int64_t rows = m_loop->rowCount();
    if (part > 0) {
        m_loop->startAt(bandStart(rows, part, parts, firstShare));
        m_codes->skipOpening();
    }
    if (part < parts - 1)
        m_partEnd = bandStart(rows, part + 1, parts, firstShare);
    return true;
}

std::pair<std::int64_t, std::int64_t> WebConversion::sampledRows() const
{
    const std::int64_t height = m_input.picture.height;
    if (!m_loop || height <= 0 || !m_pixels)
        return { 0, -1 };
    const std::int64_t end = m_partEnd.value_or(m_loop->rowCount());
    return rowsRead(m_start.shapes.has_value(), m_start.transparentBackground, m_loop->rowsDone(),
        end, m_input.picture.height, m_input.rows, m_loop->rowCount());
}

WebStep WebConversion::step(std::int64_t rows)
{
    if (!m_loop)
        return WebStep::Refused;
    // Never a row above a band's first read: those are not in its memory.
    if (!m_stepped && m_input.picture.firstRow > 0
        && sampledRows().first < m_input.picture.firstRow)
        return refuse(NotEnoughMemory);
    m_stepped = true;
    std::int64_t until = m_loop->rowsDone() + std::max<std::int64_t>(rows, 1);
    if (m_partEnd) {
        // A band before the last ends with its last row: the end of the outputs is another's.
        until = std::min(until, *m_partEnd);
        if (m_loop->rowsDone() >= *m_partEnd) {
            for (ChunkStream* stream : { &m_page, &m_cells, &m_html, &m_blog })
                stream->flush();
            return WebStep::Finished;
        }
    }
    while (m_loop->rowsDone() < until) {
        switch (m_loop->step()) {
        case LoopStep::RowWritten:
            break;
        case LoopStep::Finished:
            return finish();
        case LoopStep::Refused:
            return refuse(rowOutcomeMessage(m_loop->refusal()));
        case LoopStep::PageFailed:
            return refuse(NotEnoughMemory);
        }
    }
    m_page.flush();
    m_cells.flush();
    return WebStep::Running;
}

WebStep WebConversion::finish()
{
    m_page.flush();
    m_cells.flush();
    m_codes->finish();
    m_html.flush();
    m_blog.flush();
    if (const std::int64_t row = m_codes->rowTooLong()) {
        const CodeMeasure measure { m_start, m_input, m_dialect, m_settings.style,
            m_randomAtStart };
        return refuse(postRowRefusal(measure, loopCount(m_input.columns), m_loop->rowCount(), row,
            m_dialect->rowPerMessage));
    }
    m_postCount = m_codes->posts();
    return WebStep::Finished;
}

void flattenRgba(std::uint32_t* pixels, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        // The bytes R, G, B, A read as one little-endian word: A in the top byte, R in the
        // lowest. A photo's pixels are nearly all opaque, and only need red and blue swapped.
        const std::uint32_t word = pixels[i];
        const std::uint32_t a = word >> 24;
        std::uint32_t r = word & 0xFF, g = (word >> 8) & 0xFF, b = (word >> 16) & 0xFF;
        if (a != 255) {
            // A transparent pixel shows what lies under it; a page has nothing under it.
            auto over = [a](std::uint32_t c) { return (c * a + 255 * (255 - a) + 127) / 255; };
            r = over(r);
            g = over(g);
            b = over(b);
        }
        pixels[i] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
}

void flattenBgrx(std::uint32_t* pixels, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        pixels[i] |= 0xFF000000u;
}

} // namespace mosaiq
