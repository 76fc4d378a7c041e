#include "device/termitedialog.h"

#include "device/device.h"
#include "ui_termitedialog.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

TermiteDialog::TermiteDialog(QWidget *parent, Device *device)
    : QDialog(parent)
    , flushTimer(new QTimer(this))
    , ui(new Ui::TermiteDialog)
{
    ui->setupUi(this);
    ui->startPushButton->setEnabled(false);
    ui->displayPlainTextEdit->setReadOnly(true);

    flushTimer->setInterval(100);
    connect(flushTimer, &QTimer::timeout, this, &TermiteDialog::flushBuffer);
    flushTimer->start();

    if (device)
        connect(device, &Device::rowDataFromDevice, this, &TermiteDialog::onRowDataFromDevice);
    connect(ui->enterPushButton, &QPushButton::released, this, [this, device] { onEnterReleased(device); });
    connect(ui->enterTextEdit, &QTextEdit::textChanged, this, &TermiteDialog::onEnterTextChanged);
    connect(ui->stopPushButton, &QPushButton::released, this, &TermiteDialog::onStopReleased);
    connect(ui->startPushButton, &QPushButton::released, this, &TermiteDialog::onStartReleased);
    connect(ui->clearPushButton, &QPushButton::released, this, &TermiteDialog::onClearReleased);
}

TermiteDialog::~TermiteDialog()
{
    delete ui;
    flushTimer->stop();
    flushTimer->deleteLater();
}

void TermiteDialog::onRowDataFromDevice(const QString &data)
{
    // While capturing is off incoming text is dropped, not held back.
    if (capturing)
        buffer.append(data);
}

static void scrollToEnd(QPlainTextEdit *display)
{
    QScrollBar *bar = display->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void TermiteDialog::flushBuffer()
{
    if (buffer.isEmpty())
        return;
    QPlainTextEdit *display = ui->displayPlainTextEdit;
    display->moveCursor(QTextCursor::End);
    display->insertPlainText(buffer);
    scrollToEnd(display);
    buffer.clear();
}

void TermiteDialog::onStopReleased()
{
    ui->stopPushButton->setEnabled(false);
    ui->startPushButton->setEnabled(true);
    capturing = false;
}

void TermiteDialog::onStartReleased()
{
    ui->startPushButton->setEnabled(false);
    ui->stopPushButton->setEnabled(true);
    capturing = true;
}

void TermiteDialog::onClearReleased()
{
    ui->displayPlainTextEdit->clear();
}

void TermiteDialog::onEnterReleased(Device *device)
{
    const QString text = ui->enterTextEdit->toPlainText();
    if (text.isEmpty())
        return;
    // A line holding nothing but line feeds is no command: the input is
    // cleared (the operator pressed Enter) and nothing is sent or echoed.
    QString command = text;
    command.remove(QLatin1Char('\n'));
    if (command.isEmpty()) {
        ui->enterTextEdit->clear();
        return;
    }

    if (device)
        device->sendRawText(text);

    QString echo = text;
    if (!echo.contains(QLatin1Char('\n')))
        echo.append(QLatin1Char('\n'));
    QPlainTextEdit *display = ui->displayPlainTextEdit;
    display->insertPlainText(echo);
    scrollToEnd(display);
    ui->enterTextEdit->clear();
}

void TermiteDialog::onEnterTextChanged()
{
    // Enter in the input sends the typed line without its line feed.
    if (ui->enterTextEdit->toPlainText().contains(QLatin1Char('\n')))
        ui->enterPushButton->click();
}
