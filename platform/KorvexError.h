#pragma once

#include <QString>
#include <stdexcept>

namespace korvex {

// Every failure of a service travels as this exception; the message text is
// what the operator gets to see, unchanged.
class KorvexError : public std::runtime_error {
  public:
    explicit KorvexError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const noexcept { return message_; }

  private:
    QString message_;
};

// The text of any failure as the operator gets to see it.
inline QString foutTekst(const std::exception& fout) {
    if (auto* k = dynamic_cast<const KorvexError*>(&fout)) return k->message();
    return QString::fromLocal8Bit(fout.what());
}

}  // namespace korvex
