#include "convert/rowloop.h"

#include "convert/htmldocument.h"

namespace mosaiq {

RowLoop::RowLoop(const RunStart& start, RunSettings& settings, PageSink& page, RandomGlyphs& random)
    : m_run(start, random)
    , m_settings(settings)
    , m_page(page)
{
    m_run.borrowRowMemory(page.rowLender());
}

void RowLoop::addSink(RowSink& sink)
{
    m_sinks.push_back(&sink);
    if (sink.wantsCells())
        m_run.keepCells(true);
}

LoopStep RowLoop::step()
{
    if (m_done)
        return LoopStep::Finished;
    if (!m_headerWritten) {
        m_headerWritten = true;
        if (!m_page.writeLine(m_run.header()))
            return LoopStep::PageFailed;
    }
    if (m_run.finished()) {
        m_done = true;
        return m_page.writeLine(trailerLine(m_settings.closingStyle())) ? LoopStep::Finished
                                                                        : LoopStep::PageFailed;
    }
    const RowInput input = m_settings.rowInput();
    m_refusal = m_run.buildRow(input);
    if (m_refusal != RowOutcome::Written)
        return LoopStep::Refused;
    if (!m_page.writeLine(m_run.pageRow()))
        return LoopStep::PageFailed;
    const BuiltRow row { m_run.rowsDone(), m_run.row(), m_run.pageRow(), input.mode,
        m_run.cellColours(), m_run.cellGlyphs(), m_run.runStarts(), m_run.sampledColours(),
        m_run.runNesting(), m_run.cellBackgrounds(), m_run.textGlyphs(), m_run.textColours(),
        m_run.backgroundRunStarts(), m_run.textRunStarts(), m_run.textRunNesting(),
        m_run.transparentCells() };
    for (RowSink* sink : m_sinks)
        sink->rowBuilt(row);
    m_percent = progressPercent(m_run.rowsDone(), input.rows);
    return LoopStep::RowWritten;
}

void RowLoop::startAt(std::int64_t first)
{
    m_headerWritten = true;
    m_run.skipRows(first, m_settings.rowInput());
}

LoopStep RowLoop::runToEnd()
{
    LoopStep result = step();
    while (result == LoopStep::RowWritten)
        result = step();
    return result;
}

} // namespace mosaiq
