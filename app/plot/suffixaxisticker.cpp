#include "plot/suffixaxisticker.h"

QString SuffixAxisTicker::getTickLabel(double tick, const QLocale &locale, QChar formatChar, int precision)
{
    return QCPAxisTicker::getTickLabel(tick, locale, formatChar, precision) + mTickLabelSuffix;
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
