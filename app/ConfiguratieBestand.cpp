#include "app/ConfiguratieBestand.h"

#include <QFile>
#include <QFileInfo>

#include "platform/AnsiCodec.h"
#include "platform/Bestand.h"
#include "platform/KorvexError.h"
#include "platform/Tekst.h"

namespace korvex {

namespace {

KorvexError KanNietMaken(const QString& pad, const QString& reden) {
    return KorvexError(QStringLiteral("Cannot create file \"%1\". %2").arg(pad, reden));
}

KorvexError KanNietOpenen(const QString& pad, const QString& reden) {
    return KorvexError(QStringLiteral("Cannot open file \"%1\". %2").arg(pad, reden));
}

}  // namespace

const QStringList& ConfiguratieBestand::Sleutels() {
    static const QStringList sleutels{
        QStringLiteral("P_SQLSERVER"),     QStringLiteral("P_INLOGNAAM"),
        QStringLiteral("P_PASWOORD"),      QStringLiteral("P_DATABASE"),
        QStringLiteral("P_VKMID"),         QStringLiteral("P_PINCODE"),
        QStringLiteral("LocatieDatabase"), QStringLiteral("BTWnummer")};
    return sleutels;
}

void ConfiguratieBestand::Schrijven(const QString& pad, const QStringList& waarden) {
    QString tekst;
    for (qsizetype i = 0; i < Sleutels().size(); ++i) {
        QString waarde = waarden.value(i);
        // A line break inside a value would end its line early and could
        // read back as another key.
        waarde.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        waarde.replace(u'\r', u' ');
        waarde.replace(u'\n', u' ');
        tekst += Sleutels().at(i) + u'=' + waarde + QStringLiteral("\r\n");
    }
    const QByteArray inhoud = AnsiCodec::encode(tekst);

    const QFileInfo info(pad);
    if (info.isDir()) throw KanNietMaken(pad, QStringLiteral("Is a directory"));
    // A file without any write bit is read-only, also for an administrator
    // whom the system would let replace it.
    const auto schrijfbaar =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (info.exists() && (info.permissions() & schrijfbaar) == 0)
        throw KanNietMaken(pad, QStringLiteral("Permission denied"));
    QString reden;
    if (!Bestand::Schrijf(pad, inhoud, &reden)) throw KanNietMaken(pad, reden);
}

QStringList ConfiguratieBestand::Lezen(const QString& pad) {
    // Only a regular file: a pipe or device could block the window forever
    // or never end.
    const Bestand::Gelezen gelezen = Bestand::Lees(pad, MaximaleLeesGrootte);
    if (gelezen.uitkomst != Bestand::Leesuitkomst::Gelezen) throw KanNietOpenen(pad, gelezen.reden);
    QStringList waarden = Ontleden(AnsiCodec::decodeWithBom(gelezen.inhoud));
    // A field holds no more than this; cutting the value would change it
    // without a word.
    for (const QString& waarde : waarden)
        if (waarde.size() > Tekst::MaximaleVeldLengte)
            throw KanNietOpenen(pad, QStringLiteral("Value too long"));
    return waarden;
}

QStringList ConfiguratieBestand::Ontleden(const QString& tekst) {
    QStringList regels;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < tekst.size(); ++i) {
        const QChar c = tekst.at(i);
        if (c != u'\r' && c != u'\n') continue;
        regels.append(tekst.mid(begin, i - begin));
        if (c == u'\r' && i + 1 < tekst.size() && tekst.at(i + 1) == u'\n') ++i;
        begin = i + 1;
    }
    if (begin < tekst.size()) regels.append(tekst.mid(begin));

    QStringList waarden;
    for (const QString& sleutel : Sleutels()) {
        QString waarde;
        for (const QString& regel : regels) {
            const qsizetype is = regel.indexOf(u'=');
            if (is < 0) continue;
            if (QStringView(regel).first(is).compare(sleutel, Qt::CaseInsensitive) == 0) {
                waarde = regel.mid(is + 1);
                break;
            }
        }
        waarden.append(waarde);
    }
    return waarden;
}

}  // namespace korvex
