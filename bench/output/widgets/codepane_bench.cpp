// How the code pane compares with a QPlainTextEdit on the codes of a large picture: time to
// set the code, to show and paint it, to scroll to the end and paint, and the growth of the
// process's peak memory. Every measure runs in a child process of its own, so that one
// widget's peak does not hide the other's.
//
//   codepane_bench [cells]      (default 1000000; the QPlainTextEdit side only runs up to
//                                1000000 cells, it needs about 13 s per million)

#include "output/widgets/codepane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

// The size of the code panes on their tab, pixels.
constexpr int paneWidth = 705;
constexpr int paneHeight = 441;
constexpr long plainTextCellLimit = 1000000;

enum class Kind { Html, Blog };

// A picture of cells as the conversion writes it: one HTML line, "<br>" after each row, or the
// blog code of the same cells, CR LF after each row.
std::string makeCode(long cells, Kind kind)
{
    const long columns = 1000;
    std::mt19937 random(1);
    std::string code;
    code.reserve(size_t(cells) * 31 + size_t(cells / columns + 1) * 4);
    char cell[64];
    for (long i = 0; i < cells; ++i) {
        const unsigned colour = random() & 0xFFFFFF;
        if (kind == Kind::Html)
            std::snprintf(cell, sizeof cell, "<font color=\"#%06X\">o</font>", colour);
        else
            std::snprintf(cell, sizeof cell, "[c=#%06X]o[/c]", colour);
        code += cell;
        if ((i + 1) % columns == 0 || i + 1 == cells)
            code += kind == Kind::Html ? "<br>" : "\r\n";
    }
    return code;
}

long peakKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

double elapsedMs(QElapsedTimer& timer)
{
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    return ms;
}

struct Result {
    double set = 0;
    double paint = 0;
    double end = 0;
    double endPaint = 0;
    long peakGrowth = 0;
};

Result measurePane(std::string code)
{
    mosaiq::CodePane pane;
    pane.resize(paneWidth, paneHeight);
    Result result;
    const long before = peakKilobytes();
    QElapsedTimer timer;
    timer.start();
    pane.setCode(std::move(code));
    result.set = elapsedMs(timer);
    pane.show();
    QCoreApplication::processEvents();
    pane.grab();
    result.paint = elapsedMs(timer);
    pane.verticalScrollBar()->setValue(pane.verticalScrollBar()->maximum());
    result.end = elapsedMs(timer);
    pane.grab();
    result.endPaint = result.end + elapsedMs(timer);
    result.peakGrowth = peakKilobytes() - before;
    return result;
}

Result measurePlainText(const std::string& utf8)
{
    QPlainTextEdit edit;
    edit.setReadOnly(true);
    edit.setFont(mosaiq::CodePane().font());
    edit.resize(paneWidth, paneHeight);
    QString code = QString::fromStdString(utf8);
    Result result;
    const long before = peakKilobytes();
    QElapsedTimer timer;
    timer.start();
    edit.setPlainText(code);
    result.set = elapsedMs(timer);
    edit.show();
    QCoreApplication::processEvents();
    edit.grab();
    result.paint = elapsedMs(timer);
    edit.verticalScrollBar()->setValue(edit.verticalScrollBar()->maximum());
    result.end = elapsedMs(timer);
    edit.grab();
    result.endPaint = result.end + elapsedMs(timer);
    result.peakGrowth = peakKilobytes() - before;
    return result;
}

// Runs one measure in a child process and hands its result back through a pipe.
bool runChild(int argc, char** argv, long cells, Kind kind, bool plainText, Result* result)
{
    int channel[2];
    if (pipe(channel) != 0)
        return false;
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        close(channel[0]);
        QApplication app(argc, argv);
        std::string code = makeCode(cells, kind);
        const Result measured = plainText ? measurePlainText(code) : measurePane(std::move(code));
        const bool written = write(channel[1], &measured, sizeof measured) == sizeof measured;
        close(channel[1]);
        std::_Exit(written ? 0 : 1);
    }
    close(channel[1]);
    const bool read = ::read(channel[0], result, sizeof *result) == sizeof *result;
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return read && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void print(const char* widget, const char* what, long cells, double ms)
{
    std::printf("%s %s %ld cells: %.1f ms\n", widget, what, cells, ms);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const long cells = argc > 1 ? std::atol(argv[1]) : plainTextCellLimit;
    if (cells <= 0) {
        std::fprintf(stderr, "usage: codepane_bench [cells]\n");
        return 2;
    }
    for (Kind kind : { Kind::Html, Kind::Blog }) {
        const std::string sample = makeCode(cells, kind);
        std::printf("%s code, %ld cells: %.1f MB, %s\n", kind == Kind::Html ? "html" : "blog",
            cells, double(sample.size()) / 1e6,
            kind == Kind::Html ? "one line" : "one line per row of 1000 cells, CR LF");
        std::fflush(stdout);

        Result pane;
        Result plain;
        const bool plainRuns = cells <= plainTextCellLimit;
        if (!runChild(argc, argv, cells, kind, false, &pane)
            || (plainRuns && !runChild(argc, argv, cells, kind, true, &plain))) {
            std::fprintf(stderr, "a measure failed\n");
            return 1;
        }
        print("codepane", "setCode", cells, pane.set);
        if (plainRuns)
            print("qplaintextedit", "setPlainText", cells, plain.set);
        print("codepane", "show+paint", cells, pane.paint);
        if (plainRuns)
            print("qplaintextedit", "show+paint", cells, plain.paint);
        print("codepane", "scroll to end", cells, pane.end);
        if (plainRuns)
            print("qplaintextedit", "scroll to end", cells, plain.end);
        print("codepane", "scroll to end+paint", cells, pane.endPaint);
        if (plainRuns)
            print("qplaintextedit", "scroll to end+paint", cells, plain.endPaint);
        std::printf(
            "codepane peak RSS growth %ld cells: %.1f MB\n", cells, pane.peakGrowth / 1024.0);
        if (plainRuns)
            std::printf("qplaintextedit peak RSS growth %ld cells: %.1f MB\n", cells,
                plain.peakGrowth / 1024.0);
        std::fflush(stdout);
    }
    return 0;
}
