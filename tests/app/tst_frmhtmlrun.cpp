// A run in the window: the start checks, the page and the panes it fills, progress, options
// changed between rows, and Ctrl+D.
#include "app/colourswatch.h"
#include "app/frmhtml.h"
#include "output/widgets/codepane.h"
#include "support/fakedesktop.h"
#include "support/runfixture.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

using namespace mosaiq;

class TestFrmHTMLRun : public QObject, private RunFixture {
    Q_OBJECT

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void startChecksComeInOrder_data();
    void startChecksComeInOrder();
    void aCompletedRunWritesThePageAndFillsThePanes_data();
    void aCompletedRunWritesThePageAndFillsThePanes();
    void progressFollowsTheRows_data();
    void progressFollowsTheRows();
    void progressStaysWithinTheBarWhenRowsShrink();
    void optionsChangedBetweenRowsAreSeenWhenRead();
    void ctrlDStartsARunOnlyWhenNoneIsGoing();
};

void TestFrmHTMLRun::startChecksComeInOrder_data()
{
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<bool>("random");
    QTest::addColumn<QString>("characters");
    QTest::addColumn<QString>("message");
    const QString noPicture = QStringLiteral("Veuillez charger une image...");
    const QString invalid = QStringLiteral("Dimensions invalides");
    const QString noCharacters = QStringLiteral("Définissez un caractères pour l'ASCII...");
    QTest::newRow("no picture, bad sizes too") << false << "abc"
                                               << "0" << false << "" << noPicture;
    QTest::newRow("columns empty") << true << ""
                                   << "2" << false << "o" << invalid;
    QTest::newRow("columns 0") << true << "0"
                               << "2" << false << "o" << invalid;
    QTest::newRow("columns abc") << true << "abc"
                                 << "2" << false << "o" << invalid;
    QTest::newRow("rows empty") << true << "2"
                                << "" << false << "o" << invalid;
    QTest::newRow("rows 0.0") << true << "2"
                              << "0.0" << false << "o" << invalid;
    QTest::newRow("sizes before characters") << true << "0"
                                             << "2" << false << "" << invalid;
    QTest::newRow("no defined characters") << true << "2"
                                           << "2" << false << "" << noCharacters;
    QTest::newRow("too large") << true << "100000000"
                               << "100" << false << "o"
                               << QStringLiteral("Dimensions trop grandes");
    QTest::newRow("random needs no characters") << true << "2"
                                                << "2" << true << "" << QString();
    QTest::newRow("negative rows pass") << true << "2"
                                        << "-5" << false << "o" << QString();
}

void TestFrmHTMLRun::startChecksComeInOrder()
{
    QFETCH(bool, picture);
    QFETCH(QString, columns);
    QFETCH(QString, rows);
    QFETCH(bool, random);
    QFETCH(QString, characters);
    QFETCH(QString, message);
    if (picture)
        loadPicture(makePicture());
    setSize(columns, rows);
    ui<QRadioButton>(random ? "OptText0" : "OptText1")->click();
    ui<QLineEdit>("TxtRepeat")->setText(characters);

    run();

    QVERIFY(!m_window->isRunning());
    QVERIFY(ui<QPushButton>("CmdGo")->isEnabled());
    QCOMPARE(ui<QLabel>("pourCent")->text(), QStringLiteral("0%"));
    if (message.isEmpty()) {
        QVERIFY(m_desktop->messages.isEmpty());
        QVERIFY(QFile::exists(m_window->previewFile()));
        return;
    }
    QCOMPARE(m_desktop->messages, QStringList { message });
    QVERIFY(m_desktop->titles.first().startsWith(QStringLiteral("Mosaiq [version 4]")));
    QVERIFY(!QFile::exists(m_window->previewFile()));
}

