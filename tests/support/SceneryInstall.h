#pragma once

#include <filesystem>
#include <string>

namespace zelk::test {

// Builds a simulator installation for scenery scans under one folder: the
// package roots (Official, Community, StreamedPackages, Official2024,
// Community2024), packages with their manifest.json and BGL files, and folder
// links.
class SceneryInstall {
public:
    // Nothing is created until asked for; a relative base is taken in the
    // working folder of the moment.
    explicit SceneryInstall(std::filesystem::path base);

    const std::filesystem::path& base() const { return base_; }
    // Creates the roots of the simulator (2020 or 2024).
    void roots(int simulatorYear) const;
    // root/package/manifest.json; an empty text writes none.
    std::filesystem::path package(const std::string& root, const std::string& package,
                                  const std::string& manifestJson) const;
    std::filesystem::path file(const std::string& relative, const std::string& bytes) const;
    // A directory link at `relative` to `target`; false when the system refuses.
    bool link(const std::string& relative, const std::string& target) const;

    static std::string manifest(const std::string& title, const std::string& version, const std::string& creator);

private:
    std::filesystem::path base_;
};

} // namespace zelk::test
