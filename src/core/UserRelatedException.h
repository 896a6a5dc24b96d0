#pragma once

#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace zelk {

// A condition the user has to fix (wrong folder, missing credential, server in
// maintenance): the top level shows it instead of treating it as a fault.
class UserRelatedException : public std::runtime_error {
public:
    UserRelatedException(std::int32_t code, std::string_view message);

    std::int32_t code() const noexcept { return code_; }

private:
    std::int32_t code_;
};

} // namespace zelk
