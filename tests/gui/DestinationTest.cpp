#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "gui/Destination.h"
#include "gui/WindowTestSupport.h"
#include "support/Eventually.h"

namespace zelk {
namespace {

using Stands = ValueOrError<std::vector<std::string>>;

// The airports registry knows four airports; their files hold two stands, none,
// or cannot be read.
class DestinationTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (IsSkipped()) return;
        gf_updateWindowHooks([this](WindowHooks& h) {
            h.findAirport = [](const IcaoCode& code) -> std::optional<AirportRecord> {
                for (const char* known : {"LSZH", "EDDF", "EGLL", "LFPG"})
                    if (code.view() == known) return AirportRecord{code, {}, 47.46, 8.55, 1416};
                return std::nullopt;
            };
            h.readStands = [this](const IcaoCode& code) -> Stands {
                ++reads_;
                if (code.view() == "EGLL") return Stands::failure("download failed");
                if (code.view() == "EDDF") return std::vector<std::string>{};
                return std::vector<std::string>{"A1", "B2"};
            };
            h.parkAirportStandOf = [this](const IcaoCode& code) -> std::optional<std::string> {
                if (code.view() == "LSZH" && reserveAtZurich_) return std::string("B2");
                return std::nullopt;
            };
            h.setCurrentParkAirport = [this](const IcaoCode& code, double, double) { parkAirport_ = code.toString(); };
            h.setParkAirportStand = [this](const IcaoCode& code, const std::string& stand) {
                if (code.view() != "LSZH") return false;
                userStand_ = stand;
                return true;
            };
        });
    }

    // Enter in the box: the window thread's part, the read, and the result
    // applied when the window thread runs its tasks.
    void enter(const std::string& text)
    {
        host_->setText(DESTINATION.hwnd(), text);
        lf_onDestinationEntered();
        if (!gf_isDestinationReadRunning()) return;
        EXPECT_FALSE(host_->isEnabled(DESTINATION.hwnd())) << "the box waits for the read";
        ASSERT_EQ(window_->takeMessage(test::kEventWait), MSG_WINDOW_TASK);
        gf_runWindowTasks();
        gf_joinDestinationRead();
        EXPECT_TRUE(host_->isEnabled(DESTINATION.hwnd()));
    }
    std::vector<std::string> standItems() const { return host_->comboItems(STAND_SELECTOR.hwnd()); }

    int reads_ = 0;
    bool reserveAtZurich_ = true;
    std::string parkAirport_;
    std::string userStand_;
};

TEST_F(DestinationTest, RefusedEntriesSayWhyAndShowTheStoredDestinationAgain)
{
    DESTINATION.setAndSave("LSZH");
    struct Case {
        std::string typed;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"lszhx", "destination 'lszhx' is not valid"},
        {"AB-C", "destination 'AB-C' is not valid"},
        {"ab-c", "destination 'AB-C' is not valid"},
        {"eddm", "destination 'EDDM' is not supported ..."},
        {"\x1b[2J", "destination '\\x1B[2J' is not valid"},
        {"L\xe2\x80\xaeZ", "destination 'L\\xE2\\x80\\xAEZ' is not valid"},
        {"lszh", "destination 'LSZH' was already set ..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        enter(c.typed);
        EXPECT_EQ(message(), c.message);
        EXPECT_NE(log().find(c.message + "\n"), std::string::npos);
        EXPECT_EQ(DESTINATION.value(), "LSZH");
        EXPECT_EQ(stored("DESTINATION"), "LSZH");
        EXPECT_EQ(host_->text(DESTINATION.hwnd()), "LSZH");
    }
    EXPECT_EQ(reads_, 0);
    EXPECT_TRUE(parkAirport_.empty());
}

TEST_F(DestinationTest, ANewDestinationOffersItsStandsWithTheReservedOne)
{
    enter("lszh");
    EXPECT_EQ(stored("DESTINATION"), "LSZH");
    EXPECT_EQ(gf_settings()->DESTINATION, "LSZH");
    EXPECT_EQ(host_->text(DESTINATION.hwnd()), "LSZH");
    EXPECT_EQ(message(), "New destination: LSZH, with reserved stand: B2");
    EXPECT_EQ(standItems(), (std::vector<std::string>{"A1", "B2"}));
    EXPECT_EQ(host_->comboSelectedText(STAND_SELECTOR.hwnd()), "B2");
    EXPECT_TRUE(host_->isEnabled(STAND_SELECTOR.hwnd()));
    EXPECT_EQ(parkAirport_, "LSZH");

    select(STAND_SELECTOR, 0);
    EXPECT_EQ(message(), "selected stand 'A1' at airport 'LSZH'");
    EXPECT_EQ(userStand_, "A1");
    EXPECT_EQ(STAND_SELECTOR.value(), "A1");
}

TEST_F(DestinationTest, StandsNotReservedNoneOrUnreadable)
{
    reserveAtZurich_ = false;
    enter("LSZH");
    EXPECT_EQ(message(), "New destination: LSZH");
    EXPECT_EQ(standItems(), (std::vector<std::string>{"select a stand", "A1", "B2"}));
    EXPECT_EQ(host_->comboSelectedText(STAND_SELECTOR.hwnd()), "select a stand");
    select(STAND_SELECTOR, 0); // "select a stand" chooses nothing
    EXPECT_TRUE(userStand_.empty());

    enter("EDDF");
    EXPECT_EQ(message(), "New destination: EDDF, no stands available");
    EXPECT_EQ(standItems(), std::vector<std::string>{"select a stand"});
    EXPECT_FALSE(host_->isEnabled(STAND_SELECTOR.hwnd()));

    enter("EGLL");
    EXPECT_EQ(message(), "New destination: EGLL, failed to read stands, download failed");
    EXPECT_TRUE(standItems().empty());
    EXPECT_FALSE(host_->isEnabled(STAND_SELECTOR.hwnd()));
    EXPECT_EQ(parkAirport_, "EGLL");
    EXPECT_EQ(stored("DESTINATION"), "EGLL");

    select(STAND_SELECTOR, 0);
    host_->fillCombo(STAND_SELECTOR.hwnd(), {"C3"});
    select(STAND_SELECTOR, 0);
    EXPECT_NE(log().find("==> could not update stand C3 in airport EGLL"), std::string::npos);
}

TEST_F(DestinationTest, AnEmptyBoxClearsTheDestination)
{
    enter("LFPG");
    enter("");
    EXPECT_EQ(message(), "destination set to empty");
    EXPECT_EQ(stored("DESTINATION"), "");
    EXPECT_EQ(gf_settings()->DESTINATION, "");
    EXPECT_EQ(standItems(), std::vector<std::string>{""});
    EXPECT_FALSE(host_->isEnabled(STAND_SELECTOR.hwnd()));
}

// The worker's run step reads on its own thread and applies at once.
TEST_F(DestinationTest, TheRunStepSetsTheDestinationOnTheCallingThread)
{
    gf_setNewDestination("LSZH", AirportRecord{IcaoCode("LSZH"), {}, 47.46, 8.55, 1416});
    EXPECT_EQ(reads_, 1);
    EXPECT_EQ(message(), "New destination: LSZH, with reserved stand: B2");
    EXPECT_EQ(parkAirport_, "LSZH");
    EXPECT_EQ(window_->takeMessage(std::chrono::milliseconds(0)), 0u) << "nothing left for the window thread";
}

} // namespace
} // namespace zelk
