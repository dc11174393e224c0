#include "app/conversionsession.h"

#include "convert/numbertext.h"
#include "image/picturechoice.h"
#include "output/codes/codecollector.h"
#include "output/codes/outputtarget.h"
#include "output/codes/pagefile.h"
#include "wording/runmessages.h"
#include "wording/windowwords.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <new>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

    // An earlier page is removed rather than emptied: a file emptied and written again is written
    // out whole as it closes (the file system guards a replaced file so), a pause of hundreds of
    // milliseconds after the last row of a large page; a new file is not. Giving back the blocks
    // of a large page takes as long again, so the last descriptor of the old one is closed on a
    // thread of its own. The new file is made where the links lead, with the old one's
    // permission bits, owner and group; a page that a new file would part from something (other
    // names, a device, a foreign owner) is emptied and written in place instead, as always
    // row by row.
    bool openPage(PageFile& page, const QString& path)
    {
        const std::string name = QFile::encodeName(path).toStdString();
        const OutputTarget target = resolveOutputTarget(name);
        switch (target.way) {
        case OutputTarget::Way::Refused:
            page.refuse(target.reasonText());
            return false;
        case OutputTarget::Way::Replace: {
            std::string created;
            if (target.exists) {
                const int earlier = ::open(target.path.c_str(), O_RDONLY | O_CLOEXEC);
                ::unlink(target.path.c_str());
                if (earlier >= 0)
                    std::thread([earlier] { ::close(earlier); }).detach();
            }
            const int descriptor = createLikeTarget(target, false, created);
            // Something made the name again meanwhile: it is written in place.
            if (descriptor >= 0 || errno != EEXIST)
                return page.adopt(descriptor);
            break;
        }
        case OutputTarget::Way::StandardOutput:
        case OutputTarget::Way::InPlace:
        case OutputTarget::Way::Refill:
            break;
        }
        return page.open(name);
    }

    // The window's options for each row, with the session's picture as it is at that row.
    class SessionSettings : public RunSettings {
    public:
        SessionSettings(RunControls& controls, const Picture& picture)
            : m_controls(controls)
            , m_picture(picture)
        {
        }
        RowInput rowInput() override
        {
            RowInput input = m_controls.rowInput();
            input.picture = m_picture.pixels();
            return input;
        }
        StyleFlags closingStyle() override { return m_controls.closingStyle(); }

    private:
        RunControls& m_controls;
        const Picture& m_picture;
    };

} // namespace

ConversionSession::ConversionSession(QObject* parent)
    : QObject(parent)
{
}

ConversionSession::~ConversionSession() = default;

void ConversionSession::setPicture(const QString& path, Picture picture)
{
    m_pictureStamp = fileStamp(path);
    m_picturePath = path;
    m_picture = std::move(picture);
    emit pictureChanged();
}

void ConversionSession::run(const RunRequest& request, RunControls& controls)
{
    // One run at a time: the page file is open for the whole run, and Ctrl+D still reaches
    // here from the events served between rows.
    if (m_running)
        return;
    m_running = true;
    m_abandoned = false;
    // A grid within the limits can still need more memory than the machine gives: the run ends
    // with a message, its page closed and the codes as they were.
    try {
        writePage(request, controls);
    } catch (const std::bad_alloc&) {
        fail(QString::fromUtf8(window::NotEnoughMemory));
    }
    m_running = false;
}

bool ConversionSession::reloadPicture(const QString& path)
{
    // Every run samples the file as it is now, not as it was when it was chosen. An unchanged
    // file is not decoded again, so that a huge picture is never held twice; a changed one is,
    // and the picture already loaded stays if the new one cannot be read.
    const std::string stamp = fileStamp(path);
    if (!stamp.empty() && stamp == m_pictureStamp && path == m_picturePath && !m_picture.isNull())
        return true;
    Picture picture = readPicture(path);
    if (picture.isNull()) {
        m_running = false;
        emit refused(pictureLoadMessage(path, picture));
        return false;
    }
    m_pictureStamp = stamp;
    m_picturePath = path;
    m_picture = std::move(picture);
    emit pictureChanged();
    return true;
}

void ConversionSession::writePage(const RunRequest& request, RunControls& controls)
{
    const QByteArray picturePath = request.picturePath.toUtf8();
    const QByteArray columns = request.columns.toUtf8();
    const QByteArray rows = request.rows.toUtf8();
    StartFields fields;
    fields.picturePath = std::string_view(picturePath.constData(), std::size_t(picturePath.size()));
    fields.columns = std::string_view(columns.constData(), std::size_t(columns.size()));
    fields.rows = std::string_view(rows.constData(), std::size_t(rows.size()));
    fields.glyphSource = request.start.glyphSource;
    fields.definedCharactersEmpty = request.definedCharactersEmpty;
    if (const StartCheck check = checkStart(fields); check != StartCheck::Passed) {
        m_running = false;
        emit refused(QString::fromUtf8(startCheckMessage(check)));
        return;
    }
    if (!reloadPicture(request.picturePath))
        return;

    RunStart start = request.start;
    start.rows = numericValue(fields.rows);
    PageFile page;
    if (!openPage(page, m_previewFile)) {
        m_running = false;
        emit refused(pageFileText(m_previewFile, page));
        return;
    }
    // Flushed row by row: the stop button shows the page while the run still holds it open.
    page.flushEachLine(true);

    SessionSettings settings(controls, m_picture);
    RowLoop loop(start, settings, page);
    CodeCollector codes(loop.rowCount());
    // Beside the page, which the run can write to: the codes of a large page would otherwise
    // take more of the program's memory than the rest of it together.
    codes.spoolTo(QFile::encodeName(QFileInfo(m_previewFile).absolutePath()).toStdString());
    loop.addSink(codes);
    for (RowSink* sink : m_extraSinks)
        loop.addSink(*sink);
    // The page file now holds this run's page, whatever becomes of the run.
    m_pageRecord = std::make_shared<PageRecord>(start.background, start.style);
    loop.addSink(*m_pageRecord);

    switch (stepRows(loop, controls)) {
    case Ending::Delivered:
        m_pageRecord->setComplete();
        break;
    case Ending::Stopped:
        m_running = false;
        // The start button stays as the stop command left it; only a failure is told.
        emit stopped(page.close() ? QString() : pageFileText(m_previewFile, page));
        return;
    case Ending::Abandoned:
        // The window is gone: nothing left to show the codes in, nor a message.
        page.close();
        return;
    case Ending::Failed:
        page.close();
        if (loop.refusal() != RowOutcome::Written)
            fail(QString::fromUtf8(rowOutcomeMessage(loop.refusal())));
        else
            fail(pageFileText(m_previewFile, page));
        return;
    }
    if (!page.close()) {
        fail(pageFileText(m_previewFile, page));
        return;
    }
    // The style boxes are read as the run ends, not as it began: a box ticked meanwhile counts.
    const StyleFlags style = controls.closingStyle();
    m_blogCode = codes.takeBlogCode(style);
    m_htmlCode = codes.takeHtmlCode(style);
    m_running = false;
    emit delivered();
}

ConversionSession::Ending ConversionSession::stepRows(RowLoop& loop, RunControls& controls)
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
        if (controls.takeStopRequest())
            return Ending::Stopped;
    }
}

void ConversionSession::fail(const QString& message)
{
    m_running = false;
    emit failed(message);
}

} // namespace mosaiq
