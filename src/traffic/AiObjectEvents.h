#pragma once

#include <cstdint>

namespace zelk {

struct StaticAc;
struct SimObjectResult;

void gf_setThrottle(StaticAc& aircraft, std::uint32_t step);
void gf_setFlaps(StaticAc& aircraft, std::uint32_t step);
void gf_setSpoilers(StaticAc& aircraft, bool on);
void gf_setGear(StaticAc& aircraft, bool down);
void lf_setupStaticObject(StaticAc& aircraft);
void lf_applyStaticCgAndPitch(StaticAc& aircraft, const SimObjectResult& result);

} // namespace zelk
