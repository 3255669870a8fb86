#include <gtest/gtest.h>

#include "platform/KorvexApplication.h"

// Every test executable gets the tool's own application object on the
// offscreen platform, so exceptions escaping handlers behave as in the tool.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    korvex::KorvexApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
