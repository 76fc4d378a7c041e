#pragma once

#include <QObject>

// Turns the period key and the other characters of the period and slash keys
// on the Latin and Cyrillic layouts (".?/юЮбБ<>") into a comma key press, so
// a decimal number is typed the same way whatever layout is active. Install
// it on the widget whose keys it converts; it lives as a child of that widget.
class DotToCommaFilter : public QObject {
    Q_OBJECT

public:
    explicit DotToCommaFilter(QObject *parent);

    bool eventFilter(QObject *watched, QEvent *event) override;
};
