#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace korvex::test {

// A click as the window system delivers it: to the window, where Qt's
// modality rules decide whether it reaches the widget at all.
inline void KlikEcht(QWidget* doel) {
    QWidget* venster = doel->window();
    QTest::mouseClick(venster->windowHandle(), Qt::LeftButton, {},
                      doel->mapTo(venster, doel->rect().center()));
}

// Clicks, one after another, the shown button that reads each text. A
// button whose window stays (Help, or one of a window that is no box) counts
// as answered; a box that takes no click is closed after two seconds, so the
// test goes on, and counted.
class Beantwoord : public QObject {
  public:
    explicit Beantwoord(QStringList knoppen) : knoppen_(std::move(knoppen)) {
        connect(&tik_, &QTimer::timeout, this, [this] { kijk(); });
        tik_.start(20);
        klok_.start();
    }
    ~Beantwoord() override {
        if (wacht_) kijk(true);
        EXPECT_EQ(knoppen_.join(", ").toStdString(), "") << "buttons not clicked";
        EXPECT_EQ(nietBeantwoord, 0) << "boxes that took no click";
    }
    int nietBeantwoord = 0;

  private:
    void kijk(bool laatste = false) {
        if (knoppen_.isEmpty()) return;
        if (wacht_) {
            const bool staat = geklikt_ && geklikt_->isVisible();
            const bool blijft = geklikt_ && (geklikt_->text() == QStringLiteral("&Help") ||
                                             !qobject_cast<QDialog*>(geklikt_->window()));
            if (!laatste && (blijft || staat) && klok_.elapsed() < (blijft ? 200 : 2000)) return;
            if (blijft)
                EXPECT_TRUE(staat) << knoppen_.first().toStdString() << " closed its window";
            if (staat && !blijft) {
                ++nietBeantwoord;
                geklikt_->window()->close();
            }
            knoppen_.removeFirst();
            wacht_ = false;
            return;
        }
        for (QWidget* venster : QApplication::topLevelWidgets())
            for (QAbstractButton* b : venster->findChildren<QAbstractButton*>())
                if (venster->isVisible() && b->isVisible() && b->text() == knoppen_.first()) {
                    geklikt_ = b;
                    wacht_ = true;
                    klok_.start();
                    return KlikEcht(b);
                }
        // The button never showed: the boxes go, so the test fails instead of hanging.
        if (klok_.elapsed() > 10000)
            for (QWidget* venster : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QDialog*>(venster); box && box->isVisible())
                    box->reject();
    }

    QStringList knoppen_;
    QPointer<QAbstractButton> geklikt_;
    bool wacht_ = false;
    QElapsedTimer klok_;
    QTimer tik_;
};

}  // namespace korvex::test
