#pragma once

#include <QString>
#include <QStringList>

namespace korvex {

class Tekst {
  public:
    // The longest value a settings field holds: far above any real value,
    // below what the driver carries in one batch.
    static constexpr int MaximaleVeldLengte = 100000;

    // Leading and trailing blanks and control characters removed.
    static QString trimmed(const QString& text);
    // One command text: every line followed by CR LF, the last one included.
    static QString sqlBatch(const QStringList& lines);
    // Doubles apostrophes so a value stays inside a quoted SQL literal.
    static QString sqlLiteralBody(const QString& value);
    // False for text holding a control character or half a surrogate pair:
    // the driver ends the command text there, so the server would receive
    // a shortened statement.
    static bool veiligVoorSql(const QString& value);
};

}  // namespace korvex
