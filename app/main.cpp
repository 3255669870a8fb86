#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "app/Hoofdscherm.h"
#include "platform/KorvexApplication.h"
#include "platform/MessageDialog.h"
#include "platform/QtPlatform.h"

int main(int argc, char** argv) {
    const QString geenBeeld = korvex::KorvexApplication::GeenBeeldscherm();
    if (!geenBeeld.isEmpty()) {
        std::fputs(geenBeeld.toLocal8Bit().constData(), stderr);
        return 2;
    }
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
