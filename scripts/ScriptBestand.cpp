#include "scripts/ScriptBestand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>
#include <optional>

#include "platform/AnsiCodec.h"
#include "platform/Bestand.h"
#include "platform/KorvexError.h"
#include "platform/Ondertekening.h"
#include "platform/Tekst.h"

namespace korvex::scripts {

namespace {

// Appends decoded text with every line end (CR, LF, CR LF) written as CR LF;
// a CR LF split over two blocks stays one line end.
class Regeleinden {
  public:
    explicit Regeleinden(QString& uit) : uit_(uit) {}
    void Voeg(QStringView deel) {
        for (const QChar c : deel) {
            if (c == u'\n') {
                if (!naCr_) uit_.append(QStringLiteral("\r\n"));
                naCr_ = false;
            } else if (c == u'\r') {
                uit_.append(QStringLiteral("\r\n"));
                naCr_ = true;
            } else {
                uit_.append(c);
                naCr_ = false;
            }
        }
    }
    // The last line gets its line end too.
    void Sluit() {
        if (!uit_.isEmpty() && !uit_.endsWith(u'\n')) uit_.append(QStringLiteral("\r\n"));
    }

  private:
    QString& uit_;
    bool naCr_ = false;
};

QString Leesfout(const QString& pad, const QString& reden) {
    return QStringLiteral("Het bestand \"%1\" kan niet worden gelezen: %2")
        .arg(QDir::toNativeSeparators(pad), reden);
}

}  // namespace

QString ScriptBestand::LeesOpdracht(const QString& pad, Sha512Teller* teller) {
    QFile bestand(pad);
    Bestand::Gelezen open;
    if (!Bestand::OpenRegulier(bestand, open)) {
        if (open.uitkomst == Bestand::Leesuitkomst::Ontbreekt)
            throw KorvexError(QStringLiteral("Het bestand \"%1\" bestaat niet.")
                                  .arg(QDir::toNativeSeparators(pad)));
        if (open.uitkomst == Bestand::Leesuitkomst::GeenGewoonBestand)
            throw KorvexError(QStringLiteral("\"%1\" is geen gewoon bestand.")
                                  .arg(QDir::toNativeSeparators(pad)));
        throw KorvexError(Leesfout(pad, open.reden));
    }
    if (bestand.size() > MaximaleGrootte)
        throw KorvexError(QStringLiteral("Het script \"%1\" is groter dan 1 GB en wordt niet "
                                         "uitgevoerd.")
                              .arg(QFileInfo(pad).fileName()));

    constexpr qint64 blok = 1 << 20;
    QByteArray gelezen;
    const auto leesBlok = [&]() -> qsizetype {
        gelezen.resize(blok);
        const qint64 n = bestand.read(gelezen.data(), blok);
        if (n < 0) throw KorvexError(Leesfout(pad, bestand.errorString()));
        gelezen.resize(qsizetype(n));
        if (teller) teller->Voeg(gelezen);
        return qsizetype(n);
    };

    leesBlok();
    std::optional<QStringDecoder> decoder;
    qsizetype begin = 0;
    qint64 tekens = bestand.size();
    if (gelezen.startsWith("\xEF\xBB\xBF")) {
        decoder.emplace(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        begin = 3;
    } else if (gelezen.startsWith("\xFF\xFE")) {
        decoder.emplace(QStringDecoder::Utf16LE, QStringDecoder::Flag::ConvertInitialBom);
        begin = 2;
        tekens /= 2;
    } else if (gelezen.startsWith("\xFE\xFF")) {
        decoder.emplace(QStringDecoder::Utf16BE, QStringDecoder::Flag::ConvertInitialBom);
        begin = 2;
        tekens /= 2;
    }

    gelezen.remove(0, begin);

    QString opdracht;
    // Room for the text and a CR for every few lines; one allocation for the
    // common case keeps a large script at one copy of itself.
    opdracht.reserve(qsizetype(tekens + tekens / 32 + 2));
    Regeleinden regels(opdracht);
    // The mark was dropped above; a second U+FEFF after it is text.
    while (!gelezen.isEmpty()) {
        if (decoder)
            regels.Voeg(QString(decoder->decode(gelezen)));
        else
            regels.Voeg(AnsiCodec::decode(gelezen));
        leesBlok();
    }
    if (decoder) regels.Voeg(QString(decoder->decode(QByteArrayView())));
    regels.Sluit();
    return opdracht;
}

QString ScriptBestand::Versie(const QString& bestandsnaam) {
    const qsizetype punt = bestandsnaam.lastIndexOf(u'.');
    QString versie = punt < 0 ? bestandsnaam : bestandsnaam.left(punt);
    versie.replace(u'-', u'.');
    return versie;
}

QString ScriptBestand::StempelOpdracht(const QString& versie) {
    return QStringLiteral("update DatabaseInstellingen set dat_datum=getdate(), dat_versie='") +
           Tekst::sqlLiteralBody(versie) + QStringLiteral("'") + QStringLiteral(" where dat_id=1");
}

QString ScriptBestand::NietVerzendbaar(const QString& tekst) {
    const char16_t* c = reinterpret_cast<const char16_t*>(tekst.utf16());
    const qsizetype n = tekst.size();
    qsizetype regel = 1;
    for (qsizetype i = 0; i < n; ++i) {
        if (c[i] == u'\n') ++regel;
        bool fout = c[i] == 0;
        if (QChar::isHighSurrogate(c[i])) {
            if (i + 1 < n && QChar::isLowSurrogate(c[i + 1]))
                ++i;
            else
                fout = true;
        } else if (QChar::isLowSurrogate(c[i])) {
            fout = true;
        }
        if (fout)
            return QStringLiteral(
                       "Het script bevat op regel %1 een NUL-teken of een half UTF-16-tekenpaar. "
                       "De verbinding zou het script daar afbreken; het is niet uitgevoerd.")
                .arg(regel);
    }
    return {};
}

namespace {

// Walks the text as the server reads it and calls `code` for every character
// outside strings, comments and bracketed names, with its line; stops when
// `code` returns true. Returns the position it stopped at, or -1.
// A template, so the call per character is inlined in a large script.
template <typename Code>
qsizetype ZoekInCode(const QString& tekst, const Code& code) {
    const char16_t* c = reinterpret_cast<const char16_t*>(tekst.utf16());
    const qsizetype n = tekst.size();
    qsizetype regel = 1;
    // Skips to the end of a quoted part, where a doubled closing quote stays inside.
    const auto sluitend = [&](qsizetype i, char16_t sluit) {
        for (++i; i < n; ++i) {
            if (c[i] == u'\n') ++regel;
            if (c[i] == sluit) {
                if (i + 1 < n && c[i + 1] == sluit)
                    ++i;
                else
                    return i;
            }
        }
        return n;
    };
    for (qsizetype i = 0; i < n; ++i) {
        switch (c[i]) {
            case u'\n':
                ++regel;
                break;
            case u'\'':
            case u'"':
                i = sluitend(i, c[i]);
                break;
            case u'[':
                i = sluitend(i, u']');
                break;
            case u'-':
                if (i + 1 < n && c[i + 1] == u'-') {
                    while (i + 1 < n && c[i + 1] != u'\n') ++i;
                    break;
                }
                if (code(i, regel)) return i;
                break;
            case u'/':
                if (i + 1 < n && c[i + 1] == u'*') {
                    for (i += 2; i < n && !(c[i] == u'*' && i + 1 < n && c[i + 1] == u'/'); ++i)
                        if (c[i] == u'\n') ++regel;
                    ++i;
                    break;
                }
                if (code(i, regel)) return i;
                break;
            default:
                if (code(i, regel)) return i;
                break;
        }
    }
    return -1;
}

bool IsWoordteken(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
}

}  // namespace

QString ScriptBestand::LosVraagteken(const QString& tekst) {
    qsizetype gevonden = 0;
    if (ZoekInCode(tekst, [&](qsizetype i, qsizetype regel) {
            gevonden = regel;
            return tekst[i] == u'?';
        }) < 0)
        return {};
    return QStringLiteral(
               "Het script bevat op regel %1 een vraagteken buiten een tekst, "
               "opmerking of naam tussen haken. De ODBC-driver houdt dat voor een "
               "parameter en verstuurt het script niet; het is niet uitgevoerd.")
        .arg(gevonden);
}

bool ScriptBestand::EigenTransactieEinde(const QString& tekst) {
    return ZoekInCode(tekst, [&](qsizetype i, qsizetype) {
               if (i > 0 && IsWoordteken(tekst[i - 1])) return false;
               for (const QLatin1StringView woord : {QLatin1StringView("COMMIT"),
                                                     QLatin1StringView("ROLLBACK")}) {
                   const qsizetype eind = i + woord.size();
                   if (QStringView(tekst).mid(i, woord.size()).compare(woord, Qt::CaseInsensitive) ==
                           0 &&
                       (eind >= tekst.size() || !IsWoordteken(tekst[eind])))
                       return true;
               }
               return false;
           }) >= 0;
}

QString ScriptBestand::VoorLogboek(const QString& tekst) {
    QString uit;
    qsizetype lengte = tekst.size();
    if (lengte > LogboekLimiet) {
        lengte = LogboekLimiet;
        // Never half a surrogate pair at the cut.
        if (QChar::isHighSurrogate(tekst.at(lengte - 1).unicode())) --lengte;
    }
    uit = tekst.left(lengte);
    // The log is a text control: a NUL would cut the entry short there.
    uit.replace(QChar(0), QChar(0xFFFD));
    if (lengte < tekst.size())
        uit += QStringLiteral("\n... (nog %1 tekens van het script weggelaten)")
                   .arg(QLocale(QLocale::Dutch).toString(tekst.size() - lengte));
    return uit;
}

}  // namespace korvex::scripts
