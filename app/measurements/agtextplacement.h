#pragma once

#include "measurements/measurement.h"

#include <QPointer>

class QCPItemText;
class QMouseEvent;
class QWidget;

// Kind 32: a free text label. A left release on the plot asks for the text;
// an accepted, non-empty text is placed at the release point and ends
// placing. A cancelled or empty entry leaves the label waiting for the next
// release.
class AgTextPlacement : public Measurement {
    Q_OBJECT
public:
    AgTextPlacement(QWidget *dialogParent, PlotWidget *plot);
    ~AgTextPlacement() override;

    QString name() const override { return caption; }
    QString valueText() const override { return QString(); }
    double value() const override { return 0.0; }
    void calculate() override { }
    QString groupName() const override;
    void setLargeFont(bool large) override;
    void updateLabel() override { }
    void updateSelectionMarker() override;
    void setHighlighted(bool) override { }

    QCPItemText *textItem;
    QString caption;

private:
    void onPlotMouseRelease(QMouseEvent *event, QWidget *dialogParent);
};
