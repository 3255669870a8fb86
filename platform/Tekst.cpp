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

}  // namespace korvex
