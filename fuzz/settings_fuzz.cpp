// Takes arbitrary bytes as the main window's settings file through one run of
// the tool (Load, Apply, Collect, Write), then checks what it wrote: the file
// holds exactly Inhoud(), an unreadable original is kept whole as ".bak",
// the file stays in proportion to what was read, a second run reads back the
// values collected, and writing the tool's own file again changes nothing.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "app/InstellingenOpslag.h"

using korvex::InstellingenOpslag;

namespace {

[[noreturn]] void Fout(const char* wat) {
    std::fprintf(stderr, "settings invariant broken: %s\n", wat);
    std::abort();
}

// Three of the main window's controls: two texts and a check box.
struct Velden {
    bool updates = false;
    QString sqlserver;
    QString paswoord;
    bool operator==(const Velden&) const = default;
};

std::vector<InstellingenOpslag::Waarde> Waarden(Velden& v) {
    using W = InstellingenOpslag;
    return {W::vinkje(
                QStringLiteral("P_UPDATES"), [&v] { return v.updates; },
                [&v](bool b) { v.updates = b; }),
            W::tekst(
                QStringLiteral("P_SQLSERVER"), [&v] { return v.sqlserver; },
                [&v](const QString& t) { v.sqlserver = t; }),
            W::tekst(
                QStringLiteral("P_PASWOORD"), [&v] { return v.paswoord; },
                [&v](const QString& t) { v.paswoord = t; })};
}

// An empty folder of its own under the process's temporary one.
QString LegeMap(const char* naam) {
    static QTemporaryDir basis;  // under TMPDIR
    if (!basis.isValid()) Fout("no temporary folder");
    const QString pad = basis.filePath(QString::fromLatin1(naam));
    QDir(pad).removeRecursively();
    if (!QDir().mkpath(pad)) Fout("no folder for the run");
    return pad;
}

void Schrijf(const QString& pad, QByteArrayView inhoud) {
    QFile bestand(pad);
    if (!bestand.open(QIODevice::WriteOnly) ||
        bestand.write(inhoud.data(), inhoud.size()) != inhoud.size())
        Fout("input file not written");
}

std::optional<QByteArray> Lees(const QString& pad) {
    QFile bestand(pad);
    if (!bestand.open(QIODevice::ReadOnly)) return std::nullopt;
    return bestand.readAll();
}

struct Run {
    Velden velden;  // as collected
    QByteArray inhoud;
};

// One run of the tool over <map>/KorvexSQLServer.xml, the fields starting
// at `begin`.
Run Draai(const QString& map, const QByteArray& invoer, Velden begin) {
    const QString pad = map + QStringLiteral("/KorvexSQLServer.xml");
    Schrijf(pad, invoer);
    Velden v = std::move(begin);
    InstellingenOpslag opslag(pad, QStringLiteral("Hoofdscherm"), Waarden(v));
    opslag.Load();
    opslag.Apply();
    opslag.Collect();
    Run run{v, opslag.Inhoud()};
    if (!opslag.Write()) Fout("Write refused a regular file in a writable folder");
    if (Lees(pad) != run.inhoud) Fout("the file does not hold Inhoud()");
    if (const auto bak = Lees(opslag.BackupBestand()); bak && *bak != invoer)
        Fout("the kept copy differs from the file read");
    return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray invoer(reinterpret_cast<const char*>(data), qsizetype(size));
    const Run eerste =
        Draai(LegeMap("een"), invoer, Velden{false, QStringLiteral("PC01\\SQLEXPRESS"), QString()});

    // Indentation and references may grow a file, nesting may not blow it up:
    // at most 64 levels of two blanks each before a line that took at least
    // two bytes to read.
    if (eerste.inhoud.size() > 64 * invoer.size() + 64 * 1024)
        Fout("written file out of proportion to the one read");

    // Fields that start out different from every collected value, so that
    // a value the second run does not apply shows.
    const Velden anders{!eerste.velden.updates, eerste.velden.sqlserver + u'#',
                        eerste.velden.paswoord + u'#'};
    const Run tweede = Draai(LegeMap("twee"), eerste.inhoud, anders);
    if (!(tweede.velden == eerste.velden)) Fout("the written file reads back other values");
    if (tweede.inhoud != eerste.inhoud) Fout("the tool's own file changes when written again");
    return 0;
}
