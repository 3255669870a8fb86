#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include "platform/QtPlatform.h"

namespace {

bool loaded(const char* name) {
    QFile maps("/proc/self/maps");
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name);
}

}  // namespace

TEST(Geluid, ThePlayerAndItsAudioStackLoadOnlyWhenTheFirstClipPlays) {
    if (!QFile::exists("/proc/self/maps")) GTEST_SKIP() << "needs /proc";
    korvex::QtPlatform platform;
    EXPECT_FALSE(loaded("libQt6Multimedia")) << "the program itself must not pull in audio";
    platform.playSound(":/WAVE/SIGNOFF");
    EXPECT_FALSE(loaded("korvex_geluid")) << "playSound returns before touching the device";
    QElapsedTimer waited;
    waited.start();
    while (!loaded("korvex_geluid") && waited.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(loaded("korvex_geluid"));
    EXPECT_TRUE(loaded("libQt6Multimedia"));
    // A clip that is not there is silent, and a second clip reuses the player.
    platform.playSound(":/WAVE/BESTAATNIET");
    platform.playSound(":/WAVE/ERROR");
    QApplication::processEvents();
}
