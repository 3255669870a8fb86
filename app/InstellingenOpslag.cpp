#include "app/InstellingenOpslag.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cmath>

#include "platform/AnsiCodec.h"
#include "platform/KorvexError.h"

namespace korvex {

namespace {

const QString kRegeleinde = QStringLiteral("\r\n");
constexpr char kWortel[] = "Configuration";
constexpr char kVersie[] = "FormVersion";
const QString kStandaardDeclaratie =
    QStringLiteral("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>");

QString Verwijzing(char32_t c) {
    return QStringLiteral("&#x%1;").arg(QString::number(uint(c), 16).toUpper(), 2, u'0');
}

// Text for element content or an attribute value. Characters the code page
// lacks become references too, so that they survive the single-byte file.
QString Ontsnappen(const QString& tekst, bool attribuut) {
    QString uit;
    uit.reserve(tekst.size());
    for (qsizetype i = 0; i < tekst.size(); ++i) {
        char32_t c = tekst.at(i).unicode();
        if (QChar::isSurrogate(c)) {
            if (QChar::isHighSurrogate(c) && i + 1 < tekst.size() &&
                QChar::isLowSurrogate(tekst.at(i + 1).unicode())) {
                c = QChar::surrogateToUcs4(tekst.at(i).unicode(), tekst.at(i + 1).unicode());
                ++i;
            } else {
                uit += u'?';  // half a pair has no code point to refer to
                continue;
            }
        }
        switch (c) {
            case U'&':
                uit += QStringLiteral("&amp;");
                continue;
            case U'<':
                uit += QStringLiteral("&lt;");
                continue;
            case U'>':
                uit += QStringLiteral("&gt;");
                continue;
            case U'"':
                uit += QStringLiteral("&quot;");
                continue;
            case U'\'':
                uit += QStringLiteral("&apos;");
                continue;
            case U'\r':
                uit += Verwijzing(c);
                continue;  // reading folds line ends
            case U'\t':
            case U'\n':
                // Attribute values have these normalised to blanks on reading.
                if (attribuut) {
                    uit += Verwijzing(c);
                    continue;
                }
                break;
            default:
                break;
        }
        if (c > 0x20AB || !AnsiCodec::canEncode(c))
            uit += Verwijzing(c);
        else
            uit += QString::fromUcs4(&c, 1);
    }
    return uit;
}

QString Tekst(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString Attributen(pugi::xml_node knoop) {
    QString uit;
    for (pugi::xml_attribute a : knoop.attributes())
        uit += u' ' + Tekst(a.name()) + QStringLiteral("=\"") + Ontsnappen(Tekst(a.value()), true) +
               u'"';
    return uit;
}

bool IsTekst(pugi::xml_node knoop) {
    return knoop.type() == pugi::node_pcdata || knoop.type() == pugi::node_cdata;
}

void SchrijfKnoop(QString& uit, pugi::xml_node knoop, int niveau) {
    const QString inspringing(niveau * 2, u' ');
    switch (knoop.type()) {
        case pugi::node_element: {
            const QString naam = Tekst(knoop.name());
            bool blok = false;
            QString tekst;
            for (pugi::xml_node kind : knoop.children()) {
                if (IsTekst(kind))
                    tekst += Tekst(kind.value());
                else
                    blok = true;
            }
            if (!blok) {
                if (tekst.isEmpty())
                    uit += inspringing + u'<' + naam + Attributen(knoop) + QStringLiteral("/>");
                else
                    uit += inspringing + u'<' + naam + Attributen(knoop) + u'>' +
                           Ontsnappen(tekst, false) + QStringLiteral("</") + naam + u'>';
                uit += kRegeleinde;
                return;
            }
            uit += inspringing + u'<' + naam + Attributen(knoop) + u'>' + kRegeleinde;
            for (pugi::xml_node kind : knoop.children()) SchrijfKnoop(uit, kind, niveau + 1);
            uit += inspringing + QStringLiteral("</") + naam + u'>' + kRegeleinde;
            return;
        }
        case pugi::node_comment:
            uit += inspringing + QStringLiteral("<!--") + Tekst(knoop.value()) +
                   QStringLiteral("-->") + kRegeleinde;
            return;
        case pugi::node_pi: {
            const QString waarde = Tekst(knoop.value());
            uit += inspringing + QStringLiteral("<?") + Tekst(knoop.name()) +
                   (waarde.isEmpty() ? QString() : u' ' + waarde) + QStringLiteral("?>") +
                   kRegeleinde;
            return;
        }
        case pugi::node_doctype:
            uit += inspringing + QStringLiteral("<!DOCTYPE ") + Tekst(knoop.value()) + u'>' +
                   kRegeleinde;
            return;
        case pugi::node_pcdata:
        case pugi::node_cdata:
            // Text between child elements gets a line of its own; the layout
            // blanks around elements are not content.
            if (!Tekst(knoop.value()).trimmed().isEmpty())
                uit += inspringing + Ontsnappen(Tekst(knoop.value()), false) + kRegeleinde;
            return;
        default:
            return;  // the declaration is written first, on its own
    }
}

int AlsGeheelGetal(const QString& tekst) {
    bool ok = false;
    const int waarde = tekst.toInt(&ok, 10);
    return ok ? waarde : -1;
}

// The previous file stays untouched until the new one is complete beside it.
// Unbuffered, so that a short write (a full disk) shows in write()'s count:
// a buffered save file can lose that failure at commit and rename a
// shortened file into place.
bool VeiligSchrijven(const QString& pad, const QByteArray& inhoud) {
    QSaveFile bestand(pad);
    if (!bestand.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    if (bestand.write(inhoud) != inhoud.size()) {
        bestand.cancelWriting();
        return false;
    }
    return bestand.commit();
}

}  // namespace

InstellingenOpslag::Waarde InstellingenOpslag::tekst(const QString& control,
                                                     std::function<QString()> get,
                                                     std::function<void(const QString&)> set) {
    return Waarde{control, QStringLiteral("Text"), std::move(get), std::move(set), false};
}

InstellingenOpslag::Waarde InstellingenOpslag::vinkje(const QString& control,
                                                      std::function<bool()> get,
                                                      std::function<void(bool)> set) {
    return Waarde{
        control, QStringLiteral("Checked"),
        [get = std::move(get)] { return get() ? QStringLiteral("TRUE") : QStringLiteral("FALSE"); },
        [set = std::move(set)](const QString& t) { set(t == QLatin1String("TRUE")); }, true};
}

InstellingenOpslag::InstellingenOpslag(QString bestand, const QString& sectie,
                                       std::vector<Waarde> waarden)
    : bestand_(std::move(bestand)), sectie_(ElementNaam(sectie).toUtf8()) {
    elementen_.reserve(waarden.size());
    for (Waarde& w : waarden) {
        QByteArray naam = ElementNaam(w.control + u'_' + w.property).toUtf8();
        elementen_.push_back(Element{std::move(naam), std::move(w)});
    }
}

QString InstellingenOpslag::ElementNaam(const QString& naam) {
    if (naam.isEmpty()) throw KorvexError(QStringLiteral("Invalid element name \"\""));
    QString uit;
    for (char32_t c : naam.toUcs4()) {
        if (QChar::isSpace(c))
            throw KorvexError(QStringLiteral("Invalid element name \"%1\"").arg(naam));
        const bool toegestaan = (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') ||
                                (c >= U'0' && c <= U'9') || c == U'_' || c == U'-' || c == U'.' ||
                                c == U':';
        uit += toegestaan ? QChar(char16_t(c)) : QChar(u'_');
    }
    return uit;
}

bool InstellingenOpslag::AlsWaarheid(const QString& tekst) {
    for (const char* woord : {"TRUE", "YES", "Y"})
        if (tekst.compare(QLatin1String(woord), Qt::CaseInsensitive) == 0) return true;
    for (const char* woord : {"FALSE", "NO", "N"})
        if (tekst.compare(QLatin1String(woord), Qt::CaseInsensitive) == 0) return false;
    bool ok = false;
    const double getal = tekst.toDouble(&ok);
    return ok && std::isfinite(getal) && getal != 0.0;
}

void InstellingenOpslag::Load() {
    document_.reset();
    alleenLezen_ = false;
    toegepast_ = false;
    onleesbaar_ = false;
    onleesbareInhoud_.clear();

    const QFileInfo info(bestand_);
    if (!info.exists()) return;
    // The owner's, group's and others' write bits stand for the read-only
    // attribute; a failed open for writing would not tell, since an
    // administrator may write anyway.
    const auto schrijfbaar =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    alleenLezen_ = (info.permissions() & schrijfbaar) == 0;

    QFile bestand(bestand_);
    if (!bestand.open(QIODevice::ReadOnly)) {
        // Never replace a file whose contents we have not seen.
        alleenLezen_ = true;
        return;
    }
    const QByteArray inhoud = bestand.readAll();
    if (bestand.error() != QFileDevice::NoError) {
        alleenLezen_ = true;
        return;
    }

    const QByteArray utf8 = AnsiCodec::decodeWithBom(inhoud).toUtf8();
    const unsigned opties = pugi::parse_default | pugi::parse_declaration | pugi::parse_comments |
                            pugi::parse_pi | pugi::parse_doctype | pugi::parse_ws_pcdata_single;
    const pugi::xml_parse_result resultaat =
        document_.load_buffer(utf8.constData(), size_t(utf8.size()), opties, pugi::encoding_utf8);
    if (!resultaat || !document_.document_element()) {
        // Start from the defaults, but keep what the operator had.
        document_.reset();
        onleesbaar_ = true;
        onleesbareInhoud_ = inhoud;
    }
}

pugi::xml_node InstellingenOpslag::Sectie() const {
    return document_.document_element().child(sectie_.constData());
}

void InstellingenOpslag::Apply() {
    if (toegepast_) return;
    toegepast_ = true;
    const pugi::xml_node sectie = Sectie();
    const pugi::xml_node versie = sectie.child(kVersie);
    if (versie && AlsGeheelGetal(Tekst(versie.text().get())) < 0) return;
    for (const Element& e : elementen_) {
        const pugi::xml_node knoop = sectie.child(e.naam.constData());
        if (!knoop) continue;
        const QString waarde = Tekst(knoop.text().get());
        try {
            e.waarde.set(e.waarde.boolean ? (AlsWaarheid(waarde) ? QStringLiteral("TRUE")
                                                                 : QStringLiteral("FALSE"))
                                          : waarde);
        } catch (...) {
            // One control that refuses its value must not keep the others
            // from theirs.
        }
    }
}

void InstellingenOpslag::ZetTekst(pugi::xml_node ouder, const QByteArray& naam,
                                  const QString& tekst) {
    pugi::xml_node knoop = ouder.child(naam.constData());
    if (!knoop) knoop = ouder.append_child(naam.constData());
    knoop.text().set(tekst.toUtf8().constData());
}

void InstellingenOpslag::Collect() {
    if (alleenLezen_) return;
    pugi::xml_node wortel = document_.document_element();
    if (!wortel) wortel = document_.append_child(kWortel);
    pugi::xml_node sectie = wortel.child(sectie_.constData());
    if (!sectie) sectie = wortel.append_child(sectie_.constData());
    ZetTekst(sectie, kVersie, QStringLiteral("0"));
    if (!toegepast_) return;
    for (const Element& e : elementen_) {
        QString waarde;
        try {
            waarde = e.waarde.get();
        } catch (...) {
            continue;  // the stored value stays as it was
        }
        if (e.waarde.boolean)
            waarde = AlsWaarheid(waarde) ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        ZetTekst(sectie, e.naam, waarde);
    }
}

QByteArray InstellingenOpslag::Inhoud() const {
    QString uit;
    const pugi::xml_node declaratie =
        document_.find_child([](pugi::xml_node k) { return k.type() == pugi::node_declaration; });
    if (declaratie)
        uit += QStringLiteral("<?xml") + Attributen(declaratie) + QStringLiteral("?>");
    else
        uit += kStandaardDeclaratie;
    uit += kRegeleinde;
    for (pugi::xml_node kind : document_.children()) SchrijfKnoop(uit, kind, 0);
    if (!document_.document_element())
        uit += u'<' + QLatin1String(kWortel) + QStringLiteral("/>") + kRegeleinde;
    return AnsiCodec::encode(uit);
}

bool InstellingenOpslag::Write() {
    if (alleenLezen_) return false;
    if (!QDir().mkpath(QFileInfo(bestand_).absolutePath())) return false;
    if (onleesbaar_) {
        if (!VeiligSchrijven(BackupBestand(), onleesbareInhoud_)) return false;
        onleesbaar_ = false;
        onleesbareInhoud_.clear();
    }
    return VeiligSchrijven(bestand_, Inhoud());
}

}  // namespace korvex
