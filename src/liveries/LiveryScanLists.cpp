#include "liveries/LiveryScanLists.h"

#include <utility>

#include "core/Log.h"

namespace zelk {

void LiveryScanLists::log(std::string text, bool notice)
{
    if (heldLog != nullptr) heldLog->push_back({std::move(text), notice});
    else if (notice) gf_writeLogNotice(text);
    else gf_writeLogLine(text);
}

} // namespace zelk
