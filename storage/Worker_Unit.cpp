#include "storage/Worker_Unit.h"

#include "app/PlatformDependence_Unit.h"

TWorker::TWorker()
{
    FPool.setMaxThreadCount(1);
}

TWorker::~TWorker()
{
    FPool.waitForDone();
}

void TWorker::Post(std::function<void()> job)
{
    FPool.start(std::move(job));
}

void TWorker::PostSmall(std::function<void()> job)
{
    if (!Busy())
        job();
    else
        Post(std::move(job));
}

void TWorker::WaitForDone()
{
    const TBlockedSpan blocked;
    FPool.waitForDone();
}

bool TWorker::Busy() const
{
    return FPool.activeThreadCount() > 0;
}
