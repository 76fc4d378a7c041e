#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class InfoWindow;
}

// The modal "О программе" window: the program's version for the instrument's
// device type and the maker's contact lines. The version is read from the
// settings each time a window is built.
class InfoWindow : public QDialog {
    Q_OBJECT

public:
    explicit InfoWindow(QWidget *parent = nullptr);
    ~InfoWindow() override;

private:
    void setupContent();

    std::unique_ptr<Ui::InfoWindow> ui;
};
