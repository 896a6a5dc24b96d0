#pragma once

namespace zelk {

struct Apf;
class GuiBoolParameter;

// Right after the park airport's file was loaded (worker thread): applies the
// airport's parking policy (learned settings, or few stands and a low quality
// factor), logs and shows the file's summary, hands the airport's altitude on
// and keeps the parking settings now in effect for gf_applyApfParameters.
void gf_airportFileSummary(const Apf& apf);
// When the park airport is left: the parking settings back to that copy,
// saved to parameters.xml.
void gf_applyApfParameters();

// Sets a window-bound setting and its check box.
void lf_setBoolParameterChecked(GuiBoolParameter& parameter, bool value);

} // namespace zelk
