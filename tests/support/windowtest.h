#pragma once

#include "app/frmhtml.h"
#include "support/fakedesktop.h"

#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QObject>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The preview browser needs its shared drawing context asked for before the application
// exists, which QTEST_MAIN does not do.
#define MOSAIQ_WINDOW_TEST_MAIN(TestClass)                                                         \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                \
        QApplication application(argc, argv);                                                      \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

namespace mosaiq {

// The control called name in window; the test stops at once if there is none of that kind.
template <typename Widget> Widget* control(const QObject& window, const QString& name)
{
    auto* widget = window.findChild<Widget*>(name);
    if (!widget)
        qFatal("no control %s of the expected kind", qPrintable(name));
    return widget;
}

// One window with a fake desktop and a folder of its own, opened afresh for every test
// function: call openWindow() from init() and closeWindow() from cleanup().
class WindowFixture {
protected:
    void openWindow()
    {
        QLocale::setDefault(QLocale::c());
        m_dir = std::make_unique<QTemporaryDir>();
        m_desktop = std::make_unique<FakeDesktop>();
        m_window = std::make_unique<FrmHTML>(*m_desktop);
        m_window->setPreviewFile(m_dir->filePath(QStringLiteral("temp.html")));
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void closeWindow()
    {
        m_window.reset();
        m_desktop.reset();
        m_dir.reset();
        QLocale::setDefault(QLocale::c());
    }

    // Chooses path through the picture dialog, as the user would.
    void loadPicture(const QString& path)
    {
        m_desktop->fileAnswers << path;
        control<QPushButton>(*m_window, QStringLiteral("CmdPicBrowse"))->click();
    }

    void setSize(const QString& columns, const QString& rows)
    {
        control<QLineEdit>(*m_window, QStringLiteral("TxtX"))->setText(columns);
        control<QLineEdit>(*m_window, QStringLiteral("TxtY"))->setText(rows);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<FrmHTML> m_window;
};

} // namespace mosaiq
