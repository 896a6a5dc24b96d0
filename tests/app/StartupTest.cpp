#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "gui/Gui.h"
#include "gui/GuiTestSupport.h"
#include "simlink/SimLinkTestSupport.h"
#include "support/TempDir.h"

namespace zelk {
namespace {

TEST(Startup, ProductionArgumentIsTheWholeWordInAnyCaseAfterTheProgram)
{
    for (const char* yes : {"--production", "--PRODUCTION", "--Production"}) EXPECT_TRUE(lf_isProductionArgument(yes));
    for (const char* no : {"--production=1", "--productio", "-production", ""}) EXPECT_FALSE(lf_isProductionArgument(no));
    EXPECT_EQ(lf_productionFlagFrom({"zelk"}), std::nullopt);
    EXPECT_EQ(lf_productionFlagFrom({}), std::nullopt);
    EXPECT_EQ(lf_productionFlagFrom({"zelk", "x", "y", "--PRODUCTION"}), true);
    EXPECT_EQ(lf_productionFlagFrom({"zelk", "--productionx", "--prod"}), std::nullopt);
    EXPECT_EQ(lf_productionFlagFrom({"--production"}), std::nullopt) << "the program's own name never counts";
}

class StartupFolder : public test::TempDirTest {};

TEST_F(StartupFolder, MadeWithItsParentsKeptWhenThereAndRefusedWhenAFileIsInTheWay)
{
    std::string error;
    EXPECT_TRUE(lf_ensureUserDataFolder(file("a/b/ZELK"), error)) << error;
    EXPECT_TRUE(std::filesystem::is_directory(file("a/b/ZELK")));

    test::writeAll(file("a/b/ZELK/parameters.xml"), "<root/>");
    EXPECT_TRUE(lf_ensureUserDataFolder(file("a/b/ZELK"), error));
    EXPECT_EQ(test::readAll(file("a/b/ZELK/parameters.xml")), "<root/>");

    test::writeAll(file("ZELK"), "not a folder");
    EXPECT_FALSE(lf_ensureUserDataFolder(file("ZELK"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(lf_ensureUserDataFolder(file("ZELK/below"), error));
}

// The simulator link on the stand-in, with the hooks the start-up installs and
// the test thread as the window's user-interface thread.
class StartupSimLinkHooks : public test::SimLinkTest {
protected:
    void SetUp() override
    {
        SimLinkTest::SetUp();
        window = std::make_shared<test::RecordingWindow>();
        gf_gui().attachWindow(window);
        lf_installSimLinkHooks();
    }
    void TearDown() override
    {
        // Back to a quiet panel for the next test, applied here on the window's thread.
        gf_gui().attachWindow(window);
        gf_gui().enqueueUpdate(gui_update::SetSimulatorRunning{false});
        gf_gui().enqueueUpdate(gui_update::ClearMessage{});
        gf_gui().detachWindow();
        SimLinkTest::TearDown();
    }

    std::shared_ptr<test::RecordingWindow> window;
};

TEST_F(StartupSimLinkHooks, RunStateChangesReachTheSimulatorSquare)
{
    port.setSimulationRunning(false);
    SimClient client(port, noWaitTiming());
    ASSERT_TRUE(client.connect());
    EXPECT_FALSE(gf_gui().panel().simulatorRunning);
    port.setSimulationRunning(true);
    frames(client, 1);
    EXPECT_TRUE(gf_gui().panel().simulatorRunning);
    port.setSimulationRunning(false);
    frames(client, 3);
    EXPECT_FALSE(gf_gui().panel().simulatorRunning);
}

TEST_F(StartupSimLinkHooks, LinkMessagesGoToTheMessageLineAndTheLog)
{
    SimClient client(port, noWaitTiming());
    ASSERT_TRUE(client.connect());
    port.failCalls("request", true);
    gf_requestAiStaticCgAndPitch(123);
    frames(client, 1);
    EXPECT_EQ(gf_gui().panel().message, "SimConnect request error");
    EXPECT_NE(log().find("SimConnect request error\n"), std::string::npos);
    EXPECT_FALSE(gf_gui().panel().simulatorRunning) << "the error state is not a running simulation";
}

TEST_F(StartupSimLinkHooks, WrongSimulatorAsksTheWindowToSwitch)
{
    port.setProduct(SimProduct::Msfs2020);
    SimClient client(port, noWaitTiming());
    EXPECT_FALSE(client.connect());
    EXPECT_EQ(window->takeMessage(std::chrono::milliseconds(0)), MSG_SWITCH_SIM);
    EXPECT_EQ(window->takeMessage(std::chrono::milliseconds(0)), 0u) << "asked once";

    gf_gui().detachWindow();
    SimClient again(port, noWaitTiming());
    EXPECT_FALSE(again.connect());
    EXPECT_NE(log().find("==> Could not ask the main window to switch the simulator"), std::string::npos)
        << "without a window";
}

} // namespace
} // namespace zelk
