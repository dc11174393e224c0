// The window as it opens, its keys and the interlocks of the mode boxes.
#include "app/colourswatch.h"
#include "app/frmhtml.h"
#include "app/picturebox.h"
#include "image/picturereader.h"
#include "output/widgets/codepane.h"
#include "support/fakedesktop.h"
#include "support/windowtest.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QWebEngineView>

#include <memory>

using namespace mosaiq;

namespace {

enum class Mode { Letter, LetterRandom, Square };
enum class Gesture { Left, Right, Middle, Space };

} // namespace

Q_DECLARE_METATYPE(Mode)
Q_DECLARE_METATYPE(Gesture)

class TestFrmHTML : public QObject, private WindowFixture {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void theWindowIsFixedAtItsSize();
    void theWindowOpensWithEachControlInItsState_data();
    void theWindowOpensWithEachControlInItsState();
    void theWindowOpensWithEachControlInItsPlace_data();
    void theWindowOpensWithEachControlInItsPlace();
    void hiddenControlsNeverShow();
    void tabsShowTheirOwnPage();
    void tabOrderFollowsTheDrawing();

    void modeClicksKeepOneBoxChecked_data();
    void modeClicksKeepOneBoxChecked();
    void characterSourceEnablesTheCharacters();
    void altFChoosesDefinedCharacters();
    void altFDoesNothingInSquareMode();
    void ctrlSRequestsAStopWhereverTheFocusIs_data();
    void ctrlSRequestsAStopWhereverTheFocusIs();

private:
    void clickMode(QCheckBox* box, Gesture gesture);
    void enterMode(Mode mode);
};

void TestFrmHTML::init()
{
    openWindow();
}

void TestFrmHTML::cleanup()
{
    closeWindow();
}

