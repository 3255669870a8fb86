#pragma once

#include <QString>
#include <QStringList>

namespace korvex {

class Tekst {
  public:
    // Leading and trailing blanks and control characters removed.
    static QString trimmed(const QString& text);
    // One command text: every line followed by CR LF, the last one included.
    static QString sqlBatch(const QStringList& lines);
    // Doubles apostrophes so a value stays inside a quoted SQL literal.
    static QString sqlLiteralBody(const QString& value);
};

}  // namespace korvex
