#include "core/Published.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace zelk {
namespace {

// Written as a whole before it is published; a reader that saw a torn or
// recycled record would find the two halves apart.
struct Record {
    std::int64_t serial = 0;
    std::int64_t copy = 0;
};

TEST(Published, ReadersSeeWholeRecordsInPublishingOrder)
{
    Published<const Record> slot{std::make_shared<const Record>()};
    constexpr std::int64_t kPublications = 20000;
    std::atomic<bool> torn{false};
    std::atomic<bool> backwards{false};
    std::vector<std::thread> readers;
    for (int r = 0; r < 4; ++r) {
        readers.emplace_back([&] {
            std::int64_t last = 0;
            while (last < kPublications) {
                const auto seen = slot.load();
                if (seen->serial != seen->copy) torn = true;
                if (seen->serial < last) backwards = true;
                // Nothing new yet: let the writer have the lock, which four
                // readers taking it back at once could keep from it for long.
                if (seen->serial == last) std::this_thread::yield();
                last = seen->serial;
            }
        });
    }
    for (std::int64_t i = 1; i <= kPublications; ++i) slot.store(std::make_shared<const Record>(Record{i, i}));
    for (auto& t : readers) t.join();
    EXPECT_FALSE(torn);
    EXPECT_FALSE(backwards);
    EXPECT_EQ(slot.load()->serial, kPublications);
}

TEST(Published, CompareExchangeKeepsTheFirstOfaRaceAndTellsTheOthersWhatWon)
{
    Published<const Record> slot;
    EXPECT_EQ(slot.load(), nullptr);
    constexpr int kOffers = 8;
    std::vector<std::shared_ptr<const Record>> offers;
    for (int i = 0; i < kOffers; ++i) offers.push_back(std::make_shared<const Record>(Record{i, i}));
    std::vector<std::shared_ptr<const Record>> seen(kOffers);
    std::atomic<int> kept{0};
    std::vector<std::thread> offering;
    for (int i = 0; i < kOffers; ++i) {
        offering.emplace_back([&, i] {
            std::shared_ptr<const Record> expected;
            if (slot.compare_exchange_strong(expected, offers[static_cast<std::size_t>(i)])) {
                ++kept;
                seen[static_cast<std::size_t>(i)] = offers[static_cast<std::size_t>(i)];
            } else {
                seen[static_cast<std::size_t>(i)] = expected;
            }
        });
    }
    for (auto& t : offering) t.join();
    EXPECT_EQ(kept.load(), 1);
    const auto winner = slot.load();
    ASSERT_NE(winner, nullptr);
    for (const auto& s : seen) EXPECT_EQ(s, winner);

    // A stale expectation is refused and corrected; a current one is taken.
    auto stale = offers[0] == winner ? offers[1] : offers[0];
    EXPECT_FALSE(slot.compare_exchange_strong(stale, std::make_shared<const Record>()));
    EXPECT_EQ(stale, winner);
    EXPECT_TRUE(slot.compare_exchange_strong(stale, offers[kOffers - 1]));
    EXPECT_EQ(slot.load(), offers[kOffers - 1]);
}

TEST(Published, ExchangeHandsBackThePreviousObject)
{
    auto first = std::make_shared<Record>(Record{1, 1});
    Published<Record> slot{first};
    auto second = std::make_shared<Record>(Record{2, 2});
    EXPECT_EQ(slot.exchange(second), first);
    EXPECT_EQ(slot.exchange(nullptr), second);
    EXPECT_EQ(slot.load(), nullptr);
}

// A hook object whose destructor reads the publication it was replaced in (as
// a replaced host or clock may): the release must come after the lock.
struct ReadsOnRelease {
    ReadsOnRelease(Published<const ReadsOnRelease>* slot, std::int64_t* seen, std::int64_t id)
        : slot(slot), seenByDestructor(seen), id(id)
    {
    }
    ReadsOnRelease(const ReadsOnRelease&) = delete;
    ReadsOnRelease& operator=(const ReadsOnRelease&) = delete;
    ~ReadsOnRelease()
    {
        if (slot == nullptr) return;
        const auto now = slot->load();
        *seenByDestructor = now ? now->id : -1;
    }

    Published<const ReadsOnRelease>* slot;
    std::int64_t* seenByDestructor;
    std::int64_t id;
};

TEST(Published, AReleasedObjectIsDestroyedOutsideTheLock)
{
    Published<const ReadsOnRelease> slot;
    std::int64_t seen = 0;
    slot.store(std::make_shared<const ReadsOnRelease>(&slot, &seen, 1));
    slot.store(std::make_shared<const ReadsOnRelease>(nullptr, nullptr, 2));
    EXPECT_EQ(seen, 2);

    slot.store(std::make_shared<const ReadsOnRelease>(&slot, &seen, 3));
    EXPECT_EQ(slot.exchange(std::make_shared<const ReadsOnRelease>(nullptr, nullptr, 4))->id, 3);
    EXPECT_EQ(seen, 4);

    // A refused exchange drops the caller's stale expectation, its last owner.
    auto stale = std::make_shared<const ReadsOnRelease>(&slot, &seen, 5);
    EXPECT_FALSE(slot.compare_exchange_strong(stale, std::make_shared<const ReadsOnRelease>(nullptr, nullptr, 6)));
    EXPECT_EQ(seen, 4);
    EXPECT_EQ(stale->id, 4);
}

} // namespace
} // namespace zelk
