// The window on a 1920 x 1080 JPEG at one cell per pixel, driven offscreen as a user would:
// from "Créer" to the start button enabled again with both panes filled, the longest time the
// window went without serving its events, showing the HTML code and jumping to its end, and the
// peak memory of this process (the web engine's own processes are not counted). The plain text
// edit that the panes replace is measured on the same code, on a part of it, side by side.
#include "app/frmhtml.h"
#include "output/widgets/codemimedata.h"
#include "output/widgets/codepane.h"
#include "platform/qtdesktop.h"
#include "support/benchwindow.h"
#include "support/gapwatch.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

using namespace mosaiq;

namespace {

double peakMiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

struct RunFigures {
    double runSeconds = 0, longestGapMs = 0, showTabMs = 0, scrollEndMs = 0;
    std::size_t htmlBytes = 0, blogBytes = 0;
};

RunFigures runOnce(FrmHTML& window, bool square)
{
    RunFigures figures;
    auto* letter = control<QCheckBox>(window, "Check1");
    auto* squareBox = control<QCheckBox>(window, "Check2");
    // A click on the mode box as the user makes it, so that the interlocks follow.
    QTest::mouseClick(square ? squareBox : letter, Qt::LeftButton);
    auto* tabs = control<QTabWidget>(window, "SSTab1");
    tabs->setCurrentIndex(0);
    QApplication::processEvents();

    GapWatch gaps;
    QTimer::singleShot(0, &window, [&] {
        gaps.start();
        QElapsedTimer run;
        run.start();
        control<QPushButton>(window, "CmdGo")->click();
        figures.runSeconds = run.nsecsElapsed() / 1e9;
        // One more turn: the delivery's last pause ends when the loop is served again.
        QTimer::singleShot(0, &window, [&] {
            figures.longestGapMs = gaps.stopMs();
            QApplication::exit();
        });
    });
    QApplication::exec();
    if (!control<QPushButton>(window, "CmdGo")->isEnabled())
        qFatal("the run did not end");

    auto* html = control<CodePane>(window, "htmlrich");
    figures.htmlBytes = html->code().size();
    figures.blogBytes = control<CodePane>(window, "skyblogrich")->code().size();
    QElapsedTimer timer;
    timer.start();
    tabs->setCurrentIndex(2);
    html->repaint();
    figures.showTabMs = timer.nsecsElapsed() / 1e6;
    timer.restart();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(html, &end);
    html->repaint();
    figures.scrollEndMs = timer.nsecsElapsed() / 1e6;
    return figures;
}

// What the plain text edit does with the first cells of the same code.
void plainTextEdit(
    std::string_view code, std::size_t cells, std::size_t cellBytes, double totalCells)
{
    const QString part
        = QString::fromUtf8(code.data(), qsizetype(std::min(code.size(), cells * cellBytes)));
    QPlainTextEdit edit;
    edit.resize(705, 441);
    QElapsedTimer timer;
    timer.start();
    edit.setPlainText(part);
    edit.show();
    edit.repaint();
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("  plain text edit, %zu cells of that HTML code: %.2f s to set and show "
                "(about %.0f s for the whole code at that rate)\n",
        cells, seconds, seconds * totalCells / double(cells));
}

} // namespace

int main(int argc, char* argv[])
{
    prepareOffscreenWindow();
    QApplication application(argc, argv);

    BenchWindow bench(QStringLiteral("/tmp/mosaiq-window-bench"), 1920, 1080);
    mosaiq::FrmHTML& window = *bench.window;
    mosaiq::FakeDesktop& desktop = bench.desktop;
    const double before = peakMiB();

    std::printf("1920 x 1080 JPEG, 2073600 cells, window offscreen\n");
    RunFigures figures {};
    for (bool square : { false, true }) {
        figures = runOnce(window, square);
        std::printf("%s mode: Créer to CmdGo enabled with both panes filled %.2f s (goal %.1f s); "
                    "longest pause of the event loop %.0f ms (goal 100 ms)\n",
            square ? "square" : "letter", figures.runSeconds, square ? 3.0 : 2.0,
            figures.longestGapMs);
        std::printf("  HTML code %.1f MB, blog code %.1f MB; showing \"Code HTML\" %.1f ms, "
                    "Ctrl+End %.1f ms "
                    "(goal 100 ms each)\n",
            figures.htmlBytes / 1e6, figures.blogBytes / 1e6, figures.showTabMs,
            figures.scrollEndMs);
        std::printf(
            "  peak memory of this process so far: %.0f MiB (goal for the letter run: 450 MiB)\n",
            peakMiB());
        if (!square) {
            // What the "Copier..." button costs the window, and what a paste costs later.
            QtDesktop clipboard;
            QElapsedTimer copy;
            copy.start();
            clipboard.setClipboardData(
                new CodeMimeData(control<CodePane>(window, "htmlrich")->sharedCode()));
            const double copied = copy.nsecsElapsed() / 1e6;
            copy.restart();
            const qsizetype pasted = QGuiApplication::clipboard()->text().size();
            std::printf("  copying the HTML code to the clipboard: %.1f ms; pasting its %lld "
                        "characters: %.0f ms\n",
                copied, static_cast<long long>(pasted), copy.nsecsElapsed() / 1e6);
            // Before the pane of our own: the plain text edit with the same code, on a part of it.
            plainTextEdit(control<CodePane>(window, "htmlrich")->code(), 100000, 30, 2073600.0);
        }
    }
    std::printf("peak memory before the runs: %.0f MiB\n", before);
    if (!desktop.messages.isEmpty())
        std::printf("messages shown: %s\n", qPrintable(desktop.messages.join(" | ")));
    return 0;
}
