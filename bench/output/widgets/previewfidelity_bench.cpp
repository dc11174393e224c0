// How closely the native preview at 100 % shows what the web engine shows: small pages of each
// kind are written as the program writes them, shown in the preview pane's web engine (with the
// pane's font settings) and painted by the native preview's painter at the same width; the
// figure is the share of pixels that differ by more than a little, and where the rows and cells
// fall. Pairs of pictures are left in /tmp/mosaiq-fidelity for a look.
#include "output/painting/pagepainter.h"
#include "output/widgets/previewpane.h"
#include "support/benchpage.h"
#include "support/fakedesktop.h"
#include "support/offscreen.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QTimer>
#include <QWebEngineView>

#include <cstdio>

using namespace mosaiq;

namespace {

QImage grabWeb(PreviewPane& pane, const QString& path, const std::shared_ptr<PageRecord>& record)
{
    bool loaded = false;
    auto connection = QObject::connect(
        pane.web(), &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    pane.showPage(path, record);
    QElapsedTimer timer;
    timer.start();
    while (!loaded && timer.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QObject::disconnect(connection);
    // Time for the page's first frames.
    QTimer::singleShot(1500, [] { QApplication::exit(); });
    QApplication::exec();
    return pane.web()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Share of pixels whose channels differ by more than tolerance.
double difference(const QImage& a, const QImage& b, int tolerance)
{
    const int width = std::min(a.width(), b.width()), height = std::min(a.height(), b.height());
    qint64 differing = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > tolerance
                || std::abs(qGreen(p) - qGreen(q)) > tolerance
                || std::abs(qBlue(p) - qBlue(q)) > tolerance)
                ++differing;
        }
    return double(differing) / double(qint64(width) * height);
}

} // namespace

int main(int argc, char* argv[])
{
    prepareOffscreenWindow();
    QApplication application(argc, argv);
    const QString folder = QStringLiteral("/tmp/mosaiq-fidelity");
    QDir().mkpath(folder);
    FakeDesktop desktop;
    PreviewPane pane(desktop);
    pane.resize(705, 465);
    pane.setPreviewGeometry(QRect(0, 0, 705, 465));
    pane.show();
    std::printf("page family: %s\n", qPrintable(pageFamily()));

    struct Case {
        const char* name;
        int columns, rows;
        BenchPageOptions options;
    };
    const Case cases[] = {
        { "letter", 90, 36, { CellMode::Letter, {}, 0, U"" } },
        { "letter-white", 90, 36, { CellMode::Letter, {}, 0xFFFFFF, U"" } },
        { "square", 90, 36, { CellMode::Square, {}, 0, U"" } },
        { "bold-italic-centred", 60, 36, { CellMode::Letter, { true, true, true }, 0, U"" } },
        { "square-centred-bold", 60, 36,
            { CellMode::Square, { true, false, true }, 0xFFFFFF, U"" } },
        { "defined", 80, 36, { CellMode::Letter, {}, 0xFFFFFF, U"AVATo?é€ W" } },
        { "wider-than-view", 200, 36, { CellMode::Letter, { false, false, true }, 0, U"" } },
    };
    for (const Case& c : cases) {
        const QString path = folder + QStringLiteral("/%1.html").arg(QLatin1String(c.name));
        const BenchPage page = writeBenchPage(path.toStdString(), c.columns, c.rows, c.options);
        const QImage web = grabWeb(pane, path, page.record);
        PagePainter painter(page.record);
        QImage native(web.size(), QImage::Format_RGB32);
        painter.paintText(native, QPointF(0, 0), 1.0, web.width());
        QImage both(web.width() * 2 + 4, web.height(), QImage::Format_RGB32);
        both.fill(Qt::gray);
        QPainter(&both).drawImage(0, 0, web);
        QPainter(&both).drawImage(web.width() + 4, 0, native);
        both.save(folder + QStringLiteral("/%1.png").arg(QLatin1String(c.name)));
        std::printf("%-22s %3d x %2d: pixels differing by more than 16: %5.2f %%, by more than "
                    "96: %5.2f %%\n",
            c.name, c.columns, c.rows, 100 * difference(web, native, 16),
            100 * difference(web, native, 96));
    }
    return 0;
}
