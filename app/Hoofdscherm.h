#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "app/InstellingenOpslag.h"
#include "app/KleurTabblad.h"
#include "app/Logboek.h"
#include "database/access/Command.h"
#include "database/access/Connection.h"
#include "database/access/Query.h"
#include "database/admin/Databasebeheer.h"
#include "platform/Platform.h"
#include "scripts/KorvexFTP.h"
#include "update/LumoAppUpdate.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QToolButton;

class TkivVerInfo;

namespace korvex {

// The tool's one window: every command of the tool lives on it.
class THoofdscherm : public QWidget {
    Q_OBJECT

  public:
    // The Platform answers every dialog, sound and system question; the
    // window does not take ownership.
    explicit THoofdscherm(Platform& platform, QWidget* parent = nullptr);
    ~THoofdscherm() override;

    // Controls, with the names the operator's documentation uses.
    TKleurTabblad* RzPageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QWidget* TabSheet3;
    QWidget* TabSheet4;

    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button5;
    QPushButton* Button6;
    QPushButton* Button7;
    QPushButton* Button8;
    QPushButton* Button9;
    QPushButton* Button10;
    QPushButton* Button11;
    QPushButton* Button12;
    QPushButton* Button13;
    QPushButton* Button14;

    QLineEdit* P_SQLSERVER;
    QLineEdit* P_INLOGNAAM;
    QLineEdit* P_PASWOORD;
    QLineEdit* P_DATABASE;
    QLineEdit* P_VKMID;
    QLineEdit* P_PINCODE;
    QLineEdit* LocatieDatabase;
    QToolButton* LocatieDatabaseKiezen;
    QLineEdit* BTWnummer;
    QCheckBox* P_UPDATES;

    TLogboek* Logboek;
    QStatusBar* StatusBar1;
    QLabel* Image1;
    QLabel* Image2;

    // The file dialogs of the configuration files.
    FileDialogRequest SaveDialog1;
    FileDialogRequest OpenDialog1;

    // The server connection, the company connection, the command on the
    // server connection and the company record query on the company one.
    db::Connection ADO;
    db::Connection ADO2;
    db::Command ADOCommand;
    db::Query ADOBDR;

    // The script server the script manager logs in to; the deployment's by
    // default.
    scripts::ScriptServer scriptServer = scripts::ScriptServer::Standaard();

    // Reads the running executable's version for the caption.
    TkivVerInfo* kivVerInfo1;

    // The software update check behind "UPDATE SOFTWARE".
    TLumoAppUpdate* LumoAppUpdate1;

    // Plays one of the tool's stored clips by name; silent when there is none.
    void ZelvoPlay(const QString& name);

    // The settings storage that follows the window's life.
    InstellingenOpslag* opslag() const { return opslag_.get(); }

    // The status bar's one text.
    QString statusText() const;

    // Handlers.
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void apEventsHint(const QString& hint);
    void ADOBeforeConnect();
    void ADO2BeforeConnect();
    void ADOAfterConnect();
    void ADOAfterDisconnect();

    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Button10Click();
    void Button11Click();
    void Button12Click();
    void Button13Click();
    void Button14Click();
    void LocatieDatabaseKiezenClick();

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // The controls; in HoofdschermOpbouw.cpp.
    void bouw();
    void bouwActies();
    void bouwInstellingen();
    void bouwLogboek();
    void bouwType();
    void volgordeToetsenbord();
    void volgHints();
    void hintOnder(const QPoint& plaats);
    void verzamelInstellingen();
    static InstellingenOpslag::Waarde opgeslagenTekst(QLineEdit* veld);

    // Appends one line at the end of the log memo.
    void logRegel(const QString& text);
    void foutDialoog(const QString& text);
    void waarschuwing(const QString& text);
    void informatie(const QString& text);

    // Asks a yes/no question in the message dialog.
    admin::Databasebeheer::Vraag jaNee();
    // Sends an outcome to its place: success and warning to the dialog, a
    // refusal to the log memo.
    void meld(const admin::Uitkomst& uitkomst);
    void levenscyclus(admin::Levenscyclus opdracht);
    void typeProfiel(admin::TypeProfiel profiel);
    void bedrijfsrapport();

    Platform& platform_;
    // Carries out the database commands on the connections lent to it.
    admin::Databasebeheer beheer_;
    std::unique_ptr<InstellingenOpslag> opslag_;
    QString huidigeHint_;
    bool getoond_ = false;
    bool verzameld_ = false;
};

}  // namespace korvex
