#include "widgets/devicecontrolwidget.h"
#include "ui_devicecontrolwidget.h"

#include "dataproviders/devicedataprovider.h"
#include "device/deviceport.h"
#include "settings/common.h"
#include "widgets/calibradialog.h"
#include "widgets/keyreceiver.h"
#include "widgets/loader.h"
#include "widgets/prompts.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QIcon>
#include <QPointer>
#include <QPropertyAnimation>
#include <QTimer>

namespace {

// The longest trace (mm) the panel allows at a speed index; indices 2 and 3
// allow the spin box's whole range.
constexpr int kMaxLengthAtSlowest = 10;
constexpr int kMaxLengthAtSlow = 20;

} // namespace

DeviceControlWidget::DeviceControlWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::DeviceControlWidget)
    , isTracing(false)
    , calibrationRequested(false)
    , opacityEffect(nullptr)
    , fadeAnimation(nullptr)
    , keyReceiver(nullptr)
{
    ui->setupUi(this);

    ui->progressBar->setRange(0, 1);
    ui->stopTraceButton->setEnabled(false);

    ui->speedComboBox->clear();
    for (int i = 0; i < 4; ++i)
        ui->speedComboBox->addItem(kSpeedNames.value(i), i);

    const Settings &settings = Settings::instance();
    ui->speedComboBox->setCurrentIndex(settings.speedIndex());
    ui->filterComboBox->setCurrentIndex(settings.filterIndex());
    ui->traceLengthSpinBox->setValue(settings.trace_length);

    ui->additionalTracePushButton->setEnabled(false);
    ui->warningMessageLabel->clear();
    ui->calibPushButton->hide();

    keyReceiver = new KeyReceiver(nullptr);

    applyDeviceTypeLayout();
    connectSignals();
}

DeviceControlWidget::~DeviceControlWidget()
{
    // Deleting the receiver also removes it from the application's filters,
    // so its map never outlives the buttons.
    delete keyReceiver;
    delete ui;
}

void DeviceControlWidget::connectSignals()
{
    const auto indexChanged = QOverload<int>::of(&QComboBox::currentIndexChanged);

    connect(keyReceiver, &KeyReceiver::ctrlStateChanged, this, &DeviceControlWidget::onCtrlStateChanged);
    connect(ui->speedComboBox, indexChanged, this, &DeviceControlWidget::onSpeedChanged);
    connect(&device, &Device::deviceOpened, this, &DeviceControlWidget::onDeviceOpened);
    connect(&device, &Device::deviceLost, this, &DeviceControlWidget::onDeviceLost);
    connect(ui->speedComboBox, indexChanged, this, &DeviceControlWidget::onSpeedIndexToDevice);
    connect(&device, &Device::prepareTrace, this, &DeviceControlWidget::onPrepareTrace);
    connect(&device, &Device::dataReset, this, [this] { Q_EMIT dataReset(); });
    connect(
        ui->additionalTracePushButton, &QPushButton::released, this, &DeviceControlWidget::onAdditionalTraceReleased);
    connect(ui->startTraceButton, &QPushButton::released, this, &DeviceControlWidget::onStartTraceReleased);
    // The instrument's start key acts whether or not the button is enabled.
    connect(&device, &Device::pushButtonStartTrace, this, [this] { Q_EMIT ui->startTraceButton->released(); });
    connect(ui->stopTraceButton, &QPushButton::released, this, &DeviceControlWidget::onStopTraceReleased);
    connect(&device, &Device::pushButtonStopTrace, this, &DeviceControlWidget::onDeviceStopTrace);
    connect(&device, &Device::crashDevice, this, &DeviceControlWidget::onAcquisitionEnded);
    connect(&device, &Device::normalStatus, this, &DeviceControlWidget::onAcquisitionEnded);
    connect(&device, &Device::needCalibration, this, &DeviceControlWidget::onNeedCalibration);

    connectJogButton(ui->xplusButton, "Spine_right_red.png", "Spine_right_black.png", &Device::moveX, 1);
    connectJogButton(ui->xminusButton, "Spine_left_red.png", "Spine_left_black.png", &Device::moveX, -1);
    connectJogButton(ui->yplusButton, "table_fwd_red.png", "table_fwd_black.png", &Device::moveY, 1);
    connectJogButton(ui->yminusButton, "table_back_red.png", "table_back_black.png", &Device::moveY, -1);
    connectJogButton(ui->zplusButton, "kontur_up_red.png", "kontur_up_black.png", &Device::moveZ, 1);
    connectJogButton(ui->zminusButton, "kontur_down_red.png", "kontur_down_black.png", &Device::moveZ, -1);

    connect(ui->autoMinMaxCalibButton, &QPushButton::pressed, &device, &Device::autoMinMaxCalib);
    connect(ui->filterComboBox, indexChanged, this, &DeviceControlWidget::setFilterIndex);
    connect(ui->traceLengthSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
        &DeviceControlWidget::onTraceLengthChanged);
    connect(ui->calibrationPushButton, &QPushButton::released, this, [this] { device.calibration(); });
    connect(ui->calibPushButton, &QPushButton::released, this, &DeviceControlWidget::onCalibPushButtonPressed);
    auto *statusTimer = new QTimer(this);
    connect(statusTimer, &QTimer::timeout, this, &DeviceControlWidget::onStatusTimer);
    connect(&device, &Device::deleteAllTrace, this, [this] { Q_EMIT deleteAllTrace(); });
    statusTimer->start(kStatusIntervalMs);
    connect(&device, &Device::setBarValue, this, &DeviceControlWidget::onBarValue);
    connect(&device, &Device::newDeviceType, this, &DeviceControlWidget::onDeviceTypeChanged);
    connect(&device, &Device::openLoader, this, &DeviceControlWidget::onOpenLoader);
    connect(&device, &Device::setStatusProgressBar, this,
        [this](int status, QString statusName) { Q_EMIT setStatusProgressBar(status, statusName); });
    connect(qApp, &QApplication::focusChanged, this, &DeviceControlWidget::onFocusChanged);
}

