#include "gui/PanelPainter.h"

#include <cmath>
#include <initializer_list>

#include <fmt/format.h>

#include "core/BuildInfo.h"
#include "core/FeedState.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "gui/Gui.h"
#include "gui/ParkingControls.h"
#include "gui/WindowHooks.h"
#include "simlink/UserAircraftState.h"

namespace zelk {

namespace {

using namespace colour;

constexpr double kHpaToInHg = 0.029528744564459433;
// Room kept free before the next label or box, so a cut value never touches it.
constexpr std::int32_t kPanelTextGap = 6;

class Painter {
public:
    Painter(const PanelState& p, const SettingsSnapshot& s, const PanelFacts& f) : p_(p), s_(s), f_(f)
    {
        list_.canvasHeight = gf_clientHeight96(p.compact, p.parkAirport.isSet());
    }

    DisplayList paint();

private:
    void fill(Rect r, Colour c) { list_.ops.emplace_back(draw::Fill{r, c}); }
    void line(Point a, Point b, Colour c) { list_.ops.emplace_back(draw::Line{a, b, c}); }
    void text(std::int32_t x, std::int32_t y, std::string t, Colour c, bool bold = false)
    {
        list_.ops.emplace_back(draw::Text{{x, y}, std::move(t), c, bold});
    }
    // A value of any length (the simulator's name, a stand's) that must end before what follows it.
    void clippedText(std::int32_t x, std::int32_t y, std::string t, Colour c, std::int32_t nextX)
    {
        list_.ops.emplace_back(draw::Text{{x, y}, std::move(t), c, false, nextX - kPanelTextGap});
    }

    bool full() const { return !p_.compact; }
    bool parkingBandShown() const { return full() || p_.parkAirport.isSet(); }
    bool simConnected() const { return f_.simRunState == 1 || f_.simRunState == 2; }
    Rect parkingBand() const { return full() ? Rect{0, 640, 900, 736} : Rect{0, 96, 900, 192}; }
    Rect messageBand() const
    {
        if (full()) return {0, 736, 900, 768};
        return p_.parkAirport.isSet() ? Rect{0, 192, 900, 224} : Rect{0, 96, 900, 128};
    }

    void paintTitle();
    void paintTrafficBand();
    void paintQnhAndLiveCount();
    void paintLabels();
    Colour labelColour(std::uint16_t id) const;
    void paintParkingBand();
    void paintMessageLine();

