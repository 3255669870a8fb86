#include "app/InstellingenOpslag.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cmath>

#include "platform/AnsiCodec.h"
#include "platform/Bestand.h"
#include "platform/KorvexError.h"
#include "platform/Tekst.h"

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

QString Utf8Tekst(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString Attributen(pugi::xml_node knoop) {
    QString uit;
    for (pugi::xml_attribute a : knoop.attributes())
        uit += u' ' + Utf8Tekst(a.name()) + QStringLiteral("=\"") +
               Ontsnappen(Utf8Tekst(a.value()), true) + u'"';
    return uit;
}

bool IsTekst(pugi::xml_node knoop) {
    return knoop.type() == pugi::node_pcdata || knoop.type() == pugi::node_cdata;
}

// The start of a node, or all of it when it has no element or other
// non-text child. True when it opened an element whose children follow.
// Text moves `knoop` on to the last piece of text it wrote.
bool SchrijfBegin(QString& uit, pugi::xml_node& knoop, int niveau) {
    const QString inspringing(niveau * 2, u' ');
    switch (knoop.type()) {
        case pugi::node_element: {
            const QString naam = Utf8Tekst(knoop.name());
            bool blok = false;
            QString tekst;
            for (pugi::xml_node kind : knoop.children()) {
                if (IsTekst(kind))
                    tekst += Utf8Tekst(kind.value());
                else
                    blok = true;
            }
            if (blok) {
                uit += inspringing + u'<' + naam + Attributen(knoop) + u'>' + kRegeleinde;
                return true;
            }
            if (tekst.isEmpty())
                uit += inspringing + u'<' + naam + Attributen(knoop) + QStringLiteral("/>");
            else
                uit += inspringing + u'<' + naam + Attributen(knoop) + u'>' +
                       Ontsnappen(tekst, false) + QStringLiteral("</") + naam + u'>';
            uit += kRegeleinde;
            return false;
        }
        case pugi::node_comment:
            uit += inspringing + QStringLiteral("<!--") + Utf8Tekst(knoop.value()) +
                   QStringLiteral("-->") + kRegeleinde;
            return false;
        case pugi::node_pi: {
            const QString waarde = Utf8Tekst(knoop.value());
            uit += inspringing + QStringLiteral("<?") + Utf8Tekst(knoop.name()) +
                   (waarde.isEmpty() ? QString() : u' ' + waarde) + QStringLiteral("?>") +
                   kRegeleinde;
            return false;
        }
        case pugi::node_doctype:
            uit += inspringing + QStringLiteral("<!DOCTYPE ") + Utf8Tekst(knoop.value()) + u'>' +
                   kRegeleinde;
            return false;
        case pugi::node_pcdata:
        case pugi::node_cdata: {
            // Text between child elements gets a line of its own; the layout
            // blanks around it are not content, and written back they would
            // grow at every run. Pieces side by side (text, CDATA) read back
            // as one, so they are written as one.
            QString tekst = Utf8Tekst(knoop.value());
            while (IsTekst(knoop.next_sibling())) {
                knoop = knoop.next_sibling();
                tekst += Utf8Tekst(knoop.value());
            }
            // Text outside the root belongs to no element and would not read
            // back the same way.
            if (knoop.parent().type() == pugi::node_document) return false;
            tekst = tekst.trimmed();
            if (!tekst.isEmpty()) uit += inspringing + Ontsnappen(tekst, false) + kRegeleinde;
            return false;
        }
        default:
            return false;  // the declaration is written first, on its own
    }
}

// Walks the tree without recursion, so no depth of nesting can exhaust the
// stack.
void SchrijfBoom(QString& uit, const pugi::xml_document& document) {
    pugi::xml_node knoop = document.first_child();
    int niveau = 0;
    while (knoop) {
        if (SchrijfBegin(uit, knoop, niveau)) {
            knoop = knoop.first_child();
            ++niveau;
            continue;
        }
        while (knoop && !knoop.next_sibling()) {
            knoop = knoop.parent();
            if (knoop.type() == pugi::node_document) {
                knoop = pugi::xml_node();
                break;
            }
            --niveau;
            uit += QString(niveau * 2, u' ') + QStringLiteral("</") + Utf8Tekst(knoop.name()) +
                   u'>' + kRegeleinde;
        }
        if (knoop) knoop = knoop.next_sibling();
    }
}

// A name goes into the single-byte file as it is: a character the code page
// lacks has no reference there and would break the file.
bool NaamPast(const char* naam) {
    for (char32_t c : QString::fromUtf8(naam).toUcs4())
        if (c > 0x20AB || !AnsiCodec::canEncode(c)) return false;
    return true;
}

// Whether the document can be written back as read: no deeper than
// `maximaleDiepte` elements and every name, instruction and document type in
// characters the code page holds (they have no references, and a "?" in
// place of a missing character could end an instruction early). The walk
// stops at the first node that fails, so a deep file is never walked whole.
bool Terugschrijfbaar(pugi::xml_document& document, int maximaleDiepte) {
    struct Toets : pugi::xml_tree_walker {
        int maximaleDiepte;
        bool goed = true;
        bool for_each(pugi::xml_node& knoop) override {
            switch (knoop.type()) {
                case pugi::node_element:
                case pugi::node_declaration:
                case pugi::node_pi:
                    goed = depth() < maximaleDiepte && NaamPast(knoop.name()) &&
                           (knoop.type() != pugi::node_pi || NaamPast(knoop.value()));
                    for (pugi::xml_attribute a : knoop.attributes())
                        goed = goed && NaamPast(a.name());
                    break;
                case pugi::node_doctype:
                    goed = NaamPast(knoop.value());
                    break;
                default:
                    break;
            }
            return goed;
        }
    } toets;
    toets.maximaleDiepte = maximaleDiepte;
    document.traverse(toets);
    return toets.goed;
}

int AlsGeheelGetal(const QString& tekst) {
    bool ok = false;
    const int waarde = tekst.toInt(&ok, 10);
    return ok ? waarde : -1;
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
    onleesbaar_ = Onleesbaar::Nee;
    onleesbareInhoud_.clear();

    const Bestand::Gelezen gelezen = Bestand::Lees(bestand_, MaximaleGrootte);
    if (gelezen.uitkomst == Bestand::Leesuitkomst::Gelezen ||
        gelezen.uitkomst == Bestand::Leesuitkomst::TeGroot) {
        // The owner's, group's and others' write bits stand for the read-only
        // attribute; a failed open for writing would not tell, since an
        // administrator may write anyway.
        const auto schrijfbaar =
            QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
        alleenLezen_ = (QFileInfo(bestand_).permissions() & schrijfbaar) == 0;
    }
    switch (gelezen.uitkomst) {
        case Bestand::Leesuitkomst::Ontbreekt:
            return;
        case Bestand::Leesuitkomst::GeenGewoonBestand:
            // A pipe or device holds no settings; at Write a file takes its place.
            onleesbaar_ = Onleesbaar::Vervangen;
            return;
        case Bestand::Leesuitkomst::TeGroot:
            // Kept as it is, but never read whole into memory.
            onleesbaar_ = Onleesbaar::Kopieren;
            return;
        case Bestand::Leesuitkomst::NietLeesbaar:
            // Never replace a file whose contents we have not seen.
            alleenLezen_ = true;
            return;
        case Bestand::Leesuitkomst::Gelezen:
            break;
    }
    const QByteArray utf8 = AnsiCodec::decodeWithBom(gelezen.inhoud).toUtf8();
    const unsigned opties = pugi::parse_default | pugi::parse_declaration | pugi::parse_comments |
                            pugi::parse_pi | pugi::parse_doctype | pugi::parse_ws_pcdata_single;
    const pugi::xml_parse_result resultaat =
        document_.load_buffer(utf8.constData(), size_t(utf8.size()), opties, pugi::encoding_utf8);
    if (!resultaat || !document_.document_element() ||
        !Terugschrijfbaar(document_, MaximaleDiepte) || !WaardenPassen()) {
        // Start from the defaults, but keep what the operator had.
        document_.reset();
        onleesbaar_ = Onleesbaar::Bewaren;
        onleesbareInhoud_ = gelezen.inhoud;
    }
}

bool InstellingenOpslag::WaardenPassen() const {
    const pugi::xml_node sectie = Sectie();
    for (const Element& e : elementen_) {
        // Counted as the window's fields count: in UTF-16 code units.
        const char* tekst = sectie.child(e.naam.constData()).text().get();
        if (QString::fromUtf8(tekst).size() > Tekst::MaximaleVeldLengte) return false;
    }
    return true;
}

pugi::xml_node InstellingenOpslag::Sectie() const {
    return document_.document_element().child(sectie_.constData());
}

void InstellingenOpslag::Apply() {
    if (toegepast_) return;
    toegepast_ = true;
    const pugi::xml_node sectie = Sectie();
    const pugi::xml_node versie = sectie.child(kVersie);
    if (versie && AlsGeheelGetal(Utf8Tekst(versie.text().get())) < 0) return;
    for (const Element& e : elementen_) {
        const pugi::xml_node knoop = sectie.child(e.naam.constData());
        if (!knoop) continue;
        const QString waarde = Utf8Tekst(knoop.text().get());
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
    // A value element holds its text alone: a comment or element inside it
    // would put the text on a line of its own, and the layout blanks around
    // that line would come back as part of the value at the next run.
    const bool enkelTekst = !knoop.first_child() || (knoop.first_child() == knoop.last_child() &&
                                                     IsTekst(knoop.first_child()));
    if (!enkelTekst) knoop.remove_children();
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
    SchrijfBoom(uit, document_);
    if (!document_.document_element())
        uit += u'<' + QLatin1String(kWortel) + QStringLiteral("/>") + kRegeleinde;
    return AnsiCodec::encode(uit);
}

bool InstellingenOpslag::Write() {
    if (alleenLezen_) return false;
    if (!QDir().mkpath(QFileInfo(bestand_).absolutePath())) return false;
    switch (onleesbaar_) {
        case Onleesbaar::Nee:
            break;
        case Onleesbaar::Vervangen:
            if (Bestand::IsGeenGewoonBestand(bestand_) && !QFile::remove(bestand_)) return false;
            break;
        case Onleesbaar::Bewaren:
        case Onleesbaar::Kopieren: {
            const bool bewaard = onleesbaar_ == Onleesbaar::Bewaren
                                     ? Bestand::Schrijf(BackupBestand(), onleesbareInhoud_)
                                     : Bestand::Kopieer(bestand_, BackupBestand());
            // Where the folder takes no new file the copy cannot be made, and
            // what was typed in this run matters more than a file the tool
            // could not read. Anywhere else the unread file is not replaced
            // without its copy.
            if (!bewaard && MapNeemtBestandenAan()) return false;
            break;
        }
    }
    onleesbaar_ = Onleesbaar::Nee;
    onleesbareInhoud_.clear();
    return Bestand::Schrijf(bestand_, Inhoud());
}

bool InstellingenOpslag::MapNeemtBestandenAan() const {
    QTemporaryFile proef(QFileInfo(bestand_).absolutePath() + QStringLiteral("/.korvex-XXXXXX"));
    return proef.open();
}

}  // namespace korvex
