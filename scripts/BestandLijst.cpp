#include "scripts/BestandLijst.h"

#include <QDir>
#include <QStyle>

namespace korvex::scripts {

BestandLijst::BestandLijst(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void BestandLijst::SetDirectory(const QString& map) {
    map_ = map;
    Update();
}

void BestandLijst::Update() {
    clear();
    if (map_.isEmpty()) return;
    // Regular files and links to them only: a pipe or device is never offered.
    QDir map(map_, QStringLiteral("*.sql"), QDir::Name | QDir::IgnoreCase,
             QDir::Files | QDir::Hidden);
    const QIcon icoon = style()->standardIcon(QStyle::SP_FileIcon);
    for (const QString& naam : map.entryList()) new QListWidgetItem(icoon, naam, this);
}

QString BestandLijst::FileName() const {
    const QList<QListWidgetItem*> gekozen = selectedItems();
    if (gekozen.isEmpty()) return {};
    return QDir(map_).filePath(gekozen.first()->text());
}

}  // namespace korvex::scripts
