// The "Aperçu" tab: the web engine for pages it can show, the native preview with a word for
// the others and whenever the web engine fails; zoom keys; the page opened in the browser.
#include "output/painting/pagefont.h"
#include "output/preview/pagerecord.h"
#include "output/widgets/nativepreview.h"
#include "output/widgets/previewpane.h"
#include "support/fakedesktop.h"
#include "wording/previewwords.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QFontDatabase>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

using namespace mosaiq;

namespace {

// A record of cells letter cells and a small page file at path.
std::shared_ptr<PageRecord> writePage(const QString& path, std::int64_t cells)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write("<HTML><Body bgcolor=\"#000000\"><font color=\"#FF0000\">A</font><br>\r\n");
    auto record = std::make_shared<PageRecord>(0, StyleFlags {});
    const std::vector<ColourValue> colours(std::size_t(cells), makeColour(255, 0, 0));
    const std::vector<Glyph> glyphs(std::size_t(cells), glyphFor(U'A'));
    record->rowBuilt({ 1, "", "", CellMode::Letter, colours, glyphs, {} });
    return record;
}

QString words(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

class TestPreviewPane : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void thePageSizeChoosesThePreview();
    void aFailedLoadOrADeadWebEngineSwitchToTheNativePreview();
    void bothPreviewsHaveFrenchMenus();
    void theWebEngineReadsThePageAsWritten();

private:
    QString page() const { return m_dir->filePath(QStringLiteral("temp.html")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<PreviewPane> m_pane;
};

void TestPreviewPane::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_desktop = std::make_unique<FakeDesktop>();
    m_pane = std::make_unique<PreviewPane>(*m_desktop);
    m_pane->resize(705, 465);
    m_pane->setPreviewGeometry(QRect(0, 0, 705, 465));
    m_pane->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pane.get()));
}

void TestPreviewPane::cleanup()
{
    m_pane.reset();
    m_desktop.reset();
    m_dir.reset();
}

