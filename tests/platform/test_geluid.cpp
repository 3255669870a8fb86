#include <gtest/gtest.h>

#include <QApplication>
#include <QChildEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QUrl>
#include <functional>

#include "platform/QtPlatform.h"
#include "tests/support/Bestanden.h"
#include "tests/support/TempFolder.h"
#include <utility>

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

// Runs the event loop until the condition holds or 10 s have passed.
bool wachtOp(const std::function<bool()>& klaar) {
    QElapsedTimer waited;
    waited.start();
    while (!klaar() && waited.elapsed() < 10000)
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
TEST(Geluid, TheClipPlaysFromMemoryAsynchronouslyAndTheOneBeforeStopsFirst) {
    korvex::test::TempFolder map;
    const QByteArray a("RIFF\x04\0\0\0WAVEa", 13), b("RIFF\x04\0\0\0WAVEb", 13);
    for (const auto& [naam, inhoud] : {std::pair{"A", a}, std::pair{"B", b}, std::pair{"GEEN", QByteArray("MZ")}})
        korvex::test::Schrijf(map.file(naam), inhoud);
    static std::vector<std::pair<QByteArray, unsigned>> aanroepen;
    const auto systeem = std::exchange(korvex::QtPlatform::speelGeluid, [](const wchar_t* g, unsigned v) {
        // The memory must still hold the clip at the call.
        aanroepen.emplace_back(g ? QByteArray(reinterpret_cast<const char*>(g), 13) : QByteArray(), v);
        return 1;
    });
    {
        korvex::QtPlatform platform;
        for (const char* clip : {"A", "ONTBREEKT", "GEEN", "B"}) platform.playSound(map.file(clip));
    }
    korvex::QtPlatform::speelGeluid = systeem;
    // SND_ASYNC | SND_NODEFAULT | SND_MEMORY; a missing or non-WAVE clip is
    // silent; the last stop ends the clip before its memory is given up.
    EXPECT_EQ(aanroepen, (std::vector<std::pair<QByteArray, unsigned>>{
                             {a, 0x7u}, {QByteArray(), 0u}, {b, 0x7u}, {QByteArray(), 0u}}));
}
#endif
