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

// Fixed options; a stop is asked for after row stopAfter.
struct Controls : RunControls {
    double rows = 4;
    qint64 stopAfter = -1;
    qint64 rowsSeen = 0;
    RowInput rowInput() override
    {
        RowInput input;
        input.columns = 2;
        input.rows = rows;
        input.definedCharacters = U"o";
        return input;
    }
    StyleFlags closingStyle() override { return {}; }
    bool takeStopRequest() override { return rowsSeen == stopAfter; }
};

} // namespace

class TestConversionSession : public QObject {
    Q_OBJECT

private slots:
    void init();
    void reportsItsSignalsInOrder_data();
    void reportsItsSignalsInOrder();
    void replacesTheEarlierPageAndLeavesNoFileBehind_data();
    void replacesTheEarlierPageAndLeavesNoFileBehind();

private:
    QTemporaryDir m_dir;
    QString m_picture;
};

void TestConversionSession::init()
{
    m_picture = m_dir.filePath(QStringLiteral("two.png"));
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(m_picture));
    QFile::remove(m_dir.filePath(QStringLiteral("temp.html")));
}

void TestConversionSession::reportsItsSignalsInOrder_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<qint64>("stopAfter");
    QTest::addColumn<QStringList>("signalsSeen");
    const QStringList rows { "row 1 25%", "row 2 50%", "row 3 75%", "row 4 100%" };
    QTest::newRow("a whole run") << "two.png"
                                 << "4" << qint64(-1)
                                 << QStringList { "picture" } + rows + QStringList { "delivered" };
    QTest::newRow("a run stopped after row 2")
        << "two.png"
        << "4" << qint64(2) << QStringList { "picture", "row 1 25%", "row 2 50%", "stopped" };
    QTest::newRow("a start check that fails")
        << "two.png"
        << "0" << qint64(-1) << QStringList { "refused Dimensions invalides" };
    QTest::newRow("a picture that cannot be read")
        << "missing.png"
        << "4" << qint64(-1) << QStringList { "refused" };
}

void TestConversionSession::reportsItsSignalsInOrder()
{
    QFETCH(QString, picture);
    QFETCH(QString, rows);
    QFETCH(qint64, stopAfter);
    QFETCH(QStringList, signalsSeen);

    ConversionSession session;
    session.setPreviewFile(m_dir.filePath(QStringLiteral("temp.html")));
    Controls controls;
    controls.stopAfter = stopAfter;
    QStringList seen;
    connect(&session, &ConversionSession::pictureChanged, [&] { seen << "picture"; });
    connect(&session, &ConversionSession::rowWritten, [&](qint64 row, int percent) {
        controls.rowsSeen = row;
        seen << QStringLiteral("row %1 %2%").arg(row).arg(percent);
    });
    connect(&session, &ConversionSession::delivered, [&] { seen << "delivered"; });
    connect(&session, &ConversionSession::stopped, [&] { seen << "stopped"; });
    connect(&session, &ConversionSession::failed, [&](const QString& m) { seen << "failed " + m; });
    connect(&session, &ConversionSession::refused, [&](const QString& message) {
        seen << (message.startsWith("Dimensions") ? "refused " + message : QString("refused"));
        QVERIFY(!session.isRunning());
    });

    RunRequest request;
    request.picturePath = m_dir.filePath(picture);
    request.columns = QStringLiteral("2");
    request.rows = rows;
    session.run(request, controls);

    QCOMPARE(seen, signalsSeen);
    QVERIFY(!session.isRunning());
    QCOMPARE(QFile::exists(session.previewFile()), !seen.first().startsWith("refused"));
    const bool delivered = seen.last() == QLatin1String("delivered");
    QCOMPARE(session.htmlCode().size(), delivered ? std::size_t(4 * 64) : 0);
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
    Controls controls;
    bool delivered = false;
    connect(&session, &ConversionSession::delivered, [&] { delivered = true; });
    RunRequest request;
    request.picturePath = m_picture;
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
