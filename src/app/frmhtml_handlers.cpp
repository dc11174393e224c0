// What the user does in the window apart from a run: the mode interlocks, the background
// colour, the links, the picture, the output size, the copy and stop commands.
#include "app/frmhtml.h"

#include "app/colourswatch.h"
#include "app/linklabel.h"
#include "app/modecheckbox.h"
#include "app/picturebox.h"
#include "convert/glyph.h"
#include "image/outputsize.h"
#include "image/picturechoice.h"
#include "output/widgets/codemimedata.h"
#include "output/widgets/codepane.h"
#include "output/widgets/previewpane.h"
#include "platform/desktop.h"
#include "wording/windowwords.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <new>

namespace mosaiq {

namespace {

    // The size fields are narrow: a number the program writes is shown from its first digit,
    // not scrolled to its end as typing leaves it.
    void showFromStart(QLineEdit* field, const QString& text)
    {
        field->setText(text);
        field->setCursorPosition(0);
    }

} // namespace

void FrmHTML::initConnections()
{
    // A mode box is a choice, not a toggle: whatever the button or key, clicking "Mode lettre"
    // gives letter mode and clicking "Mode carré" square mode, with exactly one box checked.
    connect(m_Check1, &QCheckBox::clicked, this, &FrmHTML::selectLetterMode);
    connect(m_Check1, &ModeCheckBox::otherButtonClicked, this, &FrmHTML::selectLetterMode);
    connect(m_Check2, &QCheckBox::clicked, this, &FrmHTML::selectSquareMode);
    connect(m_Check2, &ModeCheckBox::otherButtonClicked, this, &FrmHTML::selectSquareMode);
    connect(m_OptTextGroup, &QButtonGroup::idClicked, this, &FrmHTML::optTextClicked);

    connect(m_PicColour, &ColourSwatch::clicked, this, &FrmHTML::chooseBackgroundColour);
    connect(m_Label9, &LinkLabel::clicked, this, &FrmHTML::openLink);
    connect(m_Label10, &LinkLabel::clicked, this, &FrmHTML::openLink);
    connect(m_CmdPicBrowse, &QPushButton::clicked, this, &FrmHTML::browsePicture);
    connect(m_Command1, &QPushButton::clicked, this, [this] { scaleSizes(0.5); });
    connect(m_Command2, &QPushButton::clicked, this, [this] { scaleSizes(2.0); });

    connect(m_CmdGo, &QPushButton::clicked, this, &FrmHTML::RunConversion);
    connect(m_creerer, &QAction::triggered, this, &FrmHTML::RunConversion);
    connect(m_Command5, &QPushButton::clicked, this, &FrmHTML::stopButtonClicked);
    connect(m_stoper, &QAction::triggered, this, &FrmHTML::RequestStop);
    connect(m_Command3, &QPushButton::clicked, this,
        [this] { CopyCode(*m_htmlrich, QString::fromUtf8(window::PasteInPage)); });
    connect(m_Command4, &QPushButton::clicked, this,
        [this] { CopyCode(*m_skyblogrich, QString::fromUtf8(window::PasteInArticle)); });
}

void FrmHTML::selectLetterMode()
{
    m_Check1->setChecked(true);
    m_Check2->setChecked(false);
    m_OptText[0]->setEnabled(true);
    m_OptText[1]->setEnabled(true);
    m_TxtRepeat->setEnabled(true);
}

void FrmHTML::selectSquareMode()
{
    m_Check2->setChecked(true);
    m_Check1->setChecked(false);
    m_OptText[0]->setEnabled(false);
    m_OptText[1]->setEnabled(false);
    m_OptText[1]->setChecked(true);
    m_TxtRepeat->setText(QString(QChar(SquareModeCharacter)));
    m_TxtRepeat->setEnabled(false);
}

void FrmHTML::optTextClicked(int index)
{
    m_TxtRepeat->setEnabled(index == 1);
}

void FrmHTML::chooseBackgroundColour()
{
    if (const auto colour = m_desktop.chooseColour(this, m_PicColour->colour()))
        m_PicColour->setColour(*colour);
}

void FrmHTML::openLink(const QUrl& address)
{
    if (!m_desktop.openUrl(address))
        inform(QString::fromUtf8(window::NoBrowser).arg(address.toString()));
}

void FrmHTML::browsePicture()
{
    const QString path = m_desktop.openFileName(this, pictureFileFilter());
    if (!path.isEmpty())
        m_session.choosePicture(path);
}

void FrmHTML::showChosenPicture()
{
    // The picture's own size replaces whatever the fields held, typed, halved or doubled.
    const QImage& picture = m_session.picture().image;
    m_TxtPic->setText(m_session.picturePath());
    // The thumbnail in device pixels: the box would otherwise stretch it again, smoothly.
    const qreal ratio = m_imghide->devicePixelRatio();
    QPixmap thumbnail
        = QPixmap::fromImage(stretchPicture(picture, m_imghide->contentsRect().size() * ratio));
    thumbnail.setDevicePixelRatio(ratio);
    m_imghide->setPixmap(thumbnail);
    showFromStart(m_TxtX, QString::number(picture.width()));
    showFromStart(m_TxtY, QString::number(picture.height()));
}

void FrmHTML::scaleSizes(double factor)
{
    const ScaledSize result = scaleOutputSize(m_TxtX->text(), m_TxtY->text(), factor, QLocale());
    if (result.error != ScaleError::None) {
        inform(scaleErrorText(result));
        return;
    }
    showFromStart(m_TxtX, result.columns);
    showFromStart(m_TxtY, result.rows);
}

void FrmHTML::CopyCode(const CodePane& pane, const QString& closingSentence)
{
    // The clipboard shares the pane's code and makes the text only when it is pasted, so a
    // code of tens of megabytes is copied at once.
    m_desktop.setClipboardData(new CodeMimeData(pane.sharedCode()));
    inform(QString::fromUtf8(window::CodeCopied) + closingSentence);
}

void FrmHTML::RequestStop()
{
    m_session.requestStop();
}

void FrmHTML::ResetAfterStop()
{
    m_CmdGo->setEnabled(true);
    showProgress(0);
    navigatePreview();
}

void FrmHTML::stopButtonClicked()
{
    RequestStop();
    ResetAfterStop();
}

void FrmHTML::showProgress(int percent)
{
    m_bar1->setValue(percent);
    m_pourCent->setText(QString::number(percent) + QLatin1Char('%'));
}

void FrmHTML::navigatePreview()
{
    // The record tells the preview what the page holds, and so which preview can show it.
    m_preview->showPage(previewFile(), m_session.pageRecord());
    emit previewNavigated(QUrl::fromLocalFile(previewFile()));
}

void FrmHTML::inform(const QString& text)
{
    m_desktop.showInformation(this, title(), text);
}

void FrmHTML::closeEvent(QCloseEvent* event)
{
    // A close that arrives in a run's pause between rows: the run sees it when the pause ends,
    // closes its page and stops, and the program ends once the run has returned.
    if (m_session.isRunning())
        m_session.abandon();
    event->accept();
}

} // namespace mosaiq
