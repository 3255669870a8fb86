#include "platform/MessageDialog.h"

namespace korvex {

namespace {
struct ButtonRow {
    DialogButton button;
    const char* text;
    DialogResult result;
};
// Display order of the buttons.
constexpr ButtonRow kButtons[] = {
    {BtnYes, "&Ja", DialogResult::Yes},
    {BtnNo, "&Nee", DialogResult::No},
    {BtnOK, "OK", DialogResult::OK},
    {BtnCancel, "Cancel", DialogResult::Cancel},
    {BtnAbort, "&Afbreken", DialogResult::Abort},
    {BtnRetry, "&Herhaal", DialogResult::Retry},
    {BtnIgnore, "&Negeer", DialogResult::Ignore},
    {BtnAll, "&Alles", DialogResult::All},
    {BtnNoToAll, "N&ee op alles", DialogResult::NoToAll},
    {BtnYesToAll, "Ja op &alles", DialogResult::YesToAll},
    {BtnHelp, "&Help", DialogResult::None},
    {BtnClose, "&Sluiten", DialogResult::Close},
};
}  // namespace

QString MessageDialog::applicationTitle() {
    return QStringLiteral("Zelvo Korvex® SQL Server Configuratie");
}

QString MessageDialog::caption(DialogKind kind) {
    switch (kind) {
        case DialogKind::Warning:
            return QStringLiteral("Korvex® waarschuwing");
        case DialogKind::Error:
            return QStringLiteral("Korvex® fout");
        case DialogKind::Information:
            return QStringLiteral("Korvex® informatie");
        case DialogKind::Confirmation:
            return QStringLiteral("Korvex® bevestiging");
        case DialogKind::Custom:
            break;
    }
    return applicationTitle();
}

QList<DialogButton> MessageDialog::orderedButtons(DialogButtons buttons) {
    QList<DialogButton> ordered;
    for (const auto& row : kButtons)
        if (buttons & row.button) ordered.append(row.button);
    return ordered;
}

QString MessageDialog::buttonText(DialogButton button) {
    for (const auto& row : kButtons)
        if (row.button == button) return QString::fromUtf8(row.text);
    return {};
}

DialogResult MessageDialog::resultOf(DialogButton button) {
    for (const auto& row : kButtons)
        if (row.button == button) return row.result;
    return DialogResult::None;
}

std::optional<DialogButton> MessageDialog::defaultButton(DialogButtons buttons) {
    for (DialogButton candidate : {BtnOK, BtnYes, BtnRetry})
        if (buttons & candidate) return candidate;
    return std::nullopt;
}

QString MessageDialog::standardErrorText(const QString& message) {
    if (message.isEmpty() || message.back().unicode() <= u'.') return message;
    return message + u'.';
}

}  // namespace korvex
