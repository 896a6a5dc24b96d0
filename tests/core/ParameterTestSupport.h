#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "core/ControlHost.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/ParametersFile.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace zelk::test {

// Every parameter back at its default, no control windows, a fresh headless host
// and default published records: each test starts from a program just started.
inline std::shared_ptr<HeadlessControlHost> resetParameterState()
{
    for (BoolParameter* p : boolParameters) p->setValue(p->defaultValue);
    for (GuiBoolParameter* p : guiBoolParameters) p->setValue(p->defaultValue);
    for (IntParameter* p : intParameters) p->setValue(p->defaultValue);
    for (IntListParameter* p : intListParameters) p->setValue(p->defaultValue);
    PROGRAM_VERSION.setDefaultValue("");
    for (StringParameter* p : stringParameters) p->setValue(p->defaultValue());
    for (ChoiceParameter* p : choiceParameters) p->setValue(p->defaultValue());
    for (PathParameter* p : pathParameters) p->setValue(p->defaultValue());
    AIRCRAFT_SELECTOR.setValue("");
    STAND_SELECTOR.setValue("");
    MAX_FIT_FL.setValue(MAX_FIT_FL.defaultValue);
    aircraftSelectorList->assign({""});
    standSelectorList->assign({""});
    for (GuiControl* c : gf_guiControls()) c->setHwnd(kNoControl);
    gf_setBlockCallsignPrefix(false);
    gf_publishSettings(SettingsSnapshot{});
    gf_storeProgramMode(ProgramMode{});
    gf_forgetParametersLoad();
    auto host = std::make_shared<HeadlessControlHost>();
    gf_installControlHost(host);
    return host;
}

// Defaults in memory before and after each case, and a fresh headless host.
class ParameterStateTest : public ::testing::Test {
protected:
    void SetUp() override { host_ = resetParameterState(); }
    void TearDown() override { resetParameterState(); }
    std::shared_ptr<HeadlessControlHost> host_;
};

// A temp working folder, a per-user folder without parameters.xml, defaults in
// memory, and an open log to read back.
class ParametersTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        const auto& home = processConfigHome();
        paramsFile_ = gf_parametersFile();
        if (paramsFile_ != home / "ZELK" / "parameters.xml")
            GTEST_SKIP() << "the per-user folder was fixed elsewhere in this process: " << paramsFile_;
        std::error_code ec;
        std::filesystem::remove_all(home / "ZELK", ec);
        std::filesystem::create_directories(home / "ZELK");
        host_ = resetParameterState();
        gf_openLogFile();
    }

    void TearDown() override
    {
        gf_logFile().close();
        resetParameterState();
        TempDirTest::TearDown();
    }

    const std::filesystem::path& paramsFile() const { return paramsFile_; }
    std::filesystem::path sideFile(const char* suffix) const
    {
        auto p = paramsFile_;
        p += suffix;
        return p;
    }
    std::filesystem::path damagedCopy() const { return paramsFile_.parent_path() / "parameters0.xml"; }

    std::string logText() const
    {
        gf_flushLog();
        return readAll(dir() / "Log.txt");
    }

    std::shared_ptr<HeadlessControlHost> host_;

private:
    std::filesystem::path paramsFile_;
};

} // namespace zelk::test
