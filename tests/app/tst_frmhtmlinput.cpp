// What the user gives the window before a run: the picture, the output size, the background
// colour; and the links of the information panel.
#include "app/colourswatch.h"
#include "app/frmhtml.h"
#include "app/picturebox.h"
#include "image/picturereader.h"
#include "output/widgets/codepane.h"
#include "support/fakedesktop.h"
#include "support/windowtest.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

using namespace mosaiq;

namespace {

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace

class TestFrmHTMLInput : public QObject, private WindowFixture {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void aGoodPictureFillsPathThumbnailAndSize_data();
    void aGoodPictureFillsPathThumbnailAndSize();
    void aBadPictureChangesNothing_data();
    void aBadPictureChangesNothing();
    void aCancelledPictureDialogChangesNothing();

    void halvingAndDoublingFollowTheLocale_data();
    void halvingAndDoublingFollowTheLocale();

    void theColourDialogSetsTheSwatch();
    void aCancelledColourDialogKeepsTheSwatch();
    void linksOpenTheirAddress();
    void aLinkThatCannotOpenSaysSo();

private:
    QString makePicture(const QString& name, QSize size, const char* format);
};

void TestFrmHTMLInput::init()
{
    openWindow();
}

void TestFrmHTMLInput::cleanup()
{
    closeWindow();
}

QString TestFrmHTMLInput::makePicture(const QString& name, QSize size, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(40 * x % 256, 60 * y % 256, 128));
    const QString path = m_dir->filePath(name);
    if (!image.save(path, format))
        qFatal("could not write %s", qPrintable(path));
    return path;
}

void TestFrmHTMLInput::aGoodPictureFillsPathThumbnailAndSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("png") << "wide.png" << QSize(320, 240) << QByteArray("PNG");
    QTest::newRow("bmp") << "tall.bmp" << QSize(3, 7) << QByteArray("BMP");
    QTest::newRow("jpeg") << "photo.jpg" << QSize(16, 9) << QByteArray("JPG");
    QTest::newRow("one pixel") << "dot.png" << QSize(1, 1) << QByteArray("PNG");
    QTest::newRow("larger than the window") << "big.png" << QSize(1600, 1200) << QByteArray("PNG");
}

void TestFrmHTMLInput::aGoodPictureFillsPathThumbnailAndSize()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QByteArray, format);
    // Halved sizes are overwritten by the picture's own.
    control<QPushButton>(*m_window, "Command1")->click();
    const QString path = makePicture(name, size, format.constData());
    loadPicture(path);

    QVERIFY(m_desktop->messages.isEmpty());
    QVERIFY(m_desktop->filters.first().startsWith(QStringLiteral("Any File (*.*);;")));
    QCOMPARE(control<QLineEdit>(*m_window, "TxtPic")->text(), path);
    QCOMPARE(control<QLineEdit>(*m_window, "TxtX")->text(), QString::number(size.width()));
    QCOMPARE(control<QLineEdit>(*m_window, "TxtY")->text(), QString::number(size.height()));
    const auto* picLoad = control<PictureBox>(*m_window, "PicLoad");
    QCOMPARE(picLoad->image().size(), size);
    QCOMPARE(picLoad->image().format(), QImage::Format_RGB32);
    QVERIFY(picLoad->isHidden());
    const auto* thumbnail = control<QLabel>(*m_window, "imghide");
    QCOMPARE(thumbnail->pixmap().size(), thumbnail->contentsRect().size());
}

void TestFrmHTMLInput::aBadPictureChangesNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not a picture")
        << "notes.png" << QByteArray("just some words\n") << "pas une image";
    QTest::newRow("empty") << "empty.jpg" << QByteArray() << "vide";
    // A PNG whose header promises 30000 x 30000 pixels, and nothing after it.
    QByteArray huge("\x89PNG\r\n\x1a\n", 8);
    QByteArray header("IHDR", 4);
    for (quint32 value : { 30000u, 30000u })
        for (int shift = 24; shift >= 0; shift -= 8)
            header.append(char((value >> shift) & 0xFF));
    header.append("\x08\x02\x00\x00\x00", 5);
    huge.append(QByteArray("\x00\x00\x00\x0d", 4)).append(header);
    // An empty first data chunk, so that the header is all a reader learns before the pixels.
    for (const QByteArray& chunk : { header, QByteArray("IDAT") }) {
        if (chunk.startsWith("IDAT"))
            huge.append(QByteArray(4, '\0')).append(chunk);
        const quint32 crc = crc32(chunk);
        for (int shift = 24; shift >= 0; shift -= 8)
            huge.append(char((crc >> shift) & 0xFF));
    }
    QTest::newRow("too large") << "huge.png" << huge << "trop grande";
    QTest::newRow("missing") << "missing.png" << QByteArray("(none)") << "n'existe pas";
    QTest::newRow("folder") << "folder.png" << QByteArray("(folder)") << "dossier";
    QTest::newRow("truncated") << "cut.png" << QByteArray("(truncated)") << "endommagée";
}

