#include <gtest/gtest.h>
#include <windows.h>

#include <QDir>
#include <QFile>

#include "tests/support/TempFolder.h"
#include "updater/Opdracht.h"

using namespace korvex::updater;

namespace {

std::wstring W(const QString& s) {
    return QDir::toNativeSeparators(s).toStdWString();
}

}  // namespace

TEST(Updater, TakesTheWholeTailBetweenOneApostropheEachSide) {
    const struct {
        const wchar_t* regel;
        const wchar_t* pad;  // nullptr: refused
    } gevallen[] = {
        {LR"("C:\Program Files\Korvex\KorvexUpdater.exe" 'C:\Program Files\Korvex\TempDownloads\setup.exe')",
         LR"(C:\Program Files\Korvex\TempDownloads\setup.exe)"},
        {LR"(KorvexUpdater.exe   'C:\Users\O'Brien\Korvex\TempDownloads\setup.exe'  )",
         LR"(C:\Users\O'Brien\Korvex\TempDownloads\setup.exe)"},
        {LR"("C:\K\KorvexUpdater.exe" ''C:\x.exe'')", LR"('C:\x.exe')"},
        {LR"("C:\K\KorvexUpdater.exe" C:\K\TempDownloads\setup.exe)", nullptr},
        {LR"("C:\K\KorvexUpdater.exe" "C:\K\TempDownloads\setup.exe")", nullptr},
        {LR"("C:\K\KorvexUpdater.exe" 'C:\K\TempDownloads\setup.exe)", nullptr},
        {LR"("C:\K\KorvexUpdater.exe" '')", nullptr},
        {LR"("C:\K\KorvexUpdater.exe" ')", nullptr},
        {LR"("C:\K\KorvexUpdater.exe")", nullptr},
    };
    for (const auto& g : gevallen) {
        const auto pad = PadUitOpdrachtregel(g.regel);
        if (!g.pad)
            EXPECT_FALSE(pad) << QString::fromWCharArray(g.regel).toStdString();
        else
            EXPECT_EQ(pad.value_or(L"(geweigerd)"), g.pad)
                << QString::fromWCharArray(g.regel).toStdString();
    }
}

TEST(Updater, RunsOnlyARegularFileDirectlyInTempDownloads) {
    korvex::test::TempFolder tmp;
    const QString programma = tmp.path() + "O'Brien met blanco/";
    ASSERT_TRUE(QDir().mkpath(programma + "TempDownloads/sub"));
    ASSERT_TRUE(QDir().mkpath(tmp.path() + "Elders"));
    for (const QString& pad :
         {programma + "TempDownloads/setup nieuw.exe", programma + "TempDownloads/sub/setup.exe",
          tmp.path() + "Elders/setup.exe", programma + "KorvexSQL.exe"}) {
        QFile f(pad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << pad.toStdString();
    }
    const std::wstring map = W(programma);
    const std::wstring goed = map + L"TempDownloads\\setup nieuw.exe";
    const bool link = CreateSymbolicLinkW((map + L"TempDownloads\\link.exe").c_str(),
                                          W(tmp.path() + "Elders/setup.exe").c_str(),
                                          SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    std::wstring kleineLetters = goed;
    CharLowerW(kleineLetters.data());

    // Accepted in any letter case and through "..", as the one full path.
    for (const std::wstring& ander :
         {goed, kleineLetters, map + L"TempDownloads\\sub\\..\\setup nieuw.exe"})
        EXPECT_TRUE(ZelfdePad(ControleerInstallatiebestand(ander, map).value_or(L""), goed))
            << QString::fromStdWString(ander).toStdString();
    for (const std::wstring& fout : {
             map + L"TempDownloads\\..\\KorvexSQL.exe",
             map + L"TempDownloads\\sub\\setup.exe",
             map + L"..\\Elders\\setup.exe",
             map + L"TempDownloads\\sub",
             map + L"TempDownloads\\",
             map + L"TempDownloads\\ontbreekt.exe",
             map + L"TempDownloads\\setup nieuw.exe:stroom",
             std::wstring(L"setup nieuw.exe"),
             std::wstring(),
         })
        EXPECT_FALSE(ControleerInstallatiebestand(fout, map))
            << QString::fromStdWString(fout).toStdString();
    if (link)
        EXPECT_FALSE(ControleerInstallatiebestand(map + L"TempDownloads\\link.exe", map));
    else
        std::printf("Left out: this system made no symbolic link (%lu)\n", GetLastError());
}
