#pragma once

#include "dataproviders/threadhandoff.h"

#include <QFuture>
#include <QThreadPool>
#include <QVector>
#include <QtConcurrent>

#include <algorithm>

namespace Algos {

// How many consecutive chunks a pass over n items is cut into: one per
// thread of the global pool, each of at least minChunk items, so a short pass
// stays one chunk on the calling thread.
inline int chunkCount(int n, int minChunk)
{
    const int threads = std::max(1, QThreadPool::globalInstance()->maxThreadCount());
    return std::clamp(n / std::max(minChunk, 1), 1, threads);
}

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
    // What the runs read was written by this thread before they started, and
    // what they write is read here after they have ended.
    const int key = 0;
    handOff(&key);
    QVector<QFuture<void>> others;
    others.reserve(chunks - 1);
    for (int c = 1; c < chunks; ++c) {
        others.append(QtConcurrent::run([&work, &key, c, from = first(c), to = first(c + 1)] {
            takeOver(&key);
            work(c, from, to);
            handOff(&key);
        }));
    }
    work(0, 0, first(1));
    for (QFuture<void> &run : others)
        run.waitForFinished();
    takeOver(&key);
}

} // namespace Algos
