#pragma once

#include "measurements/measurement.h"
#include "measurements/reperpoint.h"
#include "plot/plotwidget.h"

#include <QMouseEvent>
#include <QSet>
#include <functional>

// A measurement kind for framework tests. Its value is the length of its first
// segment (end - begin); after each calculation its reference points sit on
// the first and the last point of that segment. A left press ends placing once
// every segment is selected (at once when needsSegment is false), as the
// segment kinds do. Hooks let a test look at the state a handler sees.
class FakeMeasurement : public Measurement {
public:
    FakeMeasurement(
        int type, PlotWidget *plot, int reperPointCount = 0, const QString &caption = QStringLiteral("Фейк"))
        : Measurement(type, plot, reperPointCount)
        , caption(caption)
    {
        live().insert(this);
        addConnection(connect(plot, &QCustomPlot::mousePress, this, [this](QMouseEvent *e) {
            if (onPress)
                onPress(e);
            if (finishOnPress && e->button() == Qt::LeftButton && (!needsSegment || allSegmentsSelected()))
                finish();
        }));
    }
    ~FakeMeasurement() override
    {
        if (!live().remove(this))
            ++doubleDeletes();
        ++deletedCount();
    }

    QString name() const override { return caption; }
    QString valueText() const override { return QString::number(m_value, 'f', 4) + QStringLiteral("мм"); }
    double value() const override { return m_value; }
    QString groupName() const override { return QStringLiteral("Тест"); }
    void setLargeFont(bool large) override { largeFont = large; }
    void updateLabel() override { shownLabel = labelText; }
    void setHighlighted(bool on) override { highlighted = on; }
    void updateSettings() override { ++settingsUpdates; }
    double nominal() const override { return nominalValue; }
    double tolerance() const override { return toleranceValue; }

    void calculate() override
    {
        ++calculateCount;
        if (onCalculate)
            onCalculate();
        const SegmentSelection *s = segments.isEmpty() ? nullptr : &segments.first();
        if (!s || !s->curve || fixedValue)
            return;
        m_value = double(s->end) - double(s->begin);
        const auto data = s->curve->data();
        if (data->isEmpty())
            return;
        const int last = int(qMin<quint64>(qMax<quint64>(s->end, 1) - 1, quint64(data->size() - 1)));
        const int first = int(qMin<quint64>(s->begin, quint64(last)));
        const int ends[2] = { first, last };
        for (int i = 0; i < reperPoints.size() && i < 2; ++i) {
            const QCPCurveData &p = *(data->constBegin() + ends[i]);
            setReperPoint(i, QPointF(p.key, p.value));
        }
    }

    void finish()
    {
        if (finished)
            return;
        finishMeasurement();
        Q_EMIT measumentFinished();
    }
    void setValue(double v)
    {
        m_value = v;
        fixedValue = true;
    }

    // Measurements alive and deletions counted over the whole test program.
    static QSet<FakeMeasurement *> &live()
    {
        static QSet<FakeMeasurement *> set;
        return set;
    }
    static int &deletedCount()
    {
        static int n = 0;
        return n;
    }
    static int &doubleDeletes()
    {
        static int n = 0;
        return n;
    }

    QString caption;
    bool needsSegment = true;
    bool finishOnPress = true;
    bool fixedValue = false;
    double m_value = 0;
    double nominalValue = 0;
    double toleranceValue = 1;
    // Line elements: [slope, offset], a vertical line [0, x].
    QVector<double> coefficients;
    int calculateCount = 0;
    int settingsUpdates = 0;
    bool largeFont = false;
    bool highlighted = true;
    QString shownLabel;
    std::function<void()> onCalculate;
    std::function<void(QMouseEvent *)> onPress;
};
