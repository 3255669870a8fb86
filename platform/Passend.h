#pragma once

class QLabel;
class QString;
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
    // Shows a text that changes while the window is open (a file name, a
    // status) in the label, at its font's own size where it fits and smaller
    // where it does not.
    static void ZetTekst(QLabel* label, const QString& tekst);
};

}  // namespace korvex
