#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QObject>
#include <memory>

#include "platform/Platform.h"

namespace korvex {

// The Platform of the running program: Qt's dialogs, sound, shell and clock.
class QtPlatform : public Platform {
  public:
    QtPlatform();
    ~QtPlatform() override;

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
    bool shellStart(const QString& program, const QString& parameters) override;
    void quitProgram() override;
    QString computerName() override;
    QString programFolder() override;
    QDateTime now() override;
    void processPendingEvents() override;

    // The boxes as they would be shown, for inspection without showing them.
    static std::unique_ptr<QMessageBox> buildMessageDialog(const QString& text, DialogKind kind,
                                                           DialogButtons buttons);
    static std::unique_ptr<QMessageBox> buildSystemMessageBox(const SystemBoxRequest& request);
    static std::unique_ptr<QFileDialog> buildFileDialog(const FileDialogRequest& request);

#ifdef Q_OS_WIN
    // The system's sound call; a test puts its own in to see what it is given.
    using Geluidsaanroep = int(__stdcall*)(const wchar_t* geluid, unsigned vlaggen);
    static Geluidsaanroep speelGeluid;
#endif

  private:
#ifdef Q_OS_WIN
    QByteArray clip_;  // the clip playing from memory; lives until the next one
#endif
    QObject soundContext_;  // owns the player; ends pending clips with the platform
    QObject* sound_ = nullptr;
    bool soundUnavailable_ = false;
};

}  // namespace korvex
