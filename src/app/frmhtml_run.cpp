// The start command: a run writes the page row by row on the window's own thread, pausing
// after each row to serve the window, then hands its codes to the panes.
#include "app/frmhtml.h"

#include "app/colourswatch.h"
#include "app/modecheckbox.h"
#include "app/picturebox.h"
#include "convert/conversionrun.h"
#include "convert/numbertext.h"
#include "image/picturechoice.h"
#include "output/blogcode.h"
#include "output/codepane.h"
#include "output/pagefile.h"
#include "wording/runmessages.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <new>

namespace mosaiq {

namespace {

    double fieldValue(const QLineEdit* field)
    {
        return numericValue(field->text().toUtf8().toStdString());
    }

    QString pageFileText(const QString& path, const PageFile& page)
    {
        return QStringLiteral("Impossible d'écrire la page d'aperçu :\r\n%1\r\n%2")
            .arg(QDir::toNativeSeparators(path), QString::fromStdString(page.errorText()));
    }

    // Room for rows like the first, capped so that a strange estimate cannot fail the run.
    void reserveCodes(
        std::string& htmlRows, std::string& blogRows, std::size_t rowBytes, qint64 rows)
    {
        constexpr double Cap = 1.5e9;
        const double html = std::min(Cap, double(rowBytes) * double(rows) + 64);
        htmlRows.reserve(std::size_t(html));
        // A letter cell of 30 bytes is 16 in the blog code, a square cell of 77 is 31.
        blogRows.reserve(std::size_t(html * 0.55));
    }

} // namespace

void FrmHTML::RunConversion()
{
    // One run at a time: the page file is open for the whole run, and Ctrl+D still reaches
    // here while the start button is disabled.
    if (m_running)
        return;
    // A grid within the limits can still need more memory than the machine gives: the run ends
    // with a message, its page closed and the panes as they were.
    try {
        runConversion();
    } catch (const std::bad_alloc&) {
        failRun(
            QStringLiteral("Mémoire insuffisante pour créer ce code : réduisez les dimensions."));
    }
}

void FrmHTML::runConversion()
{
    m_running = true;
    m_closeRequested = false;
    m_CmdGo->setEnabled(false);
    // A stop asked for while no run was going belongs to no run.
    m_txtArret->clear();

    const QByteArray picturePath = m_TxtPic->text().toUtf8();
    const QByteArray columns = m_TxtX->text().toUtf8();
    const QByteArray rows = m_TxtY->text().toUtf8();
    StartFields fields;
    fields.columns = std::string_view(columns.constData(), std::size_t(columns.size()));
    fields.rows = std::string_view(rows.constData(), std::size_t(rows.size()));
    fields.picturePath = std::string_view(picturePath.constData(), std::size_t(picturePath.size()));
    fields.glyphSource = m_OptText[1]->isChecked() ? GlyphSource::Defined : GlyphSource::Random;
    fields.definedCharactersEmpty = m_TxtRepeat->text().isEmpty();
    if (const StartCheck check = checkStart(fields); check != StartCheck::Passed) {
        endRun();
        inform(QString::fromUtf8(startCheckMessage(check)));
        return;
    }

    RunStart start;
    start.glyphSource = fields.glyphSource;
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
    start.style = { m_gras->isChecked(), m_italique->isChecked(), m_centrer->isChecked() };
    start.rows = fieldValue(m_TxtY);

    // Every run samples the file as it is now, not as it was when it was chosen.
    const QString path = m_TxtPic->text();
    Picture picture = readPicture(path);
    if (picture.isNull()) {
        endRun();
        inform(pictureLoadMessage(path, picture));
        return;
    }
    m_PicLoad->setPicture(std::move(picture));

    ConversionRun run(start);
    PageFile page;
    if (!page.open(QFile::encodeName(m_previewFile).toStdString())
        || !page.writeLine(run.header())) {
        page.close();
        endRun();
        inform(pageFileText(m_previewFile, page));
        return;
    }

    std::string htmlRows, blogRows;
    if (!runRows(page, run, htmlRows, blogRows))
        return;

    const StyleFlags style { m_gras->isChecked(), m_italique->isChecked(), m_centrer->isChecked() };
    page.writeLine(trailerLine(style));
    if (!page.close()) {
        failRun(pageFileText(m_previewFile, page));
        return;
    }
    m_running = false;
    DeliverRun(std::move(htmlRows), std::move(blogRows));
}

bool FrmHTML::runRows(
    PageFile& page, ConversionRun& run, std::string& htmlRows, std::string& blogRows)
{
    std::u32string definedCharacters;
    while (!run.finished()) {
        const QList<uint> characters = m_TxtRepeat->text().toUcs4();
        definedCharacters.assign(characters.cbegin(), characters.cend());
        RowInput input;
        input.columns = fieldValue(m_TxtX);
        input.rows = fieldValue(m_TxtY);
        input.mode = m_Check1->isChecked() ? CellMode::Letter : CellMode::Square;
        input.definedCharacters = definedCharacters;
        // Taken again for every row: a picture chosen between rows is sampled from the next one.
        input.picture = m_PicLoad->picture().pixels();

        const RowOutcome outcome = run.buildRow(input);
        if (outcome != RowOutcome::Written) {
            page.close();
            failRun(QString::fromUtf8(rowOutcomeMessage(outcome)));
            return false;
        }
        // Flushed row by row: the stop button shows the page while the run still holds it open.
        if (!page.writeLine(run.pageRow()) || !page.flush()) {
            page.close();
            failRun(pageFileText(m_previewFile, page));
            return false;
        }
        // Growing a code of tens of megabytes by doubling would copy it again and again and
        // hold two copies at the peak; once the first row shows the size, ask for it all.
        if (run.rowsDone() == 1)
            reserveCodes(htmlRows, blogRows, run.row().size(), run.rowCount());
        htmlRows.append(run.row());
        // Translated row by row, the blog code costs no long pause at the end of the run.
        appendBlogCode(blogRows, run.row());

        showProgress(progressPercent(run.rowsDone(), input.rows));
        emit rowWritten(run.rowsDone());
        QCoreApplication::processEvents();

        if (m_closeRequested) {
            // The window is gone: nothing left to show the codes in, nor a message.
            page.close();
            m_running = false;
            return false;
        }
        if (m_txtArret->text() == QLatin1String("STOP")) {
            m_txtArret->clear();
            m_running = false;
            // The start button stays as the stop command left it; only a failure is told.
            if (!page.close())
                inform(pageFileText(m_previewFile, page));
            return false;
        }
    }
    return true;
}

void FrmHTML::endRun()
{
    m_running = false;
    m_CmdGo->setEnabled(true);
}

void FrmHTML::failRun(const QString& message)
{
    endRun();
    showProgress(0);
    inform(message);
}

void FrmHTML::DeliverRun(std::string htmlRows, std::string blogCode)
{
    navigatePreview();
    // The boxes are read as the run ends, not as it began: a box ticked meanwhile counts here.
    const bool bold = m_gras->isChecked();
    const bool italic = m_italique->isChecked();
    const bool centred = m_centrer->isChecked();
    WrapBlogCode(blogCode, bold, italic, centred);
    WrapHtmlCode(htmlRows, bold, italic, centred);
    m_skyblogrich->setCode(std::move(blogCode));
    m_htmlrich->setCode(std::move(htmlRows));
    m_CmdGo->setEnabled(true);
    showProgress(0);
}

} // namespace mosaiq
