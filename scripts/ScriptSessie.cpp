#include "scripts/ScriptSessie.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <optional>

#include "Deployment.h"
#include "database/access/Command.h"
#include "database/access/Connection.h"
#include "database/access/Query.h"
#include "database/access/SqlError.h"
#include "net/FtpClient.h"
#include "platform/Bestand.h"
#include "platform/KorvexError.h"
#include "platform/Ondertekening.h"
#include "platform/Tekst.h"
#include "scripts/ScriptBestand.h"
#include "scripts/ScriptHandtekening.h"
#include "scripts/Scriptlijst.h"

namespace korvex::scripts {

namespace {

// An empty file beside `pad` that the transfer writes into, hidden from the
// local list by its name.
void Ontvangstbestand(QTemporaryFile& deel, const QString& pad) {
    const QString map = QFileInfo(pad).path();
    deel.setFileTemplate(QDir(map).filePath(QStringLiteral(".ophalen-XXXXXX")));
    if (!deel.open())
        throw KorvexError(QStringLiteral("In de map \"%1\" kan geen bestand worden aangemaakt: %2")
                              .arg(QDir::toNativeSeparators(map), deel.errorString()));
    deel.close();
}

}  // namespace

ScriptServer ScriptServer::Standaard() {
    ScriptServer s;
    s.host = QStringLiteral(KORVEX_SCRIPT_HOST);
    s.port = quint16(KORVEX_SCRIPT_PORT);
    s.gebruiker = QStringLiteral(KORVEX_SCRIPT_USER);
    s.wachtwoord = QStringLiteral(KORVEX_SCRIPT_PASSWORD);
    s.sleutel = QStringLiteral(KORVEX_SCRIPT_PUBLIC_KEY);
    return s;
}

ScriptSessie::ScriptSessie(Platform& platform, net::FtpClient& ftp, db::Query& versieVraag,
                           db::Command& opdracht, ScriptServer server)
    : platform_(platform),
      server_(std::move(server)),
      ftp_(ftp),
      versieVraag_(versieVraag),
      opdracht_(opdracht) {
    ftp_.setConnectTimeout(server_.verbindTimeoutMs);
    ftp_.setReplyTimeout(server_.antwoordTimeoutMs);
    ftp_.setDataTimeout(server_.gegevensTimeoutMs);
    versieVraag_.sql = Tekst::sqlBatch(
        {QStringLiteral("select * from DatabaseInstellingen"), QStringLiteral("where dat_id=1")});
    versieVraag_.fields = {
        {QStringLiteral("dat_id"), db::FieldKind::AutoInc, 0, true},
        {QStringLiteral("dat_versie"), db::FieldKind::String, 10, false},
        {QStringLiteral("dat_datum"), db::FieldKind::DateTime, 0, false},
    };
}

DatabaseVersie ScriptSessie::Openen() {
    if (!versieVraag_.isOpen()) versieVraag_.open();
    const QString versie = versieVraag_.fieldText(QStringLiteral("dat_versie"));
    const QDateTime moment = versieVraag_.fieldDateTime(QStringLiteral("dat_datum"));
    // No value reads as the date-time origin, 30 December 1899.
    const QDate dag = moment.isValid() ? moment.date() : QDate(1899, 12, 30);
    versieSleutel_ = QString(versie).replace(u'.', u'-');
    getoondeVersie_ = versie;
    return {versie, QString::asprintf("%02d-%02d-%04d", dag.day(), dag.month(), dag.year())};
}

void ScriptSessie::Sluiten() {
    if (versieVraag_.isOpen()) versieVraag_.close();
}

void ScriptSessie::Inloggen(bool passief, const QString& lokaleMap) {
    aangeboden_.clear();
    ftp_.setPassive(passief);
    ftp_.setUserName(server_.gebruiker);
    ftp_.setPassword(server_.wachtwoord);
    ftp_.setHost(server_.host);
    ftp_.setPort(server_.port);
    ftp_.connect();
    ChangeDir(QStringLiteral("/"), lokaleMap);
}

void ScriptSessie::ChangeDir(const QString& map, const QString& lokaleMap) {
    aangeboden_.clear();
    ftp_.changeDir(map);
    ftp_.setTransferType(net::FtpClient::TransferType::Ascii);
    QStringList regels;
    ftp_.list(regels);
    // One read of the local folder, as it is shown at this moment.
    const QStringList aanwezig =
        QDir(lokaleMap).entryList(QDir::Files | QDir::System | QDir::Hidden);
    // Compared the way the local file system compares names.
    const auto sleutel = [](const QString& naam) {
        return Bestand::NaamVergelijking == Qt::CaseSensitive ? naam : naam.toCaseFolded();
    };
    QSet<QString> bekend;
    for (const QString& naam : aanwezig) bekend.insert(sleutel(naam));
    QStringList namen = Scriptlijst::Filter(
        regels, versieSleutel_,
        [&](const QString& naam) {
            return bekend.contains(sleutel(naam)) || mislukt_.contains(naam);
        },
        !server_.sleutel.isEmpty());
    Scriptlijst::Sorteer(namen);
    aangeboden_ = std::move(namen);
}

bool ScriptSessie::IsFile(const QString& naam, const QString& lokaleMap,
                          const OphaalWaarnemer& waarnemer) {
    ftp_.setTransferType(net::FtpClient::TransferType::Binary);
    if (!Scriptlijst::VeiligeNaam(naam))
        throw KorvexError(QStringLiteral("\"%1\" is geen geldige bestandsnaam.").arg(naam));
    const QString pad = QDir(lokaleMap).filePath(naam);
    const QFileInfo info(pad);
    if (info.exists() && !info.isDir()) {
        const DialogResult antwoord = waarnemer.bestaatAl();
        if (antwoord == DialogResult::Yes) {
            StopOphalen = true;
            ftp_.fetch(naam, pad, false, true);
            // The completed copy stays the operator's; only a signature that
            // verifies over it is kept beside it.
            if (!server_.sleutel.isEmpty()) haalHandtekeningOp(naam, pad, pad);
        } else if (antwoord == DialogResult::No) {
            StopOphalen = true;
        }
        return true;
    }
    try {
        haalNieuwOp(naam, pad);
        StopOphalen = false;
    } catch (const std::exception& fout) {
        StopOphalen = true;
        mislukt_.insert(naam);
        ophaalFout_ = foutTekst(fout);
        waarnemer.meld(ophaalFout_);
    }
    return true;
}

void ScriptSessie::haalNieuwOp(const QString& naam, const QString& pad) {
    // Received under a name the list does not show, and named only when
    // complete: a half-fetched script is never offered to run.
    QTemporaryFile deel;
    Ontvangstbestand(deel, pad);
    ftp_.fetch(naam, deel.fileName(), true, true);
    if (!server_.sleutel.isEmpty()) haalHandtekeningOp(naam, pad, deel.fileName());
    deel.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    // Through the temporary file itself: its close() keeps the file open,
    // and Windows moves no file that is open; only it can let go first.
    if (!deel.rename(pad))
        throw KorvexError(QStringLiteral("Het opgehaalde script kan niet als \"%1\" worden "
                                         "bewaard.")
                              .arg(QDir::toNativeSeparators(pad)));
    deel.setAutoRemove(false);
}

void ScriptSessie::haalHandtekeningOp(const QString& naam, const QString& pad,
                                      const QString& scriptPad) {
    QTemporaryFile deel;
    Ontvangstbestand(deel, pad);
    ftp_.fetch(ScriptHandtekening::Naam(naam), deel.fileName(), true, true);
    // What was checked is what is kept: the bytes read for the check are
    // written under the signature's name, replacing an older one only now.
    const QByteArray inhoud = ScriptHandtekening::LeesBestand(deel.fileName());
    if (!ScriptHandtekening::BestandKlopt(server_.sleutel, naam, scriptPad, inhoud))
        throw KorvexError(
            QStringLiteral("Het script %1 is niet door de maker ondertekend; het is niet bewaard.")
                .arg(naam));
    QString reden;
    if (!Bestand::Schrijf(ScriptHandtekening::Pad(pad), inhoud, &reden))
        throw KorvexError(QStringLiteral("De handtekening kan niet als \"%1\" worden bewaard: %2")
                              .arg(QDir::toNativeSeparators(ScriptHandtekening::Pad(pad)), reden));
}

bool ScriptSessie::OphalenBatch(const QString& lokaleMap, const OphaalWaarnemer& waarnemer) {
    StopOphalen = false;
    int passen = 0;
    while (!aangeboden_.isEmpty() && !StopOphalen && passen < PassenPerBatch) {
        ++passen;
        try {
            platform_.processPendingEvents();
            if (!ftp_.connected()) return false;
            ophaalFout_.clear();
            IsFile(aangeboden_.first(), lokaleMap, waarnemer);
            waarnemer.lokaalGewijzigd();
            if (!ftp_.connected()) return false;
            bool opgehaald = false;
            try {
                ChangeDir(QStringLiteral("/"), lokaleMap);
                opgehaald = true;
            } catch (const std::exception& fout) {
                waarnemer.meld(foutTekst(fout));
            }
            waarnemer.lijstGewijzigd();
            // The script left the list because its fetch failed: the
            // listing's report must not hide why.
            if (opgehaald && !ophaalFout_.isEmpty()) waarnemer.meld(ophaalFout_);
        } catch (const std::exception& fout) {
            waarnemer.meld(foutTekst(fout));
        }
    }
    // One click fetches at most five; more need a new login.
    if (passen == PassenPerBatch && ftp_.connected()) ftp_.disconnect();
    return true;
}

Uitvoering ScriptSessie::VoerUit(const QString& pad,
                                 const std::function<bool(const QString&)>& bevestig,
                                 const ZonderTransactieVraag& zonderTransactie) {
    if (pad.isEmpty()) throw KorvexError(QStringLiteral("Er is geen script gekozen."));
    const QString naam = QFileInfo(pad).fileName();
    std::optional<Sha512Teller> teller;
    if (!server_.sleutel.isEmpty()) teller.emplace();
    // Read once: the bytes checked are the bytes sent, whatever happens to
    // the file while the question is open.
    QString tekst = ScriptBestand::LeesOpdracht(pad, teller ? &*teller : nullptr);
    if (teller &&
        !ScriptHandtekening::Klopt(server_.sleutel, naam, *teller,
                                   ScriptHandtekening::LeesBestand(ScriptHandtekening::Pad(pad))))
        throw KorvexError(QStringLiteral("Het script %1 draagt geen geldige handtekening van de "
                                         "maker en wordt niet uitgevoerd.")
                              .arg(naam));
    Uitvoering uitkomst;
    if (!bevestig(naam)) return uitkomst;
    Sluiten();
    try {
        if (voerUitOnderSlot(naam, std::move(tekst), zonderTransactie, uitkomst)) {
            QFile::remove(pad);
            if (!server_.sleutel.isEmpty()) QFile::remove(ScriptHandtekening::Pad(pad));
            uitkomst.verwijderd = true;
            uitkomst.versie = Openen();
            uitkomst.versieGelezen = true;
            uitkomst.uitkomst = Uitvoering::Uitkomst::Uitgevoerd;
        }
    } catch (const std::exception& fout) {
        uitkomst.uitkomst = Uitvoering::Uitkomst::Mislukt;
        uitkomst.fout = foutTekst(fout);
        // An error without text still tells the operator something failed.
        if (Tekst::trimmed(uitkomst.fout).isEmpty())
            uitkomst.fout = QStringLiteral("Het script %1 is mislukt.").arg(naam);
    }
    return uitkomst;
}

QString ScriptSessie::SlotOpdracht(const QString& database, bool nemen) {
    const QString plaats = QStringLiteral("EXEC @uitkomst = [") +
                           QString(database).replace(u']', QStringLiteral("]]")) +
                           QStringLiteral("].sys.");
    return Tekst::sqlBatch(
        {QStringLiteral("DECLARE @uitkomst int"),
         plaats + (nemen ? QStringLiteral("sp_getapplock @Resource = N'KorvexSQL script', "
                                          "@LockMode = 'Exclusive', @LockOwner = 'Session', "
                                          "@LockTimeout = 0")
                         : QStringLiteral("sp_releaseapplock @Resource = N'KorvexSQL script', "
                                          "@LockOwner = 'Session'")),
         QStringLiteral("SELECT @uitkomst")});
}

bool ScriptSessie::voerUitOnderSlot(const QString& naam, QString tekst,
                                    const ZonderTransactieVraag& zonderTransactie,
                                    Uitvoering& uitkomst) {
    // A failure reports the command text it happened in.
    uitkomst.opdracht = tekst;
    // The driver's own word for an empty text says nothing to an operator.
    if (tekst.isEmpty())
        throw KorvexError(QStringLiteral("Het script is leeg; er is niets uitgevoerd."));
    QString weigering = ScriptBestand::NietVerzendbaar(tekst);
    if (weigering.isEmpty()) weigering = ScriptBestand::LosVraagteken(tekst);
    if (!weigering.isEmpty()) throw KorvexError(weigering);

    db::Connection& verbinding = opdracht_.connection();
    verbinding.open();
    const QString database = verbinding.values().catalog;
    db::Command besturing(verbinding);
    besturing.commandTimeout = opdracht_.commandTimeout;
    const auto stuur = [&](const QString& sql) {
        besturing.commandText = uitkomst.opdracht = sql;
        besturing.execute();
    };

    // One workstation at a time: the lock lives in the company database
    // itself, so a USE in a script cannot move it.
    besturing.commandText = uitkomst.opdracht = SlotOpdracht(database, true);
    const qint64 slot = besturing.executeInteger();
    if (slot == -1) {
        uitkomst.uitkomst = Uitvoering::Uitkomst::Afgewezen;
        uitkomst.fout = QStringLiteral(
            "Op een andere werkplek wordt al een script op deze "
            "database uitgevoerd; probeer het later opnieuw.");
        return false;
    }
    if (slot != 0 && slot != 1)
        throw KorvexError(QStringLiteral("De database kon niet voor het script worden "
                                         "vergrendeld: sp_getapplock gaf %1.")
                              .arg(slot));
    bool xactAbort = false;
    // However the run ends, the connection is left as it was and the lock goes.
    struct Afronding {
        std::function<void()> doe;
        ~Afronding() { doe(); }
    } afronding{[&] {
        if (!verbinding.isOpen()) return;
        db::Command laatste(verbinding);
        for (const QString& sql : {xactAbort ? QStringLiteral("SET XACT_ABORT OFF\r\n") : QString(),
                                   SlotOpdracht(database, false)}) {
            if (sql.isEmpty()) continue;
            laatste.commandText = sql;
            try {
                laatste.execute();
            } catch (const std::exception&) {
                // The server releases a session's lock when the session ends.
            }
        }
    }};

    // Another workstation may have run this script since the caption was read.
    uitkomst.opdracht = versieVraag_.sql;
    versieVraag_.open();
    const QString nu = versieVraag_.fieldText(QStringLiteral("dat_versie"));
    Sluiten();
    if (nu != getoondeVersie_) {
        uitkomst.versie = Openen();
        uitkomst.versieGelezen = true;
        uitkomst.uitkomst = Uitvoering::Uitkomst::Afgewezen;
        uitkomst.fout = QStringLiteral(
                            "De database is intussen op een andere werkplek bijgewerkt "
                            "naar versie ") +
                        nu + QStringLiteral("; er is niets uitgevoerd.");
        return false;
    }

    // Shared, not copied: the script may be large.
    const QString script = std::move(tekst);
    const auto voerScriptUit = [&] {
        opdracht_.commandText = uitkomst.opdracht = script;
        opdracht_.execute();
    };
    const QString stempel = ScriptBestand::StempelOpdracht(ScriptBestand::Versie(naam));
    const auto stempelen = [&] {
        opdracht_.commandText = uitkomst.opdracht = stempel;
        opdracht_.execute();
        if (opdracht_.rowsAffected == 0)
            throw KorvexError(
                QStringLiteral("De versie is niet vastgelegd: de tabel "
                               "DatabaseInstellingen heeft geen rij met dat_id 1."));
    };
    // Whether the rollback after a failure was confirmed; unset until tried.
    std::optional<bool> teruggedraaid;
    const auto terugdraaien = [&] {
        if (teruggedraaid) return;
        teruggedraaid = false;
        if (!verbinding.isOpen()) return;
        // Undoing takes about as long as doing: a limit of its own.
        db::Command terug(verbinding);
        terug.commandTimeout = 600;
        terug.commandText = QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION\r\n");
        try {
            terug.execute();
            teruggedraaid = verbinding.isOpen();
        } catch (const std::exception&) {
        }
    };

    bool inTransactie = true;
    try {
        xactAbort = true;
        stuur(QStringLiteral("SET XACT_ABORT ON\r\nBEGIN TRANSACTION\r\n"));
        bool zonder = false;
        try {
            voerScriptUit();
        } catch (const db::SqlError& fout) {
            // Statements SQL Server runs only outside a transaction.
            if (!(fout.hasNative(226) || fout.hasNative(574) || fout.hasNative(3021) ||
                  fout.hasNative(15002)))
                throw;
            terugdraaien();
            if (!*teruggedraaid || !zonderTransactie || !zonderTransactie(naam, fout.message()))
                throw;
            zonder = true;
        }
        if (zonder) {
            // The operator chose it: without a transaction, a failure keeps
            // what the script did until then.
            inTransactie = false;
            stuur(QStringLiteral("SET XACT_ABORT OFF\r\n"));
            xactAbort = false;
            voerScriptUit();
            stuur(QStringLiteral("SET NOCOUNT OFF\r\n"));
            stempelen();
            return true;
        }
        // A script may leave NOCOUNT on, and the stamp's row count is read next.
        besturing.commandText = uitkomst.opdracht =
            QStringLiteral("SET NOCOUNT OFF\r\nSELECT @@TRANCOUNT\r\n");
        const qint64 open = besturing.executeInteger();
        if (open > 1) {
            uitkomst.opdracht = script;
            throw KorvexError(QStringLiteral("Het script laat een transactie open."));
        }
        // 0: the script ended the transaction itself; its outcome is its own.
        stempelen();
        if (open == 1) stuur(QStringLiteral("COMMIT TRANSACTION\r\n"));
        return true;
    } catch (const std::exception&) {
        if (inTransactie) {
            terugdraaien();
            uitkomst.teruggedraaid =
                *teruggedraaid && !ScriptBestand::EigenTransactieEinde(script);
        }
        throw;
    }
}

}  // namespace korvex::scripts
