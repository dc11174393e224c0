#pragma once

#include "output/painting/pagepainter.h"
#include "output/preview/previewzoom.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QTimer>

#include <memory>

namespace mosaiq {

// The preview of our own, for pages the web engine cannot show: the page painted from its
// record, only the part in view, so that a frame costs the same for any page. At 100 % the page
// is laid out as the web engine lays it out; Ctrl+wheel, Ctrl++ and Ctrl+- zoom, Ctrl+0 comes
// back to 100 %, and "fit" shows the whole page in the pane, each cell a point. Wheel, bars and
// keys scroll.
class NativePreview : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit NativePreview(QWidget* parent = nullptr);
    ~NativePreview() override;

    // Shows the page of record from its top left at 100 %; null empties the pane.
    void setPage(std::shared_ptr<const PageRecord> record);
    bool hasPage() const { return m_painter != nullptr; }
    const PagePainter* painter() const { return m_painter.get(); }

    PreviewZoom zoom() const { return m_zoom; }
    // Changes the zoom keeping the page point under anchor (viewport pixels) in place.
    void setZoom(PreviewZoom zoom, QPointF anchor);
    void zoomIn();
    void zoomOut();
    void resetZoom();
    void fitToPane();

signals:
    void zoomChanged();
    void openInBrowserRequested();
    // A frame has been painted into the viewport.
    void framePainted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QSizeF contentSize(PreviewZoom zoom) const;
    void updateScrollBars();
    void paintFit();
    int fitFactor() const;
    void startOverview(int factor);
    void continueIdleWork();
    QPointF viewCentre() const;

    std::unique_ptr<PagePainter> m_painter;
    PreviewZoom m_zoom;
    QImage m_frame;
    // Between events, from the moment the page is shown: the rows not yet in view are measured
    // (the page's width grows to the widest), then the cells are averaged for "fit".
    QTimer m_idleWork;
    // The fitted page: cells averaged by blocks of m_overviewFactor, then brought to the pane's
    // size; both kept until the page or the pane's size changes. Until the average is ready,
    // "fit" shows the cell under each pixel.
    QImage m_overview;
    int m_overviewFactor = 0;
    int m_overviewLines = 0;
    QImage m_fitted;
    int m_wheelAngle = 0;
};

} // namespace mosaiq
