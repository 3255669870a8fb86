// KorvexUpdater: installs the update the program downloaded and handed over,
// then starts the program again. It runs from a copy outside the program
// folder, so that the installer can replace this file too.
#include <windows.h>
// After windows.h, which it builds on.
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "updater/Opdracht.h"

using korvex::updater::ControleerInstallatiebestand;
using korvex::updater::PadUitOpdrachtregel;
using korvex::updater::ZelfdePad;

namespace {

// The program folder, handed from the first run to its copy.
constexpr wchar_t kProgrammaMapVariabele[] = L"KORVEXUPDATER_PROGRAMMAMAP";
constexpr wchar_t kProgramma[] = L"KorvexSQL.exe";
constexpr wchar_t kUpdater[] = L"KorvexUpdater.exe";
constexpr wchar_t kKopieVoorvoegsel[] = L"KorvexUpdater-";
constexpr DWORD kWachtOpAfsluitenMs = 60 * 1000;
constexpr DWORD kWachtOpInstallatieMs = 15 * 60 * 1000;

void Melding(const std::wstring& tekst) {
    MessageBoxW(nullptr, tekst.c_str(), L"Zelvo Korvex\u00ae update",
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
}

std::wstring Systeemfout(DWORD code) {
    wchar_t* tekst = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&tekst), 0, nullptr);
    std::wstring uit = tekst ? tekst : L"";
    if (tekst) LocalFree(tekst);
    while (!uit.empty() &&
           (uit.back() == L'\n' || uit.back() == L'\r' || uit.back() == L' ' || uit.back() == L'.'))
        uit.pop_back();
    return uit.empty() ? L"foutcode " + std::to_wstring(code) : uit;
}

std::wstring EigenPad() {
    std::wstring pad(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, pad.data(), static_cast<DWORD>(pad.size()));
        if (n == 0) return {};
        if (n < pad.size()) {
            pad.resize(n);
            return pad;
        }
        pad.resize(pad.size() * 2);
    }
}

std::wstring MapVan(const std::wstring& pad) {
    const size_t scheiding = pad.find_last_of(L'\\');
    return scheiding == std::wstring::npos ? std::wstring() : pad.substr(0, scheiding + 1);
}

std::wstring Omgeving(const wchar_t* naam) {
    wchar_t buf[32768];
    const DWORD n = GetEnvironmentVariableW(naam, buf, 32768);
    return n > 0 && n < 32768 ? std::wstring(buf, n) : std::wstring();
}

bool Start(const std::wstring& programma, std::wstring opdrachtregel, const wchar_t* map,
           PROCESS_INFORMATION& pi, DWORD& fout) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (CreateProcessW(programma.c_str(), opdrachtregel.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       map, &si, &pi))
        return true;
    fout = GetLastError();
    return false;
}

