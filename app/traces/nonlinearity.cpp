#include "traces/nonlinearity.h"

#include "algos/gaussfilter.h"
#include "algos/profileutils.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QLocale>
#include "settings/savefile.h"
#include <QStringList>
#include <QTextStream>
#include <cmath>
#include <limits>

namespace {

// Numbers of a line split on TAB with empty parts dropped; empty when a part
// is not a finite number or the line does not hold exactly count parts.
QVector<double> lineNumbers(const QString &line, int count)
{
    const QStringList parts = line.trimmed().split(QLatin1Char('\t'), Qt::SkipEmptyParts);
    if (parts.size() != count) {
        return {};
    }
    QVector<double> values;
    values.reserve(count);
    for (const QString &part : parts) {
        bool ok = false;
        const double v = part.toDouble(&ok);
        if (!ok || !std::isfinite(v)) {
            return {};
        }
        values.append(v);
    }
    return values;
}

template <typename RowFn> void forEachLine(QIODevice *device, RowFn onLine)
{
    if (!device || !device->isReadable()) {
        return;
    }
    QTextStream in(device);
    QString line;
    while (in.readLineInto(&line)) {
        if (!line.trimmed().isEmpty()) {
            onLine(line);
        }
    }
}

} // namespace

namespace NonLinearity {

const QString kDirName = QStringLiteral("non_linearity");
const QString kFilePath = QStringLiteral("non_linearity/non_linearity.txt");

TData readReferenceRows(QIODevice *device)
{
    TData rows { QVector<double>(), QVector<double>() };
    forEachLine(device, [&rows](const QString &line) {
        const QVector<double> v = lineNumbers(line, 3);
        if (!v.isEmpty()) {
            rows[0].append(v[0]);
            rows[1].append(v[1] + v[2] / 1000);
        }
    });
    return rows;
}

TData readTableRows(QIODevice *device)
{
    TData rows { QVector<double>(), QVector<double>() };
    forEachLine(device, [&rows](const QString &line) {
        const QVector<double> v = lineNumbers(line, 2);
        // Interpolation needs strictly increasing X: a row that does not move
        // forward would divide by a zero-width segment.
        if (!v.isEmpty() && (rows[0].isEmpty() || v[0] > rows[0].last())) {
            rows[0].append(v[0]);
            rows[1].append(v[1]);
        }
    });
    return rows;
}

QString tableText(const TData &table)
{
    QString text;
    if (table.size() < 2 || table[0].size() != table[1].size()) {
        return text;
    }
    for (int i = 0; i < table[0].size(); ++i) {
        text += QString::number(table[0][i], 'g', QLocale::FloatingPointShortest);
        text += QLatin1Char('\t');
        text += QString::number(table[1][i], 'g', QLocale::FloatingPointShortest);
        text += QLatin1Char('\n');
    }
    return text;
}

void subtractCorrection(TData &data, const TData &table)
{
    if (data.size() < 2 || table.size() < 2) {
        return;
    }
    const QVector<double> &tx = table[0];
    const QVector<double> &tc = table[1];
    const int rows = std::min(tx.size(), tc.size());
    if (rows < 2) {
        return;
    }
    const QVector<double> &x = data[0];
    QVector<double> &y = data[1];
    const int n = std::min(x.size(), y.size());
    int i = 0; // the search only moves forward across the points
    for (int p = 0; p < n; ++p) {
        const double xp = x[p];
        double c = 0;
        for (;;) {
            if (i >= rows - 1) {
                c = tc[rows - 1];
                break;
            }
            if (xp <= tx[i + 1]) {
                if (i == 0 && xp < tx[0]) {
                    c = tc[0];
                } else {
                    c = (xp - tx[i]) / (tx[i + 1] - tx[i]) * (tc[i + 1] - tc[i]) + tc[i];
                }
                break;
            }
            ++i;
        }
        y[p] -= c;
    }
}

} // namespace NonLinearity

void NonLinearityTableBuilder::load(QIODevice *device)
{
    source = NonLinearity::readReferenceRows(device);
    smoothed = TData { QVector<double>(), QVector<double>() };
    // Runs of equal X (the stylus standing still) climb evenly to the next X.
    source[0] = Algos::spreadEqualValues(source[0]);
    if (device) {
        device->close();
    }
}

void NonLinearityTableBuilder::smooth()
{
    smoothed = Algos::gaussFilter(source, std::numeric_limits<double>::max(), 2000);
}

bool NonLinearityTableBuilder::save() const
{
    if (!QDir().mkpath(NonLinearity::kDirName)) {
        return false;
    }
    return SaveFile::write(NonLinearity::kFilePath, NonLinearity::tableText(smoothed).toUtf8());
}

NonLinearityEliminationProcessor::NonLinearityEliminationProcessor()
    : IDataPostProcessor(QStringLiteral("NonLinearityEliminationProcessor"))
    , table { QVector<double>(), QVector<double>() }
    , enabled(Settings::instance().preferenses.non_linearity)
{
    if (!QDir(NonLinearity::kDirName).exists()) {
        return;
    }
    QFile file(NonLinearity::kFilePath);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        table = NonLinearity::readTableRows(&file);
    }
}

void NonLinearityEliminationProcessor::process(TData &data)
{
    // The file is checked at every run, so deleting the table takes effect on
    // the next recalculation; the table itself is the one read at
    // construction, and the switch the one of then (the window makes new
    // processors when its processing changes).
    if (!QDir(NonLinearity::kDirName).exists() || !enabled || table.size() < 2
        || table[0].size() < 2 || !QFileInfo::exists(NonLinearity::kFilePath)) {
        return;
    }
    NonLinearity::subtractCorrection(data, table);
}
