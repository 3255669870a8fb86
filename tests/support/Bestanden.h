#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <functional>

#include "platform/KorvexError.h"

namespace korvex::test {

// The whole file, or "<missing>" when it cannot be read.
inline QByteArray Lees(const QString& pad) {
    QFile f(pad);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void Schrijf(const QString& pad, const QByteArray& inhoud) {
    QFile f(pad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << pad.toStdString();
    ASSERT_EQ(f.write(inhoud), inhoud.size());
}

// The message of the KorvexError the action raises, or "<no error>".
inline QString FoutVan(const std::function<void()>& actie) {
    try {
        actie();
    } catch (const KorvexError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

}  // namespace korvex::test
