// Whatever the user throws at the window: bad pictures, pictures spoiled after they were chosen,
// sizes at the edges of the numbers, any Unicode text, a page that cannot be written, and many
// runs in a row. Each is answered with a message, the earlier state and results kept.
#include "app/frmhtml.h"
#include "app/picturebox.h"
#include "output/widgets/codepane.h"
#include "support/fakedesktop.h"
#include "support/windowtest.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <memory>

using namespace mosaiq;

namespace {

const QString Data = QStringLiteral(MOSAIQ_TEST_DATA);
const QString FourColours = Data + QStringLiteral("/good/four-colours.bmp");

// The files under folder that this process holds open. (The web engine opens and closes
// descriptors of its own at any time, so only our files are counted.)
QStringList openFilesUnder(const QString& folder)
{
    QStringList open;
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : descriptors.entryList(QDir::NoDotAndDotDot | QDir::System)) {
        const QString target = QFile::symLinkTarget(descriptors.filePath(fd));
        if (target.startsWith(folder))
            open << target;
    }
    return open;
}

} // namespace

class TestFrmHTMLFaults : public QObject, private WindowFixture {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void badPicturesChangeNothing_data();
    void badPicturesChangeNothing();
    void aPictureSpoiledBeforeTheRunStopsIt_data();
    void aPictureSpoiledBeforeTheRunStopsIt();
    void aPictureDeletedDuringTheRunDoesNotDisturbIt();
    void aPictureChosenAndSizesHalvedDuringARunCountFromTheNextRow();
    void sizesAtTheEdgesOfTheNumbers_data();
    void sizesAtTheEdgesOfTheNumbers();
    void anyUnicodeTextIsWritten_data();
    void anyUnicodeTextIsWritten();
    void anUnwritablePageKeepsTheLastCodes_data();
    void anUnwritablePageKeepsTheLastCodes();
    void manyRunsLeaveNoFileOpen();

private:
    template <typename Widget> Widget* ui(const char* name) const
    {
        return control<Widget>(*m_window, QString::fromLatin1(name));
    }
    void run() { ui<QPushButton>("CmdGo")->click(); }
    QByteArray page() const
    {
        QFile file(m_window->previewFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no page)");
    }
    // A copy of the four-colour picture in the test's own folder, to spoil at will.
    QString ownPicture(const QString& name = QStringLiteral("picture.bmp"))
    {
        const QString path = m_dir->filePath(name);
        QFile::remove(path);
        if (!QFile::copy(FourColours, path))
            qFatal("cannot copy the picture");
        return path;
    }
};

void TestFrmHTMLFaults::init()
{
    openWindow();
}

void TestFrmHTMLFaults::cleanup()
{
    closeWindow();
}

void TestFrmHTMLFaults::badPicturesChangeNothing_data()
{
    QTest::addColumn<QString>("path");
    const QDir bad(Data + QStringLiteral("/bad"));
    for (const QString& name : bad.entryList(QDir::Files))
        QTest::newRow(qPrintable(name)) << bad.filePath(name);
    QTest::newRow("a folder") << bad.path();
    QTest::newRow("a missing file") << bad.filePath(QStringLiteral("missing.jpg"));
}

void TestFrmHTMLFaults::badPicturesChangeNothing()
{
    QFETCH(QString, path);
    const QString good = ownPicture(QStringLiteral("un nom à espaces é.bmp"));
    loadPicture(good);
    QCOMPARE(ui<QLineEdit>("TxtPic")->text(), good);
    setSize(QStringLiteral("37,5"), QStringLiteral("12"));

    loadPicture(path);

    QCOMPARE(m_desktop->messages.size(), 1);
    QVERIFY2(m_desktop->messages.first().contains(QDir::toNativeSeparators(path)),
        qPrintable(m_desktop->messages.first()));
    QCOMPARE(ui<QLineEdit>("TxtPic")->text(), good);
    QCOMPARE(ui<QLineEdit>("TxtX")->text(), QStringLiteral("37,5"));
    QCOMPARE(ui<QLineEdit>("TxtY")->text(), QStringLiteral("12"));
    QCOMPARE(ui<PictureBox>("PicLoad")->image().size(), QSize(2, 2));
}

void TestFrmHTMLFaults::aPictureSpoiledBeforeTheRunStopsIt_data()
{
    badPicturesChangeNothing_data();
}

