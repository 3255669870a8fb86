#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "database/access/Query.h"

namespace korvex {

// The company's master record (company 1) with its portal login of group
// 500, and the batch that changes its VAT number.
class Bedrijfsgegevens {
  public:
    static QStringList queryRegels();
    // Every column the query binds, in order; the result must hold them all.
    static QList<db::FieldDef> velden();
    // The VAT number goes between apostrophes, so apostrophes in it are doubled.
    static QStringList btwRegels(const QString& bedrijfsDatabase, const QString& btwNummer);
    // The report for the log memo, from the four values read.
    static QStringList rapport(const QString& inlogcode, const QString& paswoord,
                               const QString& pincode, const QString& btwNummer);
};

}  // namespace korvex