void TestFrmHTMLInput::aBadPictureChangesNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString good = makePicture(QStringLiteral("good.png"), QSize(5, 3), "PNG");
    loadPicture(good);
    control<QPushButton>(*m_window, "Command2")->click(); // the user's own size is kept too
    const QImage before = control<PictureBox>(*m_window, "PicLoad")->image();

    const QString path = m_dir->filePath(name);
    if (content == "(folder)") {
        QVERIFY(QDir(m_dir->path()).mkdir(name));
    } else if (content == "(truncated)") {
        makePicture(name, QSize(64, 64), "PNG");
        QFile file(path);
        QVERIFY(file.resize(60));
    } else if (content != "(none)") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    loadPicture(path);

    QCOMPARE(m_desktop->messages.size(), 1);
    QVERIFY2(m_desktop->messages.first().contains(QDir::toNativeSeparators(path)),
        qPrintable(m_desktop->messages.first()));
    QVERIFY2(m_desktop->messages.first().contains(reason), qPrintable(m_desktop->messages.first()));
    QVERIFY(m_desktop->titles.first().startsWith(QStringLiteral("Mosaiq [version 4]")));
    QCOMPARE(control<QLineEdit>(*m_window, "TxtPic")->text(), good);
    QCOMPARE(control<QLineEdit>(*m_window, "TxtX")->text(), QStringLiteral("10"));
    QCOMPARE(control<QLineEdit>(*m_window, "TxtY")->text(), QStringLiteral("6"));
    QCOMPARE(control<PictureBox>(*m_window, "PicLoad")->image(), before);
}

void TestFrmHTMLInput::aCancelledPictureDialogChangesNothing()
{
    control<QPushButton>(*m_window, "CmdPicBrowse")->click();
    QCOMPARE(m_desktop->filters.size(), 1);
    QVERIFY(m_desktop->messages.isEmpty());
    QCOMPARE(control<QLineEdit>(*m_window, "TxtPic")->text(), QString());
    QCOMPARE(control<QLineEdit>(*m_window, "TxtX")->text(), QStringLiteral("150"));
}

void TestFrmHTMLInput::halvingAndDoublingFollowTheLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("expectedX");
    QTest::addColumn<QString>("expectedY");
    QTest::addColumn<bool>("refused");
    const QLocale french(QLocale::French, QLocale::France);
    const QLocale c = QLocale::c();
    QTest::newRow("start-up sizes halved") << c << "150"
                                           << "60"
                                           << "Command1"
                                           << "75"
                                           << "30" << false;
    QTest::newRow("French, 75 halved") << french << "75"
                                       << "30"
                                       << "Command1"
                                       << "37,5"
                                       << "15" << false;
    QTest::newRow("C, 75 halved") << c << "75"
                                  << "30"
                                  << "Command1"
                                  << "37.5"
                                  << "15" << false;
    QTest::newRow("French, 451 halved twice") << french << "225,5"
                                              << "150"
                                              << "Command1"
                                              << "112,75"
                                              << "75" << false;
    QTest::newRow("French, 37,5 doubled") << french << "37,5"
                                          << "15"
                                          << "Command2"
                                          << "75"
                                          << "30" << false;
    QTest::newRow("French, no grouping") << french << "12345678"
                                         << "2"
                                         << "Command2"
                                         << "24691356"
                                         << "4" << false;
    QTest::newRow("French, point refused") << french << "37.5"
                                           << "15"
                                           << "Command1"
                                           << "37.5"
                                           << "15" << true;
    QTest::newRow("C, comma refused") << c << "37,5"
                                      << "15"
                                      << "Command2"
                                      << "37,5"
                                      << "15" << true;
    QTest::newRow("bad rows leave the columns") << c << "80"
                                                << "abc"
                                                << "Command1"
                                                << "80"
                                                << "abc" << true;
    QTest::newRow("empty") << c << ""
                           << "60"
                           << "Command2"
                           << ""
                           << "60" << true;
    QTest::newRow("beyond the range") << c << "1e308"
                                      << "3"
                                      << "Command2"
                                      << "1e308"
                                      << "3" << true;
}