void TestFrmHTMLFaults::aPictureSpoiledBeforeTheRunStopsIt()
{
    QFETCH(QString, path);
    const QString picture = ownPicture();
    loadPicture(picture);
    setSize(QStringLiteral("2"), QStringLiteral("2"));
    run();
    const std::string html(ui<CodePane>("htmlrich")->code());
    QVERIFY(!html.empty());
    QFile::remove(m_window->previewFile());

    // The file is replaced by a bad one (or by a folder, or removed) after it was chosen.
    QFile::remove(picture);
    if (QFileInfo(path).isDir())
        QVERIFY(QDir().mkpath(picture));
    else if (QFile::exists(path))
        QVERIFY(QFile::copy(path, picture));
    run();

    QCOMPARE(m_desktop->messages.size(), 1);
    QVERIFY2(m_desktop->messages.first().contains(QDir::toNativeSeparators(picture)),
        qPrintable(m_desktop->messages.first()));
    QVERIFY(!QFile::exists(m_window->previewFile()));
    QCOMPARE(ui<CodePane>("htmlrich")->code(), std::string_view(html));
    QVERIFY(ui<QPushButton>("CmdGo")->isEnabled());
}

void TestFrmHTMLFaults::aPictureDeletedDuringTheRunDoesNotDisturbIt()
{
    // The run samples the picture it loaded at its start; the file is not read again.
    const QString picture = ownPicture();
    loadPicture(picture);
    setSize(QStringLiteral("2"), QStringLiteral("2"));
    connect(m_window.get(), &FrmHTML::rowWritten, this, [&](qint64 row) {
        if (row == 1)
            QFile::remove(picture);
    });
    run();
    QVERIFY(m_desktop->messages.isEmpty());
    QVERIFY(page().endsWith("<br></FONT></BODY></HTML>\r\n"));
    QVERIFY(ui<CodePane>("htmlrich")->code().find("#FFFFFF") != std::string::npos);

    // The next run finds the file gone and says so.
    run();
    QCOMPARE(m_desktop->messages.size(), 1);
    QVERIFY(m_desktop->messages.first().contains(QDir::toNativeSeparators(picture)));
}

void TestFrmHTMLFaults::aPictureChosenAndSizesHalvedDuringARunCountFromTheNextRow()
{
    loadPicture(ownPicture());
    setSize(QStringLiteral("2"), QStringLiteral("2"));
    ui<QCheckBox>("centrer")->setChecked(false);
    QImage black(1, 1, QImage::Format_RGB32);
    black.fill(Qt::black);
    const QString other = m_dir->filePath(QStringLiteral("black.png"));
    QVERIFY(black.save(other));
    connect(m_window.get(), &FrmHTML::rowWritten, this, [&](qint64 row) {
        if (row != 1)
            return;
        loadPicture(other); // its size, 1 x 1, replaces the fields...
        setSize(QStringLiteral("2"), QStringLiteral("2"));
        ui<QPushButton>("Command1")->click(); // ...which are then halved to 1 x 1
    });
    run();

    // The second row: one column over the new picture, which has but one pixel to sample.
    const QList<QByteArray> lines = page().split('\n');
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[1],
        QByteArray("<font color=\"#FF0000\">o</font><font color=\"#00FF00\">o</font><br>\r"));
    QCOMPARE(lines[2], QByteArray("<font color=\"#000000\">o</font><br>\r"));
    QCOMPARE(ui<QLineEdit>("TxtX")->text(), QStringLiteral("1"));
    QVERIFY(m_desktop->messages.isEmpty());
}

void TestFrmHTMLFaults::sizesAtTheEdgesOfTheNumbers_data()
{
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("message"); // empty: the run completes
    const QString tooLarge = QStringLiteral("Dimensions trop grandes");
    QTest::newRow("1e308 columns") << "1e308"
                                   << "2" << tooLarge;
    QTest::newRow("1E999 rows") << "2"
                                << "1E999" << tooLarge;
    QTest::newRow("99999999999 columns") << "99999999999"
                                         << "1" << tooLarge;
    QTest::newRow("a thousand digits") << QString(1000, QLatin1Char('9')) << "2" << tooLarge;
    QTest::newRow("just too many cells") << "10001"
                                         << "10000" << tooLarge;
    QTest::newRow("-1e308 columns: empty rows") << "-1e308"
                                                << "2" << QString();
    QTest::newRow("-1e308 rows: no row") << "2"
                                         << "-1e308" << QString();
    QTest::newRow("0.0 is zero") << "0.0"
                                 << "2" << QStringLiteral("Dimensions invalides");
    QTest::newRow("1e-400 is zero") << "1e-400"
                                    << "2" << QStringLiteral("Dimensions invalides");
}

void TestFrmHTMLFaults::sizesAtTheEdgesOfTheNumbers()
{
    QFETCH(QString, columns);
    QFETCH(QString, rows);
    QFETCH(QString, message);
    loadPicture(ownPicture());
    setSize(columns, rows);
    run();
    QVERIFY(ui<QPushButton>("CmdGo")->isEnabled());
    if (message.isEmpty()) {
        QVERIFY(m_desktop->messages.isEmpty());
        QVERIFY(page().endsWith("</center><br></FONT></BODY></HTML>\r\n"));
    } else {
        QCOMPARE(m_desktop->messages, QStringList { message });
        QVERIFY2(!QFile::exists(m_window->previewFile()), "nothing may be written");
    }
}

