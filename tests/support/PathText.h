#pragma once

#include <algorithm>
#include <string>

namespace zelk::test {

// Text the program wrote with its paths in the system's form, with Windows'
// separators turned into '/', so one expected text holding a path serves both
// builds. Unchanged elsewhere, where '\' is an ordinary character.
inline std::string slashed(std::string text)
{
#ifdef _WIN32
    std::replace(text.begin(), text.end(), '\\', '/');
#endif
    return text;
}

} // namespace zelk::test
