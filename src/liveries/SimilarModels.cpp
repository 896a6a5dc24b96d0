#include "liveries/SimilarModels.h"

#include <algorithm>
#include <numeric>
#include <tuple>

#include <fmt/format.h>

#include "core/Log.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"

namespace zelk {

namespace {

constexpr std::size_t kSimilarModelsRoom = 1'024;

struct CodeParts {
    std::string_view code;
    std::string letters;
    std::string digits;
    std::uint32_t number = 0;
};

CodeParts lf_codeParts(std::uint16_t model)
{
    CodeParts parts;
    parts.code = gf_modelCodeText(model);
    std::tie(parts.letters, parts.digits) = lf_splitLettersDigits(parts.code);
    for (const char d : parts.digits) parts.number = parts.number * 10u + static_cast<std::uint32_t>(d - '0');
    return parts;
}

bool lf_hasAnyLivery(const LiveryIndex& index, std::uint16_t model)
{
    return index.modelTitles[kPassengerKind].contains(model) || index.modelTitles[kCargoKind].contains(model);
}

// Step 2: every code of a group to the other codes of it that have liveries.
void lf_collectSimilarModels(LiveryIndex& index)
{
    for (const std::vector<std::string>& group : gf_dbaseData()->similarGroups) {
        if (group.size() < 2) continue;
        for (const std::string& x : group) {
            const std::uint16_t m = gf_modelCode2Index(x);
            for (const std::string& y : group) {
                if (y == x) continue;
                const std::uint16_t other = gf_modelCode2Index(y);
                if (!lf_hasAnyLivery(index, other)) continue;
                std::vector<std::uint16_t>& list = index.similarModels[m];
                if (std::find(list.begin(), list.end(), other) == list.end()) list.push_back(other);
            }
        }
    }
}

// Step 5: per airline, the models it has no livery of, to the similar ones it has.
void lf_buildAirlineSimilarModels(LiveryIndex& index)
{
    const std::set<std::uint16_t> owners = lf_liveryAirlineSet(index);
    index.airlineSimilarModels.reserve(owners.size());
    for (const std::uint16_t owner : owners) {
        U16Map<std::vector<std::uint16_t>> table;
        for (const auto& [model, list] : index.similarModels) {
            if (lf_hasAirlineModelLivery(index, owner, model)) continue;
            std::vector<std::uint16_t> kept;
            for (const std::uint16_t m : list)
                if (lf_hasAirlineModelLivery(index, owner, m)) kept.push_back(m);
            if (kept.empty()) continue;
            if (const auto closest = lf_closestModel(model, kept)) kept = {*closest};
            table.emplace(model, std::move(kept));
        }
        if (!table.empty()) index.airlineSimilarModels.emplace(owner, std::move(table));
    }
}

} // namespace

void lf_buildSimilarModels(LiveryIndex& index)
{
    index.similarModels.clear();
    index.airlineSimilarModels.clear();
    index.similarModels.reserve(kSimilarModelsRoom);
    lf_collectSimilarModels(index);
    if (index.similarModels.empty()) {
        gf_writeLogLine("No similar model definitions with installed liveries found");
        return;
    }
    U16Map<std::uint16_t> closest;
    for (const auto& [model, list] : index.similarModels)
        if (const auto c = lf_closestModel(model, list)) closest.emplace(model, *c);
    lf_buildAirlineSimilarModels(index);
    gf_writeLogLine(fmt::format("{:5} similar model definitions", index.similarModels.size()));
    for (const auto& [model, c] : closest) index.similarModels[model] = {c};
}

std::optional<std::uint16_t> lf_closestModel(std::uint16_t model, const std::vector<std::uint16_t>& candidates)
{
    if (candidates.empty()) return std::nullopt;
    if (candidates.size() == 1) return candidates.front();
    const CodeParts own = lf_codeParts(model);
    using Rank = std::tuple<unsigned, unsigned, unsigned, std::uint32_t, std::string_view>;
    std::optional<Rank> best;
    std::optional<std::uint16_t> chosen;
    for (const std::uint16_t candidate : candidates) {
        const CodeParts other = lf_codeParts(candidate);
        const unsigned dLetters = lf_editDistance(own.letters, other.letters);
        const unsigned dFull = lf_editDistance(own.code, other.code);
        const unsigned dDigits = lf_editDistance(own.digits, other.digits);
        if (!((dLetters == 0 && dDigits <= 1) || dFull <= 1)) continue;
        const std::uint32_t diff = own.number > other.number ? own.number - other.number : other.number - own.number;
        const Rank rank{dLetters, dFull, dDigits, diff, other.code};
        if (!best || rank < *best) {
            best = rank;
            chosen = candidate;
        }
    }
    return chosen;
}

std::pair<std::string, std::string> lf_splitLettersDigits(std::string_view text)
{
    std::pair<std::string, std::string> parts;
    for (const char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) parts.first += c;
        else if (c >= '0' && c <= '9') parts.second += c;
    }
    return parts;
}

unsigned lf_editDistance(std::string_view a, std::string_view b)
{
    std::vector<unsigned> row(b.size() + 1);
    std::iota(row.begin(), row.end(), 0u);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        unsigned diagonal = row[0];
        row[0] = static_cast<unsigned>(i);
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const unsigned above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0u : 1u)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace zelk
