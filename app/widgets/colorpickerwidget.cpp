#include "widgets/colorpickerwidget.h"

#include "widgets/prompts.h"

#include <QMouseEvent>
#include <QPainter>

ColorPickerWidget::ColorPickerWidget(QWidget *parent)
    : QWidget(parent)
{
    // Keeps the size it was created with, so layouts do not stretch it.
    setFixedSize(width(), height());
}

void ColorPickerWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QColor chosen = Prompts::instance().getColor(color, this, QStringLiteral("Выбор цвета"));
    if (!chosen.isValid())
        return;
    color = chosen;
    update();
    Q_EMIT colorChanged(color);
}

void ColorPickerWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setBrush(QBrush(color, Qt::SolidPattern));
    painter.drawRect(0, 0, width() - 1, height() - 1);
}
