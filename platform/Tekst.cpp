#include "platform/Tekst.h"

namespace korvex {

QString Tekst::trimmed(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= u' ') ++begin;
    while (end > begin && text.at(end - 1).unicode() <= u' ') --end;
    return text.mid(begin, end - begin);
}

QString Tekst::sqlBatch(const QStringList& lines) {
    QString batch;
    for (const QString& line : lines) {
        batch += line;
        batch += QStringLiteral("\r\n");
    }
    return batch;
}

QString Tekst::sqlLiteralBody(const QString& value) {
    QString body = value;
    body.replace(u'\'', QStringLiteral("''"));
    return body;
}

bool Tekst::veiligVoorSql(const QString& value) {
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value.at(i).unicode();
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 == value.size() || !QChar::isLowSurrogate(value.at(i + 1).unicode()))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return false;
        }
    }
    return true;
}

}  // namespace korvex
