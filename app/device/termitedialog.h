#pragma once

#include <QDialog>
#include <QString>

class Device;
class QTimer;

namespace Ui {
class TermiteDialog;
}

// A raw serial terminal for service work: the typed command goes to the
// instrument unchanged except for its line feeds, and an echo of what was
// sent is shown in a read-only display. Text that arrives through
// Device::rowDataFromDevice while capturing is on is collected and flushed
// into the display every 100 ms.
class TermiteDialog : public QDialog {
    Q_OBJECT

public:
    TermiteDialog(QWidget *parent, Device *device);
    ~TermiteDialog() override;

private:
    void onRowDataFromDevice(const QString &data);
    void flushBuffer();
    void onStopReleased();
    void onStartReleased();
    void onClearReleased();
    void onEnterReleased(Device *device);
    void onEnterTextChanged();

    bool capturing = true;
    QString buffer;
    QTimer *flushTimer;
    Ui::TermiteDialog *ui;
};
