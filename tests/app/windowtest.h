#pragma once

#include <QApplication>
#include <QObject>
#include <QTest>

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

} // namespace mosaiq
