#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "support/TempDir.h"

namespace zelk {
namespace {

TEST(Startup, ProductionArgumentIsTheWholeWordInAnyCase)
{
    EXPECT_TRUE(lf_isProductionArgument("--production"));
    EXPECT_TRUE(lf_isProductionArgument("--PRODUCTION"));
    EXPECT_TRUE(lf_isProductionArgument("--Production"));
    EXPECT_FALSE(lf_isProductionArgument("--production=1"));
    EXPECT_FALSE(lf_isProductionArgument("--productio"));
    EXPECT_FALSE(lf_isProductionArgument("-production"));
    EXPECT_FALSE(lf_isProductionArgument(""));
}

TEST(Startup, ProductionFlagFromAnyPositionAfterTheProgram)
{
    EXPECT_EQ(lf_productionFlagFrom({"zelk"}), std::nullopt);
    EXPECT_EQ(lf_productionFlagFrom({}), std::nullopt);
    EXPECT_EQ(lf_productionFlagFrom({"zelk", "--production"}), true);
    EXPECT_EQ(lf_productionFlagFrom({"zelk", "x", "y", "--PRODUCTION"}), true);
    EXPECT_EQ(lf_productionFlagFrom({"zelk", "--productionx", "--prod"}), std::nullopt);
    // The program's own name never counts.
    EXPECT_EQ(lf_productionFlagFrom({"--production"}), std::nullopt);
}

class StartupFolder : public test::TempDirTest {};

TEST_F(StartupFolder, MissingFolderIsCreatedWithItsParents)
{
    std::string error;
    EXPECT_TRUE(lf_ensureUserDataFolder(file("a/b/ZELK"), error)) << error;
    EXPECT_TRUE(std::filesystem::is_directory(file("a/b/ZELK")));
}

TEST_F(StartupFolder, ExistingFolderIsLeftAsItIs)
{
    test::writeAll(file("ZELK/parameters.xml"), "<root/>");
    std::string error;
    EXPECT_TRUE(lf_ensureUserDataFolder(file("ZELK"), error));
    EXPECT_EQ(test::readAll(file("ZELK/parameters.xml")), "<root/>");
}

TEST_F(StartupFolder, FileInTheWayIsAFailureWithItsReason)
{
    test::writeAll(file("ZELK"), "not a folder");
    std::string error;
    EXPECT_FALSE(lf_ensureUserDataFolder(file("ZELK"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(lf_ensureUserDataFolder(file("ZELK/below"), error));
}

} // namespace
} // namespace zelk