void TestFrmHTMLFaults::anyUnicodeTextIsWritten_data()
{
    QTest::addColumn<QString>("characters");
    QTest::addColumn<QByteArray>("pageGlyphs"); // the two glyphs in the page, which are
    // Windows-1252 with a reference for a character that code page lacks
    QTest::addColumn<QString>("first"); // and in the codes
    QTest::addColumn<QString>("second");
    // The first cell takes the second character.
    QTest::newRow("accents and the euro") << QStringLiteral("é€") << QByteArray("\x80\xE9") << "€"
                                          << "é";
    QTest::newRow("outside Windows-1252")
        << QStringLiteral("日本") << QByteArray("&#26412;&#26085;") << "本"
        << "日";
    QTest::newRow("emoji") << QStringLiteral("😀x") << QByteArray("x&#128512;") << "x"
                           << "😀";
    QTest::newRow("a lone surrogate") << (QStringLiteral("a") + QChar(0xD800))
                                      << QByteArray("&#65533;a") << QString(QChar(0xFFFD)) << "a";
}

void TestFrmHTMLFaults::anyUnicodeTextIsWritten()
{
    QFETCH(QString, characters);
    QFETCH(QByteArray, pageGlyphs);
    QFETCH(QString, first);
    QFETCH(QString, second);
    loadPicture(ownPicture());
    setSize(QStringLiteral("2"), QStringLiteral("1"));
    ui<QCheckBox>("centrer")->setChecked(false);
    ui<QLineEdit>("TxtRepeat")->setText(characters);
    run();
    QVERIFY(m_desktop->messages.isEmpty());

    const QByteArray row = page().split('\n').at(1);
    QByteArray glyphs;
    for (qsizetype at = 0; (at = row.indexOf("\">", at)) >= 0; at += 2)
        glyphs += row.mid(at + 2, row.indexOf("</font>", at) - at - 2);
    QCOMPARE(glyphs, pageGlyphs);
    QCOMPARE(QString::fromUtf8(ui<CodePane>("htmlrich")->code()),
        QStringLiteral("<font color=\"#0000FF\">%1</font><font color=\"#FFFFFF\">%2</font><br>")
            .arg(first, second));
}

void TestFrmHTMLFaults::anUnwritablePageKeepsTheLastCodes_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("temp.html is a folder") << "folder";
    QTest::newRow("the disk is full") << "/dev/full";
    // A folder where no file can be made, even by root.
    QTest::newRow("a read-only folder") << "/proc/temp.html";
}

void TestFrmHTMLFaults::anUnwritablePageKeepsTheLastCodes()
{
    QFETCH(QString, page);
    if (page == QLatin1String("/dev/full") && !QFile::exists(page))
        QSKIP("this system has no /dev/full, the device whose every write fails as on a full disk");
    loadPicture(ownPicture());
    setSize(QStringLiteral("2"), QStringLiteral("2"));
    run();
    const std::string html(ui<CodePane>("htmlrich")->code());
    const std::string blog(ui<CodePane>("skyblogrich")->code());

    QString path = page;
    if (page == QLatin1String("folder")) {
        path = m_dir->filePath(QStringLiteral("temp.html"));
        QFile::remove(path);
        QVERIFY(QDir().mkpath(path));
    }
    m_window->setPreviewFile(path);
    ui<QCheckBox>("gras")->setChecked(true);
    run();

    QCOMPARE(m_desktop->messages.size(), 1);
    QVERIFY2(m_desktop->messages.first().contains(QDir::toNativeSeparators(path)),
        qPrintable(m_desktop->messages.first()));
    QCOMPARE(ui<CodePane>("htmlrich")->code(), std::string_view(html));
    QCOMPARE(ui<CodePane>("skyblogrich")->code(), std::string_view(blog));
    QVERIFY(ui<QPushButton>("CmdGo")->isEnabled());
    QVERIFY(!m_window->isRunning());
}

void TestFrmHTMLFaults::manyRunsLeaveNoFileOpen()
{
    loadPicture(ownPicture());
    setSize(QStringLiteral("2"), QStringLiteral("10"));
    connect(m_window.get(), &FrmHTML::rowWritten, this, [this](qint64 row) {
        if (row == 3)
            ui<QPushButton>("Command5")->click();
    });
    for (int i = 0; i < 20; ++i) {
        if (i % 4 == 0)
            ui<QLineEdit>("TxtY")->setText(i % 8 == 0 ? QStringLiteral("10") : QStringLiteral("2"));
        run();
    }
    QCOMPARE(openFilesUnder(m_dir->path()), QStringList());
    QVERIFY(m_desktop->messages.isEmpty());
}

MOSAIQ_WINDOW_TEST_MAIN(TestFrmHTMLFaults)
#include "tst_frmhtmlfaults.moc"
