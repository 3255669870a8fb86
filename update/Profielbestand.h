#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace korvex {

// Reads values from a file in the layout of a Windows profile (INI) file
// with the rules the update manifest's authors rely on: section and key
// names without regard to case, blanks around a value and one pair of
// enclosing quotes dropped, at most 2047 characters of a value, a missing
// section or key read as empty. The text is ANSI (Windows-1252) unless a
// byte-order mark says UTF-16 or UTF-8.
class Profielbestand {
  public:
    static constexpr int MaximaleWaardeLengte = 2047;

    explicit Profielbestand(const QByteArray& inhoud);

    // The first occurrence of the key in the first section of that name.
    QString waarde(QStringView sectie, QStringView sleutel) const;

  private:
    QString tekst_;
};

}  // namespace korvex