void TestFrmHTML::theWindowIsFixedAtItsSize()
{
    QCOMPARE(m_window->objectName(), QStringLiteral("FrmHTML"));
    QVERIFY(m_window->windowTitle().startsWith(QStringLiteral("Mosaiq [version 4]")));
    QCOMPARE(m_window->size(), QSize(735, 734));
    QCOMPARE(m_window->minimumSize(), QSize(735, 734));
    QCOMPARE(m_window->maximumSize(), QSize(735, 734));
    QVERIFY(!(m_window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(m_window->windowFlags() & Qt::WindowMinimizeButtonHint);
    const QIcon icon = m_window->windowIcon();
    for (int size : { 16, 32, 48 })
        QVERIFY(icon.availableSizes().contains(QSize(size, size)));
    const QPixmap decoration = control<QLabel>(*m_window, QStringLiteral("Image1"))->pixmap();
    QCOMPARE(decoration.size(), QSize(128, 128));
}

void TestFrmHTML::theWindowOpensWithEachControlInItsState_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("expected");

    auto row = [](const char* name, const char* property, const QVariant& expected) {
        QTest::addRow("%s.%s", name, property)
            << QString::fromLatin1(name) << QByteArray(property) << expected;
    };
    row("Label3", "text", QStringLiteral("Changer les dimensions de l'image :"));
    row("TxtX", "text", QStringLiteral("150"));
    row("TxtY", "text", QStringLiteral("60"));
    row("Label4", "text", QStringLiteral("X"));
    row("Command1", "text", QStringLiteral("diviser (/2)"));
    row("Command2", "text", QStringLiteral("multiplier (*2)"));
    row("Frame1", "title", QStringLiteral("Optimisation des couleurs..."));
    const char* colours[] = { "Couleurs d'origines", "Coloriser en rouge", "Coloriser en vert",
        "Coloriser en bleu", "Noir et blanc" };
    for (int i = 0; i < 5; ++i) {
        const QByteArray name = "OptColour" + QByteArray::number(i);
        row(name.constData(), "text", QString::fromUtf8(colours[i]));
        row(name.constData(), "checked", i == 0);
    }
    row("Frame2", "title", QStringLiteral("Caractères de l'ASCII"));
    row("Check1", "text", QStringLiteral("Mode lettre"));
    row("Check1", "checked", true);
    row("OptText0", "text", QStringLiteral("Hasard"));
    row("OptText0", "checked", false);
    row("OptText0", "enabled", true);
    row("OptText1", "text", QStringLiteral("Dé&finis"));
    row("OptText1", "checked", true);
    row("OptText1", "enabled", true);
    row("TxtRepeat", "text", QStringLiteral("o"));
    row("TxtRepeat", "enabled", true);
    row("Check2", "text", QStringLiteral("Mode carré"));
    row("Check2", "checked", false);
    row("Frame6", "title", QStringLiteral("Autres..."));
    row("centrer", "text", QStringLiteral("Centré"));
    row("centrer", "checked", true);
    row("italique", "text", QStringLiteral("Italique"));
    row("italique", "checked", false);
    row("gras", "text", QStringLiteral("Gras"));
    row("gras", "checked", false);
    row("Frame7", "title", QStringLiteral("Informations"));
    row("Label2", "text", QStringLiteral("Auteur :"));
    row("Label11", "text", QStringLiteral("Date de naissance :"));
    row("Label5", "text", QStringLiteral("Blog :"));
    row("Label6", "text", QStringLiteral("Site :"));
    row("Label1", "text", QStringLiteral("Chemin de l'image :"));
    row("TxtPic", "text", QString());
    row("TxtPic", "readOnly", true);
    row("CmdPicBrowse", "text", QStringLiteral("..."));
    row("pourCent", "text", QStringLiteral("0%"));
    row("bar1", "value", 0);
    row("bar1", "minimum", 0);
    row("bar1", "maximum", 100);
    row("Label8", "text", QStringLiteral("Fond de l'aperçu :"));
    row("CmdGo", "text", QStringLiteral("Créer (CTRL+D)"));
    row("CmdGo", "enabled", true);
    row("Command5", "text", QStringLiteral("Stop (CTLR+S)"));
    row("Command3", "text", QStringLiteral("Copier..."));
    row("Command4", "text", QStringLiteral("Copier..."));
    row("SSTab1", "currentIndex", 0);
    row("txtArret", "text", QString());
    row("ChkRed", "text", QStringLiteral("Use Red"));
    row("ChkRed", "checked", true);
    row("ChkGreen", "text", QStringLiteral("Use Green"));
    row("ChkGreen", "checked", true);
    row("ChkBlue", "text", QStringLiteral("Use Blue"));
    row("ChkBlue", "checked", true);
    row("TxtSize", "text", QStringLiteral("8"));
    row("TxtTitle", "text", QString());
    row("CmdPreview", "text", QStringLiteral("View Preview"));
    row("TxtHTML", "text", QString());
    row("TxtHTML", "readOnly", true);
    row("CmdHTMLBrowse", "text", QStringLiteral("Browse..."));
    row("creerer", "text", QStringLiteral("creer"));
    row("stoper", "text", QStringLiteral("stop"));
    row("stoper", "shortcut", QKeySequence(Qt::CTRL | Qt::Key_S));
    row("creerer", "shortcut", QKeySequence(Qt::CTRL | Qt::Key_D));
}

void TestFrmHTML::theWindowOpensWithEachControlInItsState()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, expected);
    const QObject* object = m_window->findChild<QObject*>(name);
    QVERIFY2(object, qPrintable(name));
    QCOMPARE(object->property(property.constData()), expected);
}