// Copies left by earlier updates; one still running keeps its file.
void RuimOudeKopieenOp(const std::wstring& temp) {
    WIN32_FIND_DATAW gevonden;
    HANDLE zoek = FindFirstFileW((temp + kKopieVoorvoegsel + L"*").c_str(), &gevonden);
    if (zoek == INVALID_HANDLE_VALUE) return;
    do {
        if (!(gevonden.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (gevonden.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        const std::wstring map = temp + gevonden.cFileName + L"\\";
        DeleteFileW((map + kUpdater).c_str());
        RemoveDirectoryW(map.c_str());
    } while (FindNextFileW(zoek, &gevonden));
    FindClose(zoek);
}

// Does a program run from one of these paths (other than this process)?
bool LooptNog(const std::vector<std::wstring>& paden) {
    HANDLE lijst = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (lijst == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W p{};
    p.dwSize = sizeof p;
    bool loopt = false;
    for (BOOL ok = Process32FirstW(lijst, &p); ok && !loopt; ok = Process32NextW(lijst, &p)) {
        if (p.th32ProcessID == GetCurrentProcessId()) continue;
        HANDLE proces = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, p.th32ProcessID);
        if (!proces) continue;
        wchar_t beeld[MAX_PATH * 4];
        DWORD n = MAX_PATH * 4;
        DWORD code = 0;
        if (QueryFullProcessImageNameW(proces, 0, beeld, &n) && GetExitCodeProcess(proces, &code) &&
            code == STILL_ACTIVE) {
            for (const std::wstring& pad : paden)
                if (ZelfdePad(std::wstring(beeld, n), pad)) loopt = true;
        }
        CloseHandle(proces);
    }
    CloseHandle(lijst);
    return loopt;
}

// The first run: check, copy itself to the temporary folder, start the copy.
int EersteStart(const std::wstring& installatiebestand) {
    const std::wstring eigen = EigenPad();
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (eigen.empty() || n == 0 || n > MAX_PATH) {
        Melding(
            L"Het updateprogramma vindt de tijdelijke map van Windows niet. Er wordt niets "
            L"ge\u00efnstalleerd.");
        return 3;
    }
    const std::wstring tempMap(temp, n);
    RuimOudeKopieenOp(tempMap);
    const std::wstring kopieMap =
        tempMap + kKopieVoorvoegsel + std::to_wstring(GetCurrentProcessId()) + L"\\";
    const std::wstring kopie = kopieMap + kUpdater;
    CreateDirectoryW(kopieMap.c_str(), nullptr);
    if (!CopyFileW(eigen.c_str(), kopie.c_str(), FALSE)) {
        Melding(L"Het updateprogramma kan zich niet naar " + kopieMap + L" kopi\u00ebren: " +
                Systeemfout(GetLastError()) + L". Er wordt niets ge\u00efnstalleerd.");
        return 3;
    }
    SetEnvironmentVariableW(kProgrammaMapVariabele, MapVan(eigen).c_str());
    PROCESS_INFORMATION pi{};
    DWORD fout = 0;
    if (!Start(kopie, L"\"" + kopie + L"\" '" + installatiebestand + L"'", tempMap.c_str(), pi,
               fout)) {
        Melding(L"Het updateprogramma kan zijn kopie " + kopie + L" niet starten: " +
                Systeemfout(fout) + L". Er wordt niets ge\u00efnstalleerd.");
        return 3;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}

// The copy: wait for the program, install, start the program again.
int Installeer(const std::wstring& installatiebestand, const std::wstring& programmaMap) {
    const std::wstring programma = programmaMap + kProgramma;
    const std::vector<std::wstring> wachtOp = {programma, programmaMap + kUpdater};
    const ULONGLONG begin = GetTickCount64();
    while (LooptNog(wachtOp)) {
        if (GetTickCount64() - begin > kWachtOpAfsluitenMs) {
            Melding(L"Zelvo Korvex is na " + std::to_wstring(kWachtOpAfsluitenMs / 1000) +
                    L" seconden nog niet afgesloten. De update wordt niet ge\u00efnstalleerd; "
                    L"sluit het programma en kies opnieuw UPDATE SOFTWARE.");
            return 4;
        }
        Sleep(200);
    }

    // The installer wants its folder last and unquoted, without a closing
    // backslash.
    std::wstring doel = programmaMap;
    if (doel.size() > 3 && doel.back() == L'\\') doel.pop_back();
    PROCESS_INFORMATION pi{};
    DWORD fout = 0;
    bool gelukt = false;
    if (!Start(installatiebestand, L"\"" + installatiebestand + L"\" /S /D=" + doel,
               programmaMap.c_str(), pi, fout)) {
        Melding(L"Het installatiebestand " + installatiebestand + L" kan niet worden gestart: " +
                Systeemfout(fout) + L". De ge\u00efnstalleerde versie wordt opnieuw gestart.");
    } else {
        CloseHandle(pi.hThread);
        DWORD code = 0;
        if (WaitForSingleObject(pi.hProcess, kWachtOpInstallatieMs) != WAIT_OBJECT_0) {
            Melding(L"De installatie van de update is na " +
                    std::to_wstring(kWachtOpInstallatieMs / 60000) +
                    L" minuten nog niet klaar. Zelvo Korvex wordt pas na de installatie "
                    L"opnieuw gestart; start het daarna zelf.");
            CloseHandle(pi.hProcess);
            return 5;
        }
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        if (code == 0)
            gelukt = true;
        else
            Melding(L"De installatie van de update is mislukt (code " + std::to_wstring(code) +
                    L"). De ge\u00efnstalleerde versie wordt opnieuw gestart.");
    }
    if (gelukt) DeleteFileW(installatiebestand.c_str());

    if (!Start(programma, L"\"" + programma + L"\"", programmaMap.c_str(), pi, fout)) {
        Melding(L"Zelvo Korvex (" + programma + L") kan niet opnieuw worden gestart: " +
                Systeemfout(fout) + L".");
        return 6;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return gelukt ? 0 : 5;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const auto pad = PadUitOpdrachtregel(GetCommandLineW());
    if (!pad) {
        Melding(
            L"Het updateprogramma wordt door Zelvo Korvex gestart met het pad van een "
            L"installatiebestand tussen apostrofs, en kreeg dat niet mee. Er wordt niets "
            L"ge\u00efnstalleerd.");
        return 2;
    }
    const std::wstring doorgegeven = Omgeving(kProgrammaMapVariabele);
    // Not for the installer or the program started afterwards: the program's
    // next hand-off must start a first run again.
    SetEnvironmentVariableW(kProgrammaMapVariabele, nullptr);
    const std::wstring programmaMap = doorgegeven.empty() ? MapVan(EigenPad()) : doorgegeven;
    const auto installatiebestand = ControleerInstallatiebestand(*pad, programmaMap);
    if (!installatiebestand) {
        Melding(L"Het updateprogramma installeert alleen een gewoon bestand uit de map " +
                programmaMap + L"TempDownloads, niet \"" + *pad +
                L"\". Er wordt niets ge\u00efnstalleerd.");
        return 2;
    }
    if (doorgegeven.empty()) return EersteStart(*installatiebestand);
    return Installeer(*installatiebestand, programmaMap);
}
