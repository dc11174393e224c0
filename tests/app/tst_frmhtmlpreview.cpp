// The preview after a run: the page goes to the web engine when it can show it and to the native
// preview otherwise, after delivery and after the stop button, drawn from what the page holds.
#include "app/frmhtml.h"
#include "output/widgets/nativepreview.h"
#include "output/widgets/previewpane.h"
#include "support/windowtest.h"
#include "wording/previewwords.h"

#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QWebEngineView>

using namespace mosaiq;

class TestFrmHTMLPreview : public QObject, private WindowFixture {
    Q_OBJECT

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void aDeliveredPageGoesToThePreviewThatCanShowIt_data();
    void aDeliveredPageGoesToThePreviewThatCanShowIt();
    void theStopButtonShowsTheRowsWrittenSoFar();

private:
    PreviewPane* pane() const
    {
        return control<PreviewPane>(*m_window, QStringLiteral("SSTab1Page0"));
    }
    void run() { control<QPushButton>(*m_window, QStringLiteral("CmdGo"))->click(); }
    QString makePicture()
    {
        QImage image(3, 3, QImage::Format_RGB32);
        image.fill(qRgb(200, 30, 40));
        const QString path = m_dir->filePath(QStringLiteral("picture.png"));
        if (!image.save(path))
            qFatal("could not write %s", qPrintable(path));
        return path;
    }
};

void TestFrmHTMLPreview::aDeliveredPageGoesToThePreviewThatCanShowIt_data()
{
    QTest::addColumn<bool>("squares");
    QTest::addColumn<qint64>("columns");
    QTest::addColumn<qint64>("rows");
    QTest::addColumn<bool>("native");
    QTest::newRow("letters within the limit") << false << qint64(10) << qint64(10) << false;
    QTest::newRow("letters beyond")
        << false << qint64(WebLetterCells / 10 + 1) << qint64(10) << true;
    QTest::newRow("squares within the limit") << true << qint64(10) << qint64(10) << false;
    QTest::newRow("squares beyond") << true << qint64(1) << qint64(WebSquareCells + 1) << true;
}

void TestFrmHTMLPreview::aDeliveredPageGoesToThePreviewThatCanShowIt()
{
    QFETCH(bool, squares);
    QFETCH(qint64, columns);
    QFETCH(qint64, rows);
    QFETCH(bool, native);
    loadPicture(makePicture());
    setSize(QString::number(columns), QString::number(rows));
    if (squares)
        control<QCheckBox>(*m_window, QStringLiteral("Check2"))->click();
    QSignalSpy navigations(m_window.get(), &FrmHTML::previewNavigated);

    run();

    QCOMPARE(navigations.size(), 1);
    QCOMPARE(pane()->shown(), native ? PreviewKind::Native : PreviewKind::Web);
    QCOMPARE(pane()->web()->isVisible(), !native);
    QCOMPARE(pane()->native()->isVisible(), native);
    if (native) {
        QCOMPARE(pane()->notice(), QString::fromUtf8(window::PageTooLarge));
        const PageRecord& record = pane()->native()->painter()->record();
        QCOMPARE(record.rowCount(), rows);
        QCOMPARE(record.cellCount(), columns * rows);
        QVERIFY(record.complete());
        QCOMPARE(record.rowMode(0), squares ? CellMode::Square : CellMode::Letter);
    }
}

void TestFrmHTMLPreview::theStopButtonShowsTheRowsWrittenSoFar()
{
    loadPicture(makePicture());
    setSize(QString::number(WebLetterCells + 1), QStringLiteral("5"));
    connect(m_window.get(), &FrmHTML::rowWritten, this, [this](qint64 row) {
        if (row == 2)
            QTest::mouseClick(
                control<QPushButton>(*m_window, QStringLiteral("Command5")), Qt::LeftButton);
    });

    run();

    QCOMPARE(pane()->shown(), PreviewKind::Native);
    const PageRecord& record = pane()->native()->painter()->record();
    QCOMPARE(record.rowCount(), qint64(2));
    QVERIFY(!record.complete());
    // The next stop with no run going shows the same page again.
    control<QPushButton>(*m_window, QStringLiteral("Command5"))->click();
    QCOMPARE(pane()->native()->painter()->record().rowCount(), qint64(2));
}

MOSAIQ_WINDOW_TEST_MAIN(TestFrmHTMLPreview)
#include "tst_frmhtmlpreview.moc"
