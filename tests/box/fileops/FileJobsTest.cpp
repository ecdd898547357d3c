// The end of a file job always runs, whatever stopped its worker.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileJobs.h"
#include "common/WindowTestSupport.h"
#include "ui/core/KelmWindow.h"

TEST(FileJobsTest, AWorkerThatStopsBeforeItsLastStepStillEndsItsJob)
{
    auto box = std::make_shared<KelmWindow>();
    ASSERT_TRUE(StartFileJob(box, [] { throw std::runtime_error("stopped half way"); }));
    const ULONGLONG end = GetTickCount64() + 10000;
    while (s_copyProgress.busy && GetTickCount64() < end)
        PumpMessages(10);
    EXPECT_FALSE(s_copyProgress.busy) << "the progress record is released";
    EXPECT_FALSE(s_copyProgress.workerRunning);
    // The next job starts.
    ASSERT_TRUE(StartFileJob(box, [] { EndFileJobWorker(RepaintTarget{}); }));
    while (s_copyProgress.busy && GetTickCount64() < end)
        PumpMessages(10);
    EXPECT_FALSE(s_copyProgress.busy);
    s_copyProgress.targetWindow.reset();
}
