#pragma once

#include "algos/tracetypes.h"
#include "traces/idatapostprocessor.h"
#include "traces/idatasinglepointprocessor.h"

#include <QDateTime>
#include <QList>
#include <mutex>
#include <QString>
#include <atomic>
#include <memory>

// One run of the stylus. The points are held three times:
//  - rawData: as received or read;
//  - convertedData: after the point processors, filled as each point arrives;
//  - processedData: after the point processors, the post-processors and the
//    class's finishing step (processData); what plots and measurements use.
// Where no processor changes the values, the sets share one storage (Qt's
// implicit sharing): converted data appended in blocks or rebuilt without
// point processors share the raw vectors, processed data the converted ones,
// until something writes to one of them.
// Trace files store the raw data, so a trace read back is rebuilt through the
// same processors. The channel count is the raw data's channel count.
//
// While a data provider fills the trace on a worker thread, other threads read
// only announced raw points, and only through rawPoints(), which takes the
// same lock as the append; a plain read of rawData could meet a reallocation.
class AbstractTrace {
public:
    explicit AbstractTrace(int channelCount);
    // Same id, texts and processor objects as the source; independent data.
    AbstractTrace(const AbstractTrace &other);
    AbstractTrace &operator=(const AbstractTrace &) = delete;
    virtual ~AbstractTrace();

    // The class's finishing step, run after the post-processors.
    virtual void processData() = 0;
    // A new trace of the same class (owned by the caller).
    virtual AbstractTrace *clone() const = 0;

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    QString filePath() const { return m_filePath; }
    void setFilePath(const QString &path) { m_filePath = path; }
    void setTraceType(int type) { traceType = type; }
    // Creation date in local time as "dd-MM-yyyy HH:mm:ss".
    QString creationDateText() const;

    int channelCount() const;
    // Number of raw points; safe to call while a provider appends.
    int pointCount() const;
    // A copy of the raw points [from, from + count) clamped to the points
    // present, one vector per channel; safe to call while a provider appends.
    TData rawPoints(int from, int count) const;
    // Makes room for count points in every data set before a provider fills
    // the trace, so that appending never moves the stored points (a move of a
    // long trace holds the lock that readers wait on). The count is kept as
    // the number of points the reading expects; 0 when nothing was reserved.
    void reservePoints(int count);
    int expectedPointCount() const { return m_expectedPoints.load(); }

    void addPointProcessor(PointProcessorPtr processor);
    void addPostProcessor(PostProcessorPtr processor);
    // Drop this trace's processors. Clones keep theirs alive: a processor is
    // destroyed when its last holder lets it go.
    void clearPointProcessors();
    void clearPostProcessors();

    // Runs the point processors in the order they were added.
    void applyPointProcessors(QVector<double> &point) const;
    // Appends one point (one value per channel); the point is converted in
    // place. A point with fewer values than the channel count is refused.
    bool addPoint(QVector<double> &point);
    // Appends a block of points, one vector per channel (the shortest of the
    // first channelCount() vectors bounds the count), under one lock of the
    // raw data; each point is converted as addPoint() converts it. Returns the
    // number of points appended; a block with fewer channels than the trace
    // is refused (0).
    int addPoints(const TData &block);
    // Runs the post-processors on the processed data in the order they were
    // added. A processor that leaves no data behind is ignored, so the trace
    // keeps the data it had before that processor.
    void applyPostProcessors();
    // Rebuilds converted and processed data from the raw data.
    void recalculate();
    // Keeps the raw points [from, to) and recalculates. Returns false and
    // changes nothing when from < 0, to < from or to is beyond the points.
    bool crop(int from, int to);
    // Last minus first X of the processed data; 0 without channels or points.
    double length() const;
    // Empties every channel of the three data sets; the channel count stays.
    void clearPoints();

    QString controllerName;
    std::unique_ptr<TData> rawData;
    std::unique_ptr<TData> convertedData;
    std::unique_ptr<TData> processedData;
    int id;
    QDateTime creationDate;
    int traceType = CONTOUR;
    QList<PointProcessorPtr> pointProcessors;
    QList<PostProcessorPtr> postProcessors;

private:
    int rawPointCountLocked() const;

    QString m_name;
    QString m_filePath;
    // Guards the storage of rawData against reallocation while another
    // thread copies announced points out of it.
    // (std::mutex rather than QMutex: a ThreadSanitizer build sees its locking.)
    mutable std::mutex m_rawMutex;
    std::atomic<int> m_expectedPoints { 0 };

    static std::atomic<int> s_nextId;
};
