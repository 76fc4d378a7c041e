#include "widgets/fastsettingswidget.h"

#include "ui_fastsettingswidget.h"

namespace {

bool sameConsole(const ConsoleParams &a, const ConsoleParams &b)
{
    return a.name == b.name && a.tool_head_radius_down == b.tool_head_radius_down
        && a.tool_head_radius_up == b.tool_head_radius_up && a.double_sided_probe_high == b.double_sided_probe_high
        && a.needle_bias == b.needle_bias && a.roughness_ratio == b.roughness_ratio;
}

// The current console's values become the calibration the instrument works with.
void activateCurrentConsole(Settings &s)
{
    s.tool_head_radius_down = s.current_console.tool_head_radius_down;
    s.tool_head_radius_up = s.current_console.tool_head_radius_up;
    s.double_sided_probe_high = s.current_console.double_sided_probe_high;
    s.needle_bias = s.current_console.needle_bias;
    s.roughness_ratio = s.current_console.roughness_ratio;
}

// What a refill of the lists can change in the settings.
bool sameCurrentEntries(const Settings &a, const Settings &b)
{
    return a.current_controller_name == b.current_controller_name && sameConsole(a.current_console, b.current_console)
        && a.tool_head_radius_down == b.tool_head_radius_down && a.tool_head_radius_up == b.tool_head_radius_up
        && a.double_sided_probe_high == b.double_sided_probe_high && a.needle_bias == b.needle_bias
        && a.roughness_ratio == b.roughness_ratio;
}

const QString kNoController = QStringLiteral("No name");
const QString kNoConsole = QStringLiteral("No console");

} // namespace

FastSettingsWidget::FastSettingsWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::FastSettingsWidget)
{
    loadSettings();
    connectSignals();
}

FastSettingsWidget::~FastSettingsWidget()
{
    delete ui;
}

void FastSettingsWidget::loadSettings()
{
    ui->setupUi(this);
    // Kept in the form for the instruments that had it; never shown.
    ui->mmPerRotationSpinBox->hide();
    ui->mmPerRotationLabel->hide();

    Settings &s = Settings::instance();
    ui->needlePressingComboBox->setCurrentIndex(s.needle_pressing);
    ui->mmPerRotationSpinBox->setValue(s.mm_per_rotation);
    ui->measurementModeComboBox->setCurrentIndex(s.measurement_mode);
    ui->traceFileNameLineEdit->setText(s.default_trace_file_name);
    setInerface(s.device_type);

    for (int i = 0; i < s.controllers.size(); ++i) {
        ui->controllersComboBox->addItem(s.controllers.at(i));
        if (s.controllers.at(i) == s.current_controller_name)
            ui->controllersComboBox->setCurrentIndex(i);
    }
    // A recorded controller that is not in the list (deleted, or gone from
    // the file) gives way to the one shown, the first, so that traces and
    // reports record the name the operator sees.
    if (!s.controllers.isEmpty() && !s.controllers.contains(s.current_controller_name)) {
        s.current_controller_name = s.controllers.first();
        s.save();
    }
    for (int i = 0; i < s.consoles.size(); ++i) {
        ui->consoleComboBox->addItem(s.consoles.at(i).name);
        if (sameConsole(s.consoles.at(i), s.current_console))
            ui->consoleComboBox->setCurrentIndex(i);
    }
}

void FastSettingsWidget::connectSignals()
{
    connect(ui->controllersComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &FastSettingsWidget::onControllerChanged);
    connect(ui->consoleComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &FastSettingsWidget::onConsoleChanged);
    connect(ui->needlePressingComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &FastSettingsWidget::onNeedlePressingChanged);
    connect(ui->mmPerRotationSpinBox, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
        &FastSettingsWidget::onMmPerRotationChanged);
    connect(ui->measurementModeComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &FastSettingsWidget::onMeasurementModeChanged);
    connect(ui->traceFileNameLineEdit, &QLineEdit::textChanged, this, &FastSettingsWidget::onTraceFileNameChanged);
}

void FastSettingsWidget::setEditorsEnabled(bool enabled)
{
    ui->needlePressingComboBox->setEnabled(enabled);
    ui->traceFileNameLineEdit->setEnabled(enabled);
    ui->controllersComboBox->setEnabled(enabled);
    ui->consoleComboBox->setEnabled(enabled);
    ui->measurementModeComboBox->setEnabled(enabled);
}

void FastSettingsWidget::lockButtons()
{
    setEditorsEnabled(false);
}

