#include "output/widgets/codemimedata.h"
#include "output/widgets/codepane.h"

#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScrollBar>
#include <QTest>

#include <memory>

using mosaiq::CodePane;

namespace {

// A pane on screen (offscreen), so that its viewport has its real size.
std::unique_ptr<CodePane> shownPane(int width, int height = 200)
{
    auto pane = std::make_unique<CodePane>();
    pane->resize(width, height);
    pane->show();
    if (!QTest::qWaitForWindowExposed(pane.get()))
        qWarning("the pane was not exposed");
    return pane;
}

// The width Qt gives a row's text in the pane's font, kerning off as the pane paints it.
qreal widthOf(const CodePane& pane, const QString& text)
{
    QFont font = pane.font();
    font.setKerning(false);
    return QFontMetricsF(font).horizontalAdvance(text);
}

// One line of HTML cells, with a few non-ASCII glyphs among them.
QString htmlLine(int cells)
{
    QString line;
    const QStringList glyphs { "o", "é", "W", "😀", "i" };
    for (int i = 0; i < cells; ++i)
        line += QString("<font color=\"#%1\">%2</font>")
                    .arg(i * 2654435761u % 0xFFFFFF, 6, 16, QChar('0'))
                    .toUpper()
                    .arg(glyphs[i % glyphs.size()]);
    return line + "<br>";
}

void press(CodePane& pane, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(&pane, Qt::Key(key), modifiers);
}

QString copied(CodePane& pane)
{
    QGuiApplication::clipboard()->setText("before");
    press(pane, Qt::Key_C, Qt::ControlModifier);
    return QGuiApplication::clipboard()->text();
}

} // namespace

class TestCodePane : public QObject {
    Q_OBJECT

private slots:
    void givesBackTheTextExactly_data();
    void givesBackTheTextExactly();
    void wrapsRowsToTheWidth_data();
    void wrapsRowsToTheWidth();
    void aNarrowerPaneHasMoreRows();
    void endsLinesAtLfAndCrLf_data();
    void endsLinesAtLfAndCrLf();
    void copiesTheSelectedRange_data();
    void copiesTheSelectedRange();
    void selectsWithTheKeyboard();
    void selectsWithTheMouse();
    void anEmptyPaneHasOneEmptyRow();
    void scrollsToTheExactEnd();
    void theClipboardKeepsTheCodeAsCopied();
};

void TestCodePane::givesBackTheTextExactly_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << "<font color=\"#FF00A0\">o</font><br>";
    QTest::newRow("accents") << "Élève à l'école, çà et là: ü ñ ß";
    QTest::newRow("emoji") << "[c=#000000]😀[/c][c=#FFFFFF]🎨[/c]\r\n";
    QTest::newRow("CR LF rows") << "[c=#112233]o[/c]\r\n[c=#445566]o[/c]\r\n";
    QTest::newRow("LF and lone CR") << "a\nb\rc\r\n\n";
    QTest::newRow("empty") << "";
    QTest::newRow("long line") << htmlLine(5000);
    QTest::newRow("accents after a long ASCII stretch") << htmlLine(50) + "é€😀" + htmlLine(50);
}

void TestCodePane::givesBackTheTextExactly()
{
    QFETCH(QString, text);
    auto pane = shownPane(300);
    pane->setCode(text.toStdString());
    QCOMPARE(mosaiq::codeToText(pane->code()), text);
    QCOMPARE(pane->code(), text.toStdString());

    pane->setCode(text.toStdString());
    QCOMPARE(mosaiq::codeToText(pane->code()), text);
    press(*pane, Qt::Key_A, Qt::ControlModifier);
    if (!text.isEmpty())
        QCOMPARE(copied(*pane), text);
}

void TestCodePane::wrapsRowsToTheWidth_data()
{
    QTest::addColumn<int>("paneWidth");
    QTest::newRow("250 px") << 250;
    QTest::newRow("400 px") << 400;
    QTest::newRow("705 px") << 705;
}

