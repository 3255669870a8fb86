#include <gtest/gtest.h>

#include <QApplication>
#include <QChildEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QUrl>
#include <functional>

#include "platform/QtPlatform.h"
#include "tests/support/TempFolder.h"

#ifndef Q_OS_WIN
namespace {

bool loaded(const char* name) {
    QFile maps("/proc/self/maps");
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name);
}

// Every sound player made while it lives: the objects the application saw
// given a parent, picked out by class once they are whole. The player's
// class is looked up by name, so the test needs no audio stack of its own.
struct Spelers : QObject {
    Spelers() { qApp->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ChildAdded)
            kinderen << QPointer<QObject>(static_cast<QChildEvent*>(event)->child());
        return false;
    }
    QList<QObject*> gemaakt() const {
        QList<QObject*> spelers;
        for (const QPointer<QObject>& kind : kinderen)
            if (kind && qstrcmp(kind->metaObject()->className(), "QSoundEffect") == 0 &&
                !spelers.contains(kind.data()))
                spelers << kind.data();
        return spelers;
    }
    QList<QPointer<QObject>> kinderen;
};

// Runs the event loop until the condition holds or 3 s have passed.
bool wachtOp(const std::function<bool()>& klaar) {
    QElapsedTimer waited;
    waited.start();
    while (!klaar() && waited.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return klaar();
}

QUrl bron(const QObject* speler) {
    return speler->property("source").toUrl();
}

}  // namespace

TEST(Geluid, ThePlayerAndItsAudioStackLoadOnlyWhenTheFirstClipPlays) {
    if (!QFile::exists("/proc/self/maps")) GTEST_SKIP() << "needs /proc";
    Spelers spelers;
    korvex::QtPlatform platform;
    EXPECT_FALSE(loaded("libQt6Multimedia")) << "the program itself must not pull in audio";
    platform.playSound(":/WAVE/SIGNOFF");
    EXPECT_FALSE(loaded("korvex_geluid")) << "playSound returns before touching the device";
    EXPECT_TRUE(wachtOp([&] { return loaded("korvex_geluid"); }));
    EXPECT_TRUE(loaded("libQt6Multimedia"));
    ASSERT_TRUE(wachtOp([&] { return !spelers.gemaakt().isEmpty(); }));
    QObject* const speler = spelers.gemaakt().first();
    EXPECT_EQ(bron(speler), QUrl("qrc:/WAVE/SIGNOFF"));

    // A clip that is not there is silent, and a second clip reuses the player.
    platform.playSound(":/WAVE/BESTAATNIET");
    EXPECT_TRUE(wachtOp([&] { return bron(speler) == QUrl("qrc:/WAVE/BESTAATNIET"); }));
    EXPECT_TRUE(wachtOp([&] { return speler->property("status").toInt() == 3; }))  // Error
        << speler->property("status").toInt();
    EXPECT_FALSE(speler->property("playing").toBool());
    platform.playSound(":/WAVE/ERROR");
    EXPECT_TRUE(wachtOp([&] { return bron(speler) == QUrl("qrc:/WAVE/ERROR"); }));
    EXPECT_EQ(spelers.gemaakt(), QList<QObject*>{speler});
}
#endif

#ifdef Q_OS_WIN
namespace {
std::vector<std::pair<QByteArray, unsigned>> aanroepen;
}

TEST(Geluid, TheClipPlaysFromMemoryAsynchronouslyAndTheOneBeforeStopsFirst) {
    korvex::test::TempFolder map;
    const QByteArray a("RIFF\x04\0\0\0WAVEa", 13), b("RIFF\x04\0\0\0WAVEb", 13);
    const std::pair<const char*, QByteArray> clips[] = {{"A", a}, {"B", b}, {"GEEN", "MZ"}};
    for (const auto& [naam, inhoud] : clips) {
        QFile clip(map.file(naam));
        ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
        clip.write(inhoud);
    }
    const auto systeem = korvex::QtPlatform::speelGeluid;
    korvex::QtPlatform::speelGeluid = [](const wchar_t* geluid, unsigned vlaggen) {
        // The memory must still hold the clip at the call.
        aanroepen.emplace_back(geluid ? QByteArray(reinterpret_cast<const char*>(geluid), 13)
                                      : QByteArray(),
                               vlaggen);
        return 1;
    };
    {
        korvex::QtPlatform platform;
        platform.playSound(map.file("A"));
        platform.playSound(map.file("ONTBREEKT"));
        platform.playSound(map.file("GEEN"));  // no WAVE clip: silent
        platform.playSound(map.file("B"));
    }
    korvex::QtPlatform::speelGeluid = systeem;
    // SND_ASYNC | SND_NODEFAULT | SND_MEMORY; the last stop ends the clip
    // before the platform gives up its memory.
    const std::vector<std::pair<QByteArray, unsigned>> verwacht = {
        {a, 0x7u}, {QByteArray(), 0u}, {b, 0x7u}, {QByteArray(), 0u}};
    EXPECT_EQ(aanroepen, verwacht);
}
#endif
