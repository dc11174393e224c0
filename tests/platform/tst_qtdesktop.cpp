// The parts of the desktop that a test can use without a user: the clipboard, and the open
// dialog as it is set up before it waits.
#include "platform/qtdesktop.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

using namespace mosaiq;

class TestQtDesktop : public QObject {
    Q_OBJECT
private slots:
    void theClipboardHoldsThePlainTextAlone_data();
    void theClipboardHoldsThePlainTextAlone();
    void anyFileListsFilesWithoutAnExtension();
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

void TestQtDesktop::anyFileListsFilesWithoutAnExtension()
{
    QTemporaryDir dir;
    for (const char* name : { "sansextension", "photo.jpg", "image.gif" }) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QtDesktop::prepareOpenDialog(
        dialog, QStringLiteral("Any File (*.*);;JPEG (*.JPG *.JPEG);;Bitmap (*.BMP)"));
    dialog.setDirectory(dir.path());
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types);
    QStringList captions;
    for (int i = 0; i < types->count(); ++i)
        captions << types->itemText(i);
    QCOMPARE(captions, QStringList({ "Any File (*.*)", "JPEG (*.JPG *.JPEG)", "Bitmap (*.BMP)" }));

    // The names the dialog lists under each entry.
    auto* model = dialog.findChild<QFileSystemModel*>();
    QVERIFY(model);
    const auto listed = [&] {
        QStringList names;
        const QModelIndex folder = model->index(dir.path());
        for (int row = 0; row < model->rowCount(folder); ++row)
            names << model->index(row, 0, folder).data().toString();
        names.sort();
        return names;
    };
    QTRY_COMPARE(listed(), QStringList({ "image.gif", "photo.jpg", "sansextension" }));
    dialog.selectNameFilter(dialog.nameFilters().at(1));
    QTRY_COMPARE(listed(), QStringList { "photo.jpg" });
}

QTEST_MAIN(TestQtDesktop)
#include "tst_qtdesktop.moc"
