#include "tests/support/ScriptedPlatform.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/MessageDialog.h"

namespace korvex::test {

ScriptedPlatform::ScriptedPlatform(QString programFolder) : folder(std::move(programFolder)) {}

DialogResult ScriptedPlatform::show(ShownDialog dialog) {
    dialogs.push_back(dialog);
    if (!dialogActions_.empty()) {
        auto action = std::move(dialogActions_.front());
        dialogActions_.pop_front();
        action();
    }
    if (answers_.empty()) {
        ADD_FAILURE() << "unexpected " << dialog.type.toStdString() << " dialog \""
                      << dialog.caption.toStdString() << "\": " << dialog.text.toStdString();
        return DialogResult::None;
    }
    DialogResult result = answers_.front();
    answers_.pop_front();
    return result;
}

DialogResult ScriptedPlatform::messageDialog(const QString& text, DialogKind kind,
                                             DialogButtons buttons) {
    ShownDialog dialog;
    dialog.type = QStringLiteral("message");
    dialog.kind = kind;
    dialog.caption = MessageDialog::caption(kind);
    dialog.text = text;
    for (DialogButton button : MessageDialog::orderedButtons(buttons))
        dialog.buttons << MessageDialog::buttonText(button);
    if (auto preferred = MessageDialog::defaultButton(buttons))
        dialog.defaultButton = MessageDialog::buttonText(*preferred);
    return show(dialog);
}

DialogResult ScriptedPlatform::systemMessageBox(const SystemBoxRequest& request) {
    ShownDialog dialog;
    dialog.type = QStringLiteral("system");
    dialog.caption = request.caption;
    dialog.text = request.text;
    dialog.system = request;
    for (DialogButton button : MessageDialog::orderedButtons(request.buttons))
        dialog.buttons << MessageDialog::buttonText(button);
    dialog.defaultButton = MessageDialog::buttonText(request.defaultButton);
    return show(dialog);
}

void ScriptedPlatform::standardErrorBox(const QString& message) {
    ShownDialog dialog;
    dialog.type = QStringLiteral("error");
    dialog.caption = MessageDialog::applicationTitle();
    dialog.text = MessageDialog::standardErrorText(message);
    dialog.buttons << QStringLiteral("OK");
    dialog.defaultButton = QStringLiteral("OK");
    show(dialog);
}

std::optional<QString> ScriptedPlatform::fileAnswer(const QString& what) {
    if (fileAnswers_.empty()) {
        ADD_FAILURE() << "unexpected " << what.toStdString() << " dialog";
        return std::nullopt;
    }
    const bool gekozen = fileAnswers_.front().has_value();
    const QString pad = gekozen ? *fileAnswers_.front() : QString();
    fileAnswers_.pop_front();
    if (!gekozen) return std::nullopt;
    return pad;
}

std::optional<QString> ScriptedPlatform::openFileDialog(const FileDialogRequest& request) {
    fileDialogs.push_back(request);
    return fileAnswer(QStringLiteral("open file"));
}

std::optional<QString> ScriptedPlatform::saveFileDialog(const FileDialogRequest& request) {
    fileDialogs.push_back(request);
    return fileAnswer(QStringLiteral("save file"));
}

std::optional<QString> ScriptedPlatform::pickFolder(const QString& startFolder) {
    FileDialogRequest request;
    request.initialFolder = startFolder;
    fileDialogs.push_back(request);
    return fileAnswer(QStringLiteral("folder"));
}

void ScriptedPlatform::playSound(const QString& resourcePath) {
    sounds << resourcePath;
}

bool ScriptedPlatform::shellOpen(const QString& target) {
    opened << target;
    return true;
}

bool ScriptedPlatform::startProgram(const QString& program, const QStringList& arguments) {
    started << (QStringList{program} + arguments).join(u' ');
    return true;
}

bool ScriptedPlatform::shellStart(const QString& program, const QString& parameters) {
    started << program + u' ' + parameters;
    return true;
}

void ScriptedPlatform::processPendingEvents() {
    QCoreApplication::processEvents();
}

}  // namespace korvex::test