void TestFrmHTML::theWindowOpensWithEachControlInItsPlace_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("geometry");
    // In pixels: the window's twips, 15 to the pixel at the usual 96 dots per inch.
    auto row = [](const char* name, const char* container, QRect geometry) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(container)
                            << geometry;
    };
    row("imghide", "FrmHTML", QRect(8, 8, 209, 129));
    row("Frame3", "FrmHTML", QRect(8, 144, 209, 73));
    row("Frame1", "FrmHTML", QRect(224, 8, 169, 105));
    row("Frame2", "FrmHTML", QRect(400, 8, 153, 105));
    row("Frame6", "FrmHTML", QRect(560, 8, 97, 81));
    row("Image1", "FrmHTML", QRect(664, 16, 64, 72));
    row("Frame7", "FrmHTML", QRect(560, 88, 169, 129));
    row("TxtX", "Frame3", QRect(56, 24, 33, 13));
    row("TxtY", "Frame3", QRect(120, 24, 33, 13));
    row("Command1", "Frame3", QRect(8, 48, 97, 17));
    row("Command2", "Frame3", QRect(104, 48, 97, 17));
    row("OptColour4", "Frame1", QRect(8, 80, 153, 17));
    row("Check1", "Frame2", QRect(8, 16, 137, 17));
    row("OptText1", "Frame2", QRect(24, 48, 97, 17));
    row("TxtRepeat", "Frame2", QRect(24, 64, 105, 13));
    row("Check2", "Frame2", QRect(8, 80, 137, 17));
    row("gras", "Frame6", QRect(8, 56, 73, 17));
    row("Label9", "Frame7", QRect(8, 72, 161, 17));
    row("Label10", "Frame7", QRect(8, 104, 161, 17));
    row("Frame4", "FrmHTML", QRect(224, 112, 329, 49));
    row("TxtPic", "Frame4", QRect(8, 24, 289, 15));
    row("CmdPicBrowse", "Frame4", QRect(304, 24, 17, 15));
    row("Frame5", "FrmHTML", QRect(224, 160, 329, 57));
    row("bar1", "Frame5", QRect(136, 16, 185, 9));
    row("PicColour", "Frame5", QRect(104, 24, 17, 17));
    row("CmdGo", "Frame5", QRect(136, 32, 97, 17));
    row("Command5", "Frame5", QRect(232, 32, 89, 17));
    row("SSTab1", "FrmHTML", QRect(8, 224, 721, 505));
    row("web1", "SSTab1Page0", QRect(8, 8, 705, 465));
    row("skyblogrich", "SSTab1Page1", QRect(8, 8, 705, 441));
    row("Command4", "SSTab1Page1", QRect(8, 453, 705, 19));
    row("htmlrich", "SSTab1Page2", QRect(8, 8, 705, 441));
    row("Command3", "SSTab1Page2", QRect(8, 453, 705, 19));
}

void TestFrmHTML::theWindowOpensWithEachControlInItsPlace()
{
    QFETCH(QString, name);
    QFETCH(QString, container);
    QFETCH(QRect, geometry);
    const QWidget* widget = control<QWidget>(*m_window, name);
    QCOMPARE(widget->parentWidget()->objectName(), container);
    QCOMPARE(widget->geometry(), geometry);
}

void TestFrmHTML::hiddenControlsNeverShow()
{
    const QStringList hidden { "txtArret", "PicLoad", "ChkRed", "ChkGreen", "ChkBlue", "CmbFont",
        "TxtSize", "TxtTitle", "CmdPreview", "TxtHTML", "CmdHTMLBrowse" };
    for (const QString& name : hidden) {
        const QWidget* widget = control<QWidget>(*m_window, name);
        QVERIFY2(widget->isHidden(), qPrintable(name));
        QVERIFY2(widget->x() >= 735 || widget->y() >= 734, qPrintable(name));
    }
    QVERIFY(!control<PictureBox>(*m_window, "PicLoad")->hasPicture());
    QVERIFY(control<QComboBox>(*m_window, "CmbFont")->count() > 0);

    // Doing the things a user can do leaves them hidden.
    control<QCheckBox>(*m_window, "Check2")->click();
    control<QPushButton>(*m_window, "Command1")->click();
    control<QPushButton>(*m_window, "Command5")->click();
    control<QTabWidget>(*m_window, "SSTab1")->setCurrentIndex(2);
    for (const QString& name : hidden)
        QVERIFY2(control<QWidget>(*m_window, name)->isHidden(), qPrintable(name));
}

void TestFrmHTML::tabsShowTheirOwnPage()
{
    auto* tabs = control<QTabWidget>(*m_window, "SSTab1");
    QCOMPARE(tabs->tabPosition(), QTabWidget::South);
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Aperçu"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Code SkyBlog"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Code HTML"));

    auto* web = control<QWebEngineView>(*m_window, "web1");
    auto* blog = control<CodePane>(*m_window, "skyblogrich");
    auto* html = control<CodePane>(*m_window, "htmlrich");
    QVERIFY(web->isVisible() && !blog->isVisible() && !html->isVisible());
    QVERIFY(blog->code().empty() && html->code().empty());
    tabs->setCurrentIndex(1);
    QVERIFY(!web->isVisible() && blog->isVisible() && !html->isVisible());
    QVERIFY(control<QPushButton>(*m_window, "Command4")->isVisible());
    tabs->setCurrentIndex(2);
    QVERIFY(!web->isVisible() && !blog->isVisible() && html->isVisible());
    QVERIFY(control<QPushButton>(*m_window, "Command3")->isVisible());
    tabs->setCurrentIndex(0);
    QVERIFY(web->isVisible());
}

