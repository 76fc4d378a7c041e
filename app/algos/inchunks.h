#pragma once

#include "dataproviders/threadhandoff.h"

#include <QFuture>
#include <QThreadPool>
#include <QVector>
#include <QtConcurrent>

#include <algorithm>
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
template <typename Work> struct ChunkRun {
    Work *work;
    int chunk;
    int first;
    int last;
};

template <typename Work> void runChunk(const ChunkRun<Work> *run)
{
    takeOver(run);
    (*run->work)(run->chunk, run->first, run->last);
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
        runs.push_back({ &work, c, first(c), first(c + 1) });
    QVector<QFuture<void>> others;
    others.reserve(chunks - 1);
    for (const detail::ChunkRun<Work> &run : runs) {
        handOff(&run);
        others.append(QtConcurrent::run(&detail::runChunk<Work>, &run));
    }
    work(0, 0, first(1));
    for (QFuture<void> &run : others)
        run.waitForFinished();
    for (const detail::ChunkRun<Work> &run : runs)
        takeOver(&run);
}

} // namespace Algos
