#pragma once

#include "algos/fitting.h"
#include "measurements/clickdistacemeasurement.h"

class QCPItemLine;

// Kind 29: the mean-diameter line of a thread. One click on a trace fits it to
// the whole clicked curve (see ThreadFit) and draws it across the curve; the
// result is in coefficients as [slope, intercept]. It never recomputes.
class Thread : public ClickDistaceMeasurement {
    Q_OBJECT
public:
    explicit Thread(PlotWidget *plot);
    ~Thread() override;

    // Sets the ends of fittedLine, each coordinate through single precision.
    void setLinePoints(QPointF a, QPointF b);

    // The current line: coefficient 0 the intercept, 1 the slope.
    Algos::RMS fitter;
    // Pieces counted by the first error evaluation of the fit; -1 before.
    int referenceCount = -1;
    QCPItemLine *fittedLine;

private:
    void onPlotMouseRelease(QMouseEvent *event);
};
