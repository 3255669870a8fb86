#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <functional>

#include "database/access/Command.h"
#include "database/access/Connection.h"
#include "database/access/Query.h"
#include "net/FtpClient.h"
#include "platform/Platform.h"
#include "scripts/ScriptSessie.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QStatusBar;
class QToolButton;

namespace korvex::scripts {

class BestandLijst;
class MapLijst;
class StationKeuze;

// The connection fields of the main window, as typed at the moment of asking.
struct VerbindingsVelden {
    QString server;
    QString inlognaam;
    QString paswoord;
    QString vkmId;
};

// What the script manager uses of the window that opens it.
struct ScriptBeheerContext {
    std::function<VerbindingsVelden()> velden;
    // Appends one entry to the log memo.
    std::function<void(const QString&)> logboek;
    ScriptServer server = ScriptServer::Standaard();
};

// The script manager: logs in to the script server, fetches the scripts the
// company database still lacks into a local folder and runs them, each
// stamping its version into the database.
class TFKorvexFTP : public QDialog {
    Q_OBJECT

  public:
    TFKorvexFTP(Platform& platform, ScriptBeheerContext context, QWidget* parent = nullptr);
    ~TFKorvexFTP() override;

    QToolButton* Verbinden;
    QToolButton* OphalenBestand;
    QToolButton* ScriptUitvoeren;
    QToolButton* Verbreken;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QListWidget* SQLBestandenFTP;
    StationKeuze* DriveComboBox1;
    MapLijst* SQLBestandenLokaal;
    BestandLijst* OverzichtBestanden;
    QCheckBox* Passive;
    QToolButton* BtnSluit;
    QStatusBar* StatusBar1;

    net::FtpClient FTP;
    QTimer Controller;
    db::Connection ADO;
    db::Query ADOQ;
    db::Command ADOCommand;

    // The version key of the database shown in the caption.
    const QString& VersieSleutel() const { return sessie_.VersieSleutel(); }

    QString statusText() const;

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormCloseQuery();
    void ControllerTimer();
    void ADOBeforeConnect();
    void BtnSluitClick();
    void VerbindenClick();
    void OphalenBestandClick();
    void SQLBestandenFTPDblClick();
    void VerbrekenClick();
    void ScriptUitvoerenClick();

    // Operations.
    void Openen();
    void Sluiten();
    void ChangeDir(const QString& map);

  protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

  private:
    void bouw();
    void status(const QString& tekst);
    void status(const std::exception& fout);
    void toonLijst();
    void toonVersie(const DatabaseVersie& versie);
    bool vraagUitvoeren(const QString& naam);
    bool vraagZonderTransactie(const QString& naam, const QString& melding);
    // A question in the system box of the run, answered Yes or No.
    bool vraag(const QString& tekst);
    void meldMislukt(const Uitvoering& uitvoering);
    void selecteerEersteLokaal();
    void zetBatchKnoppen(bool aan);

    Platform& platform_;
    ScriptBeheerContext context_;
    // Does the work; lent FTP, ADOQ and ADOCommand.
    ScriptSessie sessie_;
    bool batch_ = false;
    bool sluitStappenGedaan_ = false;
};

}  // namespace korvex::scripts
