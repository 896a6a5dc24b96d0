#include "ground/MovementReports.h"

#include "core/Log.h"
#include "core/Settings.h"
#include "gui/GuiUpdate.h"
#include "liveries/CodeTables.h"

namespace zelk {

std::string gf_airlineOperatorText(const StaticAc& aircraft)
{
    std::string text(gf_airlineCodeText(aircraft.head.key.airline));
    if (aircraft.head.key.op != 0) {
        text += ',';
        text += gf_airlineCodeText(aircraft.head.key.op);
    }
    return text;
}

void gf_emitMovementReport(const std::string& line)
{
    if (gf_settings()->FLIGHT_MESSAGES)
        gf_guiShowMessage(line, true);
    else
        gf_writeLogLine(line);
}

} // namespace zelk