// Character wrap: the rows hold the line in order, none is wider than the pane allows, and
// each but the last is full (its next character would not have fitted).
void TestCodePane::wrapsRowsToTheWidth()
{
    QFETCH(int, paneWidth);
    auto pane = shownPane(paneWidth);
    const QString line = htmlLine(300);
    pane->setCode(QString(line).toStdString());
    QVERIFY(pane->wrapWidth() < pane->viewport()->width());

    QString joined;
    const int rows = pane->rowCount();
    QVERIFY(rows > 1);
    for (int row = 0; row < rows; ++row) {
        const QString text = pane->rowText(row);
        QVERIFY(!text.isEmpty());
        QVERIFY2(widthOf(*pane, text) <= pane->wrapWidth(), qPrintable(text));
        joined += text;
        if (row + 1 < rows) {
            // A surrogate pair is one character.
            const int next = line[joined.size()].isHighSurrogate() ? 2 : 1;
            QVERIFY2(widthOf(*pane, text + line.mid(joined.size(), next)) > pane->wrapWidth(),
                qPrintable(text));
        }
    }
    QCOMPARE(joined, line);
}

void TestCodePane::aNarrowerPaneHasMoreRows()
{
    auto pane = shownPane(705);
    pane->setCode(QString(htmlLine(300)).toStdString());
    const int wide = pane->rowCount();
    pane->resize(300, 200);
    const int narrow = pane->rowCount();
    QVERIFY2(narrow > wide * 2, qPrintable(QString("%1 rows, then %2").arg(wide).arg(narrow)));
    pane->resize(705, 200);
    QCOMPARE(pane->rowCount(), wide);
}

void TestCodePane::endsLinesAtLfAndCrLf_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("CR LF") << "ab\r\ncd" << QStringList { "ab", "cd" };
    QTest::newRow("CR LF at the end") << "ab\r\ncd\r\n" << QStringList { "ab", "cd", "" };
    QTest::newRow("LF") << "ab\ncd" << QStringList { "ab", "cd" };
    QTest::newRow("blank lines") << "\r\n\r\n" << QStringList { "", "", "" };
    QTest::newRow("lone CR stays") << "a\r\r\nb" << QStringList { "a\r", "b" };
    QTest::newRow("none") << "abc" << QStringList { "abc" };
}

void TestCodePane::endsLinesAtLfAndCrLf()
{
    QFETCH(QString, text);
    QFETCH(QStringList, rows);
    auto pane = shownPane(400);
    pane->setCode(text.toStdString());
    QCOMPARE(pane->rowCount(), rows.size());
    for (int row = 0; row < rows.size(); ++row)
        QCOMPARE(pane->rowText(row), rows[row]);
    press(*pane, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(copied(*pane), text);
}

void TestCodePane::copiesTheSelectedRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("expected");
    // Offsets count UTF-8 bytes.
    QTest::newRow("middle") << "0123456789" << 2 << 5 << "234";
    QTest::newRow("backwards") << "0123456789" << 5 << 2 << "234";
    QTest::newRow("across CR LF") << "ab\r\ncd\r\n" << 1 << 5 << "b\r\nc";
    QTest::newRow("accents") << "àéî" << 2 << 6 << "éî";
    QTest::newRow("inside a character") << "a😀b" << 3 << 6 << "😀b";
    QTest::newRow("past the end") << "abc" << 1 << 99 << "bc";
}

void TestCodePane::copiesTheSelectedRange()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(QString, expected);
    auto pane = shownPane(400);
    pane->setCode(text.toStdString());
    pane->setSelection(start, end);
    QCOMPARE(pane->selectedText(), expected);
    QCOMPARE(copied(*pane), expected);
}

