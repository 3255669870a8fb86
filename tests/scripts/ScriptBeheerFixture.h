#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QListWidget>
#include <QStatusBar>
#include <QToolButton>
#include <memory>

#include "Deployment.h"
#include "scripts/BestandLijst.h"
#include "scripts/KorvexFTP.h"
#include "scripts/MapLijst.h"
#include "scripts/ScriptSessie.h"
#include "tests/support/Bestanden.h"
#include "tests/support/FtpPeer.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedPlatform.h"
#include "tests/support/TdsPeer.h"
#include "tests/support/TempFolder.h"

namespace korvex::test {

// The script manager window in a program folder with "SQLOnlineScripts",
// its database a TDS peer with KORVEX_42 at version 3.1.2, its script server
// an FTP peer; both started by the test.
class ScriptBeheer : public ::testing::Test {
  protected:
    void SetUp() override { SetUpMet({}); }

    void SetUpMet(const FtpPeerOptions& opties) {
        ASSERT_TRUE(QDir(programma.path()).mkpath("SQLOnlineScripts"));
        QString fout;
        ASSERT_TRUE(db.start(&fout)) << fout.toStdString();
        db.addDatabase("KORVEX_42");
        Versie("3.1.2", QDateTime(QDate(2013, 8, 21), QTime(10, 11, 12)));
        ftp = std::make_unique<FtpPeer>(opties);
        ASSERT_TRUE(ftp->start(&fout)) << fout.toStdString();
    }

    void TearDown() override {
        venster.reset();
        EXPECT_TRUE(platform.allAnswersUsed()) << "a scripted answer was not asked for";
    }

    // The row the version query returns from now on; no value: no row.
    // Clears the other batch rules.
    void Versie(const QString& versie, const QVariant& datum) {
        db.clearBatchRules();
        std::vector<TdsRow> rijen;
        if (!versie.isNull()) rijen.push_back({1, versie, datum});
        db.onBatch("select * from DatabaseInstellingen",
                   TdsReply().resultSet({{"dat_id", TdsType::Int},
                                         {"dat_versie", TdsType::VarChar, 10},
                                         {"dat_datum", TdsType::DateTime}},
                                        rijen));
    }

    scripts::ScriptBeheerContext Context() {
        scripts::ScriptBeheerContext c;
        c.velden = [this] {
            return scripts::VerbindingsVelden{db.server(), "sa", "geheim", vkmId};
        };
        c.logboek = [this](const QString& tekst) { logboek << tekst; };
        c.server = Server();
        return c;
    }
    scripts::ScriptServer Server() const {
        return {"127.0.0.1", ftp->port(), "korvex", "geheim", 5000, 5000, 5000, sleutel};
    }

    // A fresh window, shown as the opener shows it.
    void Open() {
        venster = std::make_unique<scripts::TFKorvexFTP>(platform, Context());
        venster->show();
    }

    QString Lokaal(const QString& naam = {}) const {
        return programma.path() + "SQLOnlineScripts/" + naam;
    }
    QStringList Online() const {
        QStringList namen;
        for (int i = 0; i < venster->SQLBestandenFTP->count(); ++i)
            namen << venster->SQLBestandenFTP->item(i)->text();
        return namen;
    }
    QStringList LokaleLijst() const {
        QStringList namen;
        for (int i = 0; i < venster->OverzichtBestanden->count(); ++i)
            namen << venster->OverzichtBestanden->item(i)->text();
        return namen;
    }
    QStringList Verzonden() const { return db.batchesExceptDriver(); }
    QString Status() const { return venster->statusText(); }

    TempFolder programma;
    ScriptedPlatform platform{programma.path()};
    TdsPeer db;
    std::unique_ptr<FtpPeer> ftp;
    QString vkmId = " 42 ";
    // The maker's public key the session checks scripts with; none by default.
    QString sleutel;

    // A key pair of the maker's tool, in the program folder; its public key.
    QString Maker(const QString& naam) {
        return QString::fromLatin1(signUpdate({"keygen", programma.path() + naam}).trimmed());
    }
    // The signature file the maker's tool writes with key `naam` for a
    // script called `script` holding `inhoud`.
    QByteArray Handtekening(const QString& naam, const QString& script, const QByteArray& inhoud) {
        const QString pad = programma.path() + "teken/" + script;
        QDir().mkpath(programma.path() + "teken");
        QFile::remove(pad + ".sig");
        Schrijf(pad, inhoud);
        signUpdate({"sign-script", pad, programma.path() + naam});
        return Lees(pad + ".sig");
    }
    QStringList logboek;
    std::unique_ptr<scripts::TFKorvexFTP> venster;
};

// The script session alone, lent an FTP client, a version query and a
// command of its own, as the window lends its own; no window anywhere.
class Sessie : public ScriptBeheer {
  protected:
    struct Onderdelen {
        net::FtpClient ftp;
        db::Connection ado{QStringLiteral(KORVEX_ODBC_DRIVER)};
        db::Query adoq{ado};
        db::Command opdracht{ado};
        scripts::ScriptSessie sessie;
        Onderdelen(Platform& platform, const scripts::ScriptServer& server)
            : sessie(platform, ftp, adoq, opdracht, server) {}
    };

    void TearDown() override {
        delen.reset();
        ScriptBeheer::TearDown();
    }

    // A fresh session on KORVEX_42, as a new window would start one.
    scripts::ScriptSessie& Nieuw(scripts::ScriptServer server = {}) {
        delen.reset();
        if (server.host.isEmpty()) server = Server();
        delen = std::make_unique<Onderdelen>(platform, server);
        delen->ado.setValues({db.server(), "sa", "geheim", "KORVEX_" + vkmId.trimmed()});
        gevraagd = lokaalGelezen = 0;
        lijsten.clear();
        meldingen.clear();
        waarnemer.bestaatAl = [this] {
            ++gevraagd;
            return antwoord;
        };
        waarnemer.lokaalGewijzigd = [this] { ++lokaalGelezen; };
        waarnemer.lijstGewijzigd = [this] { lijsten << delen->sessie.Aangeboden(); };
        waarnemer.meld = [this](const QString& tekst) { meldingen << tekst; };
        return delen->sessie;
    }
    scripts::ScriptSessie& S() { return delen->sessie; }
    bool Verbonden() const { return delen->ftp.connected(); }

    std::unique_ptr<Onderdelen> delen;
    scripts::OphaalWaarnemer waarnemer;
    DialogResult antwoord = DialogResult::No;
    int gevraagd = 0;
    int lokaalGelezen = 0;
    QList<QStringList> lijsten;
    QStringList meldingen;
};

}  // namespace korvex::test
