#include "platform/KorvexApplication.h"

#include <cstdio>

#include "platform/KorvexError.h"
#include "platform/Platform.h"

namespace korvex {

KorvexApplication::KorvexApplication(int& argc, char** argv) : QApplication(argc, argv) {}

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
