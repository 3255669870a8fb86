#include "tests/support/TempFolder.h"

namespace korvex::test {

TempFolder::TempFolder() : dir_(QDir::tempPath() + QStringLiteral("/korvex-test-XXXXXX")) {}

QString TempFolder::path() const {
    return dir_.path() + u'/';
}

}  // namespace korvex::test
