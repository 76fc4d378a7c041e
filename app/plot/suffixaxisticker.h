#pragma once

#include <QString>
#include <qcustomplot.h>

// The default ticker with a text appended to every tick label, so that the
// display unit ("мм", "мкм", "нм") can follow each number on an axis.
class SuffixAxisTicker : public QCPAxisTicker {
public:
    SuffixAxisTicker() = default;

    QString tickLabelSuffix() const { return mTickLabelSuffix; }
    void setTickLabelSuffix(const QString &suffix) { mTickLabelSuffix = suffix; }

protected:
    QString getTickLabel(double tick, const QLocale &locale, QChar formatChar, int precision) override;

private:
    QString mTickLabelSuffix;
};

// Sets the suffix of the axis's ticker when it is a SuffixAxisTicker; returns
// whether it was (an axis given another ticker keeps its labels as they are).
bool setTickLabelSuffix(QCPAxis *axis, const QString &suffix);