// Qt hands the focus of a widget being disabled or hidden (a button locked
// at a trace's start or end, a row of the trace list) to the next widget of
// the tab chain. Where that is a field or a list, it would take the keys
// meant for the instrument and a typed key would change it; the panel takes
// the focus instead.
void DeviceControlWidget::onFocusChanged(QWidget *old, QWidget *now)
{
    if (!old || !now || (old->isEnabled() && old->isVisible()) || now->window() != window()
        || !KeyReceiver::takesTypedKeys(now))
        return;
    if (isEnabled() && isVisible())
        setFocus(Qt::OtherFocusReason);
    else
        now->clearFocus();
}

// A jog button shows its red icon and moves its axis while held; released,
// it shows the black icon again and stops the axis.
void DeviceControlWidget::connectJogButton(
    QAbstractButton *button, const char *redIcon, const char *blackIcon, void (Device::*move)(int), int direction)
{
    const QString iconFolder = QStringLiteral(":/icons/icons/");
    const QIcon red(iconFolder + QLatin1String(redIcon));
    const QIcon black(iconFolder + QLatin1String(blackIcon));
    connect(button, &QAbstractButton::pressed, this, [this, button, red, move, direction] {
        button->setIcon(red);
        (device.*move)(direction);
    });
    connect(button, &QAbstractButton::released, this, [this, button, black, move] {
        button->setIcon(black);
        (device.*move)(0);
    });
}

void DeviceControlWidget::setFilterIndex(int index)
{
    Settings &settings = Settings::instance();
    settings.spinbox_filter_length_index = index;
    device.setFilter(index);
    settings.save();
    // A change of the list's index runs this once more through its signal.
    ui->filterComboBox->setCurrentIndex(index);
}

double DeviceControlWidget::currentSpeed()
{
    return kTraceSpeedValues.value(ui->speedComboBox->currentIndex(), 0.0);
}

void DeviceControlWidget::applySettings(int needlePressing, int pressingPower)
{
    device.changePresingPower(MovementSettings::E_NEEDLE_PRESSING(needlePressing), pressingPower);
    device.changeResolutionScaling();
}

