#pragma once

#include <QListWidget>
#include <QString>

namespace korvex::scripts {

// The file list: the files of one folder that match "*.SQL" in any case, in
// alphabetical order without regard to case.
class BestandLijst : public QListWidget {
    Q_OBJECT

  public:
    explicit BestandLijst(QWidget* parent = nullptr);

    QString Directory() const { return map_; }
    void SetDirectory(const QString& map);
    // Reads the folder again; no entry is selected afterwards.
    void Update();
    // The selected entry's full path; empty when none is selected.
    QString FileName() const;

  private:
    QString map_;
};

}  // namespace korvex::scripts
