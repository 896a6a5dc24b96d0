#include "gui/MainWindow.h"

#include "gui/HeadlessWindow.h"

namespace zelk {

// The Windows program makes its window in gui/win32.
#ifndef _WIN32
std::shared_ptr<MainWindow> gf_makeMainWindow(MainWindowOptions options)
{
    HeadlessWindow::Options headless;
    headless.runWorker = std::move(options.runWorker);
    headless.exitCode = std::move(options.exitCode);
    headless.logFailedExitCode = options.logFailedExitCode;
    headless.progressTally = std::move(options.progressTally);
    headless.displayListFile = std::move(options.displayListFile);
    return std::make_shared<HeadlessWindow>(std::move(headless));
}
#endif

} // namespace zelk
