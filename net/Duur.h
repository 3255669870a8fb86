#pragma once

#include <QString>

namespace korvex::net {

// A time-out as the operator reads it in a failure text.
inline QString duur(int ms) {
    if (ms % 1000 != 0) return QStringLiteral("%1 ms").arg(ms);
    if (ms == 1000) return QStringLiteral("1 seconde");
    return QStringLiteral("%1 seconden").arg(ms / 1000);
}

}  // namespace korvex::net
