#pragma once

#include "algos/tracetypes.h"
#include "traces/idatapostprocessor.h"

#include <QString>

class QIODevice;

// The correction table of the instrument's non-linearity, kept under the
// working directory as lines "X<TAB>correction".
namespace NonLinearity {
extern const QString kDirName; // "non_linearity"
extern const QString kFilePath; // "non_linearity/non_linearity.txt"

// Rows of a reference contour trace file: every line of exactly three numbers
// X, Y, Z gives the row (X, Y + Z / 1000); every other line is skipped.
TData readReferenceRows(QIODevice *device);

// Rows of a table file: every line of exactly two numbers whose X is above
// the X of the row before it; every other line is skipped.
TData readTableRows(QIODevice *device);

// The table's text: one line "X<TAB>Y" per row, each number in the shortest
// form that reads back to the same double. Empty for a table that is not two
// channels of equal length.
QString tableText(const TData &table);

// Subtracts the table's correction at each point's X from its Y: linear
// between the rows that bracket X, the first row's value before the table and
// the last row's after it. A table of fewer than two rows changes nothing.
void subtractCorrection(TData &data, const TData &table);
} // namespace NonLinearity

// Builds the correction table from a reference trace: reads it, smooths it
// heavily (a Gaussian low-pass at 2000) and saves it as the table file.
class NonLinearityTableBuilder {
public:
    // Reads the reference from a device open for reading, then closes it.
    void load(QIODevice *device);
    // smoothed = the reference low-passed at 2000 in the unit of X.
    void smooth();
    // Writes smoothed to the table file, creating its directory. The old file
    // is replaced only by a complete new one; returns whether that succeeded.
    bool save() const;

    TData source; // reference rows (X, Y)
    TData smoothed; // the table that is saved
};

// Subtracts the table read at construction from Y, when the setting
// non_linearity was on at construction and the table file is still there.
// The switch is copied, not read at each run: the processor runs on a
// reading's worker while the GUI thread may change the settings.
class NonLinearityEliminationProcessor : public IDataPostProcessor {
public:
    NonLinearityEliminationProcessor();
    void process(TData &data) override;

    TData table; // [0] X, [1] correction
    const bool enabled; // preferenses.non_linearity at construction
};
