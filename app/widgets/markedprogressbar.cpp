#include "widgets/markedprogressbar.h"

#include <QPainter>

MarkedProgressBar::MarkedProgressBar(QWidget *parent)
    : QProgressBar(parent)
{
}

void MarkedProgressBar::paintEvent(QPaintEvent *event)
{
    QProgressBar::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QBrush(Qt::red), 2));
    const int middle = height() / 2;
    painter.drawLine(0, middle, width(), middle);
}
