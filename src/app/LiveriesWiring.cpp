#include "app/LiveriesWiring.h"

#include <utility>

#include "app/CloseDown.h"
#include "liveries/LiveryMatching.h"
#include "traffic/LiveryBookkeeping.h"

namespace zelk {

void lf_installLiveries()
{
    gf_setLiveryMatchHooks(LiveryMatchHooks{gf_isUncreatableLivery, gf_uncreatableLiveryList});

    CloseDownHooks hooks = *gf_closeDownHooks();
    hooks.clearRunMemory = [previous = std::move(hooks.clearRunMemory)] {
        if (previous) previous();
        gf_liveryBookkeeping().clearRemembered();
    };
    hooks.writeRunReports = [previous = std::move(hooks.writeRunReports)] {
        gf_logLiveryMatchingSummary(); // before the park-airport list, as the report order has it
        if (previous) previous();
    };
    gf_setCloseDownHooks(std::move(hooks));
}

} // namespace zelk
