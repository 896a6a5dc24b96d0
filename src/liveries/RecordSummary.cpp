#include "liveries/RecordSummary.h"

#include <fmt/format.h>

#include "liveries/CodeTables.h"

namespace zelk {

std::string gf_formatRecordSummary(const LiveryKey& key)
{
    return fmt::format("{:3} | {:4} |  {:4}", gf_airlineCodeText(key.airline), gf_airlineCodeText(key.op),
                       gf_modelCodeText(key.model));
}

} // namespace zelk
