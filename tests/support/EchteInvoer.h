#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace korvex::test {

// A click as the window system delivers it: on the window, where Qt's
// modality rules decide whether it reaches the widget at all.
inline void KlikEcht(QWidget* doel) {
    QWidget* venster = doel->window();
    ASSERT_NE(venster->windowHandle(), nullptr) << "the window is not shown";
    QTest::mouseClick(venster->windowHandle(), Qt::LeftButton, {},
                      doel->mapTo(venster, doel->rect().center()));
}

// Answers the boxes that show, one after another, by clicking the button
// that reads each text in turn. A box whose button takes no click stays on
// the screen; after two seconds it is closed, so the test goes on, and
// counted as not answered. A button may also be one of a window that is not
// a box: a click that must get through while a box is open.
class Beantwoord : public QObject {
  public:
    explicit Beantwoord(QStringList knoppen) : knoppen_(std::move(knoppen)) {
        connect(&tik_, &QTimer::timeout, this, [this] { kijk(); });
        tik_.start(20);
    }
    ~Beantwoord() override {
        // The last box answered may be gone before the next look.
        if (wacht_ && !blijftStaan_ && !(geklikt_ && geklikt_->isVisible())) knoppen_.removeFirst();
        EXPECT_TRUE(knoppen_.isEmpty())
            << "no box showed the button " << knoppen_.join(", ").toStdString();
        EXPECT_EQ(nietBeantwoord, 0) << "boxes that took no click";
    }
    int nietBeantwoord = 0;

  private:
    void kijk() {
        if (knoppen_.isEmpty()) return;
        if (wacht_) {
            if (blijftStaan_) {
                if (klok_.elapsed() < 200) return;
                EXPECT_TRUE(geklikt_ && geklikt_->isVisible())
                    << knoppen_.first().toStdString() << " closed its window";
            } else if (geklikt_ && geklikt_->isVisible()) {
                if (klok_.elapsed() < 2000) return;
                ++nietBeantwoord;
                geklikt_->window()->close();
            }
            knoppen_.removeFirst();
            wacht_ = false;
            return;
        }
        for (QWidget* venster : QApplication::topLevelWidgets()) {
            if (!venster->isVisible()) continue;
            for (QAbstractButton* b : venster->findChildren<QAbstractButton*>()) {
                if (!b->isVisible() || b->text() != knoppen_.first()) continue;
                geklikt_ = b;
                wacht_ = true;
                // Help, and a button of a window that is no box, leave their
                // window standing.
                blijftStaan_ = b->text() == QStringLiteral("&Help") ||
                               qobject_cast<QDialog*>(venster) == nullptr;
                klok_.start();
                KlikEcht(b);
                return;
            }
        }
    }

    QStringList knoppen_;
    QPointer<QAbstractButton> geklikt_;
    bool wacht_ = false;
    bool blijftStaan_ = false;
    QElapsedTimer klok_;
    QTimer tik_;
};

}  // namespace korvex::test
