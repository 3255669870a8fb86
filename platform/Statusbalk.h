#pragma once

#include <QString>

class QStatusBar;

namespace korvex {

// Every status-bar text of every window is written here, so that it is on
// the screen at once, also when a blocking call follows and no event is
// handled until it returns.
class Statusbalk {
  public:
    static void Toon(QStatusBar* balk, const QString& tekst);
};

}  // namespace korvex
