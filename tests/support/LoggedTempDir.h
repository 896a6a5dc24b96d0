#pragma once

#include <string>

#include <gtest/gtest.h>

#include "core/Log.h"
#include "support/PathText.h"
#include "support/TempDir.h"

namespace zelk::test {

// A fresh working folder whose own Log.txt is open while the test runs, so the
// lines and notices the code under test writes can be read back.
class LoggedTempDirTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_TRUE(gf_logFile().open(file("Log.txt")));
    }
    void TearDown() override
    {
        gf_logFile().close();
        TempDirTest::TearDown();
    }
    // Everything logged so far.
    std::string log() const
    {
        gf_flushLog();
        return readAll(file("Log.txt"));
    }
    // Whether the log holds a text that names a path, written with '/'.
    bool logHasPath(const std::string& text) const { return slashed(log()).find(text) != std::string::npos; }
};

} // namespace zelk::test