void TestFrmHTMLInput::halvingAndDoublingFollowTheLocale()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, x);
    QFETCH(QString, y);
    QFETCH(QString, button);
    QFETCH(QString, expectedX);
    QFETCH(QString, expectedY);
    QFETCH(bool, refused);
    QLocale::setDefault(locale);
    control<QLineEdit>(*m_window, "TxtX")->setText(x);
    control<QLineEdit>(*m_window, "TxtY")->setText(y);
    control<QPushButton>(*m_window, button)->click();
    QCOMPARE(control<QLineEdit>(*m_window, "TxtX")->text(), expectedX);
    QCOMPARE(control<QLineEdit>(*m_window, "TxtY")->text(), expectedY);
    QCOMPARE(m_desktop->messages.size(), refused ? 1 : 0);
    // A number longer than its field shows its first digits, not its last.
    for (const char* name : { "TxtX", "TxtY" }) {
        auto* field = control<QLineEdit>(*m_window, name);
        QCOMPARE(field->cursorPosition(), refused ? field->text().size() : 0);
        if (!refused)
            QVERIFY(field->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() <= 3);
    }
}

void TestFrmHTMLInput::theColourDialogSetsTheSwatch()
{
    auto* swatch = control<ColourSwatch>(*m_window, "PicColour");
    m_desktop->colourAnswer = QColor(255, 255, 255);
    QTest::mouseClick(swatch, Qt::LeftButton);
    QCOMPARE(m_desktop->colourPresets, QList<QColor> { QColor(0, 0, 0) });
    QCOMPARE(swatch->colour(), QColor(255, 255, 255));
    QCOMPARE(swatch->palette().color(QPalette::Window), QColor(255, 255, 255));
    // The next dialog opens on the colour now shown.
    m_desktop->colourAnswer = QColor(10, 20, 30);
    QTest::mouseClick(swatch, Qt::LeftButton);
    QCOMPARE(m_desktop->colourPresets.last(), QColor(255, 255, 255));
    QCOMPARE(swatch->colour(), QColor(10, 20, 30));
}

void TestFrmHTMLInput::aCancelledColourDialogKeepsTheSwatch()
{
    auto* swatch = control<ColourSwatch>(*m_window, "PicColour");
    m_desktop->colourAnswer = QColor(0, 128, 255);
    QTest::mouseClick(swatch, Qt::LeftButton);
    m_desktop->colourAnswer.reset();
    QTest::mouseClick(swatch, Qt::LeftButton);
    QCOMPARE(swatch->colour(), QColor(0, 128, 255));
    QVERIFY(m_desktop->messages.isEmpty());
}

void TestFrmHTMLInput::linksOpenTheirAddress()
{
    QTest::mouseClick(control<QLabel>(*m_window, "Label9"), Qt::LeftButton);
    QTest::mouseClick(control<QLabel>(*m_window, "Label9"), Qt::LeftButton);
    QTest::mouseClick(control<QLabel>(*m_window, "Label10"), Qt::LeftButton);
    for (const char* plain : { "Label2", "Label7", "Label11", "Label12", "Label5", "Label6" })
        QTest::mouseClick(control<QLabel>(*m_window, plain), Qt::LeftButton);
    QCOMPARE(m_desktop->openedUrls.size(), 3);
    QCOMPARE(m_desktop->openedUrls[0], QUrl(control<QLabel>(*m_window, "Label9")->text()));
    QCOMPARE(m_desktop->openedUrls[1], m_desktop->openedUrls[0]);
    QVERIFY(m_desktop->openedUrls[2].isValid());
    QVERIFY(m_desktop->openedUrls[2] != m_desktop->openedUrls[0]);
    QVERIFY(m_desktop->messages.isEmpty());
    const QLabel* link = control<QLabel>(*m_window, "Label10");
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QVERIFY(link->font().underline());
    QCOMPARE(link->cursor().shape(), Qt::WhatsThisCursor);
}

void TestFrmHTMLInput::aLinkThatCannotOpenSaysSo()
{
    m_desktop->browserAnswers = false;
    QTest::mouseClick(control<QLabel>(*m_window, "Label10"), Qt::LeftButton);
    QCOMPARE(m_desktop->messages.size(), 1);
    QVERIFY(
        m_desktop->messages.first().startsWith(QStringLiteral("Impossible d'ouvrir l'adresse")));
    QVERIFY(m_window->isVisible());
    QVERIFY(control<QPushButton>(*m_window, "CmdGo")->isEnabled());
}

MOSAIQ_WINDOW_TEST_MAIN(TestFrmHTMLInput)
#include "tst_frmhtmlinput.moc"