void TestFrmHTMLRun::aCompletedRunWritesThePageAndFillsThePanes_data()
{
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("centred");
    QTest::addColumn<bool>("squares");
    QTest::addColumn<QByteArray>("openers");
    QTest::addColumn<QByteArray>("closers");
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QByteArray>("blog");
    const QByteArray rows = TopRow + BottomRow;
    const QByteArray squares = squareCell("#FF0000", 'o') + squareCell("#00FF00", 'o') + "<br>"
        + squareCell("#0000FF", 'o') + squareCell("#FFFFFF", 'o') + "<br>";
    const QByteArray letterBlog
        = "[c=#FF0000]o[/c][c=#00FF00]o[/c]\r\n[c=#0000FF]o[/c][c=#FFFFFF]o[/c]\r\n";
    const QByteArray squareBlog
        = "[f=#FF0000][c=#FF0000]o[/c][/f][f=#00FF00][c=#00FF00]o[/c][/f]\r\n"
          "[f=#0000FF][c=#0000FF]o[/c][/f][f=#FFFFFF][c=#FFFFFF]o[/c][/f]\r\n";
    // The page opens bold first; the codes put the centre outermost.
    QTest::newRow("start-up options") << false << false << true << false << QByteArray("<center>")
                                      << QByteArray("</center>") << "<center>" + rows + "</center>"
                                      << "[align=center]" + letterBlog + "[/align]";
    QTest::newRow("no style") << false << false << false << false << QByteArray() << QByteArray()
                              << rows << letterBlog;
    QTest::newRow("squares in bold") << true << false << false << true << QByteArray("<b>")
                                     << QByteArray("</b>") << "<b>" + squares + "</b>"
                                     << "[g]" + squareBlog + "[/g]";
    QTest::newRow("every style") << true << true << true << false << QByteArray("<b><i><center>")
                                 << QByteArray("</b></i></center>")
                                 << "<center><i><b>" + rows + "</b></i></center>"
                                 << "[align=center][i][g]" + letterBlog + "[/g][/i][/align]";
}

void TestFrmHTMLRun::aCompletedRunWritesThePageAndFillsThePanes()
{
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(bool, centred);
    QFETCH(bool, squares);
    QFETCH(QByteArray, openers);
    QFETCH(QByteArray, closers);
    QFETCH(QByteArray, html);
    QFETCH(QByteArray, blog);
    loadPicture(makePicture());
    setSize(QStringLiteral("2"), QStringLiteral("2"));
    ui<QCheckBox>("gras")->setChecked(bold);
    ui<QCheckBox>("italique")->setChecked(italic);
    ui<QCheckBox>("centrer")->setChecked(centred);
    if (squares) {
        ui<QCheckBox>("Check2")->click();
        ui<QLineEdit>("TxtRepeat")->setText(QStringLiteral("o"));
    }
    QSignalSpy navigations(m_window.get(), &FrmHTML::previewNavigated);

    run();

    const QByteArray top
        = squares ? squareCell("#FF0000", 'o') + squareCell("#00FF00", 'o') + "<br>" : TopRow;
    const QByteArray bottom
        = squares ? squareCell("#0000FF", 'o') + squareCell("#FFFFFF", 'o') + "<br>" : BottomRow;
    QCOMPARE(
        pageLines(), QList<QByteArray>({ PageHead + openers, top, bottom, closers + PageTail }));
    QCOMPARE(QByteArrayView(ui<CodePane>("htmlrich")->code()).toByteArray(), html);
    QCOMPARE(QByteArrayView(ui<CodePane>("skyblogrich")->code()).toByteArray(), blog);

    QCOMPARE(navigations.size(), 1);
    QCOMPARE(navigations.first().first().toUrl(), QUrl::fromLocalFile(m_window->previewFile()));
    QVERIFY(ui<QPushButton>("CmdGo")->isEnabled());
    QCOMPARE(ui<QLabel>("pourCent")->text(), QStringLiteral("0%"));
    QCOMPARE(ui<QProgressBar>("bar1")->value(), 0);
    QVERIFY(m_desktop->messages.isEmpty());
    QVERIFY(!m_window->isRunning());
}

void TestFrmHTMLRun::progressFollowsTheRows_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QList<int>>("percentages");
    QTest::newRow("3 rows") << "3" << QList<int> { 33, 66, 100 };
    QTest::newRow("7 rows") << "7" << QList<int> { 14, 28, 42, 57, 71, 85, 100 };
    QTest::newRow("2.5 rows") << "2.5" << QList<int> { 40, 80 };
}

