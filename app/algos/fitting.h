#pragma once

#include "algos/tracetypes.h"

#include <QPointF>
#include <QVector>

class QCPCurveData;

namespace Algos {

// A fitted coefficient vector (index 0 the constant term) and its evaluation.
// An empty vector means "not fitted"; such a fitter evaluates to NaN.
class CoeffFitter {
public:
    CoeffFitter() = default;
    explicit CoeffFitter(const QVector<double> &coefficients)
        : coefficients(coefficients)
    {
    }
    virtual ~CoeffFitter() = default;

    bool isValid() const { return !coefficients.isEmpty(); }
    // NaN for an index outside the vector.
    double coefficient(int index) const;
    // Ignored for an index outside the vector.
    void setCoefficient(int index, double value);
    virtual double value(double x) const = 0;

    QVector<double> coefficients;
};

// Least-squares straight line y = c0 + c1 x. A fit that cannot define a line
// (no point, or every point at one x) leaves the fitter not valid.
class RMS : public CoeffFitter {
public:
    RMS() = default;
    explicit RMS(const QVector<double> &coefficients)
        : CoeffFitter(coefficients)
    {
    }
    // One fit over [first1, last1) and, when both are non-null and differ,
    // [first2, last2) as well.
    RMS(const QCPCurveData *first1, const QCPCurveData *last1, const QCPCurveData *first2 = nullptr,
        const QCPCurveData *last2 = nullptr);
    RMS(const QPointF *first, const QPointF *last);
    // The pairs (x[i], y[i]) for i below the shorter length.
    RMS(const QVector<double> &x, const QVector<double> &y);
    // Channel 0 against channel 1 of a profile.
    explicit RMS(const TData &profile);

    double value(double x) const override;
};

// Coefficients of an order-2 polynomial fit; evaluates the full polynomial.
class LSQ : public CoeffFitter {
public:
    LSQ() = default;
    explicit LSQ(const QVector<double> &coefficients)
        : CoeffFitter(coefficients)
    {
    }
    LSQ(const QPointF *first, const QPointF *last);
    LSQ(const QCPCurveData *first, const QCPCurveData *last);

    double value(double x) const override;
};

} // namespace Algos

// Least-squares polynomial fit by the normal equations.
class PolynomialRegression {
public:
    PolynomialRegression() = default;
    virtual ~PolynomialRegression() = default;

    // Fills out with order + 1 coefficients, the constant term first, and
    // returns true. Throws std::runtime_error when x and y differ in length.
    // Returns false and leaves out untouched for empty input, a negative order
    // or a system that has no unique solution (too few distinct x).
    bool fit(QVector<double> x, QVector<double> y, const int &order, QVector<double> &out);
    bool fit(const QPointF *first, const QPointF *last, const int &order, QVector<double> &out);
    bool fit(const QCPCurveData *first, const QCPCurveData *last, const int &order, QVector<double> &out);
};
