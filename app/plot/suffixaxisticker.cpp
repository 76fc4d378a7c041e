#include "plot/suffixaxisticker.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Far beyond any axis of the program; bounds the label length of ticks near 0.
constexpr int kMostTickDecimals = 40;
} // namespace

QString SuffixAxisTicker::getTickLabel(double tick, const QLocale &locale, QChar formatChar, int precision)
{
    return QCPAxisTicker::getTickLabel(tick, locale, formatChar, precision) + mTickLabelSuffix;
}

QVector<QString> SuffixAxisTicker::createLabelVector(
    const QVector<double> &ticks, const QLocale &locale, QChar formatChar, int precision)
{
    if (formatChar == QLatin1Char('f'))
        precision = tickDecimals(ticks, precision);
    return QCPAxisTicker::createLabelVector(ticks, locale, formatChar, precision);
}

int tickDecimals(const QVector<double> &ticks, int precision)
{
    precision = std::max(precision, 0);
    double step = std::numeric_limits<double>::infinity();
    for (int i = 1; i < ticks.size(); ++i) {
        const double d = std::abs(ticks.at(i) - ticks.at(i - 1));
        if (d > 0)
            step = std::min(step, d);
    }
    if (!std::isfinite(step))
        return precision;
    // A double holds 17 significant digits: decimals beyond those of the
    // largest tick cannot tell ticks apart, so the search ends there.
    double largest = 0;
    for (double tick : ticks)
        largest = std::max(largest, std::abs(tick));
    const int leading = largest > 0 ? int(std::floor(std::log10(largest))) : 0;
    const int most = std::max(precision, std::min(16 - leading, kMostTickDecimals));
    for (int decimals = precision; decimals < most; ++decimals) {
        const double scale = std::pow(10.0, decimals);
        const bool exact = std::all_of(ticks.cbegin(), ticks.cend(),
            [&](double tick) { return std::abs(std::round(tick * scale) / scale - tick) <= step * 1e-3; });
        if (exact)
            return decimals;
    }
    return most;
}

bool setTickLabelSuffix(QCPAxis *axis, const QString &suffix)
{
    if (!axis)
        return false;
    const auto ticker = qSharedPointerDynamicCast<SuffixAxisTicker>(axis->ticker());
    if (!ticker)
        return false;
    ticker->setTickLabelSuffix(suffix);
    return true;
}
