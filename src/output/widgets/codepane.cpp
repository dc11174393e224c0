#include "output/widgets/codepane.h"

#include "output/widgets/codetext.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace mosaiq {

namespace {

    // Blank space between the border and the text, pixels.
    constexpr int margin = 2;
    // Below this width, pixels, rows are cut at the right instead of wrapped: a pane squeezed
    // to nothing would otherwise lay out tens of millions of one-letter rows.
    constexpr int minimumWrapWidth = 200;
    // How often the view follows a selection dragged past its edge, milliseconds.
    constexpr int autoScrollInterval = 50;

    constexpr double unitsPerPixel = CodePaneLayout::unitsPerPixel;

    qint32 toUnits(qreal pixels)
    {
        return qint32(std::lround(pixels * unitsPerPixel));
    }

} // namespace

CodePane::CodePane(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    initFrame();
    initFont();
    initMetrics();
    connect(&m_autoScroll, &QTimer::timeout, this, &CodePane::autoScroll);
}

CodePane::~CodePane() = default;

void CodePane::initFrame()
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    // Always shown: a bar that came and went would change the width and so the wrapping.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Text, Qt::black);
    setPalette(colours);
    m_autoScroll.setInterval(autoScrollInterval);
}

void CodePane::initFont()
{
    QFont verdana;
    verdana.setFamilies({ QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans") });
    verdana.setStyleHint(QFont::SansSerif);
    verdana.setPointSizeF(6.75);
    setFont(verdana);
}

void CodePane::initMetrics()
{
    const qint64 top = topRow() < m_layout.laidRowCount() ? m_layout.row(topRow()).start : 0;

    // Without kerning a row is as wide as the sum of its characters' advances, which is what
    // the layout adds up.
    m_textFont = font();
    m_textFont.setKerning(false);
    const QFontMetricsF metrics(m_textFont);
    std::array<qint32, 128> ascii {};
    for (int c = 0; c < 128; ++c)
        ascii[size_t(c)] = toUnits(metrics.horizontalAdvance(QChar(c == '\t' ? ' ' : c)));
    m_layout.setMetrics(ascii, [metrics](char32_t codePoint) {
        return toUnits(metrics.horizontalAdvance(QString::fromUcs4(&codePoint, 1)));
    });
    const QFontMetrics whole(m_textFont);
    m_rowHeight = std::max(whole.lineSpacing(), 1);
    m_ascent = whole.ascent();

    m_layout.setWidth(wrapUnits());
    updateScrollBar();
    QScopedValueRollback guard(m_syncingScrollBar, true);
    verticalScrollBar()->setValue(m_layout.rowOf(top));
    viewport()->update();
}

void CodePane::setCode(std::string utf8)
{
    setCode(SharedCode(std::move(utf8)));
}

void CodePane::setCode(SharedCode utf8)
{
    m_shared = std::move(utf8);
    m_layout.setCode(m_shared.view(), m_shared.lineStarts());
    m_layout.setWidth(wrapUnits());
    m_anchor = 0;
    m_cursor = 0;
    m_cursorX = 0;
    m_selecting = false;
    m_autoScroll.stop();
    m_layout.layOutRows(pageRows() + 1);
    updateScrollBar();
    QScopedValueRollback guard(m_syncingScrollBar, true);
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

QString CodePane::selectedText() const
{
    const qint64 start = std::min(m_anchor, m_cursor);
    const qint64 end = std::max(m_anchor, m_cursor);
    return codeToText(m_shared.view().substr(start, end - start));
}

void CodePane::selectAll()
{
    // The cursor goes to the end without scrolling there: the view stays where the user is.
    m_anchor = 0;
    m_cursor = qint64(m_shared.size());
    viewport()->update();
}

void CodePane::setSelection(qsizetype start, qsizetype end)
{
    m_anchor = m_layout.characterStart(start);
    m_cursor = m_layout.characterStart(end);
    viewport()->update();
}

void CodePane::copySelection() const
{
    if (m_anchor != m_cursor)
        QGuiApplication::clipboard()->setText(selectedText());
}

int CodePane::rowCount()
{
    relayOut();
    m_layout.layOutAll();
    updateScrollBar();
    return m_layout.laidRowCount();
}

QString CodePane::rowText(int row)
{
    relayOut();
    m_layout.layOutRows(row + 1);
    if (row < 0 || row >= m_layout.laidRowCount())
        return {};
    const CodePaneLayout::Row r = m_layout.row(row);
    return QString::fromUtf8(m_shared.data() + r.start, qsizetype(r.end - r.start));
}

void CodePane::relayOut()
{
    if (m_layout.width() == wrapUnits())
        return;
    QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() > 0 && bar->value() >= bar->maximum();
    const qint64 top = topRow() < m_layout.laidRowCount() ? m_layout.row(topRow()).start : 0;
    m_layout.setWidth(wrapUnits());
    int row = m_layout.rowOf(top);
    if (atEnd)
        m_layout.layOutAll();
    updateScrollBar();
    QScopedValueRollback guard(m_syncingScrollBar, true);
    bar->setValue(atEnd ? bar->maximum() : row);
    viewport()->update();
}

void CodePane::updateScrollBar()
{
    const int page = pageRows();
    QScopedValueRollback guard(m_syncingScrollBar, true);
    QScrollBar* bar = verticalScrollBar();
    bar->setSingleStep(1);
    bar->setPageStep(page);
    bar->setRange(0, std::max(0, m_layout.estimatedRowCount() - page));
}

int CodePane::pageRows() const
{
    return std::max(1, (viewport()->height() - margin) / m_rowHeight);
}

int CodePane::topRow() const
{
    return verticalScrollBar()->value();
}

int CodePane::wrapWidth() const
{
    return std::max(viewport()->width() - 2 * margin, minimumWrapWidth);
}

qint32 CodePane::wrapUnits() const
{
    return qint32(wrapWidth() * unitsPerPixel);
}

void CodePane::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayOut();
    m_layout.layOutRows(topRow() + pageRows() + 1);
    updateScrollBar();
}

void CodePane::scrollContentsBy(int, int)
{
    viewport()->update();
    if (m_syncingScrollBar)
        return;
    // Rows are laid out down to the view; moving the bar to its end is the one move that
    // needs them all, as the estimate below the view may be off either way.
    QScrollBar* bar = verticalScrollBar();
    const bool toEnd = bar->value() >= bar->maximum();
    if (toEnd)
        m_layout.layOutAll();
    else
        m_layout.layOutRows(bar->value() + pageRows() + 1);
    updateScrollBar();
    if (toEnd) {
        QScopedValueRollback guard(m_syncingScrollBar, true);
        bar->setValue(bar->maximum());
    }
}

void CodePane::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        initMetrics();
}

void CodePane::paintEvent(QPaintEvent* event)
{
    relayOut();
    const int top = topRow();
    const int visible = viewport()->height() / m_rowHeight + 2;
    if (!m_layout.isComplete() && m_layout.laidRowCount() < top + visible) {
        m_layout.layOutRows(top + visible);
        updateScrollBar();
    }

    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    painter.setFont(m_textFont);
    const qint64 selectionStart = std::min(m_anchor, m_cursor);
    const qint64 selectionEnd = std::max(m_anchor, m_cursor);
    const int last = std::min(top + visible, m_layout.laidRowCount());
    for (int row = top; row < last; ++row) {
        const int y = margin + (row - top) * m_rowHeight;
        if (y < event->rect().bottom() + 1 && y + m_rowHeight > event->rect().top())
            drawRow(painter, row, y, selectionStart, selectionEnd);
    }

    if (!hasFocus() || last <= top || m_cursor < m_layout.row(top).start
        || m_cursor > m_layout.row(last - 1).end)
        return;
    const int row = m_layout.rowOf(m_cursor);
    const CodePaneLayout::Row r = m_layout.row(row);
    const qreal x = margin + m_layout.advance(r.start, std::min(m_cursor, r.end)) / unitsPerPixel;
    painter.fillRect(QRectF(x, margin + (row - top) * m_rowHeight, 1, m_rowHeight),
        palette().color(QPalette::Text));
}

void CodePane::drawRow(
    QPainter& painter, int row, int y, qint64 selectionStart, qint64 selectionEnd)
{
    const CodePaneLayout::Row r = m_layout.row(row);
    const qint64 from = std::clamp(selectionStart, r.start, r.end);
    const qint64 to = std::clamp(selectionEnd, r.start, r.end);
    // Every piece is placed where the layout says it starts, so that the highlight and the
    // letters agree however the painter rounds.
    auto xOf
        = [&](qint64 offset) { return margin + m_layout.advance(r.start, offset) / unitsPerPixel; };
    auto piece = [&](qint64 start, qint64 end) {
        QString text = QString::fromUtf8(m_shared.data() + start, qsizetype(end - start));
        text.replace(QLatin1Char('\t'), QLatin1Char(' '));
        return text;
    };
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const qreal baseline = y + m_ascent;

    if (from < to) {
        painter.fillRect(QRectF(xOf(from), y, xOf(to) - xOf(from), m_rowHeight),
            palette().color(group, QPalette::Highlight));
    }
    // A selected line end shows as a space's width of highlight after the line.
    const qsizetype line = m_layout.lineOf(r.start);
    if (selectionStart <= r.end && selectionEnd > r.end && r.end == m_layout.lineEnd(line)) {
        const qreal space = QFontMetricsF(m_textFont).horizontalAdvance(QLatin1Char(' '));
        painter.fillRect(
            QRectF(xOf(r.end), y, space, m_rowHeight), palette().color(group, QPalette::Highlight));
    }

    painter.setPen(palette().color(QPalette::Text));
    if (r.start < from)
        painter.drawText(QPointF(xOf(r.start), baseline), piece(r.start, from));
    if (to < r.end)
        painter.drawText(QPointF(xOf(to), baseline), piece(to, r.end));
    if (from < to) {
        painter.setPen(palette().color(group, QPalette::HighlightedText));
        painter.drawText(QPointF(xOf(from), baseline), piece(from, to));
    }
}

qint64 CodePane::offsetAtPoint(QPointF point)
{
    const int row = topRow() + int(std::floor((point.y() - margin) / m_rowHeight));
    if (row < 0)
        return 0;
    m_layout.layOutRows(row + 1);
    if (row >= m_layout.laidRowCount())
        return qint64(m_shared.size());
    return m_layout.offsetAt(row, toUnits(point.x() - margin));
}

void CodePane::moveCursor(qint64 offset, bool extend)
{
    m_cursor = offset;
    if (!extend)
        m_anchor = offset;
    const CodePaneLayout::Row r = m_layout.row(m_layout.rowOf(m_cursor));
    m_cursorX = m_layout.advance(r.start, std::min(m_cursor, r.end));
    ensureCursorVisible();
    viewport()->update();
}

void CodePane::moveCursorToRow(int row, bool extend)
{
    const qint32 x = m_cursorX;
    qint64 offset = 0;
    if (row >= 0) {
        m_layout.layOutRows(row + 1);
        offset
            = row < m_layout.laidRowCount() ? m_layout.offsetAt(row, x) : qint64(m_shared.size());
    }
    moveCursor(offset, extend);
    if (row >= 0 && row < m_layout.laidRowCount())
        m_cursorX = x;
}

void CodePane::ensureCursorVisible()
{
    const int row = m_layout.rowOf(m_cursor);
    updateScrollBar();
    QScrollBar* bar = verticalScrollBar();
    const int page = pageRows();
    if (row < bar->value())
        bar->setValue(row);
    else if (row >= bar->value() + page)
        bar->setValue(row - page + 1);
}

void CodePane::scrollRows(int rows)
{
    verticalScrollBar()->setValue(verticalScrollBar()->value() + rows);
}

void CodePane::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Copy) {
        copySelection();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const int page = pageRows();
    switch (event->key()) {
    case Qt::Key_Left:
        moveCursor(m_layout.previousPosition(m_cursor), extend);
        break;
    case Qt::Key_Right:
        moveCursor(m_layout.nextPosition(m_cursor), extend);
        break;
    case Qt::Key_Up:
        if (control)
            scrollRows(-1);
        else
            moveCursorToRow(m_layout.rowOf(m_cursor) - 1, extend);
        break;
    case Qt::Key_Down:
        if (control)
            scrollRows(1);
        else
            moveCursorToRow(m_layout.rowOf(m_cursor) + 1, extend);
        break;
    case Qt::Key_PageUp: {
        const int row = m_layout.rowOf(m_cursor) - page;
        scrollRows(-page);
        moveCursorToRow(std::max(row, 0), extend);
        break;
    }
    case Qt::Key_PageDown: {
        const int row = m_layout.rowOf(m_cursor) + page;
        scrollRows(page);
        moveCursorToRow(row, extend);
        break;
    }
    case Qt::Key_Home:
        moveCursor(control ? 0 : m_layout.row(m_layout.rowOf(m_cursor)).start, extend);
        break;
    case Qt::Key_End:
        moveCursor(
            control ? qint64(m_shared.size()) : m_layout.row(m_layout.rowOf(m_cursor)).end, extend);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void CodePane::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_selecting = true;
    m_mousePoint = event->position();
    moveCursor(offsetAtPoint(m_mousePoint), event->modifiers() & Qt::ShiftModifier);
}

void CodePane::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_selecting)
        return;
    m_mousePoint = event->position();
    const bool outside = m_mousePoint.y() < 0 || m_mousePoint.y() >= viewport()->height();
    if (outside && !m_autoScroll.isActive())
        m_autoScroll.start();
    else if (!outside)
        m_autoScroll.stop();
    moveCursor(offsetAtPoint(m_mousePoint), true);
}

void CodePane::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_selecting = false;
    m_autoScroll.stop();
}

void CodePane::autoScroll()
{
    // The cursor goes to the row under the pointer, past the edge: the further past, the
    // faster the view follows.
    moveCursor(offsetAtPoint(m_mousePoint), true);
}

void CodePane::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void CodePane::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

} // namespace mosaiq
