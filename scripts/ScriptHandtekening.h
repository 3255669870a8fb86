#pragma once

#include <QByteArray>
#include <QString>

namespace korvex {
class Sha512Teller;
}

namespace korvex::scripts {

// The maker's signature over an upgrade script: a file named after the
// script plus ".sig", beside it, holding the Ed25519 signature in base64
// over the statement "KorvexSQL script", the script's file name, its size in
// decimal and its SHA-512 in lower-case hexadecimal, each ended by LF. The
// name binds the version the script stamps, so a renamed script is refused.
class ScriptHandtekening {
  public:
    // A larger signature file is not a signature.
    static constexpr qint64 MaximaleGrootte = 1024;

    static QString Pad(const QString& scriptPad) { return scriptPad + QStringLiteral(".sig"); }
    static QString Naam(const QString& scriptNaam) { return scriptNaam + QStringLiteral(".sig"); }

    // Whether a listed name is a signature file rather than a script, in any
    // letter case.
    static bool IsHandtekeningNaam(const QString& naam);

    static QByteArray Verklaring(const QString& naam, qint64 grootte, const QByteArray& sha512);

    // The signature text of a signature file's contents: the base64 text and
    // at most one line end (LF or CR LF). Empty for anything else.
    static QString UitInhoud(const QByteArray& inhoud);

    // The contents of the signature file at `pad`; empty when it is missing,
    // not a regular file, unreadable or larger than the maximum.
    static QByteArray LeesBestand(const QString& pad);

    // Whether `inhoud` (a signature file's contents) is the maker's signature
    // by `sleutel` over a script called `naam` whose bytes `teller` counted.
    // Ends the counting.
    static bool Klopt(const QString& sleutel, const QString& naam, Sha512Teller& teller,
                      const QByteArray& inhoud);

    // The same for the script file at `scriptPad`, read once here.
    static bool BestandKlopt(const QString& sleutel, const QString& naam, const QString& scriptPad,
                             const QByteArray& inhoud);
};

}  // namespace korvex::scripts
