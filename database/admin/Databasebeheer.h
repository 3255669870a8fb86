#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "database/access/Command.h"
#include "database/access/Connection.h"
#include "database/access/Query.h"
#include "database/admin/Levenscyclus.h"
#include "database/admin/TypeProfiel.h"
#include "platform/Platform.h"

namespace korvex::admin {

// How a command ended when it did not throw. A failure to reach or use the
// server throws KorvexError with the text the operator gets to see.
struct Uitkomst {
    enum class Soort {
        Gedaan,        // the server ran the batch; `tekst` says so
        Afgezegd,      // the operator answered no: nothing was sent
        Waarschuwing,  // the typed values were refused: `tekst` is the warning
        Geweigerd,     // the server refused the batch: `tekst` is its message
    };
    Soort soort = Soort::Afgezegd;
    QString tekst;
    bool foutGeluid = false;  // the "ERROR" cue goes before the warning
};

// The typed values a lifecycle command builds its batch from.
struct Invoer {
    QString vkmId;
    QString locatie;
};

// The company report and the pincode it was read with.
struct Bedrijfsrapport {
    QStringList regels;
    QString pincode;
};

// The commands on the server and company databases behind the main window:
// create, attach, drop and detach the company database, the company type
// profiles, the company report and the VAT number. The window owns the two
// connections, the command and the company query and lends them here; the
// connections read the typed fields themselves when they open.
class Databasebeheer {
  public:
    // Asks the operator a yes/no question; true for yes.
    using Vraag = std::function<bool(const QString& vraag)>;

    Databasebeheer(db::Connection& ADO, db::Connection& ADO2, db::Command& ADOCommand,
                   db::Query& ADOBDR, Platform& platform);

    // `kiesMaster` runs after the reset of the commands that have one,
    // before the server connection opens again, so that it opens on master.
    // `lees` reads the typed values after that reset, so that what was typed
    // while waiting events ran is what goes into the batch.
    Uitkomst Levenscyclus(admin::Levenscyclus opdracht, const std::function<void()>& kiesMaster,
                          const std::function<Invoer()>& lees, const Vraag& vraag);
    Uitkomst TypeProfiel(admin::TypeProfiel profiel, const Vraag& vraag);
    // Opens the company connection and record, reads them and closes the
    // record again.
    Bedrijfsrapport Rapport();
    // A refused update is Geweigerd; a server that cannot be reached throws.
    Uitkomst BtwNummer(const QString& vkmId, const QString& locatie, const QString& btwNummer,
                       const Vraag& vraag);

  private:
    // The warning for a VKM ID or location that cannot go into a batch.
    static Uitkomst invoerGetest(const QString& vkmId, const QString& locatie, bool foutGeluid);

    db::Connection& ADO_;
    db::Connection& ADO2_;
    db::Command& ADOCommand_;
    db::Query& ADOBDR_;
    Platform& platform_;
};

}  // namespace korvex::admin
