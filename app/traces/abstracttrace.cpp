#include "traces/abstracttrace.h"

#include "settings/logger.h"

#include <mutex>
#include <algorithm>

std::atomic<int> AbstractTrace::s_nextId { 0 };

namespace {

TData emptyChannels(int channels, int reserve = 0)
{
    TData data(channels);
    for (auto &channel : data)
        channel.reserve(reserve);
    return data;
}

// Whether two channels are one storage (or both empty): the second follows
// the first.
bool sameStorage(const QVector<double> &a, const QVector<double> &b)
{
    return (a.isEmpty() && b.isEmpty()) || (a.constData() == b.constData() && a.size() == b.size());
}

// Gives a channel that shares its points a storage of its own (an empty
// channel is left as it is).
void ownStorage(QVector<double> &channel)
{
    if (!channel.isEmpty() && !channel.isDetached())
        channel.detach();
}

// Whether every channel of follower is its channel of leader's storage.
bool follows(const TData &follower, const TData &leader, int channels)
{
    if (follower.size() < channels || leader.size() < channels)
        return false;
    for (int c = 0; c < channels; ++c) {
        if (!sameStorage(follower.at(c), leader.at(c)))
            return false;
    }
    return true;
}

// A post-processor's result counts as data when it has channels and, if the
// input had points, still has points.
bool yieldsData(const TData &before, const TData &after)
{
    if (after.isEmpty())
        return false;
    const bool hadPoints = !before.isEmpty() && !before.first().isEmpty();
    return !hadPoints || !after.first().isEmpty();
}

} // namespace

AbstractTrace::AbstractTrace(int channelCount)
    : rawData(std::make_unique<TData>(emptyChannels(std::max(channelCount, 0))))
    , convertedData(std::make_unique<TData>(emptyChannels(std::max(channelCount, 0))))
    , processedData(std::make_unique<TData>(emptyChannels(std::max(channelCount, 0))))
    , id(s_nextId.fetch_add(1))
    , creationDate(QDateTime::currentDateTime())
{
}

AbstractTrace::AbstractTrace(const AbstractTrace &other)
    : controllerName(other.controllerName)
    , id(other.id)
    , creationDate(other.creationDate)
    , traceType(other.traceType)
    , pointProcessors(other.pointProcessors)
    , postProcessors(other.postProcessors)
    , m_name(other.m_name)
    , m_filePath(other.m_filePath)
{
    // The implicitly shared vectors detach on the first write, so the copy's
    // data is independent of the source's.
    {
        const std::lock_guard<std::mutex> lock(other.m_rawMutex);
        rawData = std::make_unique<TData>(*other.rawData);
    }
    convertedData = std::make_unique<TData>(*other.convertedData);
    processedData = std::make_unique<TData>(*other.processedData);
}

AbstractTrace::~AbstractTrace() = default;

QString AbstractTrace::creationDateText() const
{
    return creationDate.toLocalTime().toString(QStringLiteral("dd-MM-yyyy HH:mm:ss"));
}

int AbstractTrace::channelCount() const
{
    return rawData->size();
}

int AbstractTrace::rawPointCountLocked() const
{
    // Channels could differ in length only through outside edits; the
    // shortest one bounds every point loop.
    if (rawData->isEmpty())
        return 0;
    int n = rawData->first().size();
    for (const auto &channel : *rawData)
        n = std::min(n, channel.size());
    return n;
}

int AbstractTrace::pointCount() const
{
    const std::lock_guard<std::mutex> lock(m_rawMutex);
    return rawPointCountLocked();
}

TData AbstractTrace::rawPoints(int from, int count) const
{
    const std::lock_guard<std::mutex> lock(m_rawMutex);
    const int n = rawPointCountLocked();
    const qint64 wantedEnd = qint64(from) + std::max(count, 0);
    const int begin = std::clamp(from, 0, n);
    const int end = static_cast<int>(std::clamp<qint64>(wantedEnd, begin, n));
    TData result;
    result.reserve(rawData->size());
    // A deep copy: mid() of a whole channel would share the storage that the
    // appending thread goes on writing.
    for (const auto &channel : *rawData)
        result.append(QVector<double>(channel.constBegin() + begin, channel.constBegin() + end));
    return result;
}

void AbstractTrace::reservePoints(int count)
{
    if (count <= 0)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_rawMutex);
        for (auto &channel : *rawData)
            channel.reserve(count);
    }
    // Converted data that no processor changes and processed data share the
    // storage before them; only what gets values of its own needs room.
    if (!pointProcessors.isEmpty()) {
        for (auto &channel : *convertedData)
            channel.reserve(count);
    }
    m_expectedPoints = count;
}

void AbstractTrace::addPointProcessor(PointProcessorPtr processor)
{
    if (processor)
        pointProcessors.append(std::move(processor));
}

void AbstractTrace::addPostProcessor(PostProcessorPtr processor)
{
    if (processor)
        postProcessors.append(std::move(processor));
}

void AbstractTrace::clearPointProcessors()
{
    pointProcessors.clear();
}

void AbstractTrace::clearPostProcessors()
{
    postProcessors.clear();
}

void AbstractTrace::applyPointProcessors(QVector<double> &point) const
{
    for (const auto &processor : pointProcessors)
        processor->process(point);
}

bool AbstractTrace::addPoint(QVector<double> &point)
{
    const int n = channelCount();
    if (point.size() < n)
        return false;
    // Data sets sharing one storage get their own before the append, so
    // that appending under the lock never copies the raw points.
    for (auto &channel : *convertedData)
        ownStorage(channel);
    for (auto &channel : *processedData)
        ownStorage(channel);
    {
        const std::lock_guard<std::mutex> lock(m_rawMutex);
        for (int c = 0; c < n; ++c)
            (*rawData)[c].append(point.at(c));
    }
    applyPointProcessors(point);
    // A processor may shorten the point; missing values are taken as 0 so the
    // channels keep one value per point.
    for (int c = 0; c < n; ++c) {
        const double v = c < point.size() ? point.at(c) : 0.0;
        (*convertedData)[c].append(v);
        (*processedData)[c].append(v);
    }
    return true;
}

