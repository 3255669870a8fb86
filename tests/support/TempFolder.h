#pragma once

#include <QString>
#include <QTemporaryDir>

namespace korvex::test {

// A fresh folder for one test, removed afterwards; path() ends in "/".
class TempFolder {
  public:
    TempFolder();
    QString path() const;
    QString file(const QString& name) const { return path() + name; }

  private:
    QTemporaryDir dir_;
};

}  // namespace korvex::test
