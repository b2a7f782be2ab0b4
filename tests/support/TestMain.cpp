// Entry point of every test executable: the program's application object (error box, hints,
// font substitution) on the offscreen platform, then gtest. Attention requests are recorded, not
// sent, so a test run never marks windows or pops notifications on the developer's desktop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/gui/Application.h"
#include "support/FakeAttention.h"

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::Application app(argc, argv);
    FakeAttention quiet;
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
