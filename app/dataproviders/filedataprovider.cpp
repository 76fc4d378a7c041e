#include "dataproviders/filedataprovider.h"

#include "algos/threadhandoff.h"
#include "settings/logger.h"
#include "traces/contourtrace.h"
#include "traces/processors.h"
#include "traces/profiletrace.h"
#include "traces/tracereaders.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <memory>

using TraceFormat::Header;
using TraceFormat::LineCursor;
using TraceFormat::StreamLineCursor;

namespace {

// Points of the main trace are announced in batches of this size.
constexpr int kBatchSize = 500;

const char *const kDateFormat = "dd-MM-yyyy HH:mm:ss";

// A default taken from the settings is stored as the file would store it:
// six significant digits.
double sixDigits(double value)
{
    return QByteArray::number(value, 'g', 6).toDouble();
}

double realEntry(const Header &header, const char *key, double fallback)
{
    return header.contains(key) ? TraceFormat::realOrZero(header.value(key)) : sixDigits(fallback);
}

// The date a block was written with; a header without one gives the start
// of the epoch, so that no reading passes its own time off as a trace's date.
QDateTime creationDateEntry(const Header &header)
{
    const QByteArray date
        = header.contains("creation_date") ? header.value("creation_date") : QByteArray("01-01-1970 00:00:00");
    return QDateTime::fromString(QString::fromUtf8(date), QLatin1String(kDateFormat));
}

QString controllerEntry(const Header &header)
{
    return header.contains("controler_name") ? QString::fromUtf8(header.value("controler_name"))
                                             : QStringLiteral("no name");
}

// The defaults come from the settings copied when the reading started.
void applyContourHeader(ContourTrace &trace, const Header &header, const ReadingSettings &s)
{
    if (header.contains("needle_pressing"))
        trace.needle_pressing = header.value("needle_pressing") == "u" ? 0 : 1;
    else
        trace.needle_pressing = s.needlePressing;
    trace.tool_head_radius_down = realEntry(header, "tool_head_radius_down", s.toolHeadRadiusDown);
    trace.tool_head_radius_up = realEntry(header, "tool_head_radius_up", s.toolHeadRadiusUp);
    trace.double_sided_probe_high = realEntry(header, "double_sided_probe_high", s.doubleSidedProbeHigh);
    trace.needle_bias = realEntry(header, "needle_bias", s.needleBias);
    trace.rack_perpendicular = realEntry(header, "rack_perpendicular", s.calibration.rackAngle);
    trace.x_axis_compression_ratio = realEntry(header, "x_axis_compression_ratio", s.calibration.xRatio);
    trace.y_axis_compression_ratio = realEntry(header, "y_axis_compression_ratio", s.calibration.yRatio);
    trace.displacement_coefficient = realEntry(header, "displacement_coefficient", s.calibration.displacement);
    trace.roughness_ratio = realEntry(header, "roughness_ratio", s.roughnessRatio);
    trace.measurement_mode = header.contains("measurement_mode")
        ? int(qBound<qint64>(std::numeric_limits<int>::min(),
            TraceFormat::integerOrZero(header.value("measurement_mode")), std::numeric_limits<int>::max()))
        : s.measurementMode;
}

// Speed, cut-off and median settings of a profile trace read from a header.
void applyProfileHeader(ProfileTrace &trace, const Header &header, const ReadingSettings &s)
{
    trace.speed = realEntry(header, "speed", s.speed);
    trace.cutOff = realEntry(header, "filter", s.cutOff);
    trace.medianWindow = s.medianWindow;
    trace.medianEnabled = s.medianEnabled;
}

} // namespace

FileDataProvider::FileDataProvider(const QString &path)
    : DataProvider(path)
    , m_path(path)
{
}

bool FileDataProvider::firstLineKind(const QString &path, QByteArray &kind)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // A native first line is short; a longer one names no kind either way,
    // and a binary file without line feeds is not read whole for it.
    kind = TraceFormat::firstLineKind(file.readLine(256));
    return true;
}

void FileDataProvider::setUpTrace()
{
    // The windows list the trace by its file as soon as the reading starts,
    // so name and path are set before the worker runs, never by it.
    trace()->setName(QFileInfo(m_path).fileName());
    trace()->setFilePath(m_path);
}

void FileDataProvider::prepare()
{
    trace()->clearPointProcessors();
    m_appended = 0;
    m_filled = 0;
    m_block = TData();
}

