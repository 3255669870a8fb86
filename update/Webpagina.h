#pragma once

#include <QString>

namespace korvex {

class Platform;

// Opens a web page named by the update manifest, which anyone between the
// program and the update server can write: only http and https go to the
// shell, anything else (a local file, a share, a script URL) is refused with
// a warning. A bare host name is completed to http first, as the shell would.
void OpenWebpagina(Platform& platform, const QString& url);

}  // namespace korvex
