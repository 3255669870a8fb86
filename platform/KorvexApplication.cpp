#include "platform/KorvexApplication.h"

#include <QFont>
#include <cstdio>

#include "platform/KorvexError.h"
#include "platform/Platform.h"

namespace korvex {

KorvexApplication::KorvexApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // Where the system lacks the family a window names, the closest one in
    // shape and width stands in, not the desktop's default; the others have
    // stand-ins of the same metrics under the desktop's own aliases.
    QFont::insertSubstitutions(QStringLiteral("Segoe UI"),
                               {QStringLiteral("Selawik"), QStringLiteral("Open Sans")});
#ifdef _WIN32
    // Every Windows has these; a Windows without them (Wine, a stripped
    // image) would otherwise draw the script manager in its serif default.
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Calibri"), QStringLiteral("Carlito"));
#endif
}

QString KorvexApplication::GeenBeeldscherm() {
#ifndef _WIN32
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return QStringLiteral(
            "KorvexSQL needs a graphical display: no DISPLAY or WAYLAND_DISPLAY is set.\n"
            "Start it from a desktop session, or under a virtual display such as "
            "\"xvfb-run ./KorvexSQL\".\n");
#endif
    return {};
}

bool KorvexApplication::notify(QObject* receiver, QEvent* event) {
    QString message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const KorvexError& error) {
        message = error.message();
    } catch (const std::exception& error) {
        message = QString::fromLocal8Bit(error.what());
    } catch (...) {
        message = QStringLiteral("Onbekende fout");
    }
    if (platform_ != nullptr)
        platform_->standardErrorBox(message);
    else
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    return false;
}

}  // namespace korvex