KeyReceiver *DeviceControlWidget::setupKeyReceiver()
{
    QMap<int, QAbstractButton *> map {
        { Qt::Key_Left, ui->xminusButton },
        { Qt::Key_Right, ui->xplusButton },
        { Qt::Key_Space, ui->stopTraceButton },
        { Qt::Key_Return, ui->startTraceButton },
    };

    // The arrow keys drive the pair in column 1 of the jog grid, Page Up and
    // Page Down the pair in column 5.
    const bool alternative = Settings::instance().alternative_managment;
    QPushButton *arrowsUp = alternative ? ui->yplusButton : ui->zplusButton;
    QPushButton *arrowsDown = alternative ? ui->yminusButton : ui->zminusButton;
    QPushButton *pagesUp = alternative ? ui->zplusButton : ui->yplusButton;
    QPushButton *pagesDown = alternative ? ui->zminusButton : ui->yminusButton;
    for (QPushButton *button : { arrowsUp, arrowsDown, pagesUp, pagesDown })
        ui->gridLayout->removeWidget(button);
    ui->gridLayout->addWidget(arrowsUp, 1, 1);
    ui->gridLayout->addWidget(arrowsDown, 3, 1);
    ui->gridLayout->addWidget(pagesUp, 1, 5);
    ui->gridLayout->addWidget(pagesDown, 3, 5);
    map.insert(Qt::Key_Up, arrowsUp);
    map.insert(Qt::Key_Down, arrowsDown);
    map.insert(Qt::Key_PageUp, pagesUp);
    map.insert(Qt::Key_PageDown, pagesDown);

    keyReceiver->keyMap = map;
    // The stop key stops a trace whatever widget has the focus; the start
    // key starts one only on a release the program saw.
    keyReceiver->priorityKeys = { Qt::Key_Space };
    keyReceiver->releaseActionKeys = { Qt::Key_Return };
    return keyReceiver;
}

void DeviceControlWidget::setDeviceType(int type)
{
    device.setDeviceType(type);
    ui->progressBar->setMaximum(1);
}

void DeviceControlWidget::changePressingPower(MovementSettings::E_NEEDLE_PRESSING needlePressing, int pressingPorwer)
{
    device.changePresingPower(needlePressing, pressingPorwer);
}

void DeviceControlWidget::setMMPerRotation(double value)
{
    device.setMMPerRotation(value);
}

void DeviceControlWidget::setEnableAdditionalTraceButton(bool enabled)
{
    ui->additionalTracePushButton->setEnabled(enabled);
}

void DeviceControlWidget::onCalibPushButtonPressed()
{
    // Ctrl as the keyboard holds it at the click: a Ctrl release that went
    // to a dialog or to another program must not leave the reset armed.
    const bool ctrl = KeyReceiver::ctrlHeld();
    onCtrlStateChanged(ctrl);
    if (ctrl)
        device.resetCalibration();
    else
        openCalibRaDialog();
}

void DeviceControlWidget::onOpenLoader(QString name)
{
    // The modal busy window starts its event loop only after the report that
    // asked for it has been handled.
    QMetaObject::invokeMethod(
        this, [this, name] { onShowLoader(name); }, Qt::QueuedConnection);
}

void DeviceControlWidget::onShowLoader(QString name)
{
    QPointer<Loader> loader = new Loader(this, name);
    loader->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    connect(loader, &Loader::loaderCanceled, this, &DeviceControlWidget::onLoaderCanceled);
    Prompts::instance().execDialog(loader);
    if (loader) {
        loader->close();
        delete loader;
    }
}

void DeviceControlWidget::onLoaderCanceled()
{
    unlockControls();
    Q_EMIT unlockButtons();
    device.cancelOperation();
}

void DeviceControlWidget::openCalibRaDialog()
{
    QPointer<CalibRaDialog> dialog = new CalibRaDialog(this);
    const int result = Prompts::instance().execDialog(dialog);
    delete dialog;
    if (result == QDialog::Accepted)
        device.calibration();
}

void DeviceControlWidget::applyDeviceTypeLayout()
{
    const bool profile = device.deviceType() == PROFILE;
    for (QWidget *w :
        std::initializer_list<QWidget *> { ui->xplusButton, ui->xminusButton, ui->yplusButton, ui->yminusButton,
            ui->zplusButton, ui->zminusButton, ui->autoMinMaxCalibButton, ui->calibrationPushButton })
        w->setVisible(!profile);
    for (QWidget *w : std::initializer_list<QWidget *> { ui->traceLengthSpinBox, ui->traceLengthLabel,
             ui->filterComboBox, ui->filterLabel, ui->additionalTracePushButton, ui->calibPushButton })
        w->setVisible(profile);
}

