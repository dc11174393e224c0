// A run in the window: start checks, the page and the panes, progress, stop, copy, and the
// ways a run can end early.
#include "app/colourswatch.h"
#include "app/frmhtml.h"
#include "app/picturebox.h"
#include "output/codes/blogcode.h"
#include "output/widgets/codepane.h"
#include "support/fakedesktop.h"
#include "support/windowtest.h"

#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <functional>
#include <memory>

using namespace mosaiq;

namespace {

const QByteArray PageHead = "<HTML><HEAD><Title>apercu</title></HEAD><Body bgcolor=\"#000000\" "
                            "style=\"font-family: Verdana; font-size: 7.5pt\">";
const QByteArray PageTail = "<br></FONT></BODY></HTML>";

QByteArray letter(const char* colour, char glyph = 'o')
{
    return QByteArray("<font color=\"") + colour + "\">" + glyph + "</font>";
}

QByteArray square(const char* colour, char glyph = '8')
{
    return QByteArray("<span style=\"background-color: ") + colour + "\">" + letter(colour, glyph)
        + "</span>";
}

// The rows of the 2 x 2 picture (red, green / blue, white) on a 2 x 2 grid.
const QByteArray TopRow = letter("#FF0000") + letter("#00FF00") + "<br>";
const QByteArray BottomRow = letter("#0000FF") + letter("#FFFFFF") + "<br>";

enum class StopBy { Button, ButtonTwice, Keys };

} // namespace

Q_DECLARE_METATYPE(StopBy)

class TestFrmHTMLRun : public QObject, private WindowFixture {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startChecksComeInOrder_data();
    void startChecksComeInOrder();
    void aCompletedRunWritesThePageAndFillsThePanes_data();
    void aCompletedRunWritesThePageAndFillsThePanes();
    void progressFollowsTheRows_data();
    void progressFollowsTheRows();
    void aStopEndsTheRunAfterTheCurrentRow_data();
    void aStopEndsTheRunAfterTheCurrentRow();
    void optionsChangedBetweenRowsAreSeenWhenRead();
    void copyPutsThePaneOnTheClipboard_data();
    void copyPutsThePaneOnTheClipboard();

    void aStopAskedForWhileIdleDoesNotStopTheNextRun_data();
    void aStopAskedForWhileIdleDoesNotStopTheNextRun();
    void ctrlDStartsARunOnlyWhenNoneIsGoing();
    void fieldsEmptiedDuringARunEndIt_data();
    void fieldsEmptiedDuringARunEndIt();
    void progressStaysWithinTheBarWhenRowsShrink();
    void closingTheWindowEndsTheRun();
    void aPictureGoneSinceItWasChosenStopsTheRun();
    void aPageThatCannotBeWrittenEndsTheRun_data();
    void aPageThatCannotBeWrittenEndsTheRun();

private:
    template <typename Widget> Widget* ui(const char* name) const
    {
        return control<Widget>(*m_window, QString::fromLatin1(name));
    }
    QString makePicture();
    void run() { ui<QPushButton>("CmdGo")->click(); }
    QMetaObject::Connection afterRow(qint64 row, std::function<void()> action);
    QList<QByteArray> pageLines() const;
    void fillPanes();
    void verifyPanesUnchanged() const;
};

void TestFrmHTMLRun::init()
{
    openWindow();
}

void TestFrmHTMLRun::cleanup()
{
    closeWindow();
}

QString TestFrmHTMLRun::makePicture()
{
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(0, 255, 0));
    image.setPixel(0, 1, qRgb(0, 0, 255));
    image.setPixel(1, 1, qRgb(255, 255, 255));
    const QString path = m_dir->filePath(QStringLiteral("four.png"));
    if (!image.save(path))
        qFatal("could not write %s", qPrintable(path));
    return path;
}

// action runs in the run's pause after row `row`, as a user's command would.
QMetaObject::Connection TestFrmHTMLRun::afterRow(qint64 row, std::function<void()> action)
{
    return connect(m_window.get(), &FrmHTML::rowWritten, this, [row, action](qint64 written) {
        if (written == row)
            action();
    });
}

QList<QByteArray> TestFrmHTMLRun::pageLines() const
{
    QFile file(m_window->previewFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (!bytes.endsWith("\r\n"))
        return { "(no line end at the end)" };
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();
    for (QByteArray& line : lines) {
        if (!line.endsWith('\r'))
            return { "(a line without CR LF)" };
        line.chop(1);
    }
    return lines;
}

void TestFrmHTMLRun::fillPanes()
{
    ui<CodePane>("htmlrich")->setCode("previous html");
    ui<CodePane>("skyblogrich")->setCode("previous blog");
}

void TestFrmHTMLRun::verifyPanesUnchanged() const
{
    QCOMPARE(ui<CodePane>("htmlrich")->code(), std::string_view("previous html"));
    QCOMPARE(ui<CodePane>("skyblogrich")->code(), std::string_view("previous blog"));
}

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
    QTest::newRow("start-up options")
        << false << false << true << false << QByteArray("<center>") << QByteArray("</center>");
    QTest::newRow("no style") << false << false << false << false << QByteArray() << QByteArray();
    QTest::newRow("squares in bold")
        << true << false << false << true << QByteArray("<b>") << QByteArray("</b>");
    QTest::newRow("every style") << true << true << true << false << QByteArray("<b><i><center>")
                                 << QByteArray("</b></i></center>");
}

