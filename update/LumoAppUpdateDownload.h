#pragma once

#include <QDateTime>
#include <QDialog>

#include "net/HttpClient.h"
#include "update/UpdateDownload.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace korvex {

class Platform;
class TLumoAppUpdateNotifyBox;

// Shows the download of the installer: file, speed, status, elapsed and
// remaining time and the amount transferred, with a cancel button.
class TLumoAppUpdateDownloadBox : public QDialog {
    Q_OBJECT
  public:
    // Belongs to the notification window, so it takes input while that one
    // is shown modally.
    explicit TLumoAppUpdateDownloadBox(TLumoAppUpdateNotifyBox& notify);
    ~TLumoAppUpdateDownloadBox() override;

    // Shows the download of the installer named by the notification
    // window's record, which UpdateDownload fetches into TempDownloads,
    // checks and hands to the updater; runs to its end inside the download
    // button's click.
    static void Download(TLumoAppUpdateNotifyBox& notify);

    // A whole number of seconds as "hh:nn:ss"; hours past 99 keep all digits.
    static QString tijdTekst(qint64 seconden);

    void CancelButtonClick();
    void HttpCli1DocumentData(qint64 ontvangen);
    void Timer1Timer();

    QLabel* Label1;
    QLabel* FileLabel;
    QLabel* Label2;
    QLabel* SpeedLabel;
    QLabel* Label4;
    QLabel* StatusLabel;
    QLabel* Label5;
    QLabel* ElapsedTimeLabel;
    QLabel* Label6;
    QLabel* RemainingTimeLabel;
    QLabel* Label9;
    QLabel* TransferLabel;
    QProgressBar* ProgressBar1;
    QPushButton* CancelButton;
    QLabel* Image1;
    QTimer* Timer1;
    net::HttpClient* HttpCli1;

    QDateTime StartTime;

    // The close box and Escape end up here: while the transfer runs they ask
    // as AFBREKEN does, so the window never hides a running download.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void zetOverdracht(qint64 ontvangen);
    // The service's reports, shown as they come.
    void toonBegin(qint64 maximum);
    void toonEinde(const QString& mislukt);
    // The outcome in its dialog; a checked installer goes to the updater.
    void meldUitkomst(const UpdateDownload::Resultaat& uit);

    // Lent this window's HttpCli1.
    UpdateDownload* dienst_;

    TLumoAppUpdateNotifyBox& notify_;
    Platform& platform_;
};

}  // namespace korvex