bool FileDataProvider::obtainData()
{
    const bool complete = readFile();
    // Points read before a failure stay in the trace, as they were read.
    flushPoints();
    return complete;
}

bool FileDataProvider::readFile()
{
    logger.log(Logger::INFO, "FileDataProvider obtain data from " + m_path.toStdString());
    QByteArray kind;
    if (!firstLineKind(m_path, kind)) {
        failOpen(m_path);
        return false;
    }
    if (kind == "PROFILE")
        return readProfileFile(m_path);
    if (kind == "CONTOUR" || kind == "CONTOURPROF")
        return readContourFile(m_path);
    if (m_path.endsWith(QLatin1String(".Vantor"), Qt::CaseSensitive))
        return readBinaryFile(m_path);
    return readColumnsFile(m_path);
}

bool FileDataProvider::readContourFile(const QString &path)
{
    trace()->addPointProcessor(std::make_shared<ContourConversionPointProcessor>(readingSettings().calibration));
    return readTraceFile(path);
}

bool FileDataProvider::readProfileFile(const QString &path)
{
    return readTraceFile(path);
}

bool FileDataProvider::readTraceFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failOpen(path);
        return false;
    }
    // The file is parsed as it is read, half a megabyte of it at a time: some
    // twenty thousand point lines, parsed together on several threads, while
    // the window stays small beside the trace being filled.
    StreamLineCursor cursor(file, 1 << 19);
    cursor.skip(QByteArrayLiteral("\xEF\xBB\xBF"));
    const Header header = TraceFormat::readHeader(cursor);
    applyHeader(header);

    const int channels = trace()->channelCount();
    QVector<double> point;
    auto append = [this](QVector<double> &p) { appendPoint(p); };
    // A reading its owner has given up ends within a window of lines.
    auto stop = [this] { return isCancelled(); };
    // What the header announced and the file did not hold, for the operator.
    QStringList missing;
    if (header.contains("point_count")) {
        const qint64 count = TraceFormat::integerOrZero(header.value("point_count"));
        // Room for the points is made before the first is read. A header's
        // count is trusted only as far as the file could hold it: every value
        // takes at least a digit and a separator.
        const qint64 room = std::min<qint64>(count, file.size() / (2 * std::max(channels, 1)));
        trace()->reservePoints(int(std::clamp<qint64>(room, 0, std::numeric_limits<int>::max())));
        const qint64 read = TraceFormat::readPointBlock(cursor, header, count, channels, point, append, stop);
        if (read < count)
            missing << QStringLiteral("%1 points announced, %2 read").arg(count).arg(read);
    } else if (header.endedAtLine && !TraceFormat::trimmed(header.endLine).isEmpty()) {
        // Without a count the block is its run of non-empty lines. The empty
        // line after it would also end the additional traces at once, so
        // there are none to read.
        readPointRun(cursor, header, channels, point);
        flushPoints();
        return !isCancelled();
    }
    flushPoints();

    if (trace()->traceType == PROFILE && dynamic_cast<ProfileTrace *>(trace()))
        readAdditionalTraces(header, cursor, missing);
    if (isCancelled())
        return false;
    // A file that ends early keeps what it held; the operator learns what
    // is missing.
    if (!missing.isEmpty()) {
        failContent(path, missing.join(QStringLiteral("; ")));
        return false;
    }
    return true;
}

void FileDataProvider::readPointRun(
    StreamLineCursor &cursor, const Header &header, int channels, QVector<double> &point)
{
    if (channels <= 0)
        return;
    point.fill(0.0, qMax(channels, 3));
    TraceFormat::readValues(header.endLine, channels, point.data());
    appendPoint(point);
    TraceFormat::Bytes line;
    qint64 lines = 1;
    while (cursor.next(line) && !TraceFormat::trimmed(line).isEmpty()) {
        if (lines++ % kBatchSize == 0 && isCancelled())
            return;
        point.fill(0.0);
        TraceFormat::readValues(line, channels, point.data());
        appendPoint(point);
    }
}

