#pragma once

#include "algos/tracetypes.h"
#include "dataproviders/dataprovider.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

class QFile;

namespace TraceFormat {
struct Header;
class StreamLineCursor;
} // namespace TraceFormat

// The data provider of a trace file. The file's first line chooses the
// reader: a native text file of a contour or profile trace, else a ".Vantor"
// binary by its extension, else plain number columns. Everything runs on the
// provider's worker; the main trace's points reach it and are announced in
// batches of 500 points.
class FileDataProvider : public DataProvider {
    Q_OBJECT

public:
    explicit FileDataProvider(const QString &path);

    QString path() const { return m_path; }

    // The kind named by the first line of the file at path ("PROFILE",
    // "CONTOUR", ...; anything else names no native kind). False when the file
    // cannot be opened.
    static bool firstLineKind(const QString &path, QByteArray &kind);

protected:
    void setUpTrace() override;
    void prepare() override;
    bool obtainData() override;

    // The readers that obtainData() chooses from; each fills trace().
    bool readContourFile(const QString &path);
    bool readProfileFile(const QString &path);
    bool readTraceFile(const QString &path);
    bool readBinaryFile(const QString &path);
    bool readColumnsFile(const QString &path);

private:
    // Opens a binary or column file after giving the trace its contour point
    // chain; false (with the error reported) when the file cannot be opened.
    bool startContourRead(QFile &file);
    void failOpen(const QString &path);
    // "Error in " and the path, then the detail when there is one.
    void failContent(const QString &path, const QString &detail = QString());
    // Collects a point of the main trace; a full batch is appended to the
    // trace and announced.
    void appendPoint(const QVector<double> &point);
    // Appends the points collected so far (announced when a full batch).
    void flushPoints();
    bool readFile();
    // The points of a block without a count: from the header's end line on,
    // up to the first empty line or the end of the file.
    void readPointRun(TraceFormat::StreamLineCursor &cursor, const TraceFormat::Header &header, int channels,
        QVector<double> &point);
    void applyHeader(const TraceFormat::Header &header);
    // Gives the trace the kind, writing it only when it differs.
    void setKind(int kind);
    // Reads the additional traces the main header announces; what the file
    // does not hold of them is added to `missing` (of a cancelled reading,
    // nobody reads it).
    void readAdditionalTraces(
        const TraceFormat::Header &mainHeader, TraceFormat::StreamLineCursor &cursor, QStringList &missing);

    QString m_path;
    int m_appended = 0;
    // The batch being collected: m_filled points in each of its channels,
    // written through m_channelData.
    TData m_block;
    QVector<double *> m_channelData;
    int m_filled = 0;
};
