#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace zelk::test {

void lf_setEnv(const char* name, const std::string& value);

// A temp working folder whose Log.txt is the program's log for the test, with
// the data-set versions and the stop slot reset.
class UpdateTest : public TempDirTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Everything logged so far.
    std::string logText() const;
    bool logHas(const std::string& text) const { return logText().find(text) != std::string::npos; }

    // Files that no download, unzip or check may leave behind, anywhere below
    // the working folder.
    std::vector<std::string> leftovers() const;
};

// The ".enc" bytes of a data set with the given plaintext.
std::string gf_encryptedDataSet(const std::string& plaintext);

} // namespace zelk::test
