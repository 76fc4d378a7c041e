#pragma once

#include <QDialog>

// The dialog "Калибровка" that asks for the reference Ra (µm) of the
// roughness standard of a profile instrument. "Принять" stores the value in
// the settings, saves them and accepts; "Отмена" rejects and stores nothing.
class CalibRaDialog : public QDialog {
    Q_OBJECT

public:
    explicit CalibRaDialog(QWidget *parent = nullptr);
};
