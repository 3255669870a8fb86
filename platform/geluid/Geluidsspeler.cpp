// The sound player, in a module of its own: the audio stack it brings (Qt
// Multimedia and the system's sound libraries) is loaded only when the first
// clip plays, after the window is on screen, instead of at every start.
#include <QSoundEffect>
#include <QtGlobal>

extern "C" Q_DECL_EXPORT QObject* korvexMaakGeluidsspeler(QObject* owner) {
    return new QSoundEffect(owner);
}
