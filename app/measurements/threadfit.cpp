#include "measurements/threadfit.h"

#include <qcustomplot.h>

#include <QDebug>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace ThreadFit {

double fitError(const QCPCurveData *first, const QCPCurveData *end, const Algos::RMS &line, int &referenceCount,
    std::vector<double> &pieces)
{
    if (!first || end - first < 2)
        return kNoFit;
    const double c0 = line.coefficient(0);
    const double c1 = line.coefficient(1);

    pieces.clear();
    const QCPCurveData *anchor = first;
    double anchorSide = anchor->value - (c0 + c1 * anchor->key);
    for (auto *p = first; p < end - 1; ++p) {
        const double side = p->value - (c0 + c1 * p->key);
        if (side * anchorSide < 0) {
            const double dx = p->key - anchor->key;
            const double dy = p->value - anchor->value;
            pieces.push_back(std::sqrt(dx * dx + dy * dy));
            anchor = p;
            anchorSide = side;
        }
    }
    if (pieces.empty())
        return kNoFit;

    // The piece before the first crossing is only a partial one.
    const auto *piece = pieces.data() + 1;
    int k = int(pieces.size()) - 1;
    if (referenceCount == -1) {
        referenceCount = k;
        if (k % 2 != 0)
            --k;
    } else {
        if (k % 2 != 0)
            --k;
        if (std::abs(k - referenceCount) >= 3)
            return kNoFit;
    }
    if (k <= 0)
        return 0;
    double sum = 0;
    for (int i = 0; i < k; ++i)
        sum += piece[i];
    const double mean = sum / k;
    double error = 0;
    for (int i = 0; i < k; ++i)
        error += std::abs(mean - piece[i]);
    return error;
}

void rotateLine(Algos::RMS &line, double xFirst, double xLast, double degrees)
{
    const double theta = -degrees * M_PI / 180;
    const double fFirst = line.value(xFirst);
    const double fLast = line.value(xLast);
    const double xMid = (xFirst + xLast) * 0.5;
    const double yMid = (fFirst + fLast) * 0.5;
    const double s = std::sin(theta);
    const double c = std::cos(theta);
    const double yFirst = yMid + (xFirst - xMid) * s + (fFirst - yMid) * c;
    const double yLast = yMid + (xLast - xMid) * s + (fLast - yMid) * c;
    line = Algos::RMS(QVector<double> { xFirst, xLast }, QVector<double> { yFirst, yLast });
}

void shiftLine(Algos::RMS &line, double step)
{
    line.setCoefficient(0, line.coefficient(0) + step);
}

namespace {

// One pass of the descent with one kind of move; returns its last error.
template <typename Move> double descentPass(const std::function<double()> &error, Algos::RMS &line, double w, Move move)
{
    double step = 10;
    for (int trial = 0; trial < kMaxTrialsPerPass; ++trial) {
        const QVector<double> kept = line.coefficients;
        move(step);
        const double g = error();
        move(-2 * step);
        const double h = error();
        move(step);
        double next;
        if (g < h && g < w) {
            move(step);
            qDebug() << "Improved (positive step):" << g;
            next = g;
        } else if (h < g && h < w) {
            move(-step);
            qDebug() << "Improved (negative step):" << h;
            next = h;
        } else {
            line.coefficients = kept;
            step *= 0.7;
            next = w;
        }
        w = next;
        if (!(step > 0.00001))
            break;
    }
    return w;
}

} // namespace

Algos::RMS fitLine(const QCPCurveData *first, const QCPCurveData *end, int *referenceCount, const LineMoved &moved)
{
    Algos::RMS line(first, end);
    int reference = -1;
    std::vector<double> pieces;
    auto error = [&] { return fitError(first, end, line, reference, pieces); };

    double u = error();
    if (u < std::numeric_limits<double>::max() && end - first >= 1) {
        const double xFirst = first->key;
        const double xLast = (end - 1)->key;
        auto tilt = [&](double s) {
            rotateLine(line, xFirst, xLast, s);
            if (moved)
                moved(line);
        };
        auto shift = [&](double s) {
            shiftLine(line, s);
            if (moved)
                moved(line);
        };
        for (int cycle = 0; cycle < kMaxCycles; ++cycle) {
            const double w = error();
            if (w < 130.0)
                qDebug().noquote() << "";
            descentPass(error, line, w, tilt);
            const double b = error();
            if (b < 130.0)
                qDebug().noquote() << "";
            const double d = descentPass(error, line, b, shift);
            if (!(d < u))
                break;
            u = d;
        }
    }
    if (referenceCount)
        *referenceCount = reference;
    return line;
}

} // namespace ThreadFit
