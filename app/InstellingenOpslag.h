#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <pugixml.hpp>
#include <vector>

namespace korvex {

// Keeps a fixed list of control values in one XML file from one run to the
// next. The whole document stays in memory, so elements, comments and a
// declaration that the tool does not know about are written back as read.
class InstellingenOpslag {
  public:
    // One stored value. A boolean one travels as text: get() may return any
    // word the boolean rule understands; set() receives "TRUE" or "FALSE".
    struct Waarde {
        QString control;
        QString property;
        std::function<QString()> get;
        std::function<void(const QString&)> set;
        bool boolean = false;
    };

    // A text property ("Text").
    static Waarde tekst(const QString& control, std::function<QString()> get,
                        std::function<void(const QString&)> set);
    // A check box ("Checked").
    static Waarde vinkje(const QString& control, std::function<bool()> get,
                         std::function<void(bool)> set);

    // Throws KorvexError when a name holds white space.
    InstellingenOpslag(QString bestand, const QString& sectie, std::vector<Waarde> waarden);
    InstellingenOpslag(const InstellingenOpslag&) = delete;
    InstellingenOpslag& operator=(const InstellingenOpslag&) = delete;

    // Larger files are not read: the tool itself never writes one this big.
    static constexpr qint64 MaximaleGrootte = 16 * 1024 * 1024;
    // The file's layout indents two blanks a level, so a deeper file could
    // not be written back at a size near what was read.
    static constexpr int MaximaleDiepte = 64;

    // Reads the file into memory. A missing file gives an empty document. A
    // file that cannot be taken as settings (not well-formed XML, larger
    // than MaximaleGrootte, nested deeper than MaximaleDiepte, a value
    // longer than a field holds) gives an empty document too, and is kept
    // as ".bak" at Write; a pipe or device in its place is replaced by a
    // regular file.
    void Load();
    // Sets the controls from the stored values, once per run.
    void Apply();
    // Puts the controls' values into the document (not while read-only).
    void Collect();
    // Replaces the file with the document, only once the new contents are
    // complete on disk; where the folder takes no new file, in place. False
    // when nothing was written.
    bool Write();

    // The file had no write permission for anyone when it was loaded, or
    // existed but could not be read.
    bool ReadOnly() const { return alleenLezen_; }
    // The exact bytes Write puts into the file.
    QByteArray Inhoud() const;
    QString Bestand() const { return bestand_; }
    QString BackupBestand() const { return bestand_ + QStringLiteral(".bak"); }

    // TRUE/YES/Y and FALSE/NO/N in any case; otherwise a non-zero number.
    static bool AlsWaarheid(const QString& tekst);
    // Characters other than letters, digits, "_", "-", "." and ":" become
    // "_"; white space is refused with KorvexError.
    static QString ElementNaam(const QString& naam);

  private:
    struct Element {
        QByteArray naam;
        Waarde waarde;
    };

    enum class Onleesbaar { Nee, Bewaren, Kopieren, Vervangen };

    pugi::xml_node Sectie() const;
    bool WaardenPassen() const;
    bool MapNeemtBestandenAan() const;
    static void ZetTekst(pugi::xml_node ouder, const QByteArray& naam, const QString& tekst);

    QString bestand_;
    QByteArray sectie_;
    std::vector<Element> elementen_;
    pugi::xml_document document_;
    bool alleenLezen_ = false;
    bool toegepast_ = false;
    Onleesbaar onleesbaar_ = Onleesbaar::Nee;
    QByteArray onleesbareInhoud_;
};

}  // namespace korvex
