#pragma once

#include "app/frmhtml.h"
#include "output/widgets/codepane.h"
#include "support/windowtest.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QList>

#include <functional>

namespace mosaiq {

// The page a run of the 2 x 2 picture (red, green / blue, white) writes, piece by piece.
inline const QByteArray PageHead
    = "<HTML><HEAD><Title>apercu</title></HEAD><Body bgcolor=\"#000000\" "
      "style=\"font-family: Verdana; font-size: 7.5pt\">";
inline const QByteArray PageTail = "<br></FONT></BODY></HTML>";

inline QByteArray letterCell(const char* colour, char glyph = 'o')
{
    return QByteArray("<font color=\"") + colour + "\">" + glyph + "</font>";
}

inline QByteArray squareCell(const char* colour, char glyph = '8')
{
    return QByteArray("<span style=\"background-color: ") + colour + "\">"
        + letterCell(colour, glyph) + "</span>";
}

// The rows of that picture on a 2 x 2 grid, in letter mode with the start-up "o".
inline const QByteArray TopRow = letterCell("#FF0000") + letterCell("#00FF00") + "<br>";
inline const QByteArray BottomRow = letterCell("#0000FF") + letterCell("#FFFFFF") + "<br>";

// A window to run in, with the picture above and the page read back line by line.
class RunFixture : public WindowFixture {
protected:
    template <typename Widget> Widget* ui(const char* name) const
    {
        return control<Widget>(*m_window, QString::fromLatin1(name));
    }

    QString makePicture()
    {
        QImage image(2, 2, QImage::Format_RGB32);
        image.setPixel(0, 0, qRgb(255, 0, 0));
        image.setPixel(1, 0, qRgb(0, 255, 0));
        image.setPixel(0, 1, qRgb(0, 0, 255));
        image.setPixel(1, 1, qRgb(255, 255, 255));
        const QString path = m_dir->filePath(QStringLiteral("four.png"));
        if (!image.save(path))
            qFatal("could not write %s", qPrintable(path));
        return path;
    }

    void run() { ui<QPushButton>("CmdGo")->click(); }

    // action runs in the run's pause after row `row`, as a user's command would.
    QMetaObject::Connection afterRow(qint64 row, std::function<void()> action)
    {
        return QObject::connect(
            m_window.get(), &FrmHTML::rowWritten, m_window.get(), [row, action](qint64 written) {
                if (written == row)
                    action();
            });
    }

    // The page's lines without their CR LF, or a line saying what is wrong with the line ends.
    QList<QByteArray> pageLines() const
    {
        QFile file(m_window->previewFile());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray bytes = file.readAll();
        if (!bytes.endsWith("\r\n"))
            return { "(no line end at the end)" };
        QList<QByteArray> lines = bytes.split('\n');
        lines.removeLast();
        for (QByteArray& line : lines) {
            if (!line.endsWith('\r'))
                return { "(a line without CR LF)" };
            line.chop(1);
        }
        return lines;
    }

    // Codes as a previous run left them, which a run that does not complete must keep.
    void fillPanes()
    {
        ui<CodePane>("htmlrich")->setCode("previous html");
        ui<CodePane>("skyblogrich")->setCode("previous blog");
    }

    void verifyPanesUnchanged() const
    {
        QCOMPARE(ui<CodePane>("htmlrich")->code(), std::string_view("previous html"));
        QCOMPARE(ui<CodePane>("skyblogrich")->code(), std::string_view("previous blog"));
    }
};

} // namespace mosaiq
