#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "platform/KorvexError.h"

namespace korvex::db {

// A failure the driver or the server reported, with what a caller needs to
// tell failures apart: the server's error numbers and the ODBC states.
class SqlError : public KorvexError {
  public:
    SqlError(const QString& message, QList<int> nativeErrors, QStringList states)
        : KorvexError(message),
          nativeErrors_(std::move(nativeErrors)),
          states_(std::move(states)) {}

    const QList<int>& nativeErrors() const { return nativeErrors_; }
    bool hasNative(int number) const { return nativeErrors_.contains(number); }
    // The statement's time-out ran out and the driver cancelled it.
    bool timedOut() const { return states_.contains(QStringLiteral("HYT00")); }

  private:
    QList<int> nativeErrors_;
    QStringList states_;
};

}  // namespace korvex::db
