#pragma once

#include <QColor>
#include <QTabWidget>

namespace korvex {

// A tab control with its tabs in a narrow strip along the left edge, the
// text running upwards, each tab in its own colour.
class TKleurTabblad : public QTabWidget {
  public:
    explicit TKleurTabblad(QWidget* parent);
    void setTabColour(int index, const QColor& colour);
};

}  // namespace korvex
