#pragma once

#include "app/frmhtml.h"
#include "support/benchpicture.h"
#include "support/fakedesktop.h"
#include "support/offscreen.h"

#include <QCoreApplication>
#include <QDir>
#include <QObject>
#include <QPushButton>
#include <QString>

#include <memory>

// The control called name in window.
template <typename Widget> Widget* control(const QObject& window, const char* name)
{
    auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no control %s", name);
    return widget;
}

// The window shown offscreen, its page in folder, with a photo-like picture of width x height
// made there and chosen through the picture dialog.
struct BenchWindow {
    BenchWindow(const QString& folder, int width, int height)
    {
        QDir().mkpath(folder);
        const QString picture = folder + QStringLiteral("/photo-%1x%2.jpg").arg(width).arg(height);
        makeBenchPicture(picture, width, height);
        window = std::make_unique<mosaiq::FrmHTML>(desktop);
        window->setPreviewFile(folder + QStringLiteral("/temp.html"));
        window->show();
        desktop.fileAnswers << picture;
        control<QPushButton>(*window, "CmdPicBrowse")->click();
    }

    mosaiq::FakeDesktop desktop;
    std::unique_ptr<mosaiq::FrmHTML> window;
};
