#include "app/frmhtml.h"
#include "platform/qtdesktop.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The preview browser shares its drawing context with the window; Qt wants this said first.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mosaiq"));
    QApplication::setApplicationVersion(QStringLiteral(MOSAIQ_VERSION));

    mosaiq::QtDesktop desktop;
    mosaiq::FrmHTML window(desktop);
    window.centreOnScreen();
    window.show();
    return application.exec();
}