int AbstractTrace::addPoints(const TData &block)
{
    const int n = channelCount();
    if (n == 0 || block.size() < n)
        return 0;
    int m = block.first().size();
    for (int c = 1; c < n; ++c)
        m = std::min(m, block.at(c).size());
    if (m == 0)
        return 0;

    // Converted data following the raw data (no point processor) and
    // processed data following the converted data keep following them: they
    // let go of the storage before the append, so that it is not copied, and
    // take it up again after.
    const bool convertedFollows = pointProcessors.isEmpty() && follows(*convertedData, *rawData, n);
    const bool processedFollows = follows(*processedData, *convertedData, n);
    if (processedFollows) {
        for (int c = 0; c < n; ++c)
            (*processedData)[c] = QVector<double>();
    }
    if (convertedFollows) {
        for (int c = 0; c < n; ++c)
            (*convertedData)[c] = QVector<double>();
    } else {
        for (auto &channel : *convertedData)
            ownStorage(channel);
    }
    for (auto &channel : *processedData)
        ownStorage(channel);
    {
        const std::lock_guard<std::mutex> lock(m_rawMutex);
        // Copied into the raw storage. Appending a whole vector to an empty
        // one would take that vector's storage instead, losing the room made
        // for the reading, so the first values are copied in after a resize.
        for (int c = 0; c < n; ++c) {
            QVector<double> &raw = (*rawData)[c];
            const QVector<double> &values = block.at(c);
            if (!raw.isEmpty() && values.size() == m) {
                raw += values;
            } else {
                const int old = raw.size();
                raw.resize(old + m);
                std::copy(values.constBegin(), values.constBegin() + m, raw.begin() + old);
            }
        }
    }

    if (convertedFollows) {
        for (int c = 0; c < n; ++c) {
            (*convertedData)[c] = rawData->at(c);
            // Processed data of their own (post-processed before) get the
            // new points as they are.
            if (!processedFollows) {
                const QVector<double> &values = block.at(c);
                for (int i = 0; i < m; ++i)
                    (*processedData)[c].append(values.at(i));
            }
        }
    } else {
        QVector<double> point(n);
        for (int i = 0; i < m; ++i) {
            point.resize(n);
            for (int c = 0; c < n; ++c)
                point[c] = block.at(c).at(i);
            applyPointProcessors(point);
            for (int c = 0; c < n; ++c) {
                const double v = c < point.size() ? point.at(c) : 0.0;
                (*convertedData)[c].append(v);
                if (!processedFollows)
                    (*processedData)[c].append(v);
            }
        }
    }
    if (processedFollows) {
        for (int c = 0; c < n; ++c)
            (*processedData)[c] = convertedData->at(c);
    }
    return m;
}

void AbstractTrace::applyPostProcessors()
{
    for (const auto &processor : postProcessors) {
        TData work = *processedData;
        processor->process(work);
        if (yieldsData(*processedData, work)) {
            *processedData = std::move(work);
        } else {
            logger.log(Logger::WARNING,
                "Post-processor \"" + processor->name.toStdString() + "\" left no data; the trace keeps its data");
        }
    }
}

void AbstractTrace::recalculate()
{
    const int n = channelCount();
    TData raw;
    int m = 0;
    {
        const std::lock_guard<std::mutex> lock(m_rawMutex);
        raw = *rawData;
        m = rawPointCountLocked();
    }
    TData converted;
    if (pointProcessors.isEmpty()) {
        // Nothing changes the values: the converted data share the raw
        // storage (cut to the shortest channel).
        converted.reserve(n);
        for (int c = 0; c < n; ++c)
            converted.append(raw.at(c).size() == m ? raw.at(c) : raw.at(c).mid(0, m));
    } else {
        converted = emptyChannels(n, m);
        QVector<double> point(n);
        for (int i = 0; i < m; ++i) {
            point.resize(n);
            for (int c = 0; c < n; ++c)
                point[c] = raw.at(c).at(i);
            applyPointProcessors(point);
            for (int c = 0; c < n; ++c)
                converted[c].append(c < point.size() ? point.at(c) : 0.0);
        }
    }
    *convertedData = converted;
    *processedData = std::move(converted); // shares storage until one of them is changed
    applyPostProcessors();
    processData();
}

bool AbstractTrace::crop(int from, int to)
{
    {
        const std::lock_guard<std::mutex> lock(m_rawMutex);
        const int m = rawPointCountLocked();
        if (from < 0 || to < from || to > m)
            return false;
        for (auto &channel : *rawData)
            channel = channel.mid(from, to - from);
    }
    recalculate();
    return true;
}

double AbstractTrace::length() const
{
    if (processedData->isEmpty() || processedData->first().isEmpty())
        return 0.0;
    const QVector<double> &x = processedData->first();
    return x.last() - x.first();
}

void AbstractTrace::clearPoints()
{
    {
        const std::lock_guard<std::mutex> lock(m_rawMutex);
        // A channel whose storage is shared is let go rather than emptied:
        // emptying it would first copy it.
        for (auto &channel : *rawData)
            channel.isDetached() ? channel.clear() : void(channel = QVector<double>());
    }
    for (auto &channel : *convertedData)
        channel.isDetached() ? channel.clear() : void(channel = QVector<double>());
    for (auto &channel : *processedData)
        channel.isDetached() ? channel.clear() : void(channel = QVector<double>());
}
