#pragma once

#include "output/codes/sharedcode.h"
#include "output/widgets/codepanelayout.h"
#include "output/widgets/codetext.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QString>
#include <QTimer>

#include <memory>
#include <string>
#include <string_view>

namespace mosaiq {

// A read-only pane for code of any length (tens of megabytes on one line). It keeps the code
// once, as UTF-8, and lays out and paints only the lines in view, wrapping long lines at the
// pane's width (a pane narrower than 200 pixels cuts them instead). The user scrolls with wheel,
// bar and keys, selects with mouse and keyboard (Ctrl+A included) and copies a selection with
// Ctrl+C.
class CodePane : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CodePane(QWidget* parent = nullptr);
    ~CodePane() override;

    // Replaces the whole code; the string is taken over, not copied.
    void setCode(std::string utf8);
    // Shows a code held elsewhere too, without copying it.
    void setCode(SharedCode utf8);
    // The code exactly as set.
    std::string_view code() const { return m_shared.view(); }
    // The same code, to be held elsewhere (on the clipboard) without copying it.
    const SharedCode& sharedCode() const { return m_shared; }

    // The selected text (empty without a selection).
    QString selectedText() const;
    void selectAll();
    // Selects code bytes [start, end) of code(); clamped to the code.
    void setSelection(qsizetype start, qsizetype end);
    // Puts the selected text on the clipboard, as plain text; does nothing without a selection.
    void copySelection() const;

    // The visual rows at the current width: how many (laying out the whole code) and the text
    // of one of them, row < rowCount().
    int rowCount();
    QString rowText(int row);
    // The width rows wrap at, pixels: the viewport's less a small margin on either side, but
    // never under 200 (a narrower pane cuts its rows instead).
    int wrapWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void initFrame();
    void initFont();
    void initMetrics();
    void relayOut();
    void updateScrollBar();
    int pageRows() const;
    int topRow() const;
    qint32 wrapUnits() const;
    qint64 offsetAtPoint(QPointF point);
    void moveCursor(qint64 offset, bool extend);
    void moveCursorToRow(int row, bool extend);
    void ensureCursorVisible();
    void scrollRows(int rows);
    void autoScroll();
    void drawRow(QPainter& painter, int row, int y, qint64 selectionStart, qint64 selectionEnd);

    // Shared, never changed in place: a new code is a new string.
    SharedCode m_shared;
    CodePaneLayout m_layout;
    QFont m_textFont;
    int m_rowHeight = 1;
    int m_ascent = 0;

    // The selection runs from the anchor to the cursor, byte offsets in m_code.
    qint64 m_anchor = 0;
    qint64 m_cursor = 0;
    // Where up and down keep the cursor, units from the left edge of a row.
    qint32 m_cursorX = 0;
    bool m_selecting = false;
    QPointF m_mousePoint;
    QTimer m_autoScroll;
    // Set while the pane itself moves the scroll bar.
    bool m_syncingScrollBar = false;
};

} // namespace mosaiq
