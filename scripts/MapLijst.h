#pragma once

#include <QListWidget>
#include <QString>

namespace korvex::scripts {

// The folder list: the current folder with the folders above it and the
// folders in it, one per row, indented by depth. A double-click or Enter on
// a row moves there.
class MapLijst : public QListWidget {
    Q_OBJECT

  public:
    explicit MapLijst(QWidget* parent = nullptr);

    QString Directory() const { return map_; }
    // Throws KorvexError when the folder does not exist.
    void SetDirectory(const QString& map);

  Q_SIGNALS:
    void mapGewijzigd(const QString& map);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Ga(QListWidgetItem* item);
    QString map_;
};

}  // namespace korvex::scripts
