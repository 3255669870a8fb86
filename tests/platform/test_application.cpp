#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "platform/KorvexApplication.h"
#include "platform/KorvexError.h"
#include "tests/support/ScriptedPlatform.h"

using namespace korvex;

TEST(KorvexApplication, ErrorEscapingAHandlerReachesTheStandardErrorBoxAndTheLoopGoesOn) {
    auto* app = static_cast<KorvexApplication*>(QApplication::instance());
    test::ScriptedPlatform platform;
    app->setPlatform(&platform);
    platform.answer(DialogResult::OK);
    platform.answer(DialogResult::OK);
    bool later = false;
    QTimer::singleShot(0, [] { throw KorvexError("Tabel bestaat niet"); });
    QTimer::singleShot(0, [] { throw std::runtime_error("kapot!"); });
    QTimer::singleShot(5, [&] { later = true; });
    QElapsedTimer waited;
    waited.start();
    while (!later && waited.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    app->setPlatform(nullptr);

    ASSERT_EQ(platform.dialogs.size(), 2u);
    EXPECT_EQ(platform.dialogs[0].type, "error");
    EXPECT_EQ(platform.dialogs[0].caption, "Zelvo Korvex® SQL Server Configuratie");
    EXPECT_EQ(platform.dialogs[0].text, "Tabel bestaat niet.");
    EXPECT_EQ(platform.dialogs[1].text, "kapot!");
    EXPECT_TRUE(later) << "events after the failing handler must still run";
}
