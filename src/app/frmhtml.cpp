#include "app/frmhtml.h"

#include "app/colourswatch.h"
#include "app/linklabel.h"
#include "app/modecheckbox.h"
#include "app/picturebox.h"
#include "output/widgets/codepane.h"
#include "output/widgets/nativepreview.h"
#include "output/widgets/previewpane.h"
#include "platform/desktop.h"
#include "wording/windowwords.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QWebEngineView>

// The icons live in this library's resources; a static library must ask for them by name.
static void initResources()
{
    Q_INIT_RESOURCE(mosaiq);
}

namespace mosaiq {

namespace {

    QString text(const char* utf8)
    {
        return QString::fromUtf8(utf8);
    }

    // Verdana where the system has it; DejaVu Sans has nearly its widths.
    QFont verdana(qreal points, bool bold = false, bool italic = false)
    {
        QFont font;
        font.setFamilies({ QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans") });
        font.setStyleHint(QFont::SansSerif);
        font.setPointSizeF(points);
        font.setBold(bold);
        font.setItalic(italic);
        return font;
    }

    QFont hiddenFont()
    {
        QFont font;
        font.setFamilies({ QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans") });
        font.setStyleHint(QFont::SansSerif);
        font.setPointSizeF(8.25);
        font.setBold(false);
        font.setItalic(false);
        return font;
    }

    constexpr qreal NormalPoints = 6.75;
    constexpr qreal SmallPoints = 6.0;
    // The layout was made for the window's text at 96 dots per inch: 6.75 points, nine pixels.
    constexpr int DesignedPixels = 9;
    const QColor WindowColour(239, 239, 239);

    template <typename Widget>
    Widget* place(Widget* widget, const char* name, const QRect& geometry, const QFont& font)
    {
        widget->setObjectName(QLatin1String(name));
        widget->setGeometry(geometry);
        widget->setFont(font);
        return widget;
    }

    QLabel* fieldLabel(
        QWidget* parent, const char* name, const QString& text, const QRect& geometry)
    {
        auto* label = place(new QLabel(text, parent), name, geometry, verdana(NormalPoints, true));
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }

    QLabel* valueLabel(
        QWidget* parent, const char* name, const QString& text, const QRect& geometry, qreal points)
    {
        auto* label = place(new QLabel(text, parent), name, geometry, verdana(points));
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        return label;
    }

    QGroupBox* groupBox(
        QWidget* parent, const char* name, const QString& caption, const QRect& geometry)
    {
        return place(new QGroupBox(caption, parent), name, geometry, verdana(NormalPoints, true));
    }

    // The four editable boxes are flat: a single line and no 3-D edge, with room for the text in
    // their 13 pixels.
    QLineEdit* flatTextBox(
        QWidget* parent, const char* name, const QString& text, const QRect& geometry)
    {
        auto* box = place(new QLineEdit(text, parent), name, geometry, verdana(NormalPoints));
        box->setStyleSheet(QStringLiteral(
            "QLineEdit { border: 1px solid rgb(122, 122, 122); padding: 0px 1px; background: "
            "white; color: black; }"
            "QLineEdit:disabled { background: rgb(239, 239, 239); color: rgb(128, 128, 128); }"));
        return box;
    }

    QPushButton* button(QWidget* parent, const char* name, const QString& caption,
        const QRect& geometry, const QColor& background = QColor(), bool bold = false)
    {
        auto* pushButton
            = place(new QPushButton(caption, parent), name, geometry, verdana(NormalPoints, bold));
        if (background.isValid()) {
            QPalette palette = pushButton->palette();
            palette.setColor(QPalette::Button, background);
            pushButton->setPalette(palette);
        }
        return pushButton;
    }

    QLabel* pictureFrame(QWidget* parent, const char* name, const QRect& geometry)
    {
        auto* label = place(new QLabel(parent), name, geometry, verdana(NormalPoints));
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        label->setLineWidth(1);
        label->setScaledContents(true);
        return label;
    }

} // namespace

FrmHTML::FrmHTML(Desktop& desktop, QWidget* parent)
    : QWidget(parent)
    , m_desktop(desktop)
{
    m_session.setPreviewFile(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("temp.html")));
    initResources();
    initWindow();
    initPictureBand();
    initSizeFrame();
    initColourFrame();
    initCharacterFrame();
    initStyleFrame();
    initInformationFrame();
    initActionStrip();
    initTabs();
    initHiddenControls();
    initMenuEntries();
    initTabOrder();
    initConnections();
    initSession();
    fillFontList();
}

FrmHTML::~FrmHTML() = default;

QRect FrmHTML::twips(int left, int top, int width, int height) const
{
    return m_layout.twips(left, top, width, height);
}

QString FrmHTML::title()
{
    return QString::fromUtf8(window::Title);
}

void FrmHTML::initWindow()
{
    setObjectName(QStringLiteral("FrmHTML"));
    setWindowTitle(title());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
        | Qt::MSWindowsFixedSizeDialogHint);
    // Every place below grows with the desktop's text, so that large text cuts no caption.
    QFont designed = verdana(NormalPoints);
    designed.setPixelSize(DesignedPixels);
    m_layout = LayoutScale(verdana(NormalPoints), designed);
    setFixedSize(m_layout.twips(11025, 11010));
    setFont(verdana(NormalPoints));

    QIcon icon;
    for (int size : { 16, 32, 48 })
        icon.addFile(QStringLiteral(":/mosaiq/mosaiq-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, WindowColour);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Button, WindowColour);
    palette.setColor(QPalette::ButtonText, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);

    // Group boxes carry their caption on the frame line, so that the controls placed 8 pixels
    // below the top edge sit inside the frame rather than on it.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid rgb(170, 170, 170); border-radius: 3px; margin-top: %1px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: %1px;"
        " top: 0px; padding: 0px %2px; background-color: rgb(239, 239, 239); }")
                      .arg(m_layout.pixels(6))
                      .arg(m_layout.pixels(2)));
}

void FrmHTML::initPictureBand()
{
    m_imghide = pictureFrame(this, "imghide", twips(120, 120, 3135, 1935));

    m_Image1 = pictureFrame(this, "Image1", twips(9960, 240, 960, 1080));
    // Through an icon, so that a screen of two device pixels per pixel gets the @2x picture.
    const QIcon decoration(QStringLiteral(":/mosaiq/decoration-128.png"));
    m_Image1->setPixmap(decoration.pixmap(QSize(128, 128), devicePixelRatioF()));
}

void FrmHTML::initSizeFrame()
{
    m_Frame3 = groupBox(this, "Frame3", QString(), twips(120, 2160, 3135, 1095));
    m_Label3 = fieldLabel(m_Frame3, "Label3", text(window::ChangeSize), twips(120, 120, 2775, 255));
    m_TxtX = flatTextBox(m_Frame3, "TxtX", QStringLiteral("150"), twips(840, 360, 495, 195));
    m_Label4 = valueLabel(
        m_Frame3, "Label4", text(window::Times), twips(1320, 360, 495, 255), NormalPoints);
    m_TxtY = flatTextBox(m_Frame3, "TxtY", QStringLiteral("60"), twips(1800, 360, 495, 195));
    m_Command1 = button(m_Frame3, "Command1", text(window::Halve), twips(120, 720, 1455, 255));
    m_Command2 = button(m_Frame3, "Command2", text(window::Double), twips(1560, 720, 1455, 255));
}

void FrmHTML::initColourFrame()
{
    m_Frame1 = groupBox(this, "Frame1", text(window::ColourFrame), twips(3360, 120, 2535, 1575));
    m_OptColourGroup = new QButtonGroup(this);
    m_OptColourGroup->setObjectName(QStringLiteral("OptColourGroup"));

    for (int i = 0; i < 5; ++i) {
        auto* option = new QRadioButton(text(window::ColourOptions[i]), m_Frame1);
        option->setObjectName(QStringLiteral("OptColour%1").arg(i));
        option->setGeometry(twips(120, 240 + 240 * i, 2295, 255));
        option->setFont(verdana(NormalPoints));
        m_OptColourGroup->addButton(option, i);
        m_OptColour[i] = option;
    }
    m_OptColour[0]->setChecked(true);
}

void FrmHTML::initCharacterFrame()
{
    m_Frame2 = groupBox(this, "Frame2", text(window::CharacterFrame), twips(6000, 120, 2295, 1575));
    m_Check1 = place(new ModeCheckBox(text(window::LetterMode), m_Frame2), "Check1",
        twips(120, 240, 2055, 255), verdana(NormalPoints));
    m_Check1->setChecked(true);

    m_OptTextGroup = new QButtonGroup(this);
    m_OptTextGroup->setObjectName(QStringLiteral("OptTextGroup"));

    for (int i = 0; i < 2; ++i) {
        auto* option = new QRadioButton(text(window::CharacterOptions[i]), m_Frame2);
        option->setObjectName(QStringLiteral("OptText%1").arg(i));
        option->setGeometry(twips(360, 480 + 240 * i, 1455, 255));
        option->setFont(verdana(NormalPoints));
        m_OptTextGroup->addButton(option, i);
        m_OptText[i] = option;
    }
    m_OptText[1]->setChecked(true);

    m_TxtRepeat
        = flatTextBox(m_Frame2, "TxtRepeat", QStringLiteral("o"), twips(360, 960, 1575, 195));
    m_Check2 = place(new ModeCheckBox(text(window::SquareMode), m_Frame2), "Check2",
        twips(120, 1200, 2055, 255), verdana(NormalPoints));
}

void FrmHTML::initStyleFrame()
{
    m_Frame6 = groupBox(this, "Frame6", text(window::OtherFrame), twips(8400, 120, 1455, 1215));
    m_centrer = place(new QCheckBox(text(window::Centred), m_Frame6), "centrer",
        twips(120, 240, 1215, 255), verdana(NormalPoints));
    m_centrer->setChecked(true);
    m_italique = place(new QCheckBox(text(window::Italic), m_Frame6), "italique",
        twips(120, 600, 975, 255), verdana(NormalPoints, false, true));
    m_gras = place(new QCheckBox(text(window::Bold), m_Frame6), "gras", twips(120, 840, 1095, 255),
        verdana(NormalPoints, true));
}

void FrmHTML::initInformationFrame()
{
    m_Frame7
        = groupBox(this, "Frame7", text(window::InformationFrame), twips(8400, 1320, 2535, 1935));
    m_Label2 = fieldLabel(m_Frame7, "Label2", text(window::Author), twips(120, 240, 735, 255));
    m_Label7 = valueLabel(
        m_Frame7, "Label7", text(window::AuthorName), twips(840, 240, 1695, 255), NormalPoints);
    m_Label11 = fieldLabel(m_Frame7, "Label11", text(window::Birth), twips(120, 480, 1575, 255));
    m_Label12 = valueLabel(
        m_Frame7, "Label12", text(window::BirthDate), twips(1680, 520, 855, 135), SmallPoints);
    m_Label5 = fieldLabel(m_Frame7, "Label5", text(window::Blog), twips(120, 840, 2415, 255));
    m_Label9 = place(new LinkLabel(QStringLiteral("https://example.org/blog"),
                         QUrl(QStringLiteral("https://example.org/blog")), m_Frame7),
        "Label9", twips(120, 1080, 2415, 255), verdana(NormalPoints));
    m_Label6 = fieldLabel(m_Frame7, "Label6", text(window::Site), twips(120, 1400, 2415, 255));
    m_Label10 = place(new LinkLabel(QStringLiteral("www.example.org"),
                          QUrl(QStringLiteral("https://www.example.org/mosaiq/")), m_Frame7),
        "Label10", twips(120, 1560, 2415, 255), verdana(NormalPoints));
    // place() sets a plain font; the links keep their underline.
    for (LinkLabel* link : { m_Label9, m_Label10 }) {
        QFont font = link->font();
        font.setUnderline(true);
        link->setFont(font);
    }
}

void FrmHTML::initActionStrip()
{
    m_Frame4 = groupBox(this, "Frame4", QString(), twips(3360, 1680, 4935, 735));
    // Wider than Verdana needs: in the sans-serif that stands in for Verdana the caption would lose
    // its colon, and nothing else shares its line.
    m_Label1
        = fieldLabel(m_Frame4, "Label1", text(window::PicturePath), twips(120, 120, 2775, 180));
    m_TxtPic = flatTextBox(m_Frame4, "TxtPic", QString(), twips(120, 360, 4335, 225));
    m_TxtPic->setReadOnly(true);
    m_CmdPicBrowse
        = button(m_Frame4, "CmdPicBrowse", text(window::Browse), twips(4560, 360, 255, 225));

    m_Frame5 = groupBox(this, "Frame5", QString(), twips(3360, 2400, 4935, 855));
    m_pourCent = valueLabel(
        m_Frame5, "pourCent", QStringLiteral("0%"), twips(2040, 120, 2775, 135), SmallPoints);
    m_bar1 = place(
        new QProgressBar(m_Frame5), "bar1", twips(2040, 240, 2775, 135), verdana(NormalPoints));
    m_bar1->setRange(0, 100);
    m_bar1->setValue(0);
    m_bar1->setTextVisible(false);
    m_Label8 = fieldLabel(m_Frame5, "Label8", text(window::Background), twips(120, 360, 1455, 255));
    m_PicColour = place(
        new ColourSwatch(m_Frame5), "PicColour", twips(1560, 360, 255, 255), verdana(NormalPoints));
    m_CmdGo = button(m_Frame5, "CmdGo", text(window::Create), twips(2040, 480, 1455, 255),
        QColor(192, 255, 192), true);
    m_Command5 = button(m_Frame5, "Command5", text(window::Stop), twips(3480, 480, 1335, 255),
        QColor(255, 192, 192), true);
}

void FrmHTML::initTabs()
{
    m_SSTab1 = place(
        new QTabWidget(this), "SSTab1", twips(120, 3360, 10815, 7575), verdana(NormalPoints));
    m_SSTab1->setTabPosition(QTabWidget::South);
    m_SSTab1->setDocumentMode(false);
    m_SSTab1->tabBar()->setFont(verdana(NormalPoints));
    // Three tabs of equal width share the whole edge, 20 pixels high at the usual text size.
    m_SSTab1->setStyleSheet(QStringLiteral("QTabBar::tab { height: %1px; width: %2px; }")
                                .arg(m_layout.pixels(20))
                                .arg(m_SSTab1->width() / 3 - 4));

    // The preview tab holds the web engine and, for pages too large for it, a preview of our own
    // in the same place.
    m_preview = new PreviewPane(m_desktop);
    m_preview->setObjectName(QStringLiteral("SSTab1Page0"));
    m_preview->setFont(verdana(NormalPoints));
    m_web1 = place(m_preview->web(), "web1", twips(120, 120, 10575, 6975), verdana(NormalPoints));
    m_preview->setPreviewGeometry(m_web1->geometry());
    m_web1->setUrl(QUrl(QStringLiteral("about:blank")));
    m_SSTab1->addTab(m_preview, text(window::PreviewTab));

    auto codePage = [this](const char* pageName, const char* paneName, const char* buttonName,
                        CodePane*& pane, QPushButton*& copy) {
        auto* page = new QWidget;
        page->setObjectName(QLatin1String(pageName));
        pane = place(
            new CodePane(page), paneName, twips(120, 120, 10575, 6615), verdana(NormalPoints));
        copy = button(page, buttonName, text(window::Copy), twips(120, 6795, 10575, 285),
            QColor(192, 255, 255), true);
        return page;
    };
    m_SSTab1->addTab(codePage("SSTab1Page1", "skyblogrich", "Command4", m_skyblogrich, m_Command4),
        text(window::BlogCodeTab));
    m_SSTab1->addTab(codePage("SSTab1Page2", "htmlrich", "Command3", m_htmlrich, m_Command3),
        text(window::HtmlCodeTab));
    m_SSTab1->setCurrentIndex(0);
}

void FrmHTML::initHiddenControls()
{
    // Kept off the client area as well as hidden, so that nothing could ever show them.
    int top = 0;
    const int left = width() + 25;
    auto hidden = [this, &top, left](QWidget* widget, const char* name, int height = 20) {
        place(widget, name, QRect(left, top, 120, height), hiddenFont());
        widget->hide();
        top += height + 4;
        return widget;
    };
    m_txtArret = static_cast<QLineEdit*>(hidden(new QLineEdit(this), "txtArret"));
    m_PicLoad = static_cast<PictureBox*>(hidden(new PictureBox(this), "PicLoad"));
    m_ChkRed
        = static_cast<QCheckBox*>(hidden(new QCheckBox(QStringLiteral("Use Red"), this), "ChkRed"));
    m_ChkGreen = static_cast<QCheckBox*>(
        hidden(new QCheckBox(QStringLiteral("Use Green"), this), "ChkGreen"));
    m_ChkBlue = static_cast<QCheckBox*>(
        hidden(new QCheckBox(QStringLiteral("Use Blue"), this), "ChkBlue"));
    for (QCheckBox* channel : { m_ChkRed, m_ChkGreen, m_ChkBlue })
        channel->setChecked(true);
    m_CmbFont = static_cast<QComboBox*>(hidden(new QComboBox(this), "CmbFont"));
    m_CmbFont->setEditable(false);
    m_TxtSize
        = static_cast<QLineEdit*>(hidden(new QLineEdit(QStringLiteral("8"), this), "TxtSize"));
    m_TxtTitle = static_cast<QLineEdit*>(hidden(new QLineEdit(this), "TxtTitle"));
    m_TxtTitle->setStyleSheet(QStringLiteral("QLineEdit { background: white; }"));
    m_CmdPreview = static_cast<QPushButton*>(
        hidden(new QPushButton(QStringLiteral("View Preview"), this), "CmdPreview"));
    m_TxtHTML = static_cast<QLineEdit*>(hidden(new QLineEdit(this), "TxtHTML"));
    m_TxtHTML->setReadOnly(true);
    m_TxtHTML->setStyleSheet(QStringLiteral("QLineEdit { background: rgb(224, 224, 224); }"));
    m_CmdHTMLBrowse = static_cast<QPushButton*>(
        hidden(new QPushButton(QStringLiteral("Browse..."), this), "CmdHTMLBrowse"));
}

void FrmHTML::initMenuEntries()
{
    // The entries are never shown: no menu bar, no context menu. They act through their keys.
    m_stopppp = new QMenu(QStringLiteral("stopppp"), this);
    m_stopppp->setObjectName(QStringLiteral("stopppp"));
    m_creerer = m_stopppp->addAction(QStringLiteral("creer"));
    m_creerer->setObjectName(QStringLiteral("creerer"));
    m_creerer->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    m_stoper = m_stopppp->addAction(QStringLiteral("stop"));
    m_stoper->setObjectName(QStringLiteral("stoper"));
    m_stoper->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    for (QAction* action : { m_creerer, m_stoper }) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

void FrmHTML::initTabOrder()
{
    const QList<QWidget*> order { m_OptColour[0], m_OptColour[1], m_OptColour[2], m_OptColour[3],
        m_OptColour[4], m_OptText[0], m_OptText[1], m_TxtRepeat, m_SSTab1->tabBar(),
        m_preview->native(), m_web1, m_skyblogrich, m_htmlrich, m_TxtY, m_TxtX, m_Command1,
        m_Command2, m_CmdPicBrowse, m_TxtPic, m_PicColour, m_CmdGo, m_Check1, m_Check2, m_Command3,
        m_Command4, m_Command5, m_gras, m_italique, m_centrer };
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void FrmHTML::fillFontList()
{
    // Nothing reads this hidden list; without a font called Terminal it simply has no selection.
    m_CmbFont->addItems(QFontDatabase::families());
    m_CmbFont->setCurrentIndex(m_CmbFont->findText(QStringLiteral("Terminal")));
}

void FrmHTML::centreOnScreen()
{
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(available.center());
    move(frame.topLeft());
}

} // namespace mosaiq
