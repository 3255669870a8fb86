#pragma once

#include <QDialog>
#include <QSet>
#include <QString>
#include <QTimer>
#include <functional>

#include "database/access/Command.h"
#include "database/access/Connection.h"
#include "database/access/Query.h"
#include "net/FtpClient.h"
#include "platform/Platform.h"

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

// Where the script server is and how long a silent one is waited for.
struct ScriptServer {
    QString host;
    quint16 port = 21;
    QString gebruiker;
    QString wachtwoord;
    int verbindTimeoutMs = 30000;
    int antwoordTimeoutMs = 60000;
    int gegevensTimeoutMs = 60000;
    // The deployment's values.
    static ScriptServer Standaard();
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

    QString VersieSleutel;
    bool StopOphalen = false;

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
    bool IsFile(const QString& naam);

  protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

  private:
    void bouw();
    void status(const QString& tekst);
    void status(const std::exception& fout);
    void haalNieuwOp(const QString& naam, const QString& pad);
    void selecteerEersteLokaal();
    void zetBatchKnoppen(bool aan);
    bool lokaalAanwezig(const QString& naam) const;

    Platform& platform_;
    ScriptBeheerContext context_;
    // Names whose fetch failed: not offered again while the window is open.
    QSet<QString> mislukt_;
    bool batch_ = false;
    // The last fetch's failure, and whether the last listing arrived whole.
    QString ophaalFout_;
    bool lijstOpgehaald_ = false;
    bool sluitStappenGedaan_ = false;
};

}  // namespace korvex::scripts
