// The parts of the desktop that a test can use without a user: the clipboard.
#include "platform/qtdesktop.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>

using namespace mosaiq;

class TestQtDesktop : public QObject {
    Q_OBJECT
private slots:
    void theClipboardHoldsThePlainTextAlone_data();
    void theClipboardHoldsThePlainTextAlone();
};

void TestQtDesktop::theClipboardHoldsThePlainTextAlone_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("one line of HTML")
        << QStringLiteral("<center><font color=\"#FF0000\">o</font><br></center>");
    QTest::newRow("blog lines with CR LF")
        << QStringLiteral("[c=#FF0000]o[/c]\r\n[c=#0000FF]é[/c]\r\n");
}

void TestQtDesktop::theClipboardHoldsThePlainTextAlone()
{
    QFETCH(QString, text);
    QClipboard* clipboard = QGuiApplication::clipboard();
    auto* previous = new QMimeData;
    previous->setHtml(QStringLiteral("<b>before</b>"));
    previous->setData(QStringLiteral("application/x-mosaiq-test"), "old");
    clipboard->setMimeData(previous);
    // What a clipboard manager sees: the clipboard emptied, then the text alone.
    QList<QStringList> seen;
    const auto watch = connect(clipboard, &QClipboard::dataChanged, this, [&] {
        const QMimeData* data = clipboard->mimeData();
        seen << (data ? data->formats() : QStringList());
    });

    QtDesktop desktop;
    auto* data = new QMimeData;
    data->setText(text);
    desktop.setClipboardData(data);
    disconnect(watch);

    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen.first(), QStringList());
    const QMimeData* now = clipboard->mimeData();
    QVERIFY(now);
    QCOMPARE(now->text(), text);
    QCOMPARE(seen.last(), now->formats());
    QVERIFY(!now->hasHtml());
    QVERIFY(!now->hasFormat(QStringLiteral("application/x-mosaiq-test")));
}

QTEST_MAIN(TestQtDesktop)
#include "tst_qtdesktop.moc"
