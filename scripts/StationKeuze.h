#pragma once

#include <QComboBox>
#include <QString>

namespace korvex::scripts {

// The drive selector: the machine's mounted volumes; choosing one moves the
// folder list to its top folder.
class StationKeuze : public QComboBox {
    Q_OBJECT

  public:
    explicit StationKeuze(QWidget* parent = nullptr);

    // Shows the volume that holds the folder.
    void ToonVoor(const QString& map);

  Q_SIGNALS:
    void stationGekozen(const QString& hoofdmap);

  private:
    void Vul();
};

}  // namespace korvex::scripts
