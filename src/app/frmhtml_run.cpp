// The start command and what follows it: the window hands its fields to the session, answers
// the session's questions from its controls while the run goes, and shows what it reports.
#include "app/frmhtml.h"

#include "app/colourswatch.h"
#include "app/modecheckbox.h"
#include "app/picturebox.h"
#include "convert/numbertext.h"
#include "output/widgets/codepane.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace mosaiq {

namespace {

    double fieldValue(const QLineEdit* field)
    {
        return numericValue(field->text().toUtf8().toStdString());
    }

} // namespace

void FrmHTML::initSession()
{
    connect(&m_session, &ConversionSession::refused, this, [this](const QString& message) {
        m_CmdGo->setEnabled(true);
        inform(message);
    });
    connect(&m_session, &ConversionSession::rowWritten, this, [this](qint64 row, int percent) {
        showProgress(percent);
        emit rowWritten(row);
    });
    connect(&m_session, &ConversionSession::delivered, this, &FrmHTML::DeliverRun);
    connect(&m_session, &ConversionSession::stopped, this, [this](const QString& message) {
        if (!message.isEmpty())
            inform(message);
    });
    connect(&m_session, &ConversionSession::failed, this, [this](const QString& message) {
        m_CmdGo->setEnabled(true);
        showProgress(0);
        inform(message);
    });
    // The hidden controls mirror the session: the picture box its picture, the stop flag its
    // request.
    connect(&m_session, &ConversionSession::pictureChanged, this,
        [this] { m_PicLoad->setPicture(m_session.picture()); });
    connect(&m_session, &ConversionSession::stopRequestChanged, this, [this](bool requested) {
        m_txtArret->setText(requested ? QStringLiteral("STOP") : QString());
    });
    connect(&m_session, &ConversionSession::pictureChosen, this, &FrmHTML::showChosenPicture);
    connect(&m_session, &ConversionSession::pictureNotLoaded, this, &FrmHTML::inform);
}

void FrmHTML::RunConversion()
{
    // Ctrl+D still reaches here from the events served between rows.
    if (m_session.isRunning())
        return;
    m_CmdGo->setEnabled(false);

    RunRequest request;
    request.columns = m_TxtX->text();
    request.rows = m_TxtY->text();
    request.definedCharactersEmpty = m_TxtRepeat->text().isEmpty();
    RunStart& start = request.start;
    start.glyphSource = m_OptText[1]->isChecked() ? GlyphSource::Defined : GlyphSource::Random;
    start.channels = { m_ChkRed->isChecked(), m_ChkGreen->isChecked(), m_ChkBlue->isChecked() };
    start.treatment = ColourTreatment::SourceColours;
    for (int i = 0; i < int(m_OptColour.size()); ++i) {
        if (m_OptColour[i]->isChecked()) {
            start.treatment = static_cast<ColourTreatment>(i);
            break;
        }
    }
    const QColor background = m_PicColour->colour();
    start.background = makeColour(background.red(), background.green(), background.blue());
    start.style = closingStyle();
    m_session.run(request, *this);
}

RowInput FrmHTML::rowInput()
{
    const QList<uint> characters = m_TxtRepeat->text().toUcs4();
    m_definedCharacters.assign(characters.cbegin(), characters.cend());
    RowInput input;
    input.columns = fieldValue(m_TxtX);
    input.rows = fieldValue(m_TxtY);
    input.mode = m_Check1->isChecked() ? CellMode::Letter : CellMode::Square;
    input.definedCharacters = m_definedCharacters;
    return input;
}

StyleFlags FrmHTML::closingStyle()
{
    return { m_gras->isChecked(), m_italique->isChecked(), m_centrer->isChecked() };
}

void FrmHTML::DeliverRun()
{
    navigatePreview();
    m_skyblogrich->setCode(m_session.blogCode());
    m_htmlrich->setCode(m_session.htmlCode());
    m_CmdGo->setEnabled(true);
    showProgress(0);
}

} // namespace mosaiq