// Every control an acquisition locks, the speed list apart.
QList<QWidget *> DeviceControlWidget::lockedControls() const
{
    return { ui->startTraceButton, ui->additionalTracePushButton, ui->xplusButton, ui->xminusButton, ui->yplusButton,
        ui->yminusButton, ui->zplusButton, ui->zminusButton, ui->autoMinMaxCalibButton, ui->stopTraceButton,
        ui->traceLengthSpinBox, ui->traceLengthLabel, ui->filterComboBox, ui->filterLabel, ui->calibPushButton,
        ui->calibrationPushButton };
}

void DeviceControlWidget::lockControls()
{
    for (QWidget *w : lockedControls())
        w->setEnabled(false);
    // A contour instrument's speed may still be changed during a trace.
    if (device.deviceType() == PROFILE) {
        ui->speedComboBox->setEnabled(false);
        ui->speedLabel->setEnabled(false);
    }
}

void DeviceControlWidget::unlockControls()
{
    for (QWidget *w : lockedControls())
        w->setEnabled(true);
    ui->speedComboBox->setEnabled(true);
    ui->speedLabel->setEnabled(true);
}

void DeviceControlWidget::showNotification(QString text)
{
    ui->warningMessageLabel->setText("<font color='red'>" + text + "</font>");
    ui->warningMessageLabel->show();
    if (!opacityEffect) {
        opacityEffect = new QGraphicsOpacityEffect(ui->warningMessageLabel);
        ui->warningMessageLabel->setGraphicsEffect(opacityEffect);
    }
    if (fadeAnimation) {
        fadeAnimation->stop();
        fadeAnimation->deleteLater();
        fadeAnimation = nullptr;
    }
    opacityEffect->setOpacity(1.0);
    QTimer::singleShot(kNotificationMs, this, &DeviceControlWidget::onNotificationTimeout);
}

void DeviceControlWidget::onNotificationTimeout()
{
    // Two notifications less than the display time apart: the earlier
    // call's timer has already started a fade; this one takes its place.
    if (fadeAnimation) {
        fadeAnimation->stop();
        fadeAnimation->deleteLater();
    }
    fadeAnimation = new QPropertyAnimation(opacityEffect, "opacity", this);
    fadeAnimation->setDuration(kFadeMs);
    fadeAnimation->setStartValue(1.0);
    fadeAnimation->setEndValue(0.0);
    fadeAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    fadeAnimation->start();
    connect(fadeAnimation, &QPropertyAnimation::finished, this, &DeviceControlWidget::onNotificationFaded);
}

void DeviceControlWidget::onNotificationFaded()
{
    ui->warningMessageLabel->hide();
    opacityEffect->setOpacity(1.0);
    if (fadeAnimation) {
        fadeAnimation->deleteLater();
        fadeAnimation = nullptr;
    }
}

void DeviceControlWidget::onCtrlStateChanged(bool pressed)
{
    ui->calibPushButton->setText(pressed ? QStringLiteral("Сброс доп. калибровки") : QStringLiteral("Калибровка"));
}

void DeviceControlWidget::onSpeedChanged(int index)
{
    Settings &settings = Settings::instance();
    settings.current_speed = index;
    settings.save();
    const int length = ui->traceLengthSpinBox->value();
    int allowed = length;
    if (index == 0 && length > kMaxLengthAtSlowest)
        allowed = kMaxLengthAtSlowest;
    else if (index == 1 && length > kMaxLengthAtSlow)
        allowed = kMaxLengthAtSlow;
    if (allowed != length) {
        ui->traceLengthSpinBox->setValue(allowed);
        showNotification(QStringLiteral("Длина трассы была изменена"));
    }
}

void DeviceControlWidget::onSpeedIndexToDevice(int index)
{
    device.setSpeed(index);
    ui->speedComboBox->clearFocus();
}

void DeviceControlWidget::onTraceLengthChanged(int length)
{
    Settings &settings = Settings::instance();
    settings.trace_length = length;
    device.setTraceLength(length);
    settings.save();
    const int speed = ui->speedComboBox->currentIndex();
    int needed = speed;
    if (length > kMaxLengthAtSlow && (speed == 0 || speed == 1))
        needed = 2;
    else if (length > kMaxLengthAtSlowest && speed == 0)
        needed = 1;
    if (needed != speed) {
        ui->speedComboBox->setCurrentIndex(needed);
        showNotification(QStringLiteral("Скорость была изменена"));
    }
}

