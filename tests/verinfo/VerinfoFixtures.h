#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace korvex::test {

// A file made at build time from the .rc files in fixtures/ (see
// fixtures/fixtures.cmake).
QString Gemaakt(const QString& naam);

QByteArray LeesBestand(const QString& pad);
void SchrijfBestand(const QString& pad, const QByteArray& inhoud);

quint32 Le32(const QByteArray& d, qsizetype off);
void ZetLe16(QByteArray& d, qsizetype off, quint16 waarde);
void ZetLe32(QByteArray& d, qsizetype off, quint32 waarde);

// A node of a version block, for blocks the resource compiler would never
// write. Bouw lays it out like the compiler does (4-byte alignment, wLength
// without trailing padding); tests then damage the bytes.
struct BlokKnoop {
    QString sleutel;
    QByteArray waarde;
    bool tekst = false;
    int waardeLengte = -1;  // -1: bytes, or characters for text
    QList<BlokKnoop> kinderen;

    static BlokKnoop Tekst(const QString& sleutel, const QString& tekst);  // with its NUL
    QByteArray Bouw() const;
};

}  // namespace korvex::test
