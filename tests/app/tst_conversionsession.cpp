// The session on its own, driven as the window drives it: what it reports, in which order.
#include "app/conversionsession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace mosaiq;

namespace {

// Fixed options, as the window would give them.
struct Controls : RunSettings {
    double rows = 4;
    RowInput rowInput() override
    {
        RowInput input;
        input.columns = 2;
        input.rows = rows;
        input.definedCharacters = U"o";
        return input;
    }
    StyleFlags closingStyle() override { return {}; }
};

QString savePicture(const QString& path, QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image.save(path) ? path : QString();
}

} // namespace

class TestConversionSession : public QObject {
    Q_OBJECT

private slots:
    void init();
    void reportsItsSignalsInOrder_data();
    void reportsItsSignalsInOrder();
    void aChoiceReplacesThePictureOnlyWhenItCanBeRead();
    void replacesTheEarlierPageAndLeavesNoFileBehind_data();
    void replacesTheEarlierPageAndLeavesNoFileBehind();

private:
    QTemporaryDir m_dir;
    QString m_picture;
};

void TestConversionSession::init()
{
    m_picture
        = savePicture(m_dir.filePath(QStringLiteral("two.png")), QSize(2, 2), qRgb(255, 0, 0));
    QVERIFY(!m_picture.isEmpty());
    QFile::remove(m_dir.filePath(QStringLiteral("temp.html")));
}

// The picture is chosen, then left, rewritten or spoiled before the run; a stop is asked for
// before the run (row 0) or after a row.
void TestConversionSession::reportsItsSignalsInOrder_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<qint64>("stopAfter");
    QTest::addColumn<QStringList>("signalsSeen");
    const QStringList rows { "row 1 25%", "row 2 50%", "row 3 75%", "row 4 100%" };
    const QStringList delivered { "delivered" };
    QTest::newRow("a whole run") << "chosen"
                                 << "4" << qint64(-1) << rows + delivered;
    QTest::newRow("a picture rewritten since it was chosen")
        << "rewritten"
        << "4" << qint64(-1) << QStringList { "picture" } + rows + delivered;
    QTest::newRow("a run stopped after row 2")
        << "chosen"
        << "4" << qint64(2)
        << QStringList { "row 1 25%", "row 2 50%", "stop asked", "stop dropped", "stopped" };
    QTest::newRow("a stop asked for before the run")
        << "chosen"
        << "4" << qint64(0) << QStringList { "stop asked", "stop dropped" } + rows + delivered;
    QTest::newRow("a start check that fails")
        << "chosen"
        << "0" << qint64(-1) << QStringList { "refused Dimensions invalides" };
    QTest::newRow("no picture chosen")
        << "none"
        << "4" << qint64(-1) << QStringList { "refused Veuillez charger une image..." };
    QTest::newRow("a picture spoiled since it was chosen")
        << "spoiled"
        << "4" << qint64(-1) << QStringList { "refused Impossible de charger l'image :" };
}

void TestConversionSession::reportsItsSignalsInOrder()
{
    QFETCH(QString, picture);
    QFETCH(QString, rows);
    QFETCH(qint64, stopAfter);
    QFETCH(QStringList, signalsSeen);

    ConversionSession session;
    session.setPreviewFile(m_dir.filePath(QStringLiteral("temp.html")));
    if (picture != QLatin1String("none"))
        session.choosePicture(m_picture);
    if (picture == QLatin1String("rewritten"))
        QVERIFY(!savePicture(m_picture, QSize(3, 3), qRgb(0, 0, 255)).isEmpty());
    if (picture == QLatin1String("spoiled")) {
        QFile file(m_picture);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("no longer a picture");
    }
    Controls controls;
    QStringList seen;
    connect(&session, &ConversionSession::pictureChanged, [&] { seen << "picture"; });
    connect(&session, &ConversionSession::rowWritten, [&](qint64 row, int percent) {
        seen << QStringLiteral("row %1 %2%").arg(row).arg(percent);
        if (row == stopAfter)
            session.requestStop();
    });
    connect(&session, &ConversionSession::stopRequestChanged, [&](bool requested) {
        seen << (requested ? "stop asked" : "stop dropped");
        QCOMPARE(session.isStopRequested(), requested);
    });
    connect(&session, &ConversionSession::delivered, [&] { seen << "delivered"; });
    connect(&session, &ConversionSession::stopped, [&] { seen << "stopped"; });
    connect(&session, &ConversionSession::failed, [&](const QString& m) { seen << "failed " + m; });
    connect(&session, &ConversionSession::refused, [&](const QString& message) {
        seen << "refused " + message.section(QStringLiteral("\r\n"), 0, 0);
        QVERIFY(!session.isRunning());
    });

    RunRequest request;
    request.columns = QStringLiteral("2");
    request.rows = rows;
    if (stopAfter == 0)
        session.requestStop();
    session.run(request, controls);

    QCOMPARE(seen, signalsSeen);
    QVERIFY(!session.isRunning());
    QVERIFY(!session.isStopRequested());
    QCOMPARE(QFile::exists(session.previewFile()), !seen.last().startsWith("refused"));
    const bool delivered = seen.last() == QLatin1String("delivered");
    QCOMPARE(session.htmlCode().size(), delivered ? std::size_t(4 * 64) : 0);
    // The rewritten picture is the one sampled; a spoiled one leaves the earlier one in place.
    if (picture == QLatin1String("rewritten"))
        QVERIFY(session.htmlCode().view().find("#0000FF") != std::string_view::npos);
    QSize kept(2, 2);
    if (picture == QLatin1String("none"))
        kept = QSize(0, 0);
    else if (picture == QLatin1String("rewritten"))
        kept = QSize(3, 3);
    QCOMPARE(session.picture().image.size(), kept);
}

