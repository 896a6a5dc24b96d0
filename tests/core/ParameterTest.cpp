#include "core/Parameter.h"

#include <set>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/Parameters.h"
#include "ParameterTestSupport.h"

namespace zelk {
namespace {

class ParameterObjects : public test::ParameterStateTest {
protected:
    ControlHandle controlFor(GuiControl& control)
    {
        const ControlHandle h = host_->createControl();
        control.setHwnd(h);
        return h;
    }
};

TEST(Parameter, ListParametersRefuseEmptyOptionLists)
{
    using ::testing::StrEq;
    using ::testing::ThrowsMessage;
    EXPECT_THAT([] { IntListParameter("X", 1, {}, 1, 0, 0, 0, 0); },
                ThrowsMessage<std::invalid_argument>(StrEq("configuration option list cannot be empty")));
    EXPECT_THROW(FloatListParameter("X", 1.0f, {}, 1, 0, 0, 0, 0), std::invalid_argument);
    EXPECT_THAT([] { ListSelectParameter("X", "", nullptr, 1, 0, 0, 0, 0); },
                ThrowsMessage<std::invalid_argument>(StrEq("dynamic configuration option list cannot be null")));

    IntListParameter p("X", 77, {50, 10, 100}, 1, 0, 0, 0, 0);
    EXPECT_EQ(p.optionAt(2), 100);
    EXPECT_THAT([&] { p.optionAt(3); },
                ThrowsMessage<std::out_of_range>(StrEq("configuration option index is out of range")));
    EXPECT_FLOAT_EQ(MAX_FIT_FL.optionAt(47), 24.0f);
    EXPECT_THROW(MAX_FIT_FL.optionAt(48), std::out_of_range);
    EXPECT_EQ(p.clamp(-5), 10);
    EXPECT_EQ(p.clamp(500), 100);
}

TEST(Parameter, IndexOfValueIsExact)
{
    test::resetParameterState();
    SIM_CHOICE.setValue("MSFS 2024");
    EXPECT_EQ(SIM_CHOICE.indexOfValue(), 1u);
    SIM_CHOICE.setValue("msfs 2024");
    EXPECT_EQ(SIM_CHOICE.indexOfValue(), std::nullopt);
    ChoiceParameter empty("E", "", {}, 1, 0, 0, 0, 0);
    EXPECT_EQ(empty.indexOfValue(), std::nullopt);
    test::resetParameterState();
}

TEST(Parameter, AiPackageOrders)
{
    const auto orders = gf_aiPackageOrders();
    ASSERT_EQ(orders.size(), 64u);
    EXPECT_EQ(std::set<std::string>(orders.begin(), orders.end()).size(), 64u);
    EXPECT_EQ(orders[0], "AIG, FSLTL, JF, MTL");
    EXPECT_EQ(orders[1], "AIG, FSLTL, MTL, JF");
    EXPECT_EQ(orders[24], "AIG, FSLTL, JF");
    const std::vector<std::string> pairs(orders.begin() + 48, orders.begin() + 60);
    EXPECT_EQ(pairs, (std::vector<std::string>{"AIG, FSLTL", "FSLTL, AIG", "AIG, JF", "JF, AIG", "AIG, MTL",
                                               "MTL, AIG", "FSLTL, JF", "JF, FSLTL", "FSLTL, MTL", "MTL, FSLTL",
                                               "JF, MTL", "MTL, JF"}));
    EXPECT_EQ(std::vector<std::string>(orders.end() - 4, orders.end()),
              (std::vector<std::string>{"AIG", "FSLTL", "JF", "MTL"}));
}

TEST(Parameter, CommandIdsAreUniqueAndFound)
{
    std::set<std::uint16_t> ids;
    for (GuiControl* c : gf_guiControls()) {
        EXPECT_TRUE(ids.insert(c->commandId).second) << c->commandId;
        EXPECT_GE(c->commandId, 32773);
        EXPECT_LE(c->commandId, 32843);
    }
    EXPECT_EQ(gf_guiControls().size(), 54u);
    EXPECT_EQ(gf_findGuiControl(32802), static_cast<GuiControl*>(&RANGE));
    EXPECT_EQ(gf_findGuiControl(32833), static_cast<GuiControl*>(&flushButton));
    EXPECT_EQ(gf_findGuiControl(1), nullptr);
}

TEST_F(ParameterObjects, IntComboWithValueOutsideTheListSelectsNothing)
{
    IntListParameter p("X", 77, {10, 50, 100}, 1, 0, 0, 0, 0);
    p.fillCombo(); // no window yet: nothing happens
    const ControlHandle h = controlFor(p);
    p.fillCombo();
    EXPECT_EQ(host_->comboItems(h), (std::vector<std::string>{"10", "50", "100"}));
    EXPECT_EQ(host_->comboSelection(h), std::nullopt);
    p.setValue(50);
    p.selectCurrentInCombo();
    EXPECT_EQ(host_->comboSelectedText(h), "50");
    p.setValue(51);
    p.selectCurrentInCombo(); // not an option: the control stays as it is
    EXPECT_EQ(host_->comboSelectedText(h), "50");
    p.showValue();
    EXPECT_EQ(host_->comboSelection(h), std::nullopt);

    IntListParameter negative("N", -5, {-5, 0, 5}, 1, 0, 0, 0, 0);
    const ControlHandle n = controlFor(negative);
    negative.fillCombo();
    EXPECT_EQ(host_->comboItems(n), (std::vector<std::string>{"-5", "0", "5"}));
    EXPECT_EQ(host_->comboSelectedText(n), "-5");
}

TEST_F(ParameterObjects, ChoiceComboSelectsTheExactStoredOption)
{
    const ControlHandle h = controlFor(AI_PACKAGE_SELECTOR);
    AI_PACKAGE_SELECTOR.setValue("AIG");
    AI_PACKAGE_SELECTOR.fillCombo();
    EXPECT_EQ(host_->comboItems(h).size(), 64u);
    EXPECT_EQ(host_->comboSelectedText(h), "AIG");
    AI_PACKAGE_SELECTOR.setValue("aig");
    AI_PACKAGE_SELECTOR.fillCombo();
    EXPECT_EQ(host_->comboSelection(h), std::nullopt);
}

TEST_F(ParameterObjects, SharedListRefillShowsAtNextFill)
{
    const ControlHandle h = controlFor(AIRCRAFT_SELECTOR);
    AIRCRAFT_SELECTOR.fillCombo();
    EXPECT_EQ(host_->comboItems(h), std::vector<std::string>{""});
    aircraftSelectorList->assign({"DLH123 A320", "BAW1 B744"});
    AIRCRAFT_SELECTOR.setValue("BAW1 B744");
    AIRCRAFT_SELECTOR.fillCombo();
    EXPECT_EQ(host_->comboItems(h), (std::vector<std::string>{"DLH123 A320", "BAW1 B744"}));
    EXPECT_EQ(host_->comboSelectedText(h), "BAW1 B744");
    EXPECT_EQ(AIRCRAFT_SELECTOR.options, aircraftSelectorList);
}

TEST_F(ParameterObjects, CheckBoxAndEnable)
{
    const ControlHandle h = controlFor(WEEK);
    WEEK.setValue(true);
    WEEK.showValue();
    EXPECT_TRUE(host_->isChecked(h));
    WEEK.enable(false);
    EXPECT_FALSE(host_->isEnabled(h));
    EXPECT_TRUE(WEEK.hasWindow());
    host_->destroyControl(h);
    EXPECT_FALSE(WEEK.hasWindow());
    WEEK.showValue(); // a destroyed control is ignored
    EXPECT_FALSE(host_->isChecked(h));
}

TEST_F(ParameterObjects, SharedListRefillsRaceWithFills)
{
    const ControlHandle h = controlFor(STAND_SELECTOR);
    std::thread refiller([] {
        for (int i = 0; i < 500; ++i) standSelectorList->assign(std::vector<std::string>(static_cast<std::size_t>(i % 7), "A1"));
    });
    for (int i = 0; i < 500; ++i) {
        STAND_SELECTOR.fillCombo();
        const auto items = host_->comboItems(h);
        EXPECT_LE(items.size(), 6u + 1u);
    }
    refiller.join();
}

TEST_F(ParameterObjects, TextValuesRaceWithoutTearing)
{
    const std::string a(200, 'a'), b(200, 'b');
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) DESTINATION.setValue(i % 2 ? a : b);
    });
    for (int i = 0; i < 2000; ++i) {
        const std::string v = DESTINATION.value();
        EXPECT_TRUE(v.empty() || v == a || v == b);
    }
    writer.join();
}

} // namespace
} // namespace zelk