void DeviceControlWidget::onDeviceOpened()
{
    Q_EMIT statusBarText("Устройство " + QString::fromStdString(device.port()->portName()) + " соединено");
    device.setSpeed(0);
    setEnabled(true);
    Q_EMIT enableFastSettings(true);
}

void DeviceControlWidget::onDeviceLost()
{
    Q_EMIT statusBarText(QStringLiteral("Устройство не найдено"));
    setEnabled(false);
    Q_EMIT enableFastSettings(false);
}

void DeviceControlWidget::onPrepareTrace()
{
    if (isTracing)
        return;
    lockControls();
    Q_EMIT lockButtons();
}

void DeviceControlWidget::sendTraceParameters()
{
    device.setSpeed(ui->speedComboBox->currentIndex());
    device.setFilter(ui->filterComboBox->currentIndex());
    device.setTraceLength(ui->traceLengthSpinBox->value());
}

bool DeviceControlWidget::portOpen() const
{
    return device.port()->isOpen();
}

void DeviceControlWidget::startAcquisition(E_ANALISIS_TYPE type)
{
    if (isTracing || !portOpen())
        return;
    lockControls();
    Q_EMIT lockButtons();
    isTracing = true;
    device.startTrace(true);
    ui->stopTraceButton->setEnabled(true);
    Q_EMIT newTrace(new DeviceDataProvider(&device), type);
}

void DeviceControlWidget::onStartTraceReleased()
{
    sendTraceParameters();
    if (calibrationRequested) {
        device.calibration();
        ui->startTraceButton->setText(QStringLiteral("Трасса"));
        calibrationRequested = false;
        return;
    }
    startAcquisition(device.type());
}

void DeviceControlWidget::onAdditionalTraceReleased()
{
    sendTraceParameters();
    startAcquisition(ADDITIONAL_TRACE);
}

void DeviceControlWidget::onStopTraceReleased()
{
    if (!isTracing || !portOpen())
        return;
    isTracing = false;
    if (isContourTraceKind(device.deviceType())) {
        unlockControls();
        Q_EMIT unlockButtons();
    }
    ui->stopTraceButton->setEnabled(false);
    device.stopTrace();
}

void DeviceControlWidget::onDeviceStopTrace()
{
    // The click does nothing while the panel is disabled (the port was lost
    // during the trace); the trace has ended all the same.
    ui->stopTraceButton->click();
    isTracing = false;
    unlockControls();
    Q_EMIT unlockButtons();
    ui->stopTraceButton->setEnabled(false);
}

void DeviceControlWidget::onAcquisitionEnded()
{
    isTracing = false;
    unlockControls();
    Q_EMIT unlockButtons();
    ui->stopTraceButton->setEnabled(false);
}

void DeviceControlWidget::onNeedCalibration()
{
    onAcquisitionEnded();
    ui->startTraceButton->setText(QStringLiteral("Калибровка"));
    calibrationRequested = true;
}

void DeviceControlWidget::onBarValue(int value)
{
    if (value > ui->progressBar->maximum())
        ui->progressBar->setMaximum(value);
    ui->progressBar->setValue(value);
}

void DeviceControlWidget::onDeviceTypeChanged(int type)
{
    applyDeviceTypeLayout();
    ui->progressBar->setMaximum(Common::isProfileDevice(type) ? 65535 : 1);
    Q_EMIT newDeviceType(type);
}

void DeviceControlWidget::onStatusTimer()
{
    DevicePort *port = device.port();
    if (!port->isRunning() || !port->isOpen())
        return;
    const QString head = "Устройство " + QString::fromStdString(port->portName());
    if (device.deviceType() == PROFILE) {
        Q_EMIT statusBarText(head + " с показателем z: " + QString::number(device.consoleHeight()));
        return;
    }
    const double x = device.xPosition() / 1000.0;
    const double z1 = device.probeHeight() / 1000.0;
    const double z2 = device.consoleHeight() / 1000000.0;
    QString text
        = head + " с показателями x: " + QString::number(x, 'g', 6) + "мм , z1: " + QString::number(z1, 'g', 6);
    if (z2 <= 0.001)
        text += " мм, z2: 0 мм";
    else
        text += " мм, z2: " + QString::number(z2, 'g', 6) + " мм";
    Q_EMIT statusBarText(text);
}
