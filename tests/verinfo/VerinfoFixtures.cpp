#include "VerinfoFixtures.h"

#include <gtest/gtest.h>

#include <QFile>

namespace korvex::test {

QString Gemaakt(const QString& naam) {
    return QStringLiteral(KORVEX_VERINFO_FIXTURES) + naam;
}

QByteArray LeesBestand(const QString& pad) {
    QFile f(pad);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << pad.toStdString();
    return f.readAll();
}

void SchrijfBestand(const QString& pad, const QByteArray& inhoud) {
    QFile f(pad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << pad.toStdString();
    ASSERT_EQ(f.write(inhoud), inhoud.size());
}

quint32 Le32(const QByteArray& d, qsizetype off) {
    quint32 v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<quint8>(d.at(off + i));
    return v;
}

void ZetLe16(QByteArray& d, qsizetype off, quint16 waarde) {
    d[off] = char(waarde & 0xFF);
    d[off + 1] = char(waarde >> 8);
}

void ZetLe32(QByteArray& d, qsizetype off, quint32 waarde) {
    ZetLe16(d, off, quint16(waarde & 0xFFFF));
    ZetLe16(d, off + 2, quint16(waarde >> 16));
}

namespace {
void Uitlijnen(QByteArray& d) {
    while (d.size() % 4 != 0) d.append('\0');
}
void Utf16(QByteArray& d, const QString& tekst) {
    for (QChar c : tekst) {
        d.append(char(c.unicode() & 0xFF));
        d.append(char(c.unicode() >> 8));
    }
}
}  // namespace

BlokKnoop BlokKnoop::Tekst(const QString& sleutel, const QString& tekst) {
    BlokKnoop k;
    k.sleutel = sleutel;
    Utf16(k.waarde, tekst);
    k.waarde.append(2, '\0');
    k.tekst = true;
    return k;
}

QByteArray BlokKnoop::Bouw() const {
    QByteArray d(6, '\0');
    const int lengte =
        waardeLengte >= 0 ? waardeLengte : int(tekst ? waarde.size() / 2 : waarde.size());
    ZetLe16(d, 2, quint16(lengte));
    ZetLe16(d, 4, tekst ? 1 : 0);
    Utf16(d, sleutel);
    d.append(2, '\0');
    Uitlijnen(d);
    d.append(waarde);
    for (const BlokKnoop& kind : kinderen) {
        Uitlijnen(d);
        d.append(kind.Bouw());
    }
    ZetLe16(d, 0, quint16(d.size()));
    return d;
}

}  // namespace korvex::test
