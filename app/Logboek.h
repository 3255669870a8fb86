#pragma once

#include <QPlainTextEdit>

namespace korvex {

// The log memo: typing is allowed, but Enter never inserts a line break.
class TLogboek : public QPlainTextEdit {
  public:
    explicit TLogboek(QWidget* parent) : QPlainTextEdit(parent) {}

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace korvex
