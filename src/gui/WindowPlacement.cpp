#include "gui/WindowPlacement.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <system_error>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/ParametersFile.h"
#include "core/Parameters.h"
#include "core/Strings.h"

namespace zelk {

namespace fs = std::filesystem;

std::int32_t gf_mulDiv(std::int32_t a, std::int32_t b, std::int32_t c)
{
    if (c == 0) return -1;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    std::int64_t q = product / c;
    const std::int64_t r = product % c;
    // Half away from zero, as the system rounds.
    if (2 * std::llabs(r) >= std::llabs(static_cast<std::int64_t>(c))) q += ((product < 0) != (c < 0)) ? -1 : 1;
    if (q > std::numeric_limits<std::int32_t>::max() || q < std::numeric_limits<std::int32_t>::min()) return -1;
    return static_cast<std::int32_t>(q);
}

std::int32_t gf_clientHeight96(bool compact, bool hasParkAirport)
{
    if (!compact) return 768;
    return hasParkAirport ? 224 : 128;
}

Rect gf_rescaleChild(const Rect& r, std::uint32_t oldDpi, std::uint32_t newDpi, std::optional<std::int32_t> designHeight)
{
    if (oldDpi == 0 || newDpi == 0 || oldDpi == newDpi) return r;
    const auto o = static_cast<std::int32_t>(oldDpi);
    const auto n = static_cast<std::int32_t>(newDpi);
    const std::int32_t left = gf_mulDiv(r.left, n, o);
    const std::int32_t top = gf_mulDiv(r.top, n, o);
    const std::int32_t width = gf_mulDiv(r.width(), n, o);
    const std::int32_t height = designHeight ? gf_mulDiv(*designHeight, n, 96) : gf_mulDiv(r.height(), n, o);
    return {left, top, left + width, top + height};
}

namespace {

// One axis of gf_keepOnWorkArea: the new start of a span [start, end).
std::int32_t lf_keepSpan(std::int32_t start, std::int32_t end, std::int32_t areaStart, std::int32_t areaEnd,
                         std::int32_t margin)
{
    const std::int32_t size = end - start;
    if (size > areaEnd - areaStart) start = areaStart;
    if (start + size < areaStart + margin) start = areaStart + margin - size;
    return std::min(start, areaEnd - margin);
}

std::int32_t lf_clampPosition(const IntParameter& p, std::int32_t v) { return std::clamp(v, p.minValue, p.maxValue); }

} // namespace

Point gf_keepOnWorkArea(const Rect& window, const Rect& workArea, std::int32_t margin)
{
    return {lf_keepSpan(window.left, window.right, workArea.left, workArea.right, margin),
            lf_keepSpan(window.top, window.bottom, workArea.top, workArea.bottom, margin)};
}

void gf_clampWindowPosition(WindowFrame& frame, std::int32_t fallbackX, std::int32_t fallbackY)
{
    for (auto [parameter, fallback] : {std::pair{&MAIN_WINDOW_X, fallbackX}, std::pair{&MAIN_WINDOW_Y, fallbackY}}) {
        const std::int32_t v = parameter->value();
        if (v == parameter->minValue || v == parameter->maxValue) parameter->setAndSave(fallback);
    }
    const std::optional<Rect> current = frame.windowRect();
    if (!current) return;
    const Point stored{MAIN_WINDOW_X.value(), MAIN_WINDOW_Y.value()};
    const Rect at{stored.x, stored.y, stored.x + current->width(), stored.y + current->height()};
    const Point kept = gf_keepOnWorkArea(at, frame.workAreaNear(at));
    if (kept == stored) return;
    MAIN_WINDOW_X.setAndSave(kept.x);
    MAIN_WINDOW_Y.setAndSave(kept.y);
    frame.moveTo({MAIN_WINDOW_X.value(), MAIN_WINDOW_Y.value()});
}

void gf_saveWindowPosition(WindowFrame& frame, const Rect& normalRect)
{
    const std::int32_t beforeX = MAIN_WINDOW_X.value();
    const std::int32_t beforeY = MAIN_WINDOW_Y.value();
    MAIN_WINDOW_X.setAndSave(normalRect.left);
    MAIN_WINDOW_Y.setAndSave(normalRect.top);
    gf_clampWindowPosition(frame, beforeX, beforeY);
}

void gf_readWindowPositionEarly(const fs::path& parametersFile)
{
    const std::string name = path_to_utf8(parametersFile);
    std::error_code ec;
    const bool exists = fs::exists(parametersFile, ec);
    if (ec) {
        gf_writeLogLine(fmt::format("Could not check whether '{}' exists: {}", name, ec.message()));
        return;
    }
    if (!exists) return;
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_file(parametersFile.c_str());
    if (parsed.status == pugi::status_file_not_found || parsed.status == pugi::status_io_error) {
        gf_writeLogLine(fmt::format("{} could not be opened", name));
        return;
    }
    if (!parsed) {
        // Only the run's own load may set a damaged file aside: it takes the
        // backup then. Moved away here, it would leave that load no file, and
        // a new file of defaults would end up over the good backup.
        gf_writeLogLine(fmt::format("{} failed to load ({}), the window opens at its default position", name,
                                    parsed.description()));
        for (IntParameter* p : {&MAIN_WINDOW_X, &MAIN_WINDOW_Y}) p->setValue(p->defaultValue);
        return;
    }
    for (IntParameter* p : {&MAIN_WINDOW_X, &MAIN_WINDOW_Y}) {
        const std::optional<std::int32_t> stored = gf_readXmlIntParameter(doc, p->name);
        p->setValue(stored ? lf_clampPosition(*p, *stored) : p->defaultValue);
    }
}

} // namespace zelk
