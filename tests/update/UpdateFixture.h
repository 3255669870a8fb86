#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

#include "tests/support/HttpPeer.h"
#include "tests/support/ScriptedPlatform.h"
#include "tests/support/TempFolder.h"
#include "update/LumoAppUpdate.h"
#include "update/LumoAppUpdateNotify.h"

namespace korvex::test {

inline const QString kManifestPad = QStringLiteral("/fernaxo/KorvexSQL/Updates.txt");
inline const QString kWebsite = QStringLiteral("http://www.voorbeeld.invalid/");
// The updater a default build starts, up to its argument: the installer's
// path in the system's own separators between apostrophes.
#ifdef _WIN32
inline const QString kUpdaterStart = QStringLiteral("KorvexUpdater.exe '");
#else
inline const QString kUpdaterStart = QStringLiteral("KorvexUpdater '");
#endif

// A complete reply with the body's length.
inline QByteArray Antwoord(const QByteArray& body, const QByteArray& status = "200 OK") {
    return "HTTP/1.0 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + body;
}

// The head of a reply announcing `lengte` bytes.
inline QByteArray Kop(qint64 lengte) {
    return "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(lengte) + "\r\n\r\n";
}

// The update check against an HTTP peer, with a program folder that holds
// TempDownloads, a temporary folder of its own (so left-over "AU" files show)
// and Dutch regional settings.
class UpdateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QString waarom;
        ASSERT_TRUE(peer.start(&waarom)) << waarom.toStdString();
        oudeTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(tmp.path()));
        ASSERT_TRUE(QDir().mkdir(folder.file("TempDownloads")));
        QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands));
        update.ManifestSectie = QStringLiteral("KorvexSQL");
        update.UpdateFileURL = peer.url(kManifestPad);
        update.UpdatePageURL = kWebsite;
    }
    void TearDown() override {
        EXPECT_TRUE(platform.allAnswersUsed()) << "a scripted answer was not asked for";
        EXPECT_EQ(QDir(tmp.path()).entryList({QStringLiteral("AU*")}, QDir::Files | QDir::Hidden),
                  QStringList())
            << "temporary files of the check remain";
        qputenv("TMPDIR", oudeTmp_);
        QLocale::setDefault(QLocale::system());
    }

    void manifest(const QByteArray& tekst) { peer.respond(kManifestPad, Antwoord(tekst)); }

    // Calls `stap` every few ms while the event loop runs, until it returns true.
    void terwijl(std::function<bool()> stap) {
        poll_ = std::make_unique<QTimer>();
        poll_->setInterval(5);
        QObject::connect(poll_.get(), &QTimer::timeout, [this, stap] {
            if (stap()) poll_->stop();
        });
        poll_->start();
    }

    // Runs the check; when it shows the notification window, `inVenster`
    // runs with it and "Sluiten" closes it unless `inVenster` closed it.
    // True when the window was shown.
    bool controleer(std::function<void(TLumoAppUpdateNotifyBox&)> inVenster = {}) {
        bool getoond = false;
        terwijl([&] {
            auto* venster =
                qobject_cast<TLumoAppUpdateNotifyBox*>(QApplication::activeModalWidget());
            if (venster == nullptr) return false;
            getoond = true;
            if (inVenster) inVenster(*venster);
            if (venster->isVisible()) venster->ButtonSluiten->click();
            return true;
        });
        update.CheckForUpdate();
        poll_.reset();
        return getoond;
    }

    QStringList downloads() const {
        return QDir(folder.file("TempDownloads"))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    }

    TempFolder tmp;
    TempFolder folder;
    ScriptedPlatform platform{folder.path()};
    HttpPeer peer;
    TLumoAppUpdate update{platform};

  private:
    QByteArray oudeTmp_;
    std::unique_ptr<QTimer> poll_;
};

}  // namespace korvex::test
