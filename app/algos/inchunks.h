#pragma once

#include "algos/threadhandoff.h"

#include <QFuture>
#include <QThreadPool>
#include <QVector>
#include <QtConcurrent>

#include <algorithm>
#include <exception>
#include <vector>

namespace Algos {

// How many consecutive chunks a pass over n items is cut into: one per
// thread of the global pool, each of at least minChunk items, so a short pass
// stays one chunk on the calling thread.
inline int chunkCount(int n, int minChunk)
{
    const int threads = std::max(1, QThreadPool::globalInstance()->maxThreadCount());
    return std::clamp(n / std::max(minChunk, 1), 1, threads);
}

namespace detail {

// One run of forEachChunk handed to the pool: everything it needs is written
// before the pool takes it, and the pool's call passes only its address.
// What a run throws is kept in it, for the caller to rethrow once every run
// has ended.
template <typename Work> struct ChunkRun {
    Work *work;
    int chunk;
    int first;
    int last;
    std::exception_ptr error;
};

template <typename Work> void runChunk(ChunkRun<Work> *run)
{
    takeOver(run);
    try {
        (*run->work)(run->chunk, run->first, run->last);
    } catch (...) {
        run->error = std::current_exception();
    }
    handOff(run);
}

} // namespace detail

// Runs work(chunk, first, last) on each of `chunks` consecutive, nearly equal
// runs [first, last) of the items 0 … n-1: the first run on the calling
// thread, the others on the global pool, and returns when all have run. Each
// run writes only what belongs to its chunk; the caller combines them in
// chunk order, so a result does not depend on how the runs were timed. A run
// the pool has not started yet is run by the waiting thread itself, so a
// caller on a pool thread does not wait for a free one.
//
// A run that throws does not stop the others. forEachChunk returns (by the
// exception) only after every run it started has ended, since they all use
// its work and its frame, and rethrows the exception of the lowest chunk
// that threw.
template <typename Work> void forEachChunk(int n, int chunks, Work work)
{
    chunks = std::clamp(chunks, 1, std::max(n, 1));
    auto first = [n, chunks](int c) { return int(qint64(n) * c / chunks); };
    if (chunks == 1) {
        work(0, 0, n);
        return;
    }
    // What a run reads was written by this thread before it started, and what
    // it writes is read here after it has ended (each run is its own key).
    std::vector<detail::ChunkRun<Work>> runs;
    runs.reserve(size_t(chunks - 1));
    for (int c = 1; c < chunks; ++c)
        runs.push_back({ &work, c, first(c), first(c + 1), nullptr });
    // Room for every future is made first: once a run is started, nothing
    // here may throw before its future is kept to be waited for.
    QVector<QFuture<void>> others;
    others.reserve(chunks - 1);
    std::exception_ptr error;
    try {
        for (detail::ChunkRun<Work> &run : runs) {
            handOff(&run);
            others.append(QtConcurrent::run(&detail::runChunk<Work>, &run));
        }
        work(0, 0, first(1));
    } catch (...) {
        error = std::current_exception();
    }
    // The runs catch what they throw, so the waits do not throw.
    for (QFuture<void> &run : others)
        run.waitForFinished();
    for (const detail::ChunkRun<Work> &run : runs) {
        takeOver(&run);
        if (!error)
            error = run.error;
    }
    if (error)
        std::rethrow_exception(error);
}

} // namespace Algos
