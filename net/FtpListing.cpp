#include "net/FtpListing.h"

#include <QStringDecoder>

#include "platform/AnsiCodec.h"

namespace korvex::net {

QString FtpListing::decode(QByteArrayView bytes) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    return AnsiCodec::decode(bytes.toByteArray());
}

void FtpListing::feed(QByteArrayView blok) {
    for (;;) {
        const qsizetype eind = blok.indexOf('\n');
        if (eind < 0) break;
        rest_.append(blok.first(eind));
        if (rest_.endsWith('\r')) rest_.chop(1);
        lines_.append(decode(rest_));
        rest_.clear();
        blok = blok.sliced(eind + 1);
    }
    rest_.append(blok);
}

void FtpListing::finish() {
    if (rest_.endsWith('\r')) rest_.chop(1);
    if (!rest_.isEmpty()) lines_.append(decode(rest_));
    rest_.clear();
}

}  // namespace korvex::net
