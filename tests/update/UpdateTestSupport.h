#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/LoggedTempDir.h"
#include "support/ScopedEnv.h"

namespace zelk::test {

// A temp working folder whose Log.txt is the program's log for the test, with
// the data-set versions, the stop slot and the update hooks reset.
class UpdateTest : public LoggedTempDirTest {
protected:
    void SetUp() override;
    void TearDown() override;

    bool logHas(const std::string& text) const { return log().find(text) != std::string::npos; }

    // Files that no download, unzip or check may leave behind, anywhere below
    // the working folder.
    std::vector<std::string> leftovers() const;

    // Points the downloader at a server (a loopback test server) for the rest of the test.
    void useDownloadBase(const std::string& base);

private:
    std::optional<ScopedEnv> downloadBase_;
};

// The ".enc" bytes of a data set with the given plaintext.
std::string gf_encryptedDataSet(const std::string& plaintext);

// The bytes of a zip archive of (name, content) pairs; a name ending in '/' is a folder.
std::string gf_zipOf(const std::vector<std::pair<std::string, std::string>>& entries);

} // namespace zelk::test