void TestFrmHTML::tabOrderFollowsTheDrawing()
{
    // From the first colour option, Tab visits the visible controls in the window's order; an
    // option group is one stop. The tab bar has no name of its own.
    const QStringList expected { "OptText0", "TxtRepeat", "qt_tabwidget_tabbar", "web1", "TxtY",
        "TxtX", "Command1", "Command2", "CmdPicBrowse", "TxtPic", "PicColour", "CmdGo", "Check1",
        "Check2", "Command5", "gras", "italique", "centrer", "OptColour0" };
    auto focusName = [] {
        // The browser takes the focus in an inner widget of its own.
        for (const QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
            if (!w->objectName().isEmpty())
                return w->objectName();
        return QString();
    };
    control<QRadioButton>(*m_window, "OptColour0")->setFocus();
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const QString before = focusName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        // The page in the browser hands the focus back when its own controls run out.
        if (before == QLatin1String("web1"))
            QTRY_VERIFY_WITH_TIMEOUT(focusName() != QLatin1String("web1"), 10000);
        visited << focusName();
    }
    QCOMPARE(visited, expected);
}

void TestFrmHTML::clickMode(QCheckBox* box, Gesture gesture)
{
    const QPoint indicator(6, box->height() / 2);
    switch (gesture) {
    case Gesture::Left:
        QTest::mouseClick(box, Qt::LeftButton, {}, indicator);
        break;
    case Gesture::Right:
        QTest::mouseClick(box, Qt::RightButton, {}, indicator);
        break;
    case Gesture::Middle:
        QTest::mouseClick(box, Qt::MiddleButton, {}, indicator);
        break;
    case Gesture::Space:
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
        break;
    }
}

void TestFrmHTML::enterMode(Mode mode)
{
    if (mode == Mode::Square)
        control<QCheckBox>(*m_window, "Check2")->click();
    if (mode == Mode::LetterRandom)
        control<QRadioButton>(*m_window, "OptText0")->click();
}

void TestFrmHTML::modeClicksKeepOneBoxChecked_data()
{
    QTest::addColumn<Mode>("from");
    QTest::addColumn<QString>("target");
    QTest::addColumn<Gesture>("gesture");
    const std::pair<Mode, const char*> modes[] = { { Mode::Letter, "letter" },
        { Mode::LetterRandom, "letter-random" }, { Mode::Square, "square" } };
    const std::pair<Gesture, const char*> gestures[] = { { Gesture::Left, "left" },
        { Gesture::Right, "right" }, { Gesture::Middle, "middle" }, { Gesture::Space, "space" } };
    for (const auto& [mode, modeName] : modes)
        for (const char* target : { "Check1", "Check2" })
            for (const auto& [gesture, gestureName] : gestures)
                QTest::addRow("%s, %s %s", modeName, gestureName, target)
                    << mode << QString::fromLatin1(target) << gesture;
}

