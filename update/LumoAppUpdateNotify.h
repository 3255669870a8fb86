#pragma once

#include <QDialog>

#include "net/HttpClient.h"
#include "update/UpdateTypen.h"

class QLabel;
class QPlainTextEdit;
class QToolBar;
class QToolButton;

namespace korvex {

class Platform;
class TLumoAppUpdateDownloadBox;

// Tells the operator that a newer version exists, shows its release notes
// and offers the download, the maker's web page or closing. The update
// check fills it and shows it modally; the download runs from its button.
class TLumoAppUpdateNotifyBox : public QDialog {
    Q_OBJECT
  public:
    explicit TLumoAppUpdateNotifyBox(Platform& platform);
    ~TLumoAppUpdateNotifyBox() override;

    // The size in the window's FileSizeUnit, with the regional thousands
    // separator.
    QString FormatFileSize(qint64 bytes) const;
    // Everything after the last "/" (the whole text without one).
    static QString FileNameFromURL(const QString& url);
    // The size the server announces for the client's URL by a HEAD request;
    // 0 when it cannot be learned.
    int GetRemoteFileSize(net::HttpClient& client);

    // The memo as the check fills it.
    void leegMemo();
    void voegRegelToe(const QString& regel);
    // Replaces the memo's lines with the file's text; a file that cannot be
    // read leaves the memo as it was.
    void laadMemo(const QString& pad);

    void DownloadButtonClick();
    void OpenWebPageButtonClick();
    void ButtonSluitenClick();

    Platform& platform() const { return platform_; }
    // The download window of a running download, where GetRemoteFileSize
    // writes its status; null otherwise.
    TLumoAppUpdateDownloadBox* downloadBox = nullptr;

    TManifestRecord record;
    TLumoAppUpdateFileSizeUnit FileSizeUnit = TLumoAppUpdateFileSizeUnit::Auto;
    THashType HashType = THashType::None;
    QString SignatureKey;

    QLabel* Image1;
    QPlainTextEdit* ReadmeMemo;
    QToolBar* RzToolbar1;
    QToolButton* DownloadButton;
    QToolButton* OpenWebPageButton;
    QToolButton* ButtonSluiten;
    net::HttpClient* HttpCli1;

    static constexpr qint64 kMaximaleLeesmijGrootte = 8 * 1024 * 1024;

  protected:
    void showEvent(QShowEvent* event) override;
    // While a download runs the window stays: it owns the download window,
    // and closing it would hide that one with it.
    void reject() override;

  private:
    Platform& platform_;
};

}  // namespace korvex
