#pragma once

#include <QApplication>

namespace korvex {

class Platform;

// The application object: an exception that escapes an event handler is
// shown in the standard error box and the program goes on.
class KorvexApplication : public QApplication {
  public:
    KorvexApplication(int& argc, char** argv);
    void setPlatform(Platform* platform) { platform_ = platform; }
    bool notify(QObject* receiver, QEvent* event) override;

  private:
    Platform* platform_ = nullptr;
};

}  // namespace korvex
