#include "updater/Opdracht.h"

#include <windows.h>

namespace korvex::updater {

namespace {

bool IsBlanco(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// A path API's answer, grown until it fits; empty on failure.
template <typename Api>
std::wstring Vraag(Api api) {
    std::wstring uit(MAX_PATH, L'\0');
    for (int poging = 0; poging < 4; ++poging) {
        const DWORD n = api(uit.data(), static_cast<DWORD>(uit.size()));
        if (n == 0) return {};
        if (n < uit.size()) {
            uit.resize(n);
            return uit;
        }
        uit.resize(n);
    }
    return {};
}

std::wstring VolledigPad(const std::wstring& pad) {
    return Vraag(
        [&](wchar_t* buf, DWORD n) { return GetFullPathNameW(pad.c_str(), n, buf, nullptr); });
}

std::wstring LangPad(const std::wstring& pad) {
    return Vraag([&](wchar_t* buf, DWORD n) { return GetLongPathNameW(pad.c_str(), buf, n); });
}

}  // namespace

bool ZelfdePad(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::optional<std::wstring> PadUitOpdrachtregel(const std::wstring& opdrachtregel) {
    // The program's own name first: quoted, or up to the first blank.
    size_t i = 0;
    if (i < opdrachtregel.size() && opdrachtregel[i] == L'"') {
        i = opdrachtregel.find(L'"', 1);
        i = i == std::wstring::npos ? opdrachtregel.size() : i + 1;
    } else {
        while (i < opdrachtregel.size() && !IsBlanco(opdrachtregel[i])) ++i;
    }
    while (i < opdrachtregel.size() && IsBlanco(opdrachtregel[i])) ++i;
    size_t eind = opdrachtregel.size();
    while (eind > i && IsBlanco(opdrachtregel[eind - 1])) --eind;
    if (eind - i < 3 || opdrachtregel[i] != L'\'' || opdrachtregel[eind - 1] != L'\'')
        return std::nullopt;
    return opdrachtregel.substr(i + 1, eind - i - 2);
}

std::optional<std::wstring> ControleerInstallatiebestand(const std::wstring& pad,
                                                         const std::wstring& programmaMap) {
    if (pad.empty()) return std::nullopt;
    const std::wstring volledig = LangPad(VolledigPad(pad));
    const std::wstring map = LangPad(VolledigPad(programmaMap + L"TempDownloads"));
    if (volledig.empty() || map.empty()) return std::nullopt;
    const size_t scheiding = volledig.find_last_of(L'\\');
    if (scheiding == std::wstring::npos || scheiding + 1 == volledig.size()) return std::nullopt;
    const std::wstring naam = volledig.substr(scheiding + 1);
    // A colon past the drive would name a stream of the file, not the file.
    if (naam.find(L':') != std::wstring::npos) return std::nullopt;
    if (!ZelfdePad(volledig.substr(0, scheiding), map)) return std::nullopt;

    for (const std::wstring* deel : {&map, &volledig}) {
        const DWORD kenmerken = GetFileAttributesW(deel->c_str());
        if (kenmerken == INVALID_FILE_ATTRIBUTES || (kenmerken & FILE_ATTRIBUTE_REPARSE_POINT))
            return std::nullopt;
        const bool isMap = (kenmerken & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isMap != (deel == &map)) return std::nullopt;
    }
    // A device or pipe reached through the name is no installer.
    HANDLE h = CreateFileW(volledig.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    const bool schijf = GetFileType(h) == FILE_TYPE_DISK;
    CloseHandle(h);
    if (!schijf) return std::nullopt;
    return volledig;
}

}  // namespace korvex::updater
