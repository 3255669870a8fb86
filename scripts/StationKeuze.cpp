#include "scripts/StationKeuze.h"

#include <QDir>
#include <QStorageInfo>
#include <QStyle>

namespace korvex::scripts {

StationKeuze::StationKeuze(QWidget* parent) : QComboBox(parent) {
    Vul();
    connect(this, &QComboBox::activated, this,
            [this](int index) { Q_EMIT stationGekozen(itemData(index).toString()); });
}

void StationKeuze::Vul() {
    const QIcon icoon = style()->standardIcon(QStyle::SP_DriveHDIcon);
    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    std::sort(volumes.begin(), volumes.end(), [](const QStorageInfo& a, const QStorageInfo& b) {
        return a.rootPath() < b.rootPath();
    });
    for (const QStorageInfo& v : volumes) {
        if (!v.isValid() || !v.isReady()) continue;
        QString tekst = QDir::toNativeSeparators(v.rootPath());
        if (!v.name().isEmpty() && v.name() != v.rootPath()) tekst += QStringLiteral(" [%1]").arg(v.name());
        addItem(icoon, tekst, v.rootPath());
    }
}

void StationKeuze::ToonVoor(const QString& map) {
    const QString hoofdmap = QStorageInfo(map).rootPath();
    int index = findData(hoofdmap);
    if (index < 0 && !hoofdmap.isEmpty()) {
        // Mounted since the list was made.
        addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), QDir::toNativeSeparators(hoofdmap),
                hoofdmap);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

}  // namespace korvex::scripts
