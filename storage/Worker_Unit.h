// The one thread that writes for a document: its ticks and saves, its
// history and its recovery copies, one job at a time in the order posted, so
// that no two writes to the writer's files or the private folder ever race.
// The thread starts with the first job and ends after a while without one.
#pragma once

#include <QThreadPool>

#include <functional>

class TWorker
{
public:
    TWorker();
    // Waits for the jobs posted.
    ~TWorker();
    TWorker(const TWorker &) = delete;
    TWorker &operator=(const TWorker &) = delete;

    // Runs job on the worker after every job posted before it.
    void Post(std::function<void()> job);
    // A job that takes no time (a removal, a listing of a folder): done here
    // and now when nothing is ahead of it to keep order with, so that the
    // thread starts only with the first real write.
    void PostSmall(std::function<void()> job);
    // Blocks until every job posted has run.
    void WaitForDone();
    bool Busy() const;

private:
    QThreadPool FPool;
};
