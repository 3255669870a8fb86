#include "scripts/ScriptHandtekening.h"

#include <QFile>

#include "platform/Bestand.h"
#include "platform/Ondertekening.h"

namespace korvex::scripts {

bool ScriptHandtekening::IsHandtekeningNaam(const QString& naam) {
    return naam.endsWith(QStringLiteral(".sig"), Qt::CaseInsensitive);
}

QByteArray ScriptHandtekening::Verklaring(const QString& naam, qint64 grootte,
                                          const QByteArray& sha512) {
    return "KorvexSQL script\n" + naam.toUtf8() + '\n' + QByteArray::number(grootte) + '\n' +
           sha512.toHex() + '\n';
}

QString ScriptHandtekening::UitInhoud(const QByteArray& inhoud) {
    QByteArrayView tekst(inhoud);
    if (tekst.endsWith("\r\n"))
        tekst.chop(2);
    else if (tekst.endsWith('\n'))
        tekst.chop(1);
    // What is left must be base64 alone; the strict decoding refuses any
    // further line end or blank.
    return QString::fromLatin1(tekst);
}

QByteArray ScriptHandtekening::LeesBestand(const QString& pad) {
    Bestand::Gelezen gelezen = Bestand::Lees(pad, MaximaleGrootte);
    return gelezen.uitkomst == Bestand::Leesuitkomst::Gelezen ? gelezen.inhoud : QByteArray();
}

bool ScriptHandtekening::Klopt(const QString& sleutel, const QString& naam, Sha512Teller& teller,
                               const QByteArray& inhoud) {
    const QString handtekening = UitInhoud(inhoud);
    const qint64 grootte = teller.Grootte();
    const QByteArray digest = teller.Digest();
    return !digest.isEmpty() &&
           Ed25519Klopt(sleutel, handtekening, Verklaring(naam, grootte, digest));
}

bool ScriptHandtekening::BestandKlopt(const QString& sleutel, const QString& naam,
                                      const QString& scriptPad, const QByteArray& inhoud) {
    if (!Ed25519Vorm(sleutel, UitInhoud(inhoud))) return false;
    QFile script(scriptPad);
    Bestand::Gelezen open;
    if (!Bestand::OpenRegulier(script, open)) return false;
    Sha512Teller teller;
    QByteArray blok(qsizetype(1) << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = script.read(blok.data(), blok.size());
        if (n < 0) return false;
        if (n == 0) break;
        teller.Voeg(QByteArrayView(blok.constData(), n));
    }
    return Klopt(sleutel, naam, teller, inhoud);
}

}  // namespace korvex::scripts
