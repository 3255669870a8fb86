#pragma once
// What the updater is asked to do: the installer named on its command line,
// checked before anything runs. Windows only.
#include <optional>
#include <string>

namespace korvex::updater {

// The hand-off passes the installer's full path between apostrophes as the
// whole parameter string. Returns the path without them, or nothing when the
// tail is not of that form. The raw command line is read because the C
// runtime's split would cut a path with blanks and keeps apostrophes.
std::optional<std::wstring> PadUitOpdrachtregel(const std::wstring& opdrachtregel);

// The installer may only be a regular file directly in the folder
// TempDownloads of programmaMap (which ends in a backslash): no link, no
// stream, no other folder. Returns its full long path, or nothing.
std::optional<std::wstring> ControleerInstallatiebestand(const std::wstring& pad,
                                                         const std::wstring& programmaMap);

// Equal as Windows compares file names: without regard to case.
bool ZelfdePad(const std::wstring& a, const std::wstring& b);

}  // namespace korvex::updater
