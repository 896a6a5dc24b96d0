#include "core/UserRelatedException.h"

#include <fmt/format.h>

namespace zelk {

UserRelatedException::UserRelatedException(std::int32_t code, std::string_view message)
    : std::runtime_error(fmt::format("{}: {}", code, message)), code_(code)
{
}

} // namespace zelk
