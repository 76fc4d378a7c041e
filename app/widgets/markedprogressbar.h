#pragma once

#include <QProgressBar>

// A progress bar with a red line across the middle of its height; the control
// panel's vertical position bar, where the line marks the centre of the range.
class MarkedProgressBar : public QProgressBar {
    Q_OBJECT

public:
    explicit MarkedProgressBar(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