void FileDataProvider::applyHeader(const Header &header)
{
    AbstractTrace *t = trace();
    const int kind
        = TraceFormat::kindFromName(header.contains("trace_type") ? header.value("trace_type") : QByteArray("CONTOUR"));
    // The trace's class was chosen from the first line; a header whose kind
    // belongs to the other class never writes that class's fields into it.
    // The windows read the kind when the reading starts: it is written only
    // when the header names another kind than the first line did.
    if (auto *profile = dynamic_cast<ProfileTrace *>(t)) {
        setKind(isProfileTraceKind(kind) ? kind : int(PROFILE));
        applyProfileHeader(*profile, header, readingSettings());
    } else if (auto *contour = dynamic_cast<ContourTrace *>(t)) {
        setKind(isProfileTraceKind(kind) ? int(CONTOUR) : kind);
        applyContourHeader(*contour, header, readingSettings());
    } else {
        setKind(kind);
    }
    if (isProfileTraceKind(kind) != isProfileTraceKind(t->traceType))
        logger.log(Logger::WARNING,
            "Trace kind " + header.value("trace_type").toStdString() + " does not fit the trace read from "
                + m_path.toStdString());

    t->controllerName = controllerEntry(header);
    t->creationDate = creationDateEntry(header);
}

void FileDataProvider::setKind(int kind)
{
    if (trace()->traceType != kind)
        trace()->setTraceType(kind);
}

void FileDataProvider::readAdditionalTraces(const Header &mainHeader, StreamLineCursor &cursor, QStringList &missing)
{
    auto *main = dynamic_cast<ProfileTrace *>(trace());
    if (!main)
        return;
    const int channels = main->channelCount();
    const qint64 count = TraceFormat::integerOrZero(mainHeader.value("addittional_trace_count"));
    QVector<double> point;
    auto stop = [this] { return isCancelled(); };
    // The count is whatever the file says, so it only bounds the blocks read:
    // reading goes on while the file has lines and each block holds something.
    // A block without a header entry has no point count and so no points
    // either (an empty line, for one); it ends the additional traces, so that
    // a run of such lines cannot make a trace per line. A block that the file
    // ends in before its point count is no trace either.
    qint64 read = 0;
    for (; read < count && !cursor.atEnd() && !isCancelled(); ++read) {
        const Header header = TraceFormat::readAdditionalHeader(cursor);
        if (header.entries.isEmpty() || (!header.contains("point_count") && cursor.atEnd()))
            break;
        const ReadingSettings &s = readingSettings();
        // Owned from the start: a reading that fails inside the block (out
        // of memory) frees the run with what it read.
        auto child = std::make_unique<ProfileTrace>(s.cutOff, s.medianWindow, s.medianEnabled);
        child->setTraceType(ADDITIONAL_TRACE);
        // A run's block carries its own speed, cut-off, controller and date
        // (the trace list writes them, and a run's cut-off can be changed
        // apart from its main trace's); a block without them takes the main's.
        auto source = [&](const char *key) -> const Header & {
            return header.contains(key) ? header : mainHeader;
        };
        child->speed = realEntry(source("speed"), "speed", s.speed);
        child->cutOff = realEntry(source("filter"), "filter", s.cutOff);
        child->controllerName = controllerEntry(source("controler_name"));
        child->creationDate = creationDateEntry(source("creation_date"));
        child->setName(m_path);
        child->setFilePath(m_path);
        const qint64 points = TraceFormat::integerOrZero(header.value("point_count"));
        ProfileTrace *run = child.get();
        const qint64 got = TraceFormat::readPointBlock(
            cursor, header, points, channels, point, [run](QVector<double> &p) { run->addPoint(p); }, stop);
        if (got < points)
            missing << QStringLiteral("additional trace %1: %2 points announced, %3 read")
                           .arg(read + 1)
                           .arg(points)
                           .arg(got);
        for (const PostProcessorPtr &processor : s.additionalChain)
            child->addPostProcessor(processor);
        // The main trace's list of runs owns nothing; those who hold the main
        // trace (the trace list, a failed reading's drop) delete its runs.
        main->addAdditionalTrace(run);
        child.release();
    }
    if (read < count)
        missing << QStringLiteral("%1 additional traces announced, %2 read").arg(count).arg(read);
}

bool FileDataProvider::startContourRead(QFile &file)
{
    trace()->addPointProcessor(std::make_shared<ContourConversionPointProcessor>(readingSettings().calibration));
    if (!file.open(QIODevice::ReadOnly)) {
        failOpen(file.fileName());
        return false;
    }
    logger.log(Logger::INFO, "Open file " + file.fileName().toStdString());
    setKind(CONTOUR);
    // Only a contour trace has needle fields; a profile trace given a column
    // file keeps its own.
    if (auto *contour = dynamic_cast<ContourTrace *>(trace()))
        contour->needle_pressing = readingSettings().needlePressing;
    return true;
}

