#include "liveries/CfgReadPool.h"

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/Strings.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

// A folder tree that exists only in its listings: folder "r/3/1" holds its
// children by number. Files are names that are never found on disk; their
// reading fails quietly, which is all the order needs.
struct Tree {
    std::vector<std::vector<char>> shapes; // per folder: 'd' folder, 'f' file, 'l' log line
    std::map<std::string, std::size_t> shapeOf;
    std::string throwIn;           // the folder whose listing throws after its second entry
    std::atomic<int> listings = 0; // how often a folder was listed

    explicit Tree(unsigned seed)
    {
        std::mt19937 random(seed);
        grow("r", 0, random);
    }
    void grow(const std::string& folder, int depth, std::mt19937& random)
    {
        shapeOf[folder] = shapes.size();
        shapes.emplace_back();
        const int count = static_cast<int>(random() % 7);
        for (int i = 0; i < count; ++i) {
            const unsigned roll = random() % 10;
            const char kind = depth < 4 && roll < 4 ? 'd' : roll < 8 ? 'f' : 'l';
            shapes[shapeOf[folder]].push_back(kind);
            if (kind == 'd') grow(fmt::format("{}/{}", folder, i), depth + 1, random);
        }
    }
    void list(const fs::path& folder, CfgReadPool::Listing& listing)
    {
        ++listings;
        const std::string name = path_to_utf8(folder);
        const std::vector<char>& shape = shapes.at(shapeOf.at(name));
        for (std::size_t i = 0; i < shape.size(); ++i) {
            if (name == throwIn && i == 2) throw std::runtime_error("listing failed in " + name);
            const std::string child = fmt::format("{}/{}", name, i);
            if (shape[i] == 'd') listing.addFolder(gf_utf8ToPath(child));
            else if (shape[i] == 'f') listing.addFile(gf_utf8ToPath(child + "/aircraft.cfg"), 1, false);
            else listing.addLogLine("log " + child);
        }
    }
    // The entries a walk on one thread meets, depth first.
    void walk(const std::string& folder, std::vector<std::string>& out) const
    {
        const std::vector<char>& shape = shapes.at(shapeOf.at(folder));
        for (std::size_t i = 0; i < shape.size(); ++i) {
            if (folder == throwIn && i == 2) {
                out.push_back("throw");
                return;
            }
            const std::string child = fmt::format("{}/{}", folder, i);
            if (shape[i] == 'd') {
                walk(child, out);
                if (!out.empty() && out.back() == "throw") return;
            } else if (shape[i] == 'f') {
                out.push_back(child + "/aircraft.cfg");
            } else {
                out.push_back("log " + child);
            }
        }
    }
};

std::vector<std::string> lf_join(Tree& tree, std::size_t readers)
{
    const std::set<std::string> dontUse;
    CfgReadPool pool(readers, dontUse);
    pool.walk("r", [&tree](const fs::path& folder, CfgReadPool::Listing& listing) { tree.list(folder, listing); });
    std::vector<std::string> joined;
    try {
        while (CfgReadPool::Entry* entry = pool.next()) {
            if (!entry->read) {
                joined.push_back(entry->logLine);
                continue;
            }
            EXPECT_TRUE(entry->read->pending.empty());
            joined.push_back(path_to_utf8(entry->read->file));
        }
    } catch (const std::runtime_error& e) {
        joined.push_back("throw");
        EXPECT_EQ(std::string(e.what()), "listing failed in " + tree.throwIn);
        EXPECT_EQ(pool.next(), nullptr) << "the walk ends where its listing failed";
    }
    return joined;
}

// Whatever thread lists a folder or reads a file, the join meets the entries
// in the order of a walk on one thread, depth first.
TEST(CfgReadPool, EntriesComeInTheWalksOrderWithAnyNumberOfReaders)
{
    for (unsigned seed = 1; seed <= 30; ++seed) {
        Tree tree(seed);
        std::vector<std::string> expected;
        tree.walk("r", expected);
        for (const std::size_t readers : {0u, 1u, 3u, 7u}) {
            tree.listings = 0;
            EXPECT_EQ(lf_join(tree, readers), expected) << "seed " << seed << ", " << readers << " readers";
            EXPECT_EQ(tree.listings.load(), static_cast<int>(tree.shapes.size())) << "each folder listed once";
        }
    }
}

// A listing that throws ends the walk after the entries it found before: the
// entries of later folders, which readers may well have read, are not joined.
TEST(CfgReadPool, AFailedListingEndsTheWalkAfterWhatItFound)
{
    int cases = 0;
    for (unsigned seed = 1; seed <= 40 && cases < 8; ++seed) {
        Tree tree(seed);
        // A folder of at least three entries, not the root, so that entries follow the failure.
        for (const auto& [folder, index] : tree.shapeOf)
            if (folder != "r" && tree.shapes[index].size() >= 3) tree.throwIn = folder;
        if (tree.throwIn.empty()) continue;
        ++cases;
        std::vector<std::string> expected;
        tree.walk("r", expected);
        ASSERT_EQ(expected.back(), "throw");
        for (const std::size_t readers : {0u, 2u, 7u})
            EXPECT_EQ(lf_join(tree, readers), expected) << "seed " << seed << ", " << readers << " readers";
    }
    EXPECT_GE(cases, 4);
}

// A pool taken down in the middle of its walk lets its readers go.
TEST(CfgReadPool, APoolEndedMidWalkLetsItsReadersGo)
{
    Tree tree(7);
    for (const std::size_t readers : {1u, 7u}) {
        const std::set<std::string> dontUse;
        CfgReadPool pool(readers, dontUse);
        pool.walk("r", [&tree](const fs::path& folder, CfgReadPool::Listing& listing) { tree.list(folder, listing); });
        ASSERT_NE(pool.next(), nullptr);
    }
    const std::set<std::string> dontUse;
    CfgReadPool unused(3, dontUse);
    EXPECT_EQ(unused.readerCount(), 3u);
}

} // namespace
} // namespace zelk
