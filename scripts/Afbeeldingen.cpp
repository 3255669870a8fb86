#include "scripts/Afbeeldingen.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace korvex::scripts {

namespace {

// An arrow along the x axis from x0 to x1 at height y.
void Pijl(QPainter& p, qreal x0, qreal x1, qreal y, const QColor& kleur) {
    const qreal r = x1 > x0 ? 1 : -1;
    QPainterPath pad;
    pad.moveTo(x0, y - 4);
    pad.lineTo(x1 - r * 9, y - 4);
    pad.lineTo(x1 - r * 9, y - 10);
    pad.lineTo(x1, y);
    pad.lineTo(x1 - r * 9, y + 10);
    pad.lineTo(x1 - r * 9, y + 4);
    pad.lineTo(x0, y + 4);
    pad.closeSubpath();
    p.setPen(QPen(kleur.darker(140), 1.5));
    p.setBrush(kleur);
    p.drawPath(pad);
}

// A server cabinet on the right-hand side.
void Server(QPainter& p) {
    p.setPen(QPen(QColor(60, 70, 90), 1.5));
    p.setBrush(QColor(190, 200, 215));
    p.drawRoundedRect(QRectF(27, 6, 17, 36), 2, 2);
    for (int i = 0; i < 3; ++i) {
        p.setBrush(QColor(120, 130, 150));
        p.drawRect(QRectF(30, 11 + i * 10, 11, 4));
    }
    p.setBrush(QColor(80, 200, 90));
    p.drawEllipse(QPointF(35.5, 39), 1.5, 1.5);
}

void Document(QPainter& p, const QRectF& r) {
    QPainterPath pad;
    pad.moveTo(r.left(), r.top());
    pad.lineTo(r.right() - 9, r.top());
    pad.lineTo(r.right(), r.top() + 9);
    pad.lineTo(r.right(), r.bottom());
    pad.lineTo(r.left(), r.bottom());
    pad.closeSubpath();
    p.setPen(QPen(QColor(70, 80, 100), 1.5));
    p.setBrush(Qt::white);
    p.drawPath(pad);
    p.setPen(QPen(QColor(150, 160, 180), 1.5));
    for (qreal y = r.top() + 14; y < r.bottom() - 4; y += 5)
        p.drawLine(QPointF(r.left() + 5, y), QPointF(r.right() - 5, y));
}

QPixmap Teken(int index) {
    QPixmap beeld(48, 48);
    beeld.fill(Qt::transparent);
    QPainter p(&beeld);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
        case 0:  // log in: into the server
            Server(p);
            Pijl(p, 3, 25, 24, QColor(60, 170, 70));
            break;
        case 1:  // fetch: a script coming down
            Document(p, QRectF(12, 4, 24, 30));
            {
                p.save();
                p.translate(24, 0);
                p.rotate(90);
                Pijl(p, 14, 44, 0, QColor(40, 110, 210));
                p.restore();
            }
            break;
        case 2: {  // run a script
            Document(p, QRectF(5, 4, 26, 36));
            QPainterPath speel;
            speel.moveTo(24, 22);
            speel.lineTo(44, 33);
            speel.lineTo(24, 44);
            speel.closeSubpath();
            p.setPen(QPen(QColor(30, 120, 40), 1.5));
            p.setBrush(QColor(70, 185, 80));
            p.drawPath(speel);
            break;
        }
        default:  // log out: away from the server
            Server(p);
            Pijl(p, 24, 2, 24, QColor(210, 60, 50));
            break;
    }
    return beeld;
}

}  // namespace

QIcon Afbeeldingen::Large(int index) {
    return QIcon(Teken(index));
}

QPixmap Afbeeldingen::ToolImages(int index) {
    QPixmap beeld(16, 16);
    beeld.fill(Qt::transparent);
    QPainter p(&beeld);
    p.setRenderHint(QPainter::Antialiasing);
    const bool uit = index == 1;
    p.setPen(Qt::NoPen);
    p.setBrush(uit ? QColor(170, 170, 170) : QColor(200, 55, 45));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 5), QPointF(11, 11));
    p.drawLine(QPointF(11, 5), QPointF(5, 11));
    return beeld;
}

}  // namespace korvex::scripts
