#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/ControlHost.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "liveries/LiveryRecord.h"
#include "support/LoggedTempDir.h"

namespace zelk::test {

// One fixed installed set with its registration codes (an AIG file and a user
// file), written as the scanned-liveries file of MSFS 2024 in a fresh working
// folder, over a small database with every category and one similar group.
// RANDOM is off; the category options have controls of a headless host and
// get their values back afterwards.
class LiveryIndexTest : public LoggedTempDirTest {
protected:
    void SetUp() override;
    void TearDown() override;

    static LiveryKey key(std::string_view airline, std::string_view op, std::string_view model, int cargo);
    static std::vector<LiveryRecord> installedSet();
    void writeScanned(const std::vector<LiveryRecord>& records) const;
    bool enabled(const GuiControl& control) const { return host_->isEnabled(control.hwnd()); }

    static std::array<GuiBoolParameter*, 4> categoryOptions()
    {
        return {&LIGHT_AIRCRAFT, &TWO_PROPS, &HIGH_PERF_AIRCRAFT, &HELICOPTERS};
    }

private:
    std::shared_ptr<HeadlessControlHost> host_ = std::make_shared<HeadlessControlHost>();
    std::shared_ptr<ControlHost> previousHost_;
    std::array<bool, 4> savedOptions_{};
    SettingsSnapshot savedSettings_;
};

} // namespace zelk::test
