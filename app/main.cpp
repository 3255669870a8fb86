#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "app/Hoofdscherm.h"
#include "platform/KorvexApplication.h"
#include "platform/MessageDialog.h"
#include "platform/QtPlatform.h"

int main(int argc, char** argv) {
#ifndef _WIN32
    // Without a display Qt would abort with a message about plugins; say it plainly.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "KorvexSQL needs a graphical display: no DISPLAY or WAYLAND_DISPLAY is set.\n"
                     "Start it from a desktop session, or under a virtual display such as "
                     "\"xvfb-run ./KorvexSQL\".\n");
        return 2;
    }
#endif
    korvex::KorvexApplication app(argc, argv);
    QGuiApplication::setApplicationDisplayName(QString());
    QCoreApplication::setApplicationName(korvex::MessageDialog::applicationTitle());
    korvex::QtPlatform platform;
    app.setPlatform(&platform);
    int rc = 0;
    {
        korvex::THoofdscherm hoofdscherm(platform);
        hoofdscherm.show();
        rc = app.exec();
    }
    app.setPlatform(nullptr);
    return rc;
}
