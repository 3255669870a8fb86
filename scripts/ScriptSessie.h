#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

#include "platform/Platform.h"

namespace korvex::db {
class Command;
class Query;
}  // namespace korvex::db

namespace korvex::net {
class FtpClient;
}

namespace korvex::scripts {

// Where the script server is and how long a silent one is waited for.
struct ScriptServer {
    QString host;
    quint16 port = 21;
    QString gebruiker;
    QString wachtwoord;
    int verbindTimeoutMs = 30000;
    int antwoordTimeoutMs = 60000;
    int gegevensTimeoutMs = 60000;
    // The maker's public key (base64): scripts are then offered, kept and
    // run only with the maker's signature beside them. Empty checks none.
    QString sleutel;
    // The deployment's values.
    static ScriptServer Standaard();
};

// The company database's stamped version as the script manager shows it.
struct DatabaseVersie {
    QString versie;
    // The stamp's date as dd-mm-yyyy; no value reads as 30-12-1899.
    QString datum;
};

// What a fetch batch needs of the window that shows it.
struct OphaalWaarnemer {
    // The script is already in the local folder: fetch it again?
    std::function<DialogResult()> bestaatAl;
    // A fetch returned: the local folder may hold a new script.
    std::function<void()> lokaalGewijzigd;
    // The server was listed afresh (or the listing failed and left the
    // offered list empty).
    std::function<void()> lijstGewijzigd;
    // A failure's message text.
    std::function<void(const QString&)> meld;
};

// How a run of one script ended.
struct Uitvoering {
    // Afgewezen: nothing of the script was sent (another workstation holds the
    // lock or changed the version); one message, no command text.
    enum class Uitkomst { NietGevraagd, Uitgevoerd, Mislukt, Afgewezen };
    Uitkomst uitkomst = Uitkomst::NietGevraagd;
    // The file went: the local list must be read afresh.
    bool verwijderd = false;
    // The version read back (after the stamp, or when another workstation
    // changed it); only when `versieGelezen`.
    DatabaseVersie versie;
    bool versieGelezen = false;
    // After a failure: its text, never empty, and the command text that failed.
    QString fout;
    QString opdracht;
    // The failed run's transaction was rolled back, and the script ended none
    // of its own: the database is as it was.
    bool teruggedraaid = false;
};

// The work of the script manager: the version key, what the script server
// offers, the fetch batch and the run of a script with its stamp. Lent the
// window's FTP client, version query and command, all on its one
// connection; asks the operator nothing itself.
class ScriptSessie {
  public:
    ScriptSessie(Platform& platform, net::FtpClient& ftp, db::Query& versieVraag,
                 db::Command& opdracht, ScriptServer server);

    // Reads the version (opening the query when closed) and forms the key.
    DatabaseVersie Openen();
    void Sluiten();
    const QString& VersieSleutel() const { return versieSleutel_; }

    // Logs in to the script server and lists its root folder.
    void Inloggen(bool passief, const QString& lokaleMap);

    // The names the last listing offered, in list order.
    const QStringList& Aangeboden() const { return aangeboden_; }
    void VergeetLijst() { aangeboden_.clear(); }

    // Lists the server folder and offers the newer scripts that the local
    // folder lacks and that did not fail in this session. The offered list
    // is emptied first; a failure throws and leaves it empty.
    void ChangeDir(const QString& map, const QString& lokaleMap);

    // Fetches one entry (with a key: and its signature file) into the local
    // folder; always handled. A failure of a new fetch is reported, not
    // thrown; one after Ja to the question is thrown. A pair that does not
    // verify is not kept.
    bool IsFile(const QString& naam, const QString& lokaleMap, const OphaalWaarnemer& waarnemer);

    // Set when the batch must end after the current entry.
    bool StopOphalen = false;

    // Fetches the offered scripts in list order, at most five, then logs out.
    // False when the connection was gone during the batch.
    bool OphalenBatch(const QString& lokaleMap, const OphaalWaarnemer& waarnemer);

    // Asked when SQL Server refuses the script inside a transaction: the
    // script's name and the server's message; true runs it without one.
    using ZonderTransactieVraag = std::function<bool(const QString&, const QString&)>;

    // Reads the script at `pad` (and, with a key, checks its signature in the
    // same reading), asks through `bevestig` (given the file name), then, on
    // one workstation at a time under the database's application lock, runs
    // exactly what was read as one batch and stamps its version in one
    // transaction: whole or not at all. Throws when there is nothing to ask
    // about; a failure after the answer is returned.
    Uitvoering VoerUit(const QString& pad, const std::function<bool(const QString&)>& bevestig,
                       const ZonderTransactieVraag& zonderTransactie = {});

    // The batch that takes (or releases) the script lock in `database`.
    static QString SlotOpdracht(const QString& database, bool nemen);

    static constexpr int PassenPerBatch = 5;

  private:
    void haalNieuwOp(const QString& naam, const QString& pad);
    // Fetches the signature file of `naam` and keeps it beside the script at
    // `pad` only when the pair verifies; throws otherwise.
    void haalHandtekeningOp(const QString& naam, const QString& pad, const QString& scriptPad);
    // True when the script ran and was stamped.
    bool voerUitOnderSlot(const QString& naam, QString tekst,
                          const ZonderTransactieVraag& zonderTransactie, Uitvoering& uitkomst);

    Platform& platform_;
    ScriptServer server_;
    net::FtpClient& ftp_;
    db::Query& versieVraag_;
    db::Command& opdracht_;
    QString versieSleutel_;
    // The version as the caption shows it.
    QString getoondeVersie_;
    QStringList aangeboden_;
    // Names whose fetch failed: not offered again in this session.
    QSet<QString> mislukt_;
    // The last fetch's failure, kept over the listing's report after it.
    QString ophaalFout_;
};

}  // namespace korvex::scripts
