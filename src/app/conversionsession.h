#pragma once

#include "convert/rowloop.h"
#include "image/picturereader.h"
#include "output/codes/sharedcode.h"
#include "output/files/pagefile.h"
#include "output/preview/pagerecord.h"

#include <QObject>
#include <QString>

#include <memory>
#include <string>

namespace mosaiq {

// What the window hands over when the user starts a run: the fields as they stand then.
struct RunRequest {
    QString columns; // the size fields' texts
    QString rows;
    bool definedCharactersEmpty = false;
    RunStart start; // all but the row count, which is read from rows
};

// The controller of the window: it owns the picture that runs sample, the stop request, the
// page file, the stepping of a run, the random characters and the delivered codes, and tells the
// window what happened through its signals; the window's controls mirror what it reports. A run
// keeps the window's thread: after each row the window's pending events are served once, so a
// modal message opened then suspends the run until it is closed, and an option changed then
// counts from the next row.
class ConversionSession : public QObject {
    Q_OBJECT
public:
    explicit ConversionSession(QObject* parent = nullptr);
    ~ConversionSession() override;

    // The page every run writes.
    QString previewFile() const { return m_previewFile; }
    void setPreviewFile(const QString& path) { m_previewFile = path; }

    // Reads the picture at path for the next runs, or tells why it cannot (and keeps the one it
    // had). A picture chosen between two rows is sampled from the next row, with its own size.
    void choosePicture(const QString& path);
    // The picture runs sample, and the file it was read from; empty before any choice.
    const Picture& picture() const { return m_picture; }
    QString picturePath() const { return m_picturePath; }

    // Asks the run going on to stop after its current row. A request made while no run is going
    // is dropped when the next run starts: it belongs to no run.
    void requestStop();
    bool isStopRequested() const { return m_stopRequested; }

    bool isRunning() const { return m_running; }

    // Checks, writes the page row by row, then delivers the codes, or reports why not. Returns
    // when the run is over, and reports how it ended once it is. Does nothing while a run is
    // going.
    void run(const RunRequest& request, RunSettings& settings);

    // The window is going away: a run ends after its current row, delivering nothing.
    void abandon() { m_abandoned = true; }

    // What the page file holds, cell by cell, as the last run that wrote it wrote it (the run
    // going on, during a run); null before any. The preview draws from it when the page is too
    // large for the web engine.
    std::shared_ptr<const PageRecord> pageRecord() const { return m_pageRecord; }

    // The codes of the last delivered run, wrapped in the style tags chosen at its end.
    const SharedCode& htmlCode() const { return m_htmlCode; }
    const SharedCode& blogCode() const { return m_blogCode; }

signals:
    // A start check failed, or the picture or the page could not be opened: nothing was
    // written and the progress stays as it was.
    void refused(const QString& message);
    // Row `row` is written; `percent` is the progress to show. The window's events are served
    // right after.
    void rowWritten(qint64 row, int percent);
    // The page is complete and the codes are ready.
    void delivered();
    // The run acted on a stop request; the page keeps the rows written so far. message is empty
    // unless the page could not be closed.
    void stopped(const QString& message);
    // The run broke off after it had started writing.
    void failed(const QString& message);
    // The user's choice of picture was read: picturePath() and picture() are the new ones.
    void pictureChosen();
    // The chosen file could not be read; nothing changed.
    void pictureNotLoaded(const QString& message);
    // The picture changed (chosen, or read again at the start of a run).
    void pictureChanged();
    // A stop was asked for, or the request was dropped or acted on.
    void stopRequestChanged(bool requested);

private:
    enum class Ending { Refused, Delivered, Stopped, Abandoned, Failed };
    struct RunEnd {
        Ending ending = Ending::Delivered;
        QString message;
    };
    RunEnd writePage(const RunRequest& request, RunSettings& settings);
    QString reloadPicture();
    Ending stepRows(RowLoop& loop);
    void setPicture(const QString& path, Picture picture);
    void setStopRequested(bool requested);

    QString m_previewFile;
    EarlierPage m_earlierPage; // the page the last run replaced, given back meanwhile
    Picture m_picture;
    QString m_picturePath;
    std::string m_pictureStamp; // what the file was when it was read
    bool m_stopRequested = false;
    bool m_running = false;
    bool m_abandoned = false;
    RandomGlyphs m_random; // one sequence over all the runs of the window
    std::shared_ptr<PageRecord> m_pageRecord;
    SharedCode m_htmlCode;
    SharedCode m_blogCode;
};

} // namespace mosaiq
