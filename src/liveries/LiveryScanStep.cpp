#include "liveries/LiveryScanStep.h"

#include <filesystem>
#include <system_error>

#include "core/Settings.h"
#include "liveries/LiveriesScannedFile.h"
#include "liveries/LiveryIndex.h"
#include "liveries/LiveryScan.h"

namespace zelk {

bool gf_runLiveryScanStep()
{
    std::error_code ec;
    const bool skip = gf_settings()->SKIP_LIVERIES_SCAN && std::filesystem::exists(gf_liveriesScannedFile(), ec);
    if (!skip && gf_scanLiveries() == kScanCancelled) return false;
    gf_processScannedLiveries();
    return true;
}

} // namespace zelk
