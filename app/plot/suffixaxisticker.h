#pragma once

#include <QString>
#include <qcustomplot.h>

// The default ticker with a text appended to every tick label, so that the
// display unit ("мм", "мкм", "нм") can follow each number on an axis. In the
// fixed-point format the axis's precision is a minimum: ticks closer together
// than it can show get as many more decimals as their step needs, so that a
// profile of a few micrometres on a millimetre axis does not read
// "0,003 0,003 0,002 0,002".
class SuffixAxisTicker : public QCPAxisTicker {
public:
    SuffixAxisTicker() = default;

    QString tickLabelSuffix() const { return mTickLabelSuffix; }
    void setTickLabelSuffix(const QString &suffix) { mTickLabelSuffix = suffix; }

protected:
    QString getTickLabel(double tick, const QLocale &locale, QChar formatChar, int precision) override;
    QVector<QString> createLabelVector(
        const QVector<double> &ticks, const QLocale &locale, QChar formatChar, int precision) override;

private:
    QString mTickLabelSuffix;
};

// The decimals, from precision up, with which every tick is written exactly
// (to a thousandth of the smallest step between ticks). The search ends at
// the last decimal a double holds for the largest tick (17 significant
// digits), so that a nearly flat trace still gets distinct labels.
int tickDecimals(const QVector<double> &ticks, int precision);

// Sets the suffix of the axis's ticker when it is a SuffixAxisTicker; returns
// whether it was (an axis given another ticker keeps its labels as they are).
bool setTickLabelSuffix(QCPAxis *axis, const QString &suffix);
