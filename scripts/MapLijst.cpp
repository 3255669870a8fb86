#include "scripts/MapLijst.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

#include "platform/KorvexError.h"

namespace korvex::scripts {

namespace {

constexpr int PadRol = Qt::UserRole;
constexpr int DiepteRol = Qt::UserRole + 1;

// Indents each row by its depth, so the list reads as a path from the top.
class Inspringen : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        o.rect.adjust(std::min(index.data(DiepteRol).toInt(), 20) * 12, 0, 0, 0);
        QStyledItemDelegate::paint(painter, o, index);
    }
};

}  // namespace

MapLijst::MapLijst(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new Inspringen(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemDoubleClicked, this, &MapLijst::Ga);
}

void MapLijst::SetDirectory(const QString& map) {
    const QFileInfo info(map);
    if (!info.isDir())
        throw KorvexError(
            QStringLiteral("De map \"%1\" bestaat niet.").arg(QDir::toNativeSeparators(map)));
    const QString pad = QDir::cleanPath(info.absoluteFilePath());
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon dicht = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The folders from the top down to this one.
    QStringList boven;
    for (QDir d(pad);; ) {
        boven.prepend(d.absolutePath());
        if (d.isRoot() || !d.cdUp()) break;
    }
    int diepte = 0;
    QListWidgetItem* huidig = nullptr;
    for (const QString& p : boven) {
        const QString naam = QDir(p).isRoot() ? QDir::toNativeSeparators(p) : QFileInfo(p).fileName();
        auto* item = new QListWidgetItem(open, naam, this);
        item->setData(PadRol, p);
        item->setData(DiepteRol, diepte++);
        huidig = item;
    }
    const QStringList onder =
        QDir(pad).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& naam : onder) {
        auto* item = new QListWidgetItem(dicht, naam, this);
        item->setData(PadRol, QDir(pad).filePath(naam));
        item->setData(DiepteRol, diepte);
    }
    setCurrentItem(huidig);
    if (pad != map_) {
        map_ = pad;
        Q_EMIT mapGewijzigd(map_);
    }
}

void MapLijst::Ga(QListWidgetItem* item) {
    if (item == nullptr) return;
    try {
        SetDirectory(item->data(PadRol).toString());
    } catch (const KorvexError&) {
        // Gone since it was listed: show the nearest folder that is still there.
        QDir d(map_);
        while (!d.exists() && !d.isRoot() && d.cdUp()) {
        }
        SetDirectory(d.exists() ? d.absolutePath() : QDir::rootPath());
    }
}

void MapLijst::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Ga(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

}  // namespace korvex::scripts
