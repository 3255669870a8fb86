// Runs a fuzz target built without libFuzzer over saved inputs, for the
// regression tests: every file named, and every file in a folder named, runs
// once. A broken invariant aborts and so fails the test.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    int gedraaid = 0;
    for (int i = 1; i < argc; ++i) {
        const QString pad = QString::fromLocal8Bit(argv[i]);
        QStringList bestanden;
        if (QFileInfo(pad).isDir()) {
            for (const QFileInfo& f : QDir(pad).entryInfoList(QDir::Files, QDir::Name))
                bestanden << f.filePath();
        } else {
            bestanden << pad;
        }
        for (const QString& naam : bestanden) {
            QFile bestand(naam);
            if (!bestand.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(naam));
                return 1;
            }
            const QByteArray invoer = bestand.readAll();
            std::fprintf(stderr, "%s\n", qPrintable(naam));
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(invoer.constData()),
                                   size_t(invoer.size()));
            ++gedraaid;
        }
    }
    // A replay of nothing would pass without proving anything.
    if (gedraaid == 0) {
        std::fprintf(stderr, "no inputs\n");
        return 1;
    }
    std::printf("%d inputs replayed\n", gedraaid);
    return 0;
}
