#include "platform/Statusbalk.h"

#include <QtGui/qguiapplication_platform.h>

#include <QGuiApplication>
#include <QLibrary>
#include <QStatusBar>

namespace korvex {

namespace {

// The painted bar reaches the backing store at once; on X11 the requests
// that put it on the screen wait in the connection's buffer until the event
// loop flushes it, which a blocking call does not let happen.
void naarHetScherm() {
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) return;
    // Resolved from the library the platform plugin already loaded, so the
    // program needs no link to it.
    using Flush = int (*)(xcb_connection_t*);
    static const auto flush =
        reinterpret_cast<Flush>(QLibrary::resolve(QStringLiteral("xcb"), 1, "xcb_flush"));
    if (flush != nullptr) flush(x11->connection());
#endif
}

}  // namespace

void Statusbalk::Toon(QStatusBar* balk, const QString& tekst) {
    balk->showMessage(tekst);
    if (!balk->isVisible()) return;
    balk->repaint();
    naarHetScherm();
}

}  // namespace korvex