void TestFrmHTMLRun::progressFollowsTheRows()
{
    QFETCH(QString, rows);
    QFETCH(QList<int>, percentages);
    loadPicture(makePicture());
    setSize(QStringLiteral("2"), rows);
    QList<int> bar;
    QStringList captions;
    connect(m_window.get(), &FrmHTML::rowWritten, this, [&] {
        bar << ui<QProgressBar>("bar1")->value();
        captions << ui<QLabel>("pourCent")->text();
        QVERIFY(!ui<QPushButton>("CmdGo")->isEnabled());
    });

    run();

    QCOMPARE(bar, percentages);
    QStringList expected;
    for (int percent : percentages)
        expected << QString::number(percent) + QLatin1Char('%');
    QCOMPARE(captions, expected);
    QCOMPARE(ui<QLabel>("pourCent")->text(), QStringLiteral("0%"));
    QCOMPARE(ui<QProgressBar>("bar1")->value(), 0);
}

void TestFrmHTMLRun::progressStaysWithinTheBarWhenRowsShrink()
{
    loadPicture(makePicture());
    setSize(QStringLiteral("2"), QStringLiteral("4"));
    QStringList captions;
    connect(m_window.get(), &FrmHTML::rowWritten, this,
        [&] { captions << ui<QLabel>("pourCent")->text(); });
    afterRow(1, [&] { ui<QLineEdit>("TxtY")->setText(QStringLiteral("1")); });

    run();

    // The row count of the loop is the one the run started with.
    QCOMPARE(captions, QStringList({ "25%", "100%", "100%", "100%" }));
    QCOMPARE(pageLines().size(), 6);
}

void TestFrmHTMLRun::optionsChangedBetweenRowsAreSeenWhenRead()
{
    loadPicture(makePicture());
    setSize(QStringLiteral("2"), QStringLiteral("3"));
    m_desktop->colourAnswer = QColor(255, 255, 255);
    afterRow(1, [&] {
        QTest::mouseClick(
            ui<QCheckBox>("Check2"), Qt::LeftButton, {}, QPoint(6, 8)); // square mode, "8"
        ui<QCheckBox>("gras")->click();
        ui<QRadioButton>("OptColour4")->click(); // read at the start only
        QTest::mouseClick(ui<ColourSwatch>("PicColour"), Qt::LeftButton); // likewise
    });

    run();

    // The third row samples the bottom row again: nearest(3 x 1/3) = 1.
    const QByteArray squares = squareCell("#0000FF") + squareCell("#FFFFFF") + "<br>";
    QCOMPARE(pageLines(),
        QList<QByteArray>(
            { PageHead + "<center>", TopRow, squares, squares, "</b></center>" + PageTail }));
    const QByteArray html = QByteArrayView(ui<CodePane>("htmlrich")->code()).toByteArray();
    QCOMPARE(html, "<center><b>" + TopRow + squares + squares + "</b></center>");
    QCOMPARE(ui<ColourSwatch>("PicColour")->colour(), QColor(255, 255, 255));

    // The next run takes the new colour, treatment and style from its start.
    run();
    const QList<QByteArray> lines = pageLines();
    QCOMPARE(lines.first(), QByteArray(PageHead).replace("#000000", "#FFFFFF") + "<b><center>");
    QCOMPARE(lines[1], squareCell("#555555") + squareCell("#555555") + "<br>");
}

void TestFrmHTMLRun::ctrlDStartsARunOnlyWhenNoneIsGoing()
{
    loadPicture(makePicture());
    setSize(QStringLiteral("2"), QStringLiteral("4"));
    QSignalSpy rows(m_window.get(), &FrmHTML::rowWritten);
    afterRow(
        2, [&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::ControlModifier); });

    // From a text box too: the key is the window's, not the box's.
    ui<QLineEdit>("TxtX")->setFocus();
    QTest::keyClick(ui<QLineEdit>("TxtX"), Qt::Key_D, Qt::ControlModifier);

    QCOMPARE(rows.size(), 4);
    QCOMPARE(pageLines().size(), 6);
    QVERIFY(pageLines().last().endsWith(PageTail));
    QVERIFY(m_desktop->messages.isEmpty());
    QVERIFY(ui<QPushButton>("CmdGo")->isEnabled());
}

MOSAIQ_WINDOW_TEST_MAIN(TestFrmHTMLRun)
#include "tst_frmhtmlrun.moc"
