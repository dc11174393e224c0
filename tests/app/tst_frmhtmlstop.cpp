// A run that ends before its last row: stopped by the button or Ctrl+S, by closing the window,
// by a field emptied between rows, or by a picture or page that fails it.
#include "app/frmhtml.h"
#include "app/picturebox.h"
#include "output/widgets/codepane.h"
#include "support/fakedesktop.h"
#include "support/runfixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

using namespace mosaiq;

namespace {

enum class StopBy { Button, ButtonTwice, Keys };

} // namespace

Q_DECLARE_METATYPE(StopBy)

class TestFrmHTMLStop : public QObject, private RunFixture {
    Q_OBJECT

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void aStopEndsTheRunAfterTheCurrentRow_data();
    void aStopEndsTheRunAfterTheCurrentRow();
    void aStopAskedForWhileIdleDoesNotStopTheNextRun_data();
    void aStopAskedForWhileIdleDoesNotStopTheNextRun();
    void closingTheWindowEndsTheRun();
    void fieldsEmptiedDuringARunEndIt_data();
    void fieldsEmptiedDuringARunEndIt();
    void aPictureGoneSinceItWasChosenStopsTheRun();
    void aPageThatCannotBeWrittenEndsTheRun_data();
    void aPageThatCannotBeWrittenEndsTheRun();
};

void TestFrmHTMLStop::aStopEndsTheRunAfterTheCurrentRow_data()
{
    QTest::addColumn<StopBy>("stopBy");
    QTest::newRow("stop button") << StopBy::Button;
    QTest::newRow("stop button twice") << StopBy::ButtonTwice;
    QTest::newRow("Ctrl+S") << StopBy::Keys;
}

void TestFrmHTMLStop::aStopEndsTheRunAfterTheCurrentRow()
{
    QFETCH(StopBy, stopBy);
    loadPicture(makePicture());
    setSize(QStringLiteral("2"), QStringLiteral("10"));
    fillPanes();
    QSignalSpy rows(m_window.get(), &FrmHTML::rowWritten);
    QSignalSpy navigations(m_window.get(), &FrmHTML::previewNavigated);
    const auto stop = afterRow(3, [&] {
        if (stopBy == StopBy::Keys) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
            return;
        }
        QTest::mouseClick(ui<QPushButton>("Command5"), Qt::LeftButton);
        if (stopBy == StopBy::ButtonTwice)
            QTest::mouseClick(ui<QPushButton>("Command5"), Qt::LeftButton);
    });

    run();

    QCOMPARE(rows.size(), 3);
    const QList<QByteArray> lines = pageLines();
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.first(), PageHead + "<center>");
    QVERIFY(!lines.last().endsWith(PageTail));
    verifyPanesUnchanged();
    QVERIFY(!m_window->isRunning());
    QCOMPARE(ui<QLineEdit>("txtArret")->text(), QString());
    QVERIFY(m_desktop->messages.isEmpty());
    if (stopBy == StopBy::Keys) {
        // The stop key leaves the window as the last row left it; only the button resets it.
        QVERIFY(!ui<QPushButton>("CmdGo")->isEnabled());
        QCOMPARE(ui<QLabel>("pourCent")->text(), QStringLiteral("30%"));
        QCOMPARE(ui<QProgressBar>("bar1")->value(), 30);
        QCOMPARE(navigations.size(), 0);
        ui<QPushButton>("Command5")->click();
        QVERIFY(ui<QPushButton>("CmdGo")->isEnabled());
        QCOMPARE(ui<QLabel>("pourCent")->text(), QStringLiteral("0%"));
    } else {
        QVERIFY(ui<QPushButton>("CmdGo")->isEnabled());
        QCOMPARE(ui<QLabel>("pourCent")->text(), QStringLiteral("0%"));
        QCOMPARE(ui<QProgressBar>("bar1")->value(), 0);
        QCOMPARE(navigations.size(), stopBy == StopBy::ButtonTwice ? 2 : 1);
        QCOMPARE(navigations.first().first().toUrl(), QUrl::fromLocalFile(m_window->previewFile()));
    }

    // The stop pressed to get going again does not stop the next run.
    disconnect(stop);
    run();
    QCOMPARE(rows.size(), 13);
    QCOMPARE(pageLines().size(), 12);
    QVERIFY(ui<CodePane>("htmlrich")->code() != "previous html");
}

void TestFrmHTMLStop::aStopAskedForWhileIdleDoesNotStopTheNextRun_data()
{
    QTest::addColumn<StopBy>("stopBy");
    QTest::newRow("stop button") << StopBy::Button;
    QTest::newRow("Ctrl+S") << StopBy::Keys;
}

