#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace zelk::platform {

// The name under which the program claims to run once per user logon.
inline constexpr std::string_view kSingleInstanceName = "ZELK";

// One process's claim to be the only running instance of a program in the
// user's logon. The claim is held while the object lives; the system drops it
// when the process ends, also after a crash.
//
// Windows: the named mutex "Local\$<name>$" (so "Local\$ZELK$" for the
// program). Elsewhere: an exclusive lock (flock) on the file "<name>.lock" in
// lockFolder, which must exist; the folder is not used on Windows.
class SingleInstance {
public:
    SingleInstance(std::string_view name, const std::filesystem::path& lockFolder);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True only when another instance (in this or another process) holds the
    // claim. A claim that could not be made for any other reason is not
    // "another instance": the program may go on, and error() says what failed.
    bool anotherInstanceRuns() const noexcept { return anotherRuns_; }
    bool holdsClaim() const noexcept { return handle_ != kNoHandle; }
    const std::string& error() const noexcept { return error_; }

private:
    static constexpr std::intptr_t kNoHandle = -1;
    std::intptr_t handle_ = kNoHandle; // mutex handle or file descriptor
    bool anotherRuns_ = false;
    std::string error_;
};

} // namespace zelk::platform
