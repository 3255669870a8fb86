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

    // Reads the file into memory. A missing file gives an empty document; a
    // file that is not well-formed XML too, and it is kept as ".bak" at Write.
    void Load();
    // Sets the controls from the stored values, once per run.
    void Apply();
    // Puts the controls' values into the document (not while read-only).
    void Collect();
    // Replaces the file with the document, only once the new contents are
    // complete on disk. False when nothing was written.
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

    pugi::xml_node Sectie() const;
    static void ZetTekst(pugi::xml_node ouder, const QByteArray& naam, const QString& tekst);

    QString bestand_;
    QByteArray sectie_;
    std::vector<Element> elementen_;
    pugi::xml_document document_;
    bool alleenLezen_ = false;
    bool toegepast_ = false;
    bool onleesbaar_ = false;
    QByteArray onleesbareInhoud_;
};

}  // namespace korvex
