// Takes arbitrary bytes as a connection configuration file: parsed as text
// there are always eight values, and reading the same bytes from a real file
// gives those values or, for an oversized file or value, a refusal. Written
// and read back, every value returns with its line breaks turned into blanks
// and what the code page lacks turned into "?".
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/ConfiguratieBestand.h"
#include "platform/AnsiCodec.h"
#include "platform/KorvexError.h"
#include "platform/Tekst.h"

using korvex::AnsiCodec;
using korvex::ConfiguratieBestand;
using korvex::KorvexError;

namespace {

[[noreturn]] void Fout(const char* wat) {
    std::fprintf(stderr, "zkd invariant broken: %s\n", wat);
    std::abort();
}

QString Pad(const char* naam) {
    static QTemporaryDir map;  // under TMPDIR
    if (!map.isValid()) Fout("no temporary folder");
    return map.filePath(QString::fromLatin1(naam));
}

QStringList Acht(const QStringList& waarden) {
    if (waarden.size() != 8) Fout("not eight values");
    return waarden;
}

// What a value becomes in the file.
QString AlsGeschreven(QString waarde) {
    waarde.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    waarde.replace(u'\r', u' ');
    waarde.replace(u'\n', u' ');
    return AnsiCodec::decode(AnsiCodec::encode(waarde));
}

void HeenEnTerug(const QStringList& waarden) {
    const QString pad = Pad("uit.zkd");
    ConfiguratieBestand::Schrijven(pad, waarden);
    const QStringList terug = Acht(ConfiguratieBestand::Lezen(pad));
    for (qsizetype i = 0; i < 8; ++i)
        if (terug.at(i) != AlsGeschreven(waarden.value(i))) Fout("a value changed on its way");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray invoer(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList ontleed =
        Acht(ConfiguratieBestand::Ontleden(AnsiCodec::decodeWithBom(invoer)));

    const QString pad = Pad("invoer.zkd");
    {
        QFile bestand(pad);
        if (!bestand.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            bestand.write(invoer) != invoer.size())
            Fout("input file not written");
    }
    bool teGroot = invoer.size() > ConfiguratieBestand::MaximaleLeesGrootte;
    for (const QString& waarde : ontleed)
        teGroot = teGroot || waarde.size() > korvex::Tekst::MaximaleVeldLengte;
    try {
        const QStringList gelezen = Acht(ConfiguratieBestand::Lezen(pad));
        if (teGroot) Fout("an oversized file or value was read");
        if (gelezen != ontleed) Fout("file and text parse differently");
    } catch (const KorvexError&) {
        if (!teGroot) Fout("a file within the limits was refused");
    }

    // The same bytes as UTF-16 code units, halves of surrogate pairs included.
    QString ruw(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(ruw.data(), data, size / 2 * 2);
    Acht(ConfiguratieBestand::Ontleden(ruw));

    HeenEnTerug(ontleed);
    // Values no parse could give: line breaks, "=" and whole key lines inside.
    HeenEnTerug(ruw.split(QChar(u'\0')));
    return 0;
}
