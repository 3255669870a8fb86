#pragma once

#include <QString>

namespace korvex {

// Values derived from the connection settings the operator typed.
class Verbindingsinstellingen {
  public:
    // "KORVEX_" followed by the trimmed VKM ID.
    static QString bedrijfsDatabaseNaam(const QString& vkmId);
    // A VKM ID that, trimmed, is not empty and holds only letters, digits and
    // "_": it goes unquoted into CREATE/DROP/EXEC statements.
    static bool geldigeVkmId(const QString& vkmId);
};

}  // namespace korvex