void FastSettingsWidget::unlockButtons()
{
    setEditorsEnabled(true);
}

void FastSettingsWidget::enableFastSettings(bool enable)
{
    setEnabled(enable);
}

void FastSettingsWidget::setInerface(int type)
{
    // A roughness-only instrument has one needle and one mode, and no consoles.
    const bool contourRows = type != 2;
    ui->needlePressingLabel->setVisible(contourRows);
    ui->needlePressingComboBox->setVisible(contourRows);
    ui->measurementModeLabel->setVisible(contourRows);
    ui->measurementModeComboBox->setVisible(contourRows);
    ui->consoleLabel->setVisible(contourRows);
    ui->consoleComboBox->setVisible(contourRows);
    ui->upperLabel->setVisible(!contourRows);
}

void FastSettingsWidget::onControllerChanged(int index)
{
    Settings &s = Settings::instance();
    if (index >= 0 && !s.controllers.isEmpty() && index < s.controllers.size()) {
        s.current_controller_name = s.controllers.at(index);
        if (!refilling)
            s.save();
    }
    ui->controllersComboBox->clearFocus();
}

void FastSettingsWidget::onConsoleChanged(int index)
{
    Settings &s = Settings::instance();
    const int current = ui->consoleComboBox->currentIndex();
    if (index >= 0 && !s.consoles.isEmpty() && current >= 0 && current < s.consoles.size()) {
        const QString name = s.consoles.at(current).name;
        // Of several consoles of one name the last one wins.
        for (const ConsoleParams &console : qAsConst(s.consoles)) {
            if (console.name == name)
                s.current_console = console;
        }
        activateCurrentConsole(s);
        if (!refilling)
            s.save();
    }
    ui->consoleComboBox->clearFocus();
}

void FastSettingsWidget::onNeedlePressingChanged(int index)
{
    Settings &s = Settings::instance();
    s.needle_pressing = index;
    s.save();
    Q_EMIT changePressingPower(static_cast<MovementSettings::E_NEEDLE_PRESSING>(index), s.power_pressing);
    ui->needlePressingComboBox->clearFocus();
}

void FastSettingsWidget::onMmPerRotationChanged(double value)
{
    Settings &s = Settings::instance();
    s.mm_per_rotation = value;
    s.save();
    Q_EMIT setMMPerRotation(value);
    ui->mmPerRotationSpinBox->clearFocus();
}

void FastSettingsWidget::onMeasurementModeChanged(int index)
{
    Settings &s = Settings::instance();
    s.measurement_mode = index;
    s.save();
    Q_EMIT setDeviceType(index == 2 ? 1 : 0);
    ui->measurementModeComboBox->clearFocus();
}

void FastSettingsWidget::onTraceFileNameChanged(const QString &text)
{
    Settings &s = Settings::instance();
    s.default_trace_file_name = text;
    s.save();
}

void FastSettingsWidget::updateControllersAndConsoles()
{
    Settings &s = Settings::instance();
    QString ctrl = s.current_controller_name;
    QString cons = s.current_console.name;
    // The handlers change the settings as the lists refill, but the file is
    // written once at the end, and only when the current entries changed: a
    // refresh that changes nothing leaves the file as it is, byte for byte.
    const Settings before = s;
    refilling = true;

    ui->controllersComboBox->clear();
    ui->consoleComboBox->clear();

    // The handlers read Settings, which they may change: iterate over copies.
    // Without a controller, or with one no longer in the list, the first
    // controller becomes the current one (its handler saves it).
    const QStringList controllers = s.controllers;
    for (int i = 0; i < controllers.size(); ++i) {
        ui->controllersComboBox->addItem(controllers.at(i));
        if (i == 0 && (ctrl == kNoController || !controllers.contains(ctrl)))
            ctrl = controllers.at(0);
        if (controllers.at(i) == ctrl)
            ui->controllersComboBox->setCurrentIndex(i);
    }
    s.current_controller_name = ctrl;

    const QList<ConsoleParams> consoles = s.consoles;
    for (int i = 0; i < consoles.size(); ++i) {
        ui->consoleComboBox->addItem(consoles.at(i).name);
        if (i == 0 && cons == kNoConsole)
            cons = consoles.at(0).name;
        if (consoles.at(i).name == cons)
            ui->consoleComboBox->setCurrentIndex(i);
    }
    s.current_console.name = cons;
    if (cons != kNoConsole)
        activateCurrentConsole(s);
    refilling = false;
    if (!sameCurrentEntries(before, s))
        s.save();
}
