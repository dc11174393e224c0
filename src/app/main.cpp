#include "app/frmhtml.h"
#include "image/picturereader.h"
#include "platform/frenchtranslations.h"
#include "platform/pagelocation.h"
#include "platform/qtdesktop.h"

#include <QApplication>

#include <unistd.h>

int main(int argc, char* argv[])
{
    // The web engine's sandbox cannot run as root, and without it the engine ends the program at
    // start; the installed program started by root (through sudo) still opens its window.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The preview browser shares its drawing context with the window; Qt wants this said first.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The desktop's own file and colour dialogs speak the desktop's language; Qt's speak French.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    // The lower-case name is the cache folder's (~/.cache/mosaiq); the desktop file name, the one
    // installed from data/, lets Wayland show the program's icon.
    QApplication::setApplicationName(QStringLiteral("mosaiq"));
    QApplication::setApplicationVersion(QStringLiteral(MOSAIQ_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("fr.mosaiq.Mosaiq"));
    const mosaiq::FrenchTranslations frenchDialogs;
    mosaiq::setUpPictureReading();

    mosaiq::QtDesktop desktop;
    // Declared before the window, so that the page stays claimed until the window is gone.
    const auto page = mosaiq::PageLocation::claim(mosaiq::PageLocation::applicationFolders());
    mosaiq::FrmHTML window(desktop);
    window.setPreviewFile(page.pageFile());
    window.centreOnScreen();
    window.show();
    if (!page.isValid())
        desktop.showInformation(&window, mosaiq::FrmHTML::title(), page.message());
    return application.exec();
}
