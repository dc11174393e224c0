// The "Copier..." buttons: the pane's code on the clipboard, and the message that says so.
#include "app/frmhtml.h"
#include "output/widgets/codepane.h"
#include "support/fakedesktop.h"
#include "support/runfixture.h"

#include <QMimeData>
#include <QPushButton>

using namespace mosaiq;

class TestFrmHTMLCopy : public QObject, private RunFixture {
    Q_OBJECT

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void copyPutsThePaneOnTheClipboard_data();
    void copyPutsThePaneOnTheClipboard();
};

void TestFrmHTMLCopy::copyPutsThePaneOnTheClipboard_data()
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

void TestFrmHTMLCopy::copyPutsThePaneOnTheClipboard()
{
    QFETCH(QString, button);
    QFETCH(QString, pane);
    QFETCH(QString, code);
    QFETCH(QString, closing);
    ui<CodePane>("htmlrich")->setCode("other");
    ui<CodePane>("skyblogrich")->setCode("other");
    control<CodePane>(*m_window, pane)->setCode(code.toStdString());

    control<QPushButton>(*m_window, button)->click();

    QCOMPARE(m_desktop->clipboardWrites, 1);
    QCOMPARE(m_desktop->messages,
        QStringList { QStringLiteral("Votre code est copier!\r\n") + closing });
    QCOMPARE(m_desktop->titles, QStringList { FrmHTML::title() });
    // Plain text alone, and the code as it was when copied, though the next run replaces it.
    control<CodePane>(*m_window, pane)->setCode("the next run");
    const QMimeData& copied = *m_desktop->clipboard;
    QCOMPARE(copied.text(), code);
    QCOMPARE(copied.data(QStringLiteral("text/plain")), code.toUtf8());
    for (const QString& format : copied.formats())
        QVERIFY2(format.startsWith(QLatin1String("text/plain")), qPrintable(format));
    QVERIFY(!copied.hasHtml());
}

MOSAIQ_WINDOW_TEST_MAIN(TestFrmHTMLCopy)
#include "tst_frmhtmlcopy.moc"