void TestFrmHTMLRun::aCompletedRunWritesThePageAndFillsThePanes()
{
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(bool, centred);
    QFETCH(bool, squares);
    QFETCH(QByteArray, openers);
    QFETCH(QByteArray, closers);
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
        = squares ? square("#FF0000", 'o') + square("#00FF00", 'o') + "<br>" : TopRow;
    const QByteArray bottom
        = squares ? square("#0000FF", 'o') + square("#FFFFFF", 'o') + "<br>" : BottomRow;
    QCOMPARE(
        pageLines(), QList<QByteArray>({ PageHead + openers, top, bottom, closers + PageTail }));

    const std::string rows = (top + bottom).toStdString();
    std::string html = rows;
    WrapHtmlCode(html, bold, italic, centred);
    std::string blog = HtmlToBlogCode(rows);
    WrapBlogCode(blog, bold, italic, centred);
    QCOMPARE(ui<CodePane>("htmlrich")->code(), html);
    QCOMPARE(ui<CodePane>("skyblogrich")->code(), blog);
    if (!bold && !italic && !centred)
        QCOMPARE(ui<CodePane>("htmlrich")->code(), rows);
    if (centred && !bold && !italic)
        QCOMPARE(QByteArrayView(ui<CodePane>("htmlrich")->code()).toByteArray(),
            "<center>" + top + bottom + "</center>");

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

void TestFrmHTMLRun::aStopEndsTheRunAfterTheCurrentRow_data()
{
    QTest::addColumn<StopBy>("stopBy");
    QTest::newRow("stop button") << StopBy::Button;
    QTest::newRow("stop button twice") << StopBy::ButtonTwice;
    QTest::newRow("Ctrl+S") << StopBy::Keys;
}

void TestFrmHTMLRun::aStopEndsTheRunAfterTheCurrentRow()
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
    const QByteArray squares = square("#0000FF") + square("#FFFFFF") + "<br>";
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
    QCOMPARE(lines[1], square("#555555") + square("#555555") + "<br>");
}

void TestFrmHTMLRun::copyPutsThePaneOnTheClipboard_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("pane");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("closing");
    const QString page = QStringLiteral("Vous n'avez plus qu'à le coller dans votre page.");
    const QString article = QStringLiteral("Vous n'avez plus qu'à le coller dans votre article.");
    QTest::newRow("HTML code") << "Command3"
                               << "htmlrich"
                               << "<center><font color=\"#FF0000\">é</font><br></center>" << page;
    QTest::newRow("blog code") << "Command4"
                               << "skyblogrich"
                               << "[c=#FF0000]o[/c]\r\n[c=#00FF00]o[/c]\r\n"
                               << article;
    QTest::newRow("empty HTML pane") << "Command3"
                                     << "htmlrich"
                                     << "" << page;
    QTest::newRow("empty blog pane") << "Command4"
                                     << "skyblogrich"
                                     << "" << article;
}

void TestFrmHTMLRun::copyPutsThePaneOnTheClipboard()
{
    QFETCH(QString, button);
    QFETCH(QString, pane);
    QFETCH(QString, code);
    QFETCH(QString, closing);
    ui<CodePane>("htmlrich")->setCode("other");
    ui<CodePane>("skyblogrich")->setCode("other");
    control<CodePane>(*m_window, pane)->setCode(code.toStdString());
    m_desktop->clipboard = QStringLiteral("was here before");

    control<QPushButton>(*m_window, button)->click();

    QCOMPARE(m_desktop->clipboardWrites, 1);
    QCOMPARE(m_desktop->clipboard, code);
    QCOMPARE(m_desktop->messages,
        QStringList { QStringLiteral("Votre code est copier!\r\n") + closing });
    QCOMPARE(m_desktop->titles, QStringList { FrmHTML::title() });
}

void TestFrmHTMLRun::aStopAskedForWhileIdleDoesNotStopTheNextRun_data()
{
    QTest::addColumn<StopBy>("stopBy");
    QTest::newRow("stop button") << StopBy::Button;
    QTest::newRow("Ctrl+S") << StopBy::Keys;
}

void TestFrmHTMLRun::aStopAskedForWhileIdleDoesNotStopTheNextRun()
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

void TestFrmHTMLRun::fieldsEmptiedDuringARunEndIt_data()
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

void TestFrmHTMLRun::fieldsEmptiedDuringARunEndIt()
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

void TestFrmHTMLRun::closingTheWindowEndsTheRun()
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

void TestFrmHTMLRun::aPictureGoneSinceItWasChosenStopsTheRun()
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

void TestFrmHTMLRun::aPageThatCannotBeWrittenEndsTheRun_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("folder missing") << "missing/folder/temp.html";
    if (QFile::exists(QStringLiteral("/dev/full")))
        QTest::newRow("disk full") << "/dev/full";
}

void TestFrmHTMLRun::aPageThatCannotBeWrittenEndsTheRun()
{
    QFETCH(QString, page);
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

MOSAIQ_WINDOW_TEST_MAIN(TestFrmHTMLRun)
#include "tst_frmhtmlrun.moc"
