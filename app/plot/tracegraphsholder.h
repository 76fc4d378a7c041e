#pragma once

#include <QObject>
#include <QPointer>
#include <QVector>
#include <array>
#include <optional>
#include <qcustomplot.h>

class AbstractTrace;
class AdaptiveCurve;
class IFilterControl;
class ProfileTrace;
class XAxisMarker;

// The material-ratio curve of a profile for the given levels: for each level,
// the area under the profile (|(y_i + y_i+1) (x_i+1 - x_i) / 2| of each pair
// of neighbouring points, the pair ending at the last point left out) summed
// over the pairs whose first point lies above the level, in percent of the
// largest such sum. Not a number everywhere when every sum is 0.
QVector<double> materialRatioAtLevels(
    const QVector<double> &x, const QVector<double> &y, const QVector<double> &levels);
// The same over n points kept elsewhere: point i at (x[i * stride], y[i * stride]).
QVector<double> ratioAtLevels(const double *x, const double *y, int n, int stride, const QVector<double> &levels);

// The cut-off (µm) the check proposes for a trace of the given length: the
// recommendation itself when the trace is at least two of it long, otherwise
// the nearest cut-off of the table that fits (the first of equally near ones),
// or current when none fits.
int allowedCutOff(int recommended, double traceLength, int current);

// Everything one trace puts on the three plots of the profile window:
// the trace curve on the main plot (with an order-2 form line and an R-line at
// the RMS level), the histogram and the material-ratio curve of what the main
// plot shows, a cursor line at a chosen level, and two markers at the ends of
// the range selected on the curve. Its plottables carry the dynamic property
// "gholder" leading back to it. Deleting it removes all of it from the plots.
// It draws a trace of any kind; the parts that belong to profiles (the
// histogram kept in the trace, the cut-off check) act on profile traces only.
class TraceGraphsHolder : public QObject {
    Q_OBJECT
public:
    // owner is the profile window (parent of the question the cut-off check
    // asks); filterControl the control panel that applies a new cut-off.
    TraceGraphsHolder(QWidget *owner, AbstractTrace *trace, QCustomPlot *plotMain, QCustomPlot *plotHist,
        QCustomPlot *plotRMR, IFilterControl *filterControl = nullptr);
    ~TraceGraphsHolder() override;

    // Redraws the curve from the trace's processed points in the display unit;
    // rLine fits an order-2 form and shows the R-line, rFit (with rLine) shows
    // the profile with the form taken away, set back to the RMS level.
    void updateTraceGraph(bool rLine, bool rFit);
    // "мм", "мкм" or "нм"; any other text keeps the factor.
    void setUnit(const QString &unit, bool redraw);
    void updateHistogram();
    // Crops the trace to the range selected on its curve, both ends included.
    void cropToSelection();
    // The cursor lines at the level of the material-ratio point nearest to
    // (value, level).
    void showCursorAt(double value, double level);
    void setVisible(bool visible);
    void setPointsMode(bool points);
    void applySelectedPens();
    void applyNormalPens();

    // For a profile trace: evaluates Ra and, when the standard recommends
    // another cut-off that the trace is long enough for, applies it on the
    // operator's consent (or the remembered answer), then checks again.
    void checkFilter();
    // Asks the profile window whether to switch to cutOff (µm) and keeps a
    // remembered answer in the settings; true when accepted.
    bool askFilterChange(int cutOff);

    AbstractTrace *trace() const { return mTrace; }
    AdaptiveCurve *curve() const;
    QCPGraph *formGraph() const { return mFormGraph; }
    QCPGraph *histogramGraph() const { return mHistogramGraph; }
    QCPGraph *ratioGraph() const { return mRatioGraph; }
    QCPItemStraightLine *levelLine(int plot) const { return mLevelLines.at(plot); }
    QCPItemStraightLine *cursorLine(int plot) const { return mCursorLines.at(plot); }
    XAxisMarker *startMarker() const;
    XAxisMarker *endMarker() const;
    bool isVisible() const;
    QString unit() const { return mUnit; }
    double unitFactor() const { return mUnitFactor; }
    // The displayed points (in the display unit, the form taken away when
    // drawn so).
    const QVector<double> &x() const
    {
        takePointsFromCurve();
        return mX;
    }
    const QVector<double> &y() const
    {
        takePointsFromCurve();
        return mY;
    }
    const QVector<double> &ratio() const { return mRatio; }
    const QVector<double> &ratioLevels() const { return mRatioLevels; }
    double rms() const { return mRms; }
    bool markersShown() const { return mMarkersShown; }

    int mHistogramDensity = 10;
    bool mRFit = false;
    bool mRLine = false;

public Q_SLOTS:
    void graphSelectionChanged(const QCPDataSelection &selection);

private:
    void computeRms();
    void updateLevelLines(bool show);
    // The trace as a profile (PROFILE or ADDITIONAL_TRACE), else null.
    ProfileTrace *profileTrace() const;
    // The trace as the operator knows it: its file's name, and for an
    // additional trace also its place among its main trace's runs.
    QString traceTitle() const;
    // Whether the curve shows the trace's present processed points in the
    // present unit.
    bool drawingIsCurrent() const;
    // Fills mX and mY from the curve when the displayed points are kept on
    // the curve alone.
    void takePointsFromCurve() const;
    int drawnCount() const;
    QPointF drawnPoint(int i) const;

    AbstractTrace *mTrace;
    std::array<QPointer<QCustomPlot>, 3> mPlots;
    QPointer<AdaptiveCurve> mCurve;
    QPointer<QCPGraph> mFormGraph;
    std::array<QPointer<QCPItemStraightLine>, 3> mLevelLines;
    std::array<QPointer<QCPItemStraightLine>, 3> mCursorLines;
    QPointer<XAxisMarker> mStartMarker;
    QPointer<XAxisMarker> mEndMarker;
    QPointer<QCPGraph> mHistogramGraph;
    QPointer<QCPGraph> mRatioGraph;
    QPointer<QWidget> mOwner;
    IFilterControl *mFilterControl;
    // The displayed points; without the form fit they are kept on the curve
    // alone (mPointsOnCurve) until x() or y() asks for them.
    mutable QVector<double> mX;
    mutable QVector<double> mY;
    mutable bool mPointsOnCurve = false;
    // What the histogram and the material-ratio curve were last computed
    // from: the view of the main plot and the displayed points.
    struct HistogramInputs {
        double xLower, xUpper, yLower, yUpper, unitFactor;
        int density;
        quint64 generation;
        const QCPCurveData *curvePoints;
        int curveCount;
        const double *xs;
        int xCount;
        const double *ys;
        int yCount;
        bool operator==(const HistogramInputs &o) const;
    };
    std::optional<HistogramInputs> mHistogramInputs;
    quint64 mDrawGeneration = 0;
    // The processed channels and the unit factor the curve was drawn from.
    QVector<double> mDrawnX;
    QVector<double> mDrawnY;
    double mDrawnFactor = 0;
    QVector<double> mFormX;
    QVector<double> mFormY;
    QVector<double> mRatio;
    QVector<double> mRatioLevels;
    double mRms = 0;
    bool mLevelShown = false;
    bool mCursorShown = false;
    bool mMarkersShown = false;
    QString mUnit;
    double mUnitFactor = 1.0;
};