bool FileDataProvider::readBinaryFile(const QString &path)
{
    QFile file(path);
    if (!startContourRead(file))
        return false;
    TraceFormat::VantorData data;
    if (TraceFormat::readVantor(file, data) != TraceFormat::VantorStatus::Ok) {
        failContent(path);
        return false;
    }
    trace()->reservePoints(data.samples.size());
    QVector<double> point(3, 0.0);
    for (int i = 0; i < data.samples.size(); ++i) {
        if (i % kBatchSize == 0 && isCancelled())
            return false;
        point[0] = i * data.step;
        point[1] = data.samples.at(i) * data.scale;
        point[2] = 0.0;
        appendPoint(point);
    }
    file.close();
    logger.log(Logger::INFO, "Close file " + path.toStdString());
    return true;
}

bool FileDataProvider::readColumnsFile(const QString &path)
{
    QFile file(path);
    if (!startContourRead(file))
        return false;
    const QByteArray bytes = file.readAll();
    // A point a line: the lines bound the points.
    trace()->reservePoints(int(std::min<qint64>(bytes.count('\n') + 1, std::numeric_limits<int>::max())));
    LineCursor cursor(bytes.constData(), bytes.constData() + bytes.size());
    const int channels = trace()->channelCount();
    QVector<double> point(qMax(channels, 3), 0.0);
    double previousX = std::numeric_limits<double>::max();
    TraceFormat::Bytes line;
    qint64 lines = 0;
    while (cursor.next(line)) {
        if (lines++ % kBatchSize == 0 && isCancelled())
            return false;
        point.fill(0.0);
        if (TraceFormat::readValues(line, channels, point.data()) > 0) {
            failContent(path);
            return false;
        }
        // A point repeating the previous accepted X is dropped.
        if (point[0] == previousX)
            continue;
        previousX = point[0];
        appendPoint(point);
    }
    file.close();
    logger.log(Logger::INFO, "Close file " + path.toStdString());
    return true;
}

void FileDataProvider::appendPoint(const QVector<double> &point)
{
    // Points reach the trace a batch at a time, under one lock per batch.
    // A batch is written through pointers to its channels taken when it
    // starts, as a point is parsed for every line of the file.
    if (m_filled == 0) {
        const int channels = trace()->channelCount();
        if (m_block.size() != channels)
            m_block = TData(channels);
        m_channelData.resize(channels);
        for (int c = 0; c < channels; ++c) {
            QVector<double> &channel = m_block[c];
            if (channel.size() != kBatchSize)
                channel.resize(kBatchSize);
            m_channelData[c] = channel.data();
        }
    }
    const int channels = m_channelData.size();
    if (channels == 0 || point.size() < channels)
        return;
    const double *values = point.constData();
    for (int c = 0; c < channels; ++c)
        m_channelData[c][m_filled] = values[c];
    if (++m_filled == kBatchSize)
        flushPoints();
}

void FileDataProvider::flushPoints()
{
    if (m_filled == 0)
        return;
    // A last batch short of full goes as far as it was filled.
    if (m_filled < kBatchSize) {
        for (auto &channel : m_block)
            channel.resize(m_filled);
    }
    m_filled = 0;
    const int added = trace()->addPoints(m_block);
    m_appended += added;
    // Only full batches are announced; the rest is drawn with the finished
    // trace.
    if (added == kBatchSize) {
        handOff(this);
        Q_EMIT dataBatchReady(m_appended - kBatchSize, kBatchSize);
    }
}

void FileDataProvider::failOpen(const QString &path)
{
    qDebug() << "Can't open file " << path;
    logger.log(Logger::ERROR, "Can't open file " + path.toStdString());
    handOff(this);
    reportError(QStringLiteral("Can't open file "));
}

void FileDataProvider::failContent(const QString &path, const QString &detail)
{
    const QString message = QStringLiteral("Error in ") + path + (detail.isEmpty() ? QString() : ": " + detail);
    logger.log(Logger::ERROR, message.toStdString());
    handOff(this);
    reportError(message);
}
