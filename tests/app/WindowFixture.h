#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <memory>

#include "app/Hoofdscherm.h"
#include "tests/support/ScriptedPlatform.h"
#include "tests/support/TdsPeer.h"
#include "tests/support/TempFolder.h"

namespace korvex::test {

// The main window in an empty program folder, its settings pointing at a
// TDS peer that knows the login "sa"/"geheim" and the databases master and
// KORVEX_42.
class WindowWithServer : public ::testing::Test {
  protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(peer.start(&error)) << error.toStdString();
        peer.addDatabase("KORVEX_42");
        window = std::make_unique<THoofdscherm>(platform);
        window->P_SQLSERVER->setText(peer.server());
        window->P_PASWOORD->setText("geheim");
    }
    void TearDown() override {
        EXPECT_TRUE(platform.allAnswersUsed()) << "a scripted answer was not asked for";
        window.reset();
    }

    QStringList sent() const { return peer.batchesExceptDriver(); }

    TempFolder folder;
    ScriptedPlatform platform{folder.path()};
    TdsPeer peer;
    std::unique_ptr<THoofdscherm> window;
};

}  // namespace korvex::test