void TestFrmHTMLStop::aStopAskedForWhileIdleDoesNotStopTheNextRun()
{
    QFETCH(StopBy, stopBy);
    loadPicture(makePicture());
    setSize(QStringLiteral("2"), QStringLiteral("2"));
    if (stopBy == StopBy::Keys)
        QTest::keyClick(m_window.get(), Qt::Key_S, Qt::ControlModifier);
    else
        ui<QPushButton>("Command5")->click();
    QCOMPARE(ui<QLineEdit>("txtArret")->text(), QStringLiteral("STOP"));

    run();

    QCOMPARE(pageLines().size(), 4);
    QVERIFY(ui<QPushButton>("CmdGo")->isEnabled());
    QVERIFY(!ui<CodePane>("htmlrich")->code().empty());
}

void TestFrmHTMLStop::closingTheWindowEndsTheRun()
{
    loadPicture(makePicture());
    setSize(QStringLiteral("2"), QStringLiteral("5"));
    fillPanes();
    QSignalSpy rows(m_window.get(), &FrmHTML::rowWritten);
    QSignalSpy navigations(m_window.get(), &FrmHTML::previewNavigated);
    afterRow(2, [&] { m_window->close(); });

    run();

    QCOMPARE(rows.size(), 2);
    QCOMPARE(pageLines(), QList<QByteArray>({ PageHead + "<center>", TopRow, TopRow }));
    QVERIFY(!m_window->isRunning());
    QVERIFY(!m_window->isVisible());
    QCOMPARE(navigations.size(), 0);
    verifyPanesUnchanged();
    QVERIFY(m_desktop->messages.isEmpty());
}

void TestFrmHTMLStop::fieldsEmptiedDuringARunEndIt_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString invalid = QStringLiteral("Dimensions invalides");
    QTest::newRow("columns 0") << "TxtX"
                               << "0" << invalid;
    QTest::newRow("columns empty") << "TxtX"
                                   << "" << invalid;
    QTest::newRow("rows not a number") << "TxtY"
                                       << "abc" << invalid;
    QTest::newRow("characters emptied")
        << "TxtRepeat"
        << "" << QStringLiteral("Définissez un caractères pour l'ASCII...");
}

void TestFrmHTMLStop::fieldsEmptiedDuringARunEndIt()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    loadPicture(makePicture());
    setSize(QStringLiteral("2"), QStringLiteral("3"));
    fillPanes();
    QSignalSpy navigations(m_window.get(), &FrmHTML::previewNavigated);
    afterRow(1, [&] { control<QLineEdit>(*m_window, field)->setText(text); });

    run();

    QCOMPARE(m_desktop->messages, QStringList { message });
    QCOMPARE(pageLines(), QList<QByteArray>({ PageHead + "<center>", TopRow }));
    verifyPanesUnchanged();
    QCOMPARE(navigations.size(), 0);
    QVERIFY(!m_window->isRunning());
    QVERIFY(ui<QPushButton>("CmdGo")->isEnabled());
    QCOMPARE(ui<QLabel>("pourCent")->text(), QStringLiteral("0%"));
}

void TestFrmHTMLStop::aPictureGoneSinceItWasChosenStopsTheRun()
{
    const QString path = makePicture();
    loadPicture(path);
    setSize(QStringLiteral("2"), QStringLiteral("2"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("no longer a picture");
    file.close();

    run();

    QCOMPARE(m_desktop->messages.size(), 1);
    QVERIFY(m_desktop->messages.first().contains(QDir::toNativeSeparators(path)));
    QVERIFY(!QFile::exists(m_window->previewFile()));
    QVERIFY(ui<QPushButton>("CmdGo")->isEnabled());
    QVERIFY(!m_window->isRunning());
    QCOMPARE(ui<PictureBox>("PicLoad")->image().size(), QSize(2, 2));
}

void TestFrmHTMLStop::aPageThatCannotBeWrittenEndsTheRun_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("folder missing") << "missing/folder/temp.html";
    QTest::newRow("disk full") << "/dev/full";
}

void TestFrmHTMLStop::aPageThatCannotBeWrittenEndsTheRun()
{
    QFETCH(QString, page);
    if (page == QLatin1String("/dev/full") && !QFile::exists(page))
        QSKIP("this system has no /dev/full, the device whose every write fails as on a full disk");
    const QString path = page.startsWith(QLatin1Char('/')) ? page : m_dir->filePath(page);
    m_window->setPreviewFile(path);
    loadPicture(makePicture());
    setSize(QStringLiteral("2"), QStringLiteral("2"));
    fillPanes();
    QSignalSpy navigations(m_window.get(), &FrmHTML::previewNavigated);

    run();

    QCOMPARE(m_desktop->messages.size(), 1);
    QVERIFY2(m_desktop->messages.first().contains(QDir::toNativeSeparators(path)),
        qPrintable(m_desktop->messages.first()));
    verifyPanesUnchanged();
    QCOMPARE(navigations.size(), 0);
    QVERIFY(ui<QPushButton>("CmdGo")->isEnabled());
    QVERIFY(!m_window->isRunning());
}

MOSAIQ_WINDOW_TEST_MAIN(TestFrmHTMLStop)
#include "tst_frmhtmlstop.moc"
