#include "output/widgets/nativepreview.h"

#include "wording/previewwords.h"

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <climits>
#include <cmath>

namespace mosaiq {

namespace {

    // A scroll bar counts in ints; a zoom that would make the page longer is not taken.
    constexpr double LargestExtent = INT_MAX / 2;

} // namespace

NativePreview::NativePreview(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    m_idleWork.setInterval(0);
    connect(&m_idleWork, &QTimer::timeout, this, &NativePreview::continueIdleWork);
}

NativePreview::~NativePreview() = default;

void NativePreview::setPage(std::shared_ptr<const PageRecord> record)
{
    m_painter = record ? std::make_unique<PagePainter>(std::move(record)) : nullptr;
    m_overview = {};
    m_overviewFactor = 0;
    m_overviewLines = 0;
    m_fitted = {};
    m_zoom = {};
    if (m_painter) {
        // The rows first in view, so that the page opens as wide as they are.
        m_painter->layout().measureRows(20000);
        if (!viewport()->size().isEmpty())
            startOverview(fitFactor());
        m_idleWork.start();
    } else {
        m_idleWork.stop();
    }
    updateScrollBars();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
    emit zoomChanged();
}

QSizeF NativePreview::contentSize(PreviewZoom zoom) const
{
    if (!m_painter || zoom.fit)
        return {};
    return m_painter->textSize(zoom.factor, viewport()->width());
}

void NativePreview::updateScrollBars()
{
    const QSizeF size = contentSize(m_zoom);
    const QSize view = viewport()->size();
    const int lineHeight
        = m_painter ? int(std::ceil(m_painter->layout().lineHeight() * m_zoom.factor)) : 1;
    horizontalScrollBar()->setRange(0, std::max(0, int(std::ceil(size.width())) - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(std::max(1, 2 * lineHeight));
    verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(size.height())) - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(std::max(1, lineHeight));
}

void NativePreview::setZoom(PreviewZoom zoom, QPointF anchor)
{
    if (!m_painter || zoom == m_zoom)
        return;
    const QSizeF size = contentSize(zoom);
    if (size.width() > LargestExtent || size.height() > LargestExtent)
        return;
    // Read before the new zoom's ranges can clamp it.
    const QPointF scroll = m_zoom.fit
        ? QPointF()
        : QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const double from = m_zoom.fit ? zoom.factor : m_zoom.factor;
    m_zoom = zoom;
    updateScrollBars();
    if (!zoom.fit) {
        // From "fit" the page comes back at its top left; between factors the point under
        // the anchor stays.
        horizontalScrollBar()->setValue(int(std::lround(scrollAfterZoom(
            scroll.x(), anchor.x(), from, zoom.factor, horizontalScrollBar()->maximum()))));
        verticalScrollBar()->setValue(int(std::lround(scrollAfterZoom(
            scroll.y(), anchor.y(), from, zoom.factor, verticalScrollBar()->maximum()))));
    }
    viewport()->update();
    emit zoomChanged();
}

QPointF NativePreview::viewCentre() const
{
    return QPointF(viewport()->width() / 2.0, viewport()->height() / 2.0);
}

void NativePreview::zoomIn()
{
    setZoom(zoomedIn(m_zoom), viewCentre());
}

void NativePreview::zoomOut()
{
    setZoom(zoomedOut(m_zoom), viewCentre());
}

void NativePreview::resetZoom()
{
    setZoom({}, viewCentre());
}

void NativePreview::fitToPane()
{
    setZoom({ true, m_zoom.factor }, viewCentre());
}

void NativePreview::paintEvent(QPaintEvent*)
{
    const qreal ratio = viewport()->devicePixelRatioF();
    const QSize device(
        int(std::ceil(viewport()->width() * ratio)), int(std::ceil(viewport()->height() * ratio)));
    if (m_frame.size() != device || m_frame.devicePixelRatio() != ratio) {
        m_frame = QImage(device, QImage::Format_RGB32);
        m_frame.setDevicePixelRatio(ratio);
    }
    if (!m_painter)
        m_frame.fill(palette().color(QPalette::Base));
    else if (m_zoom.fit)
        paintFit();
    else
        m_painter->paintText(m_frame,
            QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value()), m_zoom.factor,
            viewport()->width());
    QPainter painter(viewport());
    painter.drawImage(QPointF(0, 0), m_frame);
    painter.end();
    emit framePainted();
}

int NativePreview::fitFactor() const
{
    const double points = fitScale(m_painter->pointColumns(), m_painter->pointRows(),
        viewport()->width(), viewport()->height());
    const double cellPixels = points * viewport()->devicePixelRatioF();
    return cellPixels > 0 && cellPixels < 1 ? int(std::floor(1 / cellPixels)) : 0;
}

void NativePreview::startOverview(int factor)
{
    m_overviewFactor = factor;
    m_overviewLines = 0;
    m_fitted = {};
    m_overview
        = factor > 0 ? QImage(m_painter->cellImageSize(factor), QImage::Format_RGB32) : QImage();
    if (!m_overview.isNull())
        m_idleWork.start();
}

void NativePreview::continueIdleWork()
{
    // A few milliseconds at a time, so that the window stays as quick as ever.
    const PageLayout& layout = m_painter->layout();
    const double widest = layout.widestRow();
    QElapsedTimer slice;
    slice.start();
    bool done = false;
    while (!done && slice.nsecsElapsed() < 4'000'000) {
        if (!layout.allMeasured())
            layout.measureRows(20000);
        else if (m_overviewLines < m_overview.height()) {
            m_painter->averageCells(
                m_overview, m_overviewFactor, m_overviewLines, m_overviewLines + 1);
            ++m_overviewLines;
        } else
            done = true;
    }
    if (layout.widestRow() != widest)
        updateScrollBars();
    if (!done)
        return;
    m_idleWork.stop();
    if (m_zoom.fit)
        viewport()->update();
}

void NativePreview::paintFit()
{
    const double ratio = m_frame.devicePixelRatio();
    const QSizeF view = viewport()->size();
    const double points
        = fitScale(m_painter->pointColumns(), m_painter->pointRows(), view.width(), view.height());
    const QSizeF grid(
        double(m_painter->pointColumns()) * points, double(m_painter->pointRows()) * points);
    const QPointF origin((view.width() - grid.width()) / 2, (view.height() - grid.height()) / 2);
    const int factor = fitFactor();
    if (factor != m_overviewFactor)
        startOverview(factor);
    if (factor == 0 || m_overviewLines < m_overview.height()) {
        // Each cell has a device pixel or more (the nearest cell is exact and sharp), or the
        // average is not ready yet.
        m_painter->paintPoints(m_frame, origin, points);
        return;
    }
    // Smaller: each pixel shows the mean of the cells under it, from the cells averaged by
    // whole blocks, brought down to the pane smoothly.
    const QSize target(std::max(1, int(std::lround(grid.width() * ratio))),
        std::max(1, int(std::lround(grid.height() * ratio))));
    if (m_fitted.size() != target) {
        m_fitted = m_overview.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_fitted.setDevicePixelRatio(ratio);
    }
    m_frame.fill(m_painter->background());
    QPainter painter(&m_frame);
    painter.drawImage(origin, m_fitted);
}

void NativePreview::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    if (m_painter && fitFactor() != m_overviewFactor)
        startOverview(fitFactor());
}

