#pragma once

#include <QApplication>

namespace korvex {

class Platform;

// The application object: an exception that escapes an event handler is
// shown in the standard error box and the program goes on.
class KorvexApplication : public QApplication {
  public:
    KorvexApplication(int& argc, char** argv);
    // Why no window can be shown, before the application object is made:
    // without a display Qt would abort with a message about plugins. Empty
    // where there is one (always on Windows).
    static QString GeenBeeldscherm();
    void setPlatform(Platform* platform) { platform_ = platform; }
    bool notify(QObject* receiver, QEvent* event) override;

  private:
    Platform* platform_ = nullptr;
};

}  // namespace korvex
