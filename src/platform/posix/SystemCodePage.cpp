#include "platform/SystemCodePage.h"

#include "platform/Ansi.h"

namespace zelk::platform {

unsigned systemAnsiCodePage() { return 1252; }

std::string systemAnsiToUtf8(std::string_view ansi) { return ansiToUtf8(ansi); }

} // namespace zelk::platform