    const PanelState& p_;
    const SettingsSnapshot& s_;
    const PanelFacts& f_;
    DisplayList list_;
};

DisplayList Painter::paint()
{
    fill({0, 0, 900, 32}, kBlack);
    fill({0, 32, 900, 96}, kBlack);
    if (full()) fill({0, 96, 900, 640}, kSettings);
    if (parkingBandShown()) fill(parkingBand(), kBlack);
    fill(messageBand(), kDarkGreen);
    line({0, 32}, {900, 32}, kWhite);
    if (full()) {
        line({0, 97}, {900, 97}, kWhite);
        line({0, 200}, {900, 200}, kBlack);
        line({0, 336}, {900, 336}, kBlack);
        line({0, 504}, {647, 504}, kBlack);
        line({647, 464}, {900, 464}, kBlack);
        line({647, 96}, {647, 504}, kBlack);
    }
    paintTitle();
    paintTrafficBand();
    paintQnhAndLiveCount();
    if (full()) paintLabels();
    if (parkingBandShown()) paintParkingBand();
    paintMessageLine();
    if (!full()) line({0, 96}, {900, 96}, kWhite);
    return std::move(list_);
}

void Painter::paintTitle()
{
    text(3, 7, fmt::format("Version {}", f_.programVersion), kGreen);
    text(415, 7, kProgramName, kGreen);
    text(528, 7, "real traffic for MSFS", kGreen);
    list_.compactBox = {765, 4, 855, 30};
    list_.ops.emplace_back(draw::Frame{list_.compactBox, kWhite});
    text(773, 6, full() ? "Compact" : "Expand", kGreen);
}

void Painter::paintTrafficBand()
{
    const bool connected = simConnected();
    const Colour sim = !connected ? kRed : (p_.simulatorRunning ? kDarkGreen : kYellow);
    fill({403, 34, 436, 96}, sim);
    const Colour simText = !connected ? kRed : (p_.simulatorRunning ? kGreen : kYellow);
    if (connected) {
        clippedText(5, 39, p_.simulatorText, simText, 222);
        clippedText(222, 39, fmt::format("user stand: {}", p_.userStand), simText, 403);
    } else {
        text(5, 39, "MSFS", kGreen);
    }
    const auto count = [&](std::int32_t x, std::string_view name, std::uint64_t n) {
        if (n == 0) text(x, 71, fmt::format("{} ...", name), kYellow);
        else text(x, 71, fmt::format("{} {}", name, n), kGreen);
    };
    count(5, "# simaddon:", p_.simAddonCount);
    count(167, "# thirdp:", p_.thirdPartyCount);
    if (p_.liveryCount == 0) text(276, 71, "# liveries: ...", kYellow);
    else text(276, 71, fmt::format("# livs: {}", p_.liveryCount), kGreen);

    Colour feed = kBlack;
    if (!p_.feedNotStarted) {
        if (!f_.feedConnected) feed = kRed;
        else feed = p_.trafficReaderState == kReaderReceiving ? kDarkGreen : kYellow;
    }
    fill({435, 34, 468, 96}, feed);
    line({435, 33}, {435, 96}, kBlack);
    if (!f_.feedConnected) return;
    text(494, 39, p_.feedText, kGreen);
    if (p_.weatherReaderState != kReaderNotRunning)
        text(494, 71, "qnh:", p_.weatherReaderState == kReaderTrouble ? kYellow : kGreen);
    if (p_.trafficReaderState != kReaderNotRunning)
        text(657, 71, "# live aircraft:", p_.trafficReaderState != kReaderReceiving ? kYellow : kGreen);
}

void Painter::paintQnhAndLiveCount()
{
    if (!f_.feedConnected) return;
    if (p_.weatherReaderState < kReaderNotRunning && p_.qnh != 0) {
        if (p_.qnhInHg) text(548, 71, fmt::format("{:.2F} inHg", p_.qnh * kHpaToInHg), kGreen);
        else text(548, 71, fmt::format("{} hPa", p_.qnh), kGreen);
    }
    if (p_.trafficReaderState < kReaderNotRunning) text(785, 71, fmt::format("{:3}", p_.liveCount), kGreen);
}

Colour Painter::labelColour(std::uint16_t id) const
{
    const bool timeShift = p_.timeShiftLabelsEnabled;
    const bool noLimits = s_.MAX_PARK_SEL == 0 && s_.MAX_LIVE_SEL == 0;
    if (id == RANDOM.commandId) return s_.RANDOM ? kBlack : kYellow;
    if (id == OBJECTID_LIST.commandId) return s_.OBJECTID_LIST ? kYellow : kBlack;
    if (id == GUID_CHANGES.commandId) return f_.msfs2024 ? kGrey : (s_.GUID_CHANGES ? kBlack : kYellow);
    if (id == AEROWINX.commandId) return f_.rtDirect ? kGrey : (f_.aerowinx ? kYellow : kBlack);
    if (id == KEEP_SIM_TIME_PAR.commandId || id == SIM_TIME.commandId) return timeShift ? kBlack : kGrey;
    if (id == TIME_SHIFT_DAYS.commandId) return !timeShift ? kGrey : (s_.TIME_SHIFT_DAYS >= 1 ? kYellow : kBlack);
    if (id == TIME_SHIFT_HOURS.commandId) return !timeShift ? kGrey : (s_.TIME_SHIFT_HOURS >= 1 ? kYellow : kBlack);
    if (id == TIME_SHIFT_MINS.commandId) return !timeShift ? kGrey : (s_.TIME_SHIFT_MINS >= 1 ? kYellow : kBlack);
    if (id == MAX_LIVE_SEL.commandId) return noLimits ? kRed : (s_.MAX_LIVE_SEL == 0 ? kYellow : kBlack);
    if (id == MAX_PARK_SEL.commandId) return noLimits ? kRed : (s_.MAX_PARK_SEL == 0 ? kYellow : kBlack);
    if (id == MAX_FIT_FL.commandId) return s_.AUTO_PARK && !s_.RT_PARKTRAFFIC_ONLY ? kGrey : kBlack;
    if (id == parking_percentage.commandId || id == AUTO_PARK.commandId) return s_.RT_PARKTRAFFIC_ONLY ? kGrey : kBlack;
    if (id == WEEK.commandId || id == PARK_SOFT.commandId)
        return s_.RT_PARKTRAFFIC_ONLY || s_.AUTO_PARK ? kGrey : kBlack;
    return kBlack;
}

void Painter::paintLabels()
{
    for (auto [title, x, y] : {std::tuple{"DATA SOURCES", 5, 103}, std::tuple{"CONFIGURATION", 657, 103},
                               std::tuple{"COLLISION AVOIDANCE", 5, 207}, std::tuple{"MISC", 657, 207},
                               std::tuple{"TRAFFIC INJECTION", 5, 343}, std::tuple{"PARKING", 5, 511}})
        text(x, y, title, kBlack, true);
    if (p_.timeShiftLabelsEnabled) text(657, 343, "TIME SHIFT", kBlack, true);
    else text(657, 343, "TIME SHIFT", kGrey, false);
    for (const PanelLabel& label : gf_rowLabels()) text(label.x, label.y, std::string(label.text), kBlack);
    for (const ControlSpec& entry : gf_controlTable()) {
        if (entry.label.empty()) continue;
        const GuiControl& c = *entry.control;
        text(c.labelX, c.y, std::string(entry.label), labelColour(c.commandId), entry.boldLabel);
    }
}

void Painter::paintParkingBand()
{
    const std::int32_t base = full() ? 647 : 103;
    const std::int32_t r1 = base, r2 = base + 32, r3 = base + 64;
    if (!p_.parkAirport.isSet()) {
        if (simConnected()) text(5, r1, "No airport within reach", kGreen);
        return;
    }
    text(5, r1, fmt::format("airport: {}", p_.parkAirport.toString()), p_.airportFilePresent ? kGreen : kYellow);
    if (!p_.airportFilePresent) return;
    std::string description = fmt::format(" {}   publisher: {}{},  week: {}", p_.airportDescription, p_.publisher,
                                          p_.handMadeAirportFile ? " (h)" : "", f_.trafficWeek);
    if (p_.userWingspanKnown) {
        text(167, r1, std::move(description), kGreen);
    } else {
        clippedText(167, r1, std::move(description), kGreen, 657);
        text(657, r1, "wingspan user ac unknown?", kYellow);
    }
    if (f_.generatingParking) {
        text(5, r2, "generating parking ...", kYellow);
    } else if (f_.parkingActive && p_.parkingCountdownMinutes >= 1 && p_.parkingCountdownMinutes <= 1440) {
        text(5, r2, "next update (min):", kGreen);
        text(167, r2, fmt::format("{}", p_.parkingCountdownMinutes), kGreen);
    }
    text(440, r2, fmt::format("qf: {}", p_.qualityText), kGreen);
    if (f_.parkingActive && f_.reservedStand) text(548, r2, fmt::format("reserved stand: {}", *f_.reservedStand), kGreen);
    text(765, r2, fmt::format("# updates: {:4}", p_.learnedUpdates), kGreen);
    text(5, r3, fmt::format("# stands: {:3}", p_.standCount), kGreen);
    text(167, r3, fmt::format("park live: {:3}", p_.parkLiveCount), kGreen);
    if (p_.liveFit > 0.0f) text(276, r3, fmt::format("live fit: {}", gf_floatText(p_.liveFit)), kGreen);
    if (p_.wantedStatic < 1) return;
    text(440, r3, fmt::format("static: {:3}", p_.staticCount), kGreen);
    if (p_.staticWorkPending != 0) text(505, r3, fmt::format(" ({})", p_.staticWorkPending), kYellow);
    if (p_.staticFit > 0.0f && !p_.staticFitHidden)
        text(548, r3, fmt::format("static fit: {}", gf_floatText(p_.staticFit)), kGreen);
    text(657, r3, fmt::format("max park: {:3} (={} %)", p_.wantedStatic, p_.achievedPercent), kGreen);
}

void Painter::paintMessageLine()
{
    const Rect band = messageBand();
    if (!p_.error.empty()) {
        fill(band, kRed);
        text(band.left + 3, band.top + 7, p_.error, kWhite);
        return;
    }
    fill(band, kDarkGreen);
    if (!p_.message.empty()) text(band.left + 3, band.top + 7, p_.message, kWhite);
}

std::string lf_colourText(Colour c) { return fmt::format("#{:06X}", c); }

} // namespace

std::string gf_floatText(float value)
{
    if (std::fmod(value, 1.0f) == 0.0f) return fmt::format("{:.0f}", value);
    return fmt::format("{:.1f}", value);
}

PanelFacts gf_panelFacts()
{
    PanelFacts facts;
    facts.programVersion = kProgramVersionText;
    facts.simRunState = gf_simRunState();
    facts.feedConnected = feedConnected.load();
    facts.rtDirect = gf_isRTDirect();
    facts.msfs2024 = !gf_isMsfs2020();
    facts.aerowinx = AEROWINX.value();
    facts.generatingParking = gf_isParkingGenerationShown();
    if (const auto hooks = gf_windowHooks(); hooks->addParkingFacts) hooks->addParkingFacts(facts);
    return facts;
}

DisplayList gf_paintPanel(const PanelState& panel, const SettingsSnapshot& settings, const PanelFacts& facts)
{
    return Painter(panel, settings, facts).paint();
}

std::string gf_displayListText(const DisplayList& list)
{
    std::string out = fmt::format("canvas 900x{}\n", list.canvasHeight);
    for (const DrawOp& op : list.ops) {
        std::visit(
            [&](const auto& o) {
                using T = std::decay_t<decltype(o)>;
                if constexpr (std::is_same_v<T, draw::Fill>)
                    out += fmt::format("fill {},{},{},{} {}\n", o.rect.left, o.rect.top, o.rect.right, o.rect.bottom,
                                       lf_colourText(o.colour));
                else if constexpr (std::is_same_v<T, draw::Line>)
                    out += fmt::format("line {},{}-{},{} {}\n", o.from.x, o.from.y, o.to.x, o.to.y,
                                       lf_colourText(o.colour));
                else if constexpr (std::is_same_v<T, draw::Frame>)
                    out += fmt::format("frame {},{},{},{} {}\n", o.rect.left, o.rect.top, o.rect.right, o.rect.bottom,
                                       lf_colourText(o.colour));
                else
                    out += fmt::format("text {},{} {} {} '{}'{}\n", o.at.x, o.at.y, lf_colourText(o.colour),
                                       o.bold ? "b" : "n", o.text,
                                       o.clipRight > 0 ? fmt::format(" clip {}", o.clipRight) : "");
            },
            op);
    }
    return out;
}

} // namespace zelk
