#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelk {

struct StaticAc;

void gf_registerUncreatableLivery(const StaticAc& aircraft);
bool gf_isUncreatableLivery(std::string_view title);
std::vector<std::string> gf_uncreatableLiveryList();
bool gf_forgetRememberedLivery(std::uint32_t hexId);
void gf_logUnmatchedLiveries();

} // namespace zelk
