#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

// Reads the version resource of an executable or library and lays it out as
// "key=value" lines, with the numeric codes turned into English names.
class TkivVerInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString FileName MEMBER FileName)
    Q_PROPERTY(QStringList Infos READ Infos)
    Q_PROPERTY(qint32 LastError READ LastError)

  public:
    explicit TkivVerInfo(QObject* owner = nullptr);
    ~TkivVerInfo() override;

    // Path of the file ReadInfos reads.
    QString FileName;

    // The lines of the last read.
    const QStringList& Infos() const { return FInfos; }
    // 0 read, 1 no version information, 2 block too large, 3 read failed.
    qint32 LastError() const { return FLastError; }

    virtual void ClearInfos();
    virtual void ReadInfos();

  protected:
    // The lines for a block already read; used by ReadInfos.
    void VerwerkBlok(const QByteArray& blok);
    // The name after "=" in the row whose key equals sleutel (case ignored), or "".
    static QString Zoek(const QStringList& tabel, const QString& sleutel);

    QStringList FInfos;
    bool FDebug = false;
    bool FPatched = false;
    bool FPreRelease = false;
    bool FPrivateBuild = false;
    bool FSpecialBuild = false;
    qint32 FLastError = 0;
    QStringList FTalen;
    QStringList FTekensets;
    QStringList FOsFamilies;
    QStringList FOsSubsystemen;
    QStringList FBestandstypen;
    QStringList FDriverSubtypen;
    QStringList FFontSubtypen;
};
