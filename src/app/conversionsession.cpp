#include "app/conversionsession.h"

#include "convert/numbertext.h"
#include "image/picturechoice.h"
#include "output/codes/codecollector.h"
#include "output/files/pagefile.h"
#include "wording/runmessages.h"
#include "wording/windowwords.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <new>

#include <sys/stat.h>

namespace mosaiq {

namespace {

    QString pageFileText(const QString& path, const PageFile& page)
    {
        return QString::fromUtf8(window::PageNotWritten)
            .arg(QDir::toNativeSeparators(path), QString::fromStdString(page.errorText()));
    }

    // What a picture file is now: the same file unchanged decodes to the same pixels, so a run
    // need not read it again. Empty when the file cannot be looked at.
    std::string fileStamp(const QString& path)
    {
        struct stat status;
        if (::stat(QFile::encodeName(path).constData(), &status) != 0)
            return {};
        return std::to_string(status.st_dev) + ':' + std::to_string(status.st_ino) + ':'
            + std::to_string(status.st_size) + ':' + std::to_string(status.st_mtim.tv_sec) + '.'
            + std::to_string(status.st_mtim.tv_nsec) + ':' + std::to_string(status.st_ctim.tv_sec)
            + '.' + std::to_string(status.st_ctim.tv_nsec);
    }

    // The window's options for each row, with the session's picture as it is at that row.
    class SessionSettings : public RunSettings {
    public:
        SessionSettings(RunSettings& window, const Picture& picture)
            : m_window(window)
            , m_picture(picture)
        {
        }
        RowInput rowInput() override
        {
            RowInput input = m_window.rowInput();
            input.picture = m_picture.pixels();
            return input;
        }
        StyleFlags closingStyle() override { return m_window.closingStyle(); }

