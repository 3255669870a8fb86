#include "app/KleurTabblad.h"

#include <QPainter>
#include <QTabBar>

namespace korvex {

namespace {

// The tab strip: tabs 23 pixels wide, one under the other, text upwards.
class TKleurTabBalk : public QTabBar {
  public:
    explicit TKleurTabBalk(QWidget* parent) : QTabBar(parent) {
        setDrawBase(false);
        setExpanding(false);
    }
    QList<QColor> kleuren;

  protected:
    QSize tabSizeHint(int index) const override {
        const int tekst = fontMetrics().horizontalAdvance(tabText(index));
        return {23, tekst + 24};
    }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        for (int i = 0; i < count(); ++i) {
            const QRect r = tabRect(i).adjusted(0, 1, 0, -1);
            QColor kleur = i < kleuren.size() ? kleuren[i] : palette().button().color();
            const bool actief = i == currentIndex();
            if (!actief) kleur = kleur.lighter(135);
            p.setPen(kleur.darker(160));
            p.setBrush(kleur);
            p.drawRoundedRect(r.adjusted(0, 0, actief ? 4 : 0, 0), 3, 3);
            p.save();
            p.translate(r.center());
            p.rotate(-90);
            QFont f = font();
            f.setBold(actief);
            p.setFont(f);
            p.setPen(kleur.lightness() > 150 ? Qt::black : Qt::white);
            const QRect tekst(-r.height() / 2, -r.width() / 2, r.height(), r.width());
            p.drawText(tekst, Qt::AlignCenter, tabText(i));
            p.restore();
            if (hasFocus() && actief) {
                p.setPen(QPen(Qt::black, 1, Qt::DotLine));
                p.setBrush(Qt::NoBrush);
                p.drawRect(r.adjusted(2, 2, -3, -3));
            }
        }
    }
};

}  // namespace

TKleurTabblad::TKleurTabblad(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new TKleurTabBalk(this));
    setTabPosition(QTabWidget::West);
}

void TKleurTabblad::setTabColour(int index, const QColor& colour) {
    auto* balk = static_cast<TKleurTabBalk*>(tabBar());
    while (balk->kleuren.size() <= index) balk->kleuren << QColor();
    balk->kleuren[index] = colour;
    balk->update();
}

}  // namespace korvex
