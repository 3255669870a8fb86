#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

#include "platform/Platform.h"

namespace korvex::bench {

// A Platform without an operator: every dialog gets the same answer, an
// error box goes to stderr, and nothing reaches the desktop, so a dialog
// that is not asked for never stops a run. Drivers override what they watch.
class BenchPlatform : public Platform {
  public:
    BenchPlatform(QString folder, DialogResult antwoord)
        : folder_(std::move(folder)), antwoord_(antwoord) {}
    DialogResult messageDialog(const QString&, DialogKind, DialogButtons) override {
        return antwoord_;
    }
    DialogResult systemMessageBox(const SystemBoxRequest&) override { return antwoord_; }
    void standardErrorBox(const QString& message) override {
        std::fprintf(stderr, "error box: %s\n", qPrintable(message));
    }
    std::optional<QString> openFileDialog(const FileDialogRequest&) override { return {}; }
    std::optional<QString> saveFileDialog(const FileDialogRequest&) override { return {}; }
    std::optional<QString> pickFolder(const QString&) override { return {}; }
    void playSound(const QString&) override {}
    bool shellOpen(const QString&) override { return false; }
    bool startProgram(const QString&, const QStringList&) override { return false; }
    bool shellStart(const QString&, const QString&) override { return false; }
    void quitProgram() override {}
    QString computerName() override { return QStringLiteral("BENCH"); }
    QString programFolder() override { return folder_; }
    QDateTime now() override { return QDateTime::currentDateTime(); }
    void processPendingEvents() override { QCoreApplication::processEvents(); }

  private:
    QString folder_;
    DialogResult antwoord_;
};

}  // namespace korvex::bench
