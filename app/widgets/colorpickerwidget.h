#pragma once

#include <QColor>
#include <QWidget>

// A colour swatch: filled with its colour inside a black outline; a left
// click asks for a new colour ("Выбор цвета") and takes the one chosen.
class ColorPickerWidget : public QWidget {
    Q_OBJECT

public:
    explicit ColorPickerWidget(QWidget *parent = nullptr);

    // Red until the owner or the operator sets it; setting it directly emits nothing.
    QColor color = Qt::red;

Q_SIGNALS:
    void colorChanged(QColor color);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
