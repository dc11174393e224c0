#pragma once

#include "convert/rowloop.h"
#include "image/picturereader.h"
#include "output/codes/sharedcode.h"
#include "output/preview/pagerecord.h"

#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace mosaiq {

// What the window hands over when the user starts a run: the fields as they stand then.
struct RunRequest {
    QString picturePath;
    QString columns; // the size fields' texts
    QString rows;
    bool definedCharactersEmpty = false;
    RunStart start; // all but the row count, which is read from rows
};

// What a run asks of the window while it goes: each row's options, and whether the user asked
// for a stop.
class RunControls : public RunSettings {
public:
    // True when a stop was asked for; the request is taken away by answering true.
    virtual bool takeStopRequest() = 0;
};

// The controller of the window: it owns the picture that runs sample, the page file, the
// stepping of a run, the stop and the delivered codes, and tells the window what happened
// through its signals. A run keeps the window's thread: after each row the window's pending
// events are served once, so a modal message opened then suspends the run until it is closed,
// and an option changed then counts from the next row.
class ConversionSession : public QObject {
    Q_OBJECT
public:
    explicit ConversionSession(QObject* parent = nullptr);
    ~ConversionSession() override;

    // The page every run writes.
    QString previewFile() const { return m_previewFile; }
    void setPreviewFile(const QString& path) { m_previewFile = path; }

    // The picture runs sample. A picture set between two rows is sampled from the next row.
    const Picture& picture() const { return m_picture; }
    void setPicture(const QString& path, Picture picture);

    bool isRunning() const { return m_running; }

    // Checks, writes the page row by row, then delivers the codes, or reports why not. Returns
    // when the run is over. Does nothing while a run is going.
    void run(const RunRequest& request, RunControls& controls);

    // The window is going away: a run ends after its current row, delivering nothing.
    void abandon() { m_abandoned = true; }

    // Extra sinks of the next runs' rows (a picture of the page, for instance).
    void addRowSink(RowSink& sink) { m_extraSinks.push_back(&sink); }

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
    // The picture changed (chosen, or read again at the start of a run).
    void pictureChanged();

private:
    enum class Ending { Delivered, Stopped, Abandoned, Failed };
    void writePage(const RunRequest& request, RunControls& controls);
    bool reloadPicture(const QString& path);
    Ending stepRows(RowLoop& loop, RunControls& controls);
    void fail(const QString& message);

    QString m_previewFile;
    Picture m_picture;
    QString m_picturePath;
    std::string m_pictureStamp; // what the file was when it was read
    bool m_running = false;
    bool m_abandoned = false;
    std::vector<RowSink*> m_extraSinks;
    std::shared_ptr<PageRecord> m_pageRecord;
    SharedCode m_htmlCode;
    SharedCode m_blogCode;
};

} // namespace mosaiq
