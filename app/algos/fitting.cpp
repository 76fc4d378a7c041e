#include "algos/fitting.h"

#include <qcustomplot.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace Algos {

namespace {

// Running sums of a straight-line fit, accumulated in point order.
struct LineSums {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;

    void add(double x, double y)
    {
        n += 1;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }

    // {c0, c1}, or empty when the points do not define a line: no point, or
    // every x the same (the spread of x lost in rounding counts as none).
    QVector<double> line() const
    {
        const double denominator = sxx * n - sx * sx;
        if (n <= 0 || !(denominator > 1e-12 * sxx * n))
            return {};
        const double c1 = (sxy * n - sx * sy) / denominator;
        const double c0 = (sy - sx * c1) / n;
        if (!std::isfinite(c0) || !std::isfinite(c1))
            return {};
        return { c0, c1 };
    }
};

void addRange(LineSums &sums, const QCPCurveData *first, const QCPCurveData *last)
{
    for (auto *p = first; p && p < last; ++p)
        sums.add(p->key, p->value);
}

} // namespace

double CoeffFitter::coefficient(int index) const
{
    if (index < 0 || index >= coefficients.size())
        return std::numeric_limits<double>::quiet_NaN();
    return coefficients.at(index);
}

void CoeffFitter::setCoefficient(int index, double value)
{
    if (index >= 0 && index < coefficients.size())
        coefficients[index] = value;
}

RMS::RMS(const QCPCurveData *first1, const QCPCurveData *last1, const QCPCurveData *first2, const QCPCurveData *last2)
{
    LineSums sums;
    addRange(sums, first1, last1);
    if (first2 && last2 && first2 != last2)
        addRange(sums, first2, last2);
    coefficients = sums.line();
}

RMS::RMS(const QPointF *first, const QPointF *last)
{
    LineSums sums;
    for (auto *p = first; p && p < last; ++p)
        sums.add(p->x(), p->y());
    coefficients = sums.line();
}

RMS::RMS(const QVector<double> &x, const QVector<double> &y)
{
    LineSums sums;
    const int n = std::min(x.size(), y.size());
    const double *px = x.constData();
    const double *py = y.constData();
    for (int i = 0; i < n; ++i)
        sums.add(px[i], py[i]);
    coefficients = sums.line();
}

RMS::RMS(const TData &profile)
    : RMS(profile.value(0), profile.value(1))
{
}

double RMS::value(double x) const
{
    if (coefficients.size() < 2)
        return std::numeric_limits<double>::quiet_NaN();
    return coefficients.at(0) + coefficients.at(1) * x;
}

LSQ::LSQ(const QPointF *first, const QPointF *last)
{
    PolynomialRegression().fit(first, last, 2, coefficients);
}

LSQ::LSQ(const QCPCurveData *first, const QCPCurveData *last)
{
    PolynomialRegression().fit(first, last, 2, coefficients);
}

double LSQ::value(double x) const
{
    if (coefficients.isEmpty())
        return std::numeric_limits<double>::quiet_NaN();
    double result = 0;
    for (int i = coefficients.size() - 1; i >= 0; --i)
        result = result * x + coefficients.at(i);
    return result;
}

} // namespace Algos

namespace {

// Normal equations of a polynomial fit of order m, solved by Gaussian
// elimination with partial pivoting. The points come from `forEach`, which
// calls its argument with (x, y) for every point.
template <typename ForEach> bool solvePolynomial(ForEach forEach, int m, QVector<double> &out)
{
    if (m < 0)
        return false;
    const int cols = m + 2;
    QVector<double> powerSums(2 * m + 1, 0.0);
    QVector<double> rhs(m + 1, 0.0);
    int count = 0;
    forEach([&](double x, double y) {
        double p = 1;
        for (int j = 0; j <= 2 * m; ++j) {
            powerSums[j] += p;
            if (j <= m)
                rhs[j] += p * y;
            p *= x;
        }
        ++count;
    });
    if (count == 0)
        return false;

    QVector<QVector<double>> b(m + 1, QVector<double>(cols));
    for (int i = 0; i <= m; ++i) {
        for (int j = 0; j <= m; ++j)
            b[i][j] = powerSums[i + j];
        b[i][m + 1] = rhs[i];
    }
    for (int i = 0; i <= m; ++i) {
        int pivot = i;
        for (int k = i + 1; k <= m; ++k)
            if (std::abs(b[k][i]) > std::abs(b[pivot][i]))
                pivot = k;
        if (b[pivot][i] == 0)
            return false;
        std::swap(b[i], b[pivot]);
        for (int k = i + 1; k <= m; ++k) {
            const double t = b[k][i] / b[i][i];
            for (int j = i; j < cols; ++j)
                b[k][j] -= t * b[i][j];
        }
    }
    QVector<double> a(m + 1, 0.0);
    for (int i = m; i >= 0; --i) {
        double v = b[i][m + 1];
        for (int j = i + 1; j <= m; ++j)
            v -= b[i][j] * a[j];
        a[i] = v / b[i][i];
        if (!std::isfinite(a[i]))
            return false;
    }
    out = a;
    return true;
}

} // namespace

bool PolynomialRegression::fit(QVector<double> x, QVector<double> y, const int &order, QVector<double> &out)
{
    if (x.size() != y.size())
        throw std::runtime_error("The size of x & y arrays are different");
    return solvePolynomial(
        [&](auto &&add) {
            for (int i = 0; i < x.size(); ++i)
                add(x.at(i), y.at(i));
        },
        order, out);
}

bool PolynomialRegression::fit(const QPointF *first, const QPointF *last, const int &order, QVector<double> &out)
{
    return solvePolynomial(
        [&](auto &&add) {
            for (auto *p = first; p && p < last; ++p)
                add(p->x(), p->y());
        },
        order, out);
}

bool PolynomialRegression::fit(
    const QCPCurveData *first, const QCPCurveData *last, const int &order, QVector<double> &out)
{
    return solvePolynomial(
        [&](auto &&add) {
            for (auto *p = first; p && p < last; ++p)
                add(p->key, p->value);
        },
        order, out);
}
