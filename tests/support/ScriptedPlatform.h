#pragma once

#include <QStringList>
#include <deque>
#include <functional>
#include <ostream>
#include <vector>

#include "platform/Platform.h"

// A failed comparison shows QStrings as their text, not as UTF-16 units.
inline void PrintTo(const QString& tekst, std::ostream* os) {
    *os << '"' << tekst.toStdString() << '"';
}

namespace korvex::test {

// A dialog as the operator would have seen it.
struct ShownDialog {
    QString type;  // "message", "system" or "error"
    QString caption;
    QString text;
    QStringList buttons;    // texts in display order
    QString defaultButton;  // text of the default button, empty when none
    DialogKind kind = DialogKind::Custom;
    SystemBoxRequest system;  // the request, for system boxes
};

// The Platform of the tests: records every call, answers dialogs from a
// queue and fails the running test when a dialog appears that nobody
// scripted.
class ScriptedPlatform : public Platform {
  public:
    explicit ScriptedPlatform(QString programFolder = QString());

    // Answers for the next dialogs of any type, in order.
    void answer(DialogResult result) { answers_.push_back(result); }
    // Answers for the next file or folder dialogs, in order; nullopt cancels.
    void answerFile(std::optional<QString> path) { fileAnswers_.push_back(std::move(path)); }
    // Runs when the next dialog is shown, before it is answered.
    void onNextDialog(std::function<void()> action) { dialogActions_.push_back(std::move(action)); }
    bool allAnswersUsed() const { return answers_.empty() && fileAnswers_.empty(); }

    std::vector<ShownDialog> dialogs;
    std::vector<FileDialogRequest> fileDialogs;
    QStringList sounds;
    QStringList opened;
    QStringList started;
    int quitRequests = 0;
    QString hostName = QStringLiteral("PC01");
    QString folder;
    QDateTime clock = QDateTime(QDate(2026, 12, 9), QTime(12, 0));

    DialogResult messageDialog(const QString& text, DialogKind kind,
                               DialogButtons buttons) override;
    DialogResult systemMessageBox(const SystemBoxRequest& request) override;
    void standardErrorBox(const QString& message) override;
    std::optional<QString> openFileDialog(const FileDialogRequest& request) override;
    std::optional<QString> saveFileDialog(const FileDialogRequest& request) override;
    std::optional<QString> pickFolder(const QString& startFolder) override;
    void playSound(const QString& resourcePath) override;
    bool shellOpen(const QString& target) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    // Recorded in `started` as the program, a blank and the parameter string.
    bool shellStart(const QString& program, const QString& parameters) override;
    void quitProgram() override { ++quitRequests; }
    QString computerName() override { return hostName; }
    QString programFolder() override { return folder; }
    QDateTime now() override { return clock; }
    void processPendingEvents() override;

  private:
    DialogResult show(ShownDialog dialog);
    std::optional<QString> fileAnswer(const QString& what);

    std::deque<DialogResult> answers_;
    std::deque<std::optional<QString>> fileAnswers_;
    std::deque<std::function<void()>> dialogActions_;
};

}  // namespace korvex::test
