#include "app/Logboek.h"

#include <QKeyEvent>

namespace korvex {

void TLogboek::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

}  // namespace korvex
