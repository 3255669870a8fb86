#include "platform/Passend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVariant>

namespace korvex {

namespace {

// Below this a caption is no longer legible; it then stays at this size.
constexpr int kKleinstePixels = 7;

// The size the control needs to show its caption whole, or an empty size
// when it shows no caption.
QSize nodig(QWidget* w) {
    w->ensurePolished();
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->text().isEmpty()) return {};
        if (label->wordWrap()) return {label->width(), label->heightForWidth(label->width())};
        return label->sizeHint();
    }
    if (auto* knop = qobject_cast<QPushButton*>(w)) {
        if (knop->text().isEmpty()) return {};
        // The push button's own size hint has a minimum width of the style's
        // that has nothing to do with its caption: ask for the frame alone.
        QStyleOptionButton opt;
        opt.initFrom(knop);
        opt.icon = knop->icon();
        opt.iconSize = knop->iconSize();
        if (knop->autoDefault()) opt.features |= QStyleOptionButton::AutoDefaultButton;
        if (knop->isDefault()) opt.features |= QStyleOptionButton::DefaultButton;
        if (knop->isFlat()) opt.features |= QStyleOptionButton::Flat;
        QSize inhoud = knop->fontMetrics().size(Qt::TextShowMnemonic, knop->text());
        if (!knop->icon().isNull()) {
            inhoud.rwidth() += opt.iconSize.width() + 4;
            inhoud.setHeight(qMax(inhoud.height(), opt.iconSize.height()));
        }
        return knop->style()->sizeFromContents(QStyle::CT_PushButton, &opt, inhoud, knop);
    }
    if (auto* knop = qobject_cast<QAbstractButton*>(w)) {
        if (knop->text().isEmpty()) return {};
        return knop->sizeHint();
    }
    return {};
}

bool past(QWidget* w) {
    const QSize n = nodig(w);
    return n.isEmpty() || (n.width() <= w->width() && n.height() <= w->height());
}

// The font the control had before it was first made smaller.
const char* const kEigenFont = "korvexEigenFont";

void verklein(QWidget* w) {
    if (past(w)) return;
    if (!w->property(kEigenFont).isValid()) w->setProperty(kEigenFont, w->font());
    QFont f = w->font();
    // Fonts given in pixels stay in pixels, those in points in points.
    const bool inPixels = f.pixelSize() > 0;
    const qreal stap = inPixels ? 1.0 : 0.5;
    qreal maat = inPixels ? f.pixelSize() : f.pointSizeF();
    const qreal kleinste =
        inPixels ? kKleinstePixels : kKleinstePixels * 72.0 / qMax(1, w->logicalDpiY());
    while (maat - stap >= kleinste) {
        maat -= stap;
        if (inPixels)
            f.setPixelSize(int(maat));
        else
            f.setPointSizeF(maat);
        w->setFont(f);
        if (past(w)) return;
    }
}

}  // namespace

void Passend::ZetTekst(QLabel* label, const QString& tekst) {
    // Called for every block a download receives; the text changes far less often.
    if (label->text() == tekst) return;
    label->setText(tekst);
    // A shorter text after a long one gets the room back.
    const QVariant eigen = label->property(kEigenFont);
    if (eigen.isValid() && label->font() != eigen.value<QFont>())
        label->setFont(eigen.value<QFont>());
    verklein(label);
}

void Passend::PasOpschriften(QWidget* venster) {
    venster->ensurePolished();
    for (QWidget* w : venster->findChildren<QWidget*>()) {
        // A window of its own is fitted when it is built.
        if (w->isWindow()) continue;
        if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) verklein(w);
    }
}

}  // namespace korvex
