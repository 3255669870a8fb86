#pragma once

class QWidget;

namespace korvex {

// Keeps every caption of a window whole at the size its control was given.
// Where the font found for the window's family runs wider than the one the
// window was laid out for, a caption that no longer fits is drawn in a
// smaller size of its font until it does: no control grows, moves, overlaps
// its neighbour or loses part of its caption.
class Passend {
  public:
    // For the buttons, check boxes and labels in the window; call it once
    // the window is built, again after its fonts change.
    static void PasOpschriften(QWidget* venster);
};

}  // namespace korvex