void TestCodePane::selectsWithTheKeyboard()
{
    auto pane = shownPane(400);
    pane->setCode(QString("abc\r\ndéf").toStdString());
    press(*pane, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < 4; ++i)
        press(*pane, Qt::Key_Right, Qt::ShiftModifier);
    // The line end is one step and is copied as it stands.
    QCOMPARE(copied(*pane), "abc\r\n");
    press(*pane, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(pane->selectedText(), "abc\r\ndéf");
    press(*pane, Qt::Key_Left);
    press(*pane, Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(pane->selectedText(), "é");
    press(*pane, Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(pane->selectedText(), "abc\r\ndé");

    // Down from the start of a wrapped line selects exactly its first row.
    pane->setCode(QString(htmlLine(100)).toStdString());
    press(*pane, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(pane->selectedText(), pane->rowText(0));
    press(*pane, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(copied(*pane), htmlLine(100));
}

void TestCodePane::selectsWithTheMouse()
{
    auto pane = shownPane(400);
    pane->setCode(QString(htmlLine(100)).toStdString());
    const int rowHeight = QFontMetrics(pane->font()).lineSpacing();
    QWidget* surface = pane->viewport();
    // From the left edge of the first row to the left edge of the third.
    QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(1, rowHeight / 2 + 2));
    QTest::mouseMove(surface, QPoint(1, 2 * rowHeight + rowHeight / 2 + 2));
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(1, 2 * rowHeight + rowHeight / 2 + 2));
    QCOMPARE(copied(*pane), pane->rowText(0) + pane->rowText(1));

    // A click without a drag leaves nothing selected, and Ctrl+C leaves the clipboard alone.
    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(30, rowHeight / 2 + 2));
    QVERIFY(pane->selectedText().isEmpty());
    QCOMPARE(copied(*pane), "before");
}

void TestCodePane::anEmptyPaneHasOneEmptyRow()
{
    auto pane = shownPane(400);
    QVERIFY(mosaiq::codeToText(pane->code()).isEmpty());
    QCOMPARE(pane->rowCount(), 1);
    QCOMPARE(pane->rowText(0), QString());
    for (int key : { Qt::Key_Down, Qt::Key_End, Qt::Key_PageDown, Qt::Key_Left, Qt::Key_Right })
        press(*pane, key, Qt::ShiftModifier);
    press(*pane, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(pane->selectedText().isEmpty());
    QVERIFY(!pane->grab().isNull());

    pane->setCode(QString("abc").toStdString());
    pane->selectAll();
    pane->setCode(QString("").toStdString());
    QVERIFY(pane->selectedText().isEmpty());
}

// The rows below the view are only estimated until someone needs them: the end must still be
// exactly the end.
void TestCodePane::scrollsToTheExactEnd()
{
    auto pane = shownPane(400);
    const QString line = htmlLine(20000);
    pane->setCode(QString(line + "\r\n" + line).toStdString());
    QScrollBar* bar = pane->verticalScrollBar();
    bar->setValue(bar->maximum());
    const int rows = pane->rowCount();
    QCOMPARE(bar->maximum(), rows - bar->pageStep());
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(line.endsWith(pane->rowText(rows - 1)));

    press(*pane, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(bar->value(), 0);
    press(*pane, Qt::Key_PageDown);
    QCOMPARE(bar->value(), bar->pageStep());
    press(*pane, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(bar->value(), bar->maximum());
    press(*pane, Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(pane->selectedText(), ">");
    QVERIFY(!pane->grab().isNull());
}

void TestCodePane::theClipboardKeepsTheCodeAsCopied()
{
    CodePane pane;
    const QString copied = htmlLine(100) + QStringLiteral("\r\n[c=#000000]é[/c]");
    pane.setCode(QString(copied).toStdString());
    auto* data = new mosaiq::CodeMimeData(pane.sharedCode());
    QGuiApplication::clipboard()->setMimeData(data);
    // A later run replaces the pane's code; what was copied stays on the clipboard.
    pane.setCode(QString(QStringLiteral("the next run")).toStdString());
    const QMimeData* now = QGuiApplication::clipboard()->mimeData();
    QCOMPARE(now->text(), copied);
    QCOMPARE(now->data(QStringLiteral("text/plain")), copied.toUtf8());
    QVERIFY(!now->hasHtml());
    QVERIFY(!now->hasUrls());
}

QTEST_MAIN(TestCodePane)
#include "tst_codepane.moc"
