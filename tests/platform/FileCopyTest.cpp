#include "platform/FileCopy.h"
#include "support/TempDir.h"

#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

namespace zelk::test {
namespace {

namespace fs = std::filesystem;

class FileCopy : public TempDirTest {};

// A longer target is the case std::filesystem::copy_file gets wrong in the
// mingw build; a missing target is created, an empty source empties it.
TEST_F(FileCopy, ReplacesAnExistingTargetWhole)
{
    struct Case {
        const char* source;
        std::optional<const char*> target;
    };
    for (const Case& c : {Case{"second run", "first run, longer than the second"}, Case{"<parameters/>", {}},
                          Case{"", "old"}}) {
        SCOPED_TRACE(c.source);
        writeAll(file("source.txt"), c.source);
        fs::remove(file("target.txt"));
        if (c.target) writeAll(file("target.txt"), *c.target);
        std::error_code ec;
        ASSERT_TRUE(platform::copyFileOverwriting(file("source.txt"), file("target.txt"), ec)) << ec.message();
        EXPECT_FALSE(ec);
        EXPECT_EQ(readAll(file("target.txt")), c.source);
        EXPECT_EQ(readAll(file("source.txt")), c.source);
    }
}

TEST_F(FileCopy, MissingSourceFailsAndLeavesTheTarget)
{
    writeAll(file("target.txt"), "old");
    std::error_code ec;
    EXPECT_FALSE(platform::copyFileOverwriting(file("missing.txt"), file("target.txt"), ec));
    EXPECT_TRUE(ec);
    EXPECT_EQ(readAll(file("target.txt")), "old");

    // A target in a missing folder fails too, and creates no folder.
    ec.clear();
    EXPECT_FALSE(platform::copyFileOverwriting(file("target.txt"), file("no/such/folder/target.txt"), ec));
    EXPECT_TRUE(ec);
    EXPECT_FALSE(fs::exists(file("no")));
}

} // namespace
} // namespace zelk::test