    private:
        RunSettings& m_window;
        const Picture& m_picture;
    };

} // namespace

ConversionSession::ConversionSession(QObject* parent)
    : QObject(parent)
{
}

ConversionSession::~ConversionSession() = default;

void ConversionSession::choosePicture(const QString& path)
{
    // Nothing changes until the picture is known to be good: a bad file leaves the previous
    // path and picture, so the next run still has something to read.
    Picture picture = readPicture(path);
    if (picture.isNull()) {
        emit pictureNotLoaded(pictureLoadMessage(path, picture));
        return;
    }
    setPicture(path, std::move(picture));
    emit pictureChosen();
}

void ConversionSession::setPicture(const QString& path, Picture picture)
{
    m_pictureStamp = fileStamp(path);
    m_picturePath = path;
    m_picture = std::move(picture);
    emit pictureChanged();
}

void ConversionSession::requestStop()
{
    setStopRequested(true);
}

void ConversionSession::setStopRequested(bool requested)
{
    if (requested == m_stopRequested)
        return;
    m_stopRequested = requested;
    emit stopRequestChanged(requested);
}

void ConversionSession::run(const RunRequest& request, RunSettings& settings)
{
    // One run at a time: the page file is open for the whole run, and Ctrl+D still reaches
    // here from the events served between rows.
    if (m_running)
        return;
    RunEnd end;
    {
        // The session is idle again before the end is told, so that whatever the window does
        // then (a message, the next run) finds it so.
        m_running = true;
        const auto idle = qScopeGuard([this] { m_running = false; });
        m_abandoned = false;
        setStopRequested(false);
        // A grid within the limits can still need more memory than the machine gives: the run
        // ends with a message, its page closed and the codes as they were.
        try {
            end = writePage(request, settings);
        } catch (const std::bad_alloc&) {
            end = { Ending::Failed, QString::fromUtf8(window::NotEnoughMemory) };
        }
    }
    switch (end.ending) {
    case Ending::Refused:
        emit refused(end.message);
        break;
    case Ending::Delivered:
        emit delivered();
        break;
    case Ending::Stopped:
        emit stopped(end.message);
        break;
    case Ending::Failed:
        emit failed(end.message);
        break;
    case Ending::Abandoned:
        // The window is gone: nothing left to show the codes in, nor a message.
        break;
    }
}

QString ConversionSession::reloadPicture()
{
    // Every run samples the file as it is now, not as it was when it was chosen. An unchanged
    // file is not decoded again, so that a huge picture is never held twice; a changed one is,
    // and the picture already loaded stays if the new one cannot be read.
    const std::string stamp = fileStamp(m_picturePath);
    if (!stamp.empty() && stamp == m_pictureStamp && !m_picture.isNull())
        return {};
    Picture picture = readPicture(m_picturePath);
    if (picture.isNull())
        return pictureLoadMessage(m_picturePath, picture);
    setPicture(m_picturePath, std::move(picture));
    return {};
}

ConversionSession::RunEnd ConversionSession::writePage(
    const RunRequest& request, RunSettings& window)
{
    const QByteArray picturePath = m_picturePath.toUtf8();
    const QByteArray columns = request.columns.toUtf8();
    const QByteArray rows = request.rows.toUtf8();
    StartFields fields;
    fields.picturePath = std::string_view(picturePath.constData(), std::size_t(picturePath.size()));
    fields.columns = std::string_view(columns.constData(), std::size_t(columns.size()));
    fields.rows = std::string_view(rows.constData(), std::size_t(rows.size()));
    fields.glyphSource = request.start.glyphSource;
    fields.definedCharactersEmpty = request.definedCharactersEmpty;
    if (const StartCheck check = checkStart(fields); check != StartCheck::Passed)
        return { Ending::Refused, QString::fromUtf8(startCheckMessage(check)) };
    if (QString message = reloadPicture(); !message.isEmpty())
        return { Ending::Refused, message };

    RunStart start = request.start;
    start.rows = numericValue(fields.rows);
    PageFile page;
    if (!openPageInPlace(page, QFile::encodeName(m_previewFile).toStdString(), m_earlierPage))
        return { Ending::Refused, pageFileText(m_previewFile, page) };
    // Flushed row by row: the stop button shows the page while the run still holds it open.
    page.flushEachLine(true);

    SessionSettings settings(window, m_picture);
    RowLoop loop(start, settings, page, m_random);
    CodeCollector codes(loop.rowCount());
    // Beside the page, which the run can write to: the codes of a large page would otherwise
    // take more of the program's memory than the rest of it together.
    codes.spoolTo(QFile::encodeName(QFileInfo(m_previewFile).absolutePath()).toStdString());
    loop.addSink(codes);
    // The page file now holds this run's page, whatever becomes of the run.
    m_pageRecord = std::make_shared<PageRecord>(start.background, start.style);
    loop.addSink(*m_pageRecord);

    const Ending ending = stepRows(loop);
    const bool closed = page.close();
    switch (ending) {
    case Ending::Delivered:
        m_pageRecord->setComplete();
        break;
    case Ending::Stopped:
        // The start button stays as the stop command left it; only a failure is told.
        return { Ending::Stopped, closed ? QString() : pageFileText(m_previewFile, page) };
    case Ending::Failed:
        if (loop.refusal() != RowOutcome::Written)
            return { Ending::Failed, QString::fromUtf8(rowOutcomeMessage(loop.refusal())) };
        return { Ending::Failed, pageFileText(m_previewFile, page) };
    case Ending::Abandoned:
    case Ending::Refused:
        return { ending, QString() };
    }
    if (!closed)
        return { Ending::Failed, pageFileText(m_previewFile, page) };
    // The style boxes are read as the run ends, not as it began: a box ticked meanwhile counts.
    const StyleFlags style = settings.closingStyle();
    m_blogCode = codes.takeBlogCode(style);
    m_htmlCode = codes.takeHtmlCode(style);
    return { Ending::Delivered, QString() };
}

ConversionSession::Ending ConversionSession::stepRows(RowLoop& loop)
{
    for (;;) {
        switch (loop.step()) {
        case LoopStep::RowWritten:
            break;
        case LoopStep::Finished:
            return Ending::Delivered;
        case LoopStep::Refused:
        case LoopStep::PageFailed:
            return Ending::Failed;
        }
        emit rowWritten(loop.rowsDone(), loop.percent());
        QCoreApplication::processEvents();
        if (m_abandoned)
            return Ending::Abandoned;
        if (m_stopRequested) {
            setStopRequested(false);
            return Ending::Stopped;
        }
    }
}

} // namespace mosaiq
