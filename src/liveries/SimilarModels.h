#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "liveries/LiveryIndex.h"

namespace zelk {

// Rebuilds the two similar-model tables of the index from the database's
// similar groups: for each model, the similar models with installed liveries
// (narrowed to the closest one where there is one), and for each airline or
// operator, the similar models it has liveries of for the models it has none of.
void lf_buildSimilarModels(LiveryIndex& index);

// The candidate closest to the model by code: equal letters with digits one
// edit apart, or whole codes one edit apart; ties go to the smaller digit
// distance, number difference, then code text. A single candidate is returned
// as it is; none qualifying gives nothing.
std::optional<std::uint16_t> lf_closestModel(std::uint16_t model, const std::vector<std::uint16_t>& candidates);

// The letters (A-Z, a-z) and the digits of a text, each in order; the rest dropped.
std::pair<std::string, std::string> lf_splitLettersDigits(std::string_view text);

// Levenshtein distance (insert, delete, substitute each 1).
unsigned lf_editDistance(std::string_view a, std::string_view b);

} // namespace zelk