void TestPreviewPane::thePageSizeChoosesThePreview()
{
    // The page asks for Verdana; without it, the web engine takes the face the native preview
    // draws with, not a serif one.
    if (!QFontDatabase::hasFamily(QStringLiteral("Verdana")))
        QCOMPARE(
            m_pane->web()->settings()->fontFamily(QWebEngineSettings::StandardFont), pageFamily());

    NativePreview* native = m_pane->native();
    m_pane->showPage(page(), writePage(page(), WebLetterCells + 1));
    QCOMPARE(m_pane->shown(), PreviewKind::Native);
    QCOMPARE(m_pane->notice(), words(previewwords::PageTooLarge));
    QVERIFY(native->isVisible() && native->hasPage() && !m_pane->web()->isVisible());

    // The bar's button opens the page in the user's browser, or says it could not.
    auto* open = m_pane->findChild<QPushButton*>(QStringLiteral("previewOpen"));
    QCOMPARE(open->text(), words(previewwords::OpenInBrowser));
    open->click();
    QCOMPARE(m_desktop->openedUrls, QList<QUrl> { QUrl::fromLocalFile(page()) });
    m_desktop->browserAnswers = false;
    open->click();
    QCOMPARE(m_desktop->messages, QStringList { words(previewwords::BrowserFailed) });

    // Zoom from the keyboard and the wheel, around 100 %.
    native->setFocus();
    QTest::keyClick(native, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(native->zoom(), (PreviewZoom { false, 1.1 }));
    QTest::keyClick(native, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(native->zoom(), PreviewZoom {});
    for (int i = 0; i < 8; ++i)
        QTest::keyClick(native, Qt::Key_Minus, Qt::ControlModifier);
    QVERIFY(native->zoom().fit);
    QWheelEvent wheel(QPointF(10, 10), native->mapToGlobal(QPointF(10, 10)), {}, { 0, 120 },
        Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(native->viewport(), &wheel);
    QCOMPARE(native->zoom(), (PreviewZoom { false, 0.25 }));

    // The next page within the limit goes to the web engine again.
    m_pane->showPage(page(), writePage(page(), WebLetterCells));
    QCOMPARE(m_pane->shown(), PreviewKind::Web);
    QVERIFY(m_pane->notice().isEmpty());
    QVERIFY(!native->isVisible() && m_pane->web()->isVisible());
}

void TestPreviewPane::aFailedLoadOrADeadWebEngineSwitchToTheNativePreview()
{
    QSignalSpy loads(m_pane->web(), &QWebEngineView::loadFinished);
    const auto showLoaded = [&] {
        loads.clear();
        m_pane->showPage(page(), writePage(page(), 1));
        // The page is handed over from memory under the file's address, though after a failed
        // load the web engine may report the address of the data instead; either is the page.
        QTRY_VERIFY_WITH_TIMEOUT(!loads.isEmpty() && loads.last().at(0).toBool()
                && m_pane->web()->url() != QUrl(QStringLiteral("about:blank")),
            20000);
        QCOMPARE(m_pane->shown(), PreviewKind::Web);
    };
    // The page vanishes while the web engine loads it again.
    showLoaded();
    QFile::remove(page());
    m_pane->web()->load(QUrl::fromLocalFile(page()));
    QTRY_COMPARE_WITH_TIMEOUT(m_pane->shown(), PreviewKind::Native, 20000);
    QCOMPARE(m_pane->notice(), words(previewwords::LoadFailed));
    QVERIFY(m_pane->native()->hasPage() && m_pane->native()->isVisible());

    // The web engine's page process dies (as when the system runs out of memory).
    showLoaded();
    m_pane->web()->load(QUrl(QStringLiteral("chrome://kill")));
    QTRY_COMPARE_WITH_TIMEOUT(m_pane->shown(), PreviewKind::Native, 20000);
    QCOMPARE(m_pane->notice(), words(previewwords::EngineStopped));

    // Shown again with the page gone, it says so and still draws what the run wrote; with no
    // run yet either, it has nothing to draw but still a word.
    QFile::remove(page());
    m_pane->showPage(page(), writePage(m_dir->filePath(QStringLiteral("other.html")), 1));
    QCOMPARE(m_pane->notice(), words(previewwords::PageMissing));
    QVERIFY(m_pane->native()->hasPage());
    m_pane->showPage(page(), nullptr);
    QCOMPARE(m_pane->notice(), words(previewwords::NothingToShow));
    QVERIFY(!m_pane->native()->hasPage());
    m_pane->native()->repaint();
}

void TestPreviewPane::bothPreviewsHaveFrenchMenus()
{
    // Each menu, once open, is read and closed.
    QStringList texts;
    QTimer reader;
    connect(&reader, &QTimer::timeout, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (const QAction* action : menu->actions())
                if (!action->isSeparator())
                    texts << action->text();
            menu->close();
        }
    });
    reader.start(20);
    QSignalSpy loads(m_pane->web(), &QWebEngineView::loadFinished);
    m_pane->showPage(page(), writePage(page(), 1));
    QTRY_VERIFY_WITH_TIMEOUT(!loads.isEmpty(), 20000);
    QWidget* web = m_pane->web()->focusProxy();
    QTest::mouseClick(web, Qt::RightButton, {}, QPoint(50, 50));
    QTRY_COMPARE_WITH_TIMEOUT(texts,
        QStringList({ words(previewwords::Reload), words(previewwords::Copy),
            words(previewwords::OpenInBrowser) }),
        20000);

    texts.clear();
    m_pane->showPage(page(), writePage(page(), WebLetterCells + 1));
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(50, 50), QPoint(50, 50));
    QApplication::sendEvent(m_pane->native()->viewport(), &event);
    QCOMPARE(texts,
        QStringList({ words(previewwords::OpenInBrowser), words(previewwords::ZoomIn),
            words(previewwords::ZoomOut), words(previewwords::ActualSize),
            words(previewwords::FitToPane) }));
}

void TestPreviewPane::theWebEngineReadsThePageAsWritten()
{
    // The page declares no encoding; its accented letters are single Windows-1252 bytes, which
    // a guess from the bytes takes for Macintosh ones ("«a va").
    QFile file(page());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<HTML><Body bgcolor=\"#000000\"><b><i>\r\n");
    const QByteArray glyphs("\xC7"
                            "a va");
    for (int k = 0; k < 600; ++k) {
        const QByteArray colour = QByteArray::number(0x102030 + 7919 * k, 16);
        file.write("<font color=\"#" + colour + "\">" + glyphs.at(k % 5) + "</font>");
        if (k % 30 == 29)
            file.write("<br>\r\n");
    }
    file.close();
    QSignalSpy loads(m_pane->web(), &QWebEngineView::loadFinished);
    m_pane->showPage(page(), writePage(m_dir->filePath(QStringLiteral("other.html")), 1));
    QVERIFY(loads.wait(20000));
    QString text;
    m_pane->web()->page()->runJavaScript(QStringLiteral("document.body.innerText"),
        [&](const QVariant& result) { text = result.toString(); });
    QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), 20000);
    QCOMPARE(text.left(15), QString::fromUtf8("Ça va").repeated(3));
}

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    TestPreviewPane test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_previewpane.moc"