void NativePreview::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    // A notch is 120; finer wheels add up to one.
    m_wheelAngle += event->angleDelta().y();
    while (std::abs(m_wheelAngle) >= 120) {
        const bool in = m_wheelAngle > 0;
        m_wheelAngle += in ? -120 : 120;
        setZoom(in ? zoomedIn(m_zoom) : zoomedOut(m_zoom), event->position());
    }
    event->accept();
}

void NativePreview::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoomIn();
            return;
        case Qt::Key_Minus:
            zoomOut();
            return;
        case Qt::Key_0:
            resetZoom();
            return;
        default:
            break;
        }
    }
    switch (event->key()) {
    case Qt::Key_Home:
        verticalScrollBar()->setValue(0);
        horizontalScrollBar()->setValue(0);
        return;
    case Qt::Key_End:
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void NativePreview::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(
        QString::fromUtf8(window::OpenInBrowser), this, &NativePreview::openInBrowserRequested);
    menu.addSeparator();
    const bool page = m_painter != nullptr;
    QAction* in = menu.addAction(QString::fromUtf8(window::ZoomIn), this, &NativePreview::zoomIn);
    in->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Plus));
    QAction* out
        = menu.addAction(QString::fromUtf8(window::ZoomOut), this, &NativePreview::zoomOut);
    out->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    QAction* actual
        = menu.addAction(QString::fromUtf8(window::ActualSize), this, &NativePreview::resetZoom);
    actual->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    QAction* fit
        = menu.addAction(QString::fromUtf8(window::FitToPane), this, &NativePreview::fitToPane);
    fit->setCheckable(true);
    fit->setChecked(m_zoom.fit);
    for (QAction* action : { in, out, actual, fit })
        action->setEnabled(page);
    menu.exec(event->globalPos());
}

} // namespace mosaiq
