#pragma once

#include <QIcon>

namespace korvex::scripts {

// The two image lists of the script manager, drawn rather than stored so
// they stay sharp at any scale.
class Afbeeldingen {
  public:
    // 48 x 48: 0 log in, 1 fetch, 2 run script, 3 log out.
    static QIcon Large(int index);
    // 16 x 16: 0 close, 1 close when disabled.
    static QPixmap ToolImages(int index);
};

}  // namespace korvex::scripts
