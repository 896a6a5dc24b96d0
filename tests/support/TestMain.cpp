// The entry of every test program: the program's per-user folders point into
// a folder of this process before gtest or any test can look them up, since
// the program fixes them at the first look and test programs running side by
// side must not share them, nor write into the user's own.
#include <gtest/gtest.h>

#include "platform/MemoryRelease.h"
#include "support/ScopedEnv.h"

int main(int argc, char** argv)
{
    // As the program does at its start: the heap measures of the tests see its heap.
    zelk::platform::fixHeapThresholds();
    zelk::test::processConfigHome();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