void TestConversionSession::aChoiceReplacesThePictureOnlyWhenItCanBeRead()
{
    ConversionSession session;
    QStringList seen;
    connect(&session, &ConversionSession::pictureChanged, [&] { seen << "changed"; });
    connect(&session, &ConversionSession::pictureChosen, [&] { seen << "chosen"; });
    connect(&session, &ConversionSession::pictureNotLoaded, [&](const QString& m) { seen << m; });

    const QString clear = savePicture(
        m_dir.filePath(QStringLiteral("clear.png")), QSize(321, 17), qRgba(255, 0, 0, 0));
    session.choosePicture(clear);
    QCOMPARE(seen, QStringList({ "changed", "chosen" }));
    QCOMPARE(session.picturePath(), clear);
    QCOMPARE(session.picture().image.size(), QSize(321, 17));
    // Transparent parts are shown as on a white page.
    QCOMPARE(session.picture().image.pixel(0, 0), qRgb(255, 255, 255));

    seen.clear();
    const QString words = m_dir.filePath(QStringLiteral("words.gif"));
    QFile file(words);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a picture at all");
    file.close();
    session.choosePicture(words);
    QCOMPARE(seen.size(), 1);
    QVERIFY2(seen.first().contains(QDir::toNativeSeparators(words)), qPrintable(seen.first()));
    QVERIFY2(seen.first().contains(QStringLiteral("pas une image")), qPrintable(seen.first()));
    QCOMPARE(session.picturePath(), clear);
    QCOMPARE(session.picture().image.size(), QSize(321, 17));
}

QTEST_GUILESS_MAIN(TestConversionSession)
// A run writes a new page in place of the earlier one, through a link the user made if the page
// is one, and the files its codes were kept in are gone from the folder.
void TestConversionSession::replacesTheEarlierPageAndLeavesNoFileBehind_data()
{
    QTest::addColumn<bool>("link");
    QTest::addColumn<bool>("hardLink");
    QTest::newRow("a plain file") << false << false;
    QTest::newRow("a link to a file") << true << false;
    QTest::newRow("a file with another name") << false << true;
}

void TestConversionSession::replacesTheEarlierPageAndLeavesNoFileBehind()
{
    QFETCH(bool, link);
    QFETCH(bool, hardLink);
    QTemporaryDir folder;
    const QString page = folder.filePath(QStringLiteral("temp.html"));
    const QString target = link ? folder.filePath(QStringLiteral("target.html")) : page;
    QFile earlier(target);
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier page");
    earlier.close();
    // Permissions of the user's own choosing, which the new page keeps.
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(earlier.setPermissions(permissions));
    if (link)
        QVERIFY(QFile::link(target, page));
    const QString otherName = folder.filePath(QStringLiteral("other-name.html"));
    if (hardLink)
        QCOMPARE(
            ::link(QFile::encodeName(page).constData(), QFile::encodeName(otherName).constData()),
            0);

    ConversionSession session;
    session.setPreviewFile(page);
    session.choosePicture(m_picture);
    Controls controls;
    bool delivered = false;
    connect(&session, &ConversionSession::delivered, [&] { delivered = true; });
    RunRequest request;
    request.columns = QStringLiteral("2");
    request.rows = QStringLiteral("4");
    session.run(request, controls);

    QVERIFY(delivered);
    QCOMPARE(QFileInfo(page).isSymLink(), link);
    QFile written(target);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().startsWith("<HTML>"));
    QCOMPARE(written.permissions() & ~QFile::Permissions(QFile::ReadUser | QFile::WriteUser),
        permissions);
    if (hardLink) {
        QFile other(otherName);
        QVERIFY(other.open(QIODevice::ReadOnly));
        QVERIFY(other.readAll().startsWith("<HTML>"));
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
        link || hardLink ? 2 : 1);
    QCOMPARE(session.htmlCode().size(), std::size_t(4 * 64));
}

#include "tst_conversionsession.moc"
