#pragma once

#include <QList>
#include <QString>

#include "platform/Platform.h"

namespace korvex {

// The fixed rules of the message dialog and the standard error box: they
// hold for the real dialog and are what the scripted one in tests records.
class MessageDialog {
  public:
    static QString applicationTitle();
    static QString caption(DialogKind kind);
    // The requested buttons in display order, whatever order they were named in.
    static QList<DialogButton> orderedButtons(DialogButtons buttons);
    static QString buttonText(DialogButton button);
    static DialogResult resultOf(DialogButton button);
    // "OK" when present, else "&Ja", else "&Herhaal"; none otherwise.
    static std::optional<DialogButton> defaultButton(DialogButtons buttons);
    // The text the standard error box shows for an error message.
    static QString standardErrorText(const QString& message);
};

}  // namespace korvex