void TestFrmHTML::modeClicksKeepOneBoxChecked()
{
    QFETCH(Mode, from);
    QFETCH(QString, target);
    QFETCH(Gesture, gesture);
    auto* check1 = control<QCheckBox>(*m_window, "Check1");
    auto* check2 = control<QCheckBox>(*m_window, "Check2");
    auto* random = control<QRadioButton>(*m_window, "OptText0");
    auto* defined = control<QRadioButton>(*m_window, "OptText1");
    auto* characters = control<QLineEdit>(*m_window, "TxtRepeat");
    enterMode(from);
    const bool randomBefore = random->isChecked();
    const QString charactersBefore = characters->text();

    clickMode(target == QLatin1String("Check1") ? check1 : check2, gesture);

    if (target == QLatin1String("Check1")) {
        QVERIFY(check1->isChecked());
        QVERIFY(!check2->isChecked());
        QVERIFY(random->isEnabled() && defined->isEnabled());
        QVERIFY(characters->isEnabled()); // whichever source is selected
        QCOMPARE(random->isChecked(), randomBefore);
        QCOMPARE(characters->text(), charactersBefore);
    } else {
        QVERIFY(!check1->isChecked());
        QVERIFY(check2->isChecked());
        QVERIFY(!random->isEnabled() && !defined->isEnabled());
        QVERIFY(defined->isChecked() && !random->isChecked());
        QCOMPARE(characters->text(), QStringLiteral("8"));
        QVERIFY(!characters->isEnabled());
    }
}

void TestFrmHTML::characterSourceEnablesTheCharacters()
{
    auto* characters = control<QLineEdit>(*m_window, "TxtRepeat");
    QTest::mouseClick(
        control<QRadioButton>(*m_window, "OptText0"), Qt::LeftButton, {}, QPoint(6, 8));
    QVERIFY(!characters->isEnabled());
    QCOMPARE(characters->text(), QStringLiteral("o"));
    QTest::mouseClick(
        control<QRadioButton>(*m_window, "OptText1"), Qt::LeftButton, {}, QPoint(6, 8));
    QVERIFY(characters->isEnabled());
    QCOMPARE(characters->text(), QStringLiteral("o"));

    // Back from square mode the characters box offers the 8 it was given, not what came before.
    control<QCheckBox>(*m_window, "Check2")->click();
    control<QCheckBox>(*m_window, "Check1")->click();
    QCOMPARE(characters->text(), QStringLiteral("8"));
    QVERIFY(characters->isEnabled());
}

void TestFrmHTML::altFChoosesDefinedCharacters()
{
    control<QRadioButton>(*m_window, "OptText0")->click();
    control<QLineEdit>(*m_window, "TxtX")->setFocus();
    QTest::keyClick(m_window.get(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(control<QRadioButton>(*m_window, "OptText1")->isChecked());
    QTRY_VERIFY(control<QLineEdit>(*m_window, "TxtRepeat")->isEnabled());
}

void TestFrmHTML::altFDoesNothingInSquareMode()
{
    control<QCheckBox>(*m_window, "Check2")->click();
    QTest::keyClick(m_window.get(), Qt::Key_F, Qt::AltModifier);
    QTest::qWait(200);
    QVERIFY(!control<QLineEdit>(*m_window, "TxtRepeat")->isEnabled());
    QVERIFY(control<QCheckBox>(*m_window, "Check2")->isChecked());
}

void TestFrmHTML::ctrlSRequestsAStopWhereverTheFocusIs_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("page");
    for (const char* name : { "TxtX", "TxtRepeat", "Check1", "CmdGo", "PicColour", "OptColour2" })
        QTest::newRow(name) << QString::fromLatin1(name) << 0;
    // The panes and the browser are the likeliest to keep a key for themselves.
    QTest::newRow("web1") << QStringLiteral("web1") << 0;
    QTest::newRow("skyblogrich") << QStringLiteral("skyblogrich") << 1;
    QTest::newRow("htmlrich") << QStringLiteral("htmlrich") << 2;
}

void TestFrmHTML::ctrlSRequestsAStopWhereverTheFocusIs()
{
    QFETCH(QString, focus);
    QFETCH(int, page);
    control<QTabWidget>(*m_window, "SSTab1")->setCurrentIndex(page);
    QWidget* widget = control<QWidget>(*m_window, focus);
    widget->setFocus();
    QTRY_VERIFY(QApplication::focusWidget());
    // The key goes where the user's would: to whatever holds the focus, inside the browser too.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(control<QLineEdit>(*m_window, "txtArret")->text(), QStringLiteral("STOP"));
    // The stop key neither starts nor resets anything.
    QVERIFY(control<QPushButton>(*m_window, "CmdGo")->isEnabled());
    QVERIFY(m_desktop->messages.isEmpty());
}

MOSAIQ_WINDOW_TEST_MAIN(TestFrmHTML)
#include "tst_frmhtml.moc"
