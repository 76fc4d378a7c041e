#include "widgets/settingsdialog.h"
#include "ui_settingsdialog.h"

#include "device/device.h"
#include "device/termitedialog.h"
#include "settings/logger.h"
#include "settings/savefile.h"
#include "settings/settings.h"
#include "traces/nonlinearity.h"
#include "widgets/calibradialog.h"
#include "widgets/devicecontrolwidget.h"
#include "widgets/paramsdialog.h"
#include "widgets/prompts.h"
#include "widgets/usersdialog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {
const QString kServicePassword = QStringLiteral("9047");
const QString kDeveloperCode = QStringLiteral("594");

void logInfo(const QString &text)
{
    logger.log(Logger::INFO, text.toStdString());
}

QString onOff(int state)
{
    return state == Qt::Checked ? QStringLiteral("on") : QStringLiteral("off");
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The settings file as it is on disk; empty when there is none.
QByteArray settingsFileBytes()
{
    return fileBytes(QString::fromLatin1(Settings::kFileName));
}

bool settingsFileExists()
{
    return QFileInfo::exists(QString::fromLatin1(Settings::kFileName));
}

// What a record writes into a settings file of its own: two records that
// store alike are alike for the program.
QByteArray storedForm(const Settings &s)
{
    const QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(Settings::kFileName));
    return dir.isValid() && s.saveTo(path) ? fileBytes(path) : QByteArray();
}
} // namespace

SettingsDialog::SettingsDialog(QWidget *parent, QList<AbstractTrace *> traces)
    : QDialog(parent)
    , ui(new Ui::SettingsDialog)
    , m_traces(std::move(traces))
    , m_parent(parent)
    , m_opening { Settings::instance(), settingsFileExists(), settingsFileBytes() }
{
    ui->setupUi(this);
    loadSettings();
    setServiceWidgetsVisible(Settings::instance().is_developer_mode);
    setupColors();
    setupConnections();
    applyDeviceType();
}

SettingsDialog::~SettingsDialog()
{
    delete ui;
}

void SettingsDialog::setupColors()
{
    const Settings &s = Settings::instance();
    ui->graphColorWidget->color = QColor(s.preferenses.graph_color);
    ui->graphSelectionColorWidget->color = QColor(s.preferenses.selected_graph_color);
    ui->visualObjectColorWidget->color = QColor(s.preferenses.visual_objects_color);
}

void SettingsDialog::setupConnections()
{
    connect(this, &QDialog::accepted, this, &SettingsDialog::onAccepted);
    connect(this, &QDialog::rejected, this, &SettingsDialog::onRejected);
    connect(ui->graphColorWidget, &ColorPickerWidget::colorChanged, this, &SettingsDialog::onGraphColorChanged);
    connect(ui->graphSelectionColorWidget, &ColorPickerWidget::colorChanged, this,
        &SettingsDialog::onSelectedGraphColorChanged);
    connect(ui->visualObjectColorWidget, &ColorPickerWidget::colorChanged, this,
        &SettingsDialog::onVisualObjectsColorChanged);
    connect(ui->nonLinearityCheckBox, &QCheckBox::stateChanged, this, &SettingsDialog::onNonLinearityToggled);
    connect(
        ui->chooseNonLinearityDataPushButton, &QPushButton::released, this, &SettingsDialog::onChooseNonLinearityData);
    connect(ui->paramsSettingsPushButton, &QPushButton::released, this, &SettingsDialog::onParamsSettingsReleased);
    connect(ui->alternativeControlCheckBox, &QCheckBox::stateChanged, this,
        &SettingsDialog::onAlternativeControlStateChanged);
    connect(ui->anglesInDoubleCB, &QCheckBox::stateChanged, this, &SettingsDialog::onAnglesInDoubleStateChanged);
    connect(ui->axisUnit, &QComboBox::currentTextChanged, this, &SettingsDialog::onAxisUnitChanged);
    connect(ui->pressingPowerComboBox, &QComboBox::currentTextChanged, this, &SettingsDialog::onPressingPowerChanged);
    connect(ui->facoryNameLineEdit, &QLineEdit::textChanged, this, &SettingsDialog::onFactoryNameChanged);
    connect(ui->consoleSettingsButton, &QPushButton::released, this, &SettingsDialog::onCalibrationButtonReleased);
    connect(ui->openUsersDialog, &QPushButton::clicked, this, &SettingsDialog::onControllersClicked);
    connect(ui->consoleButton, &QPushButton::clicked, this, &SettingsDialog::onConsolesClicked);
    connect(ui->termitePushButton, &QPushButton::released, this, &SettingsDialog::onTermiteButtonReleased);
}

void SettingsDialog::applyDeviceType()
{
    if (Settings::instance().device_type == 2) {
        ui->consoleSettingsButton->setText(QStringLiteral("Калибровка"));
        const QList<QWidget *> contourOnly { ui->consoleButton, ui->alternativeControlCheckBox, ui->pressingPowerLabel,
            ui->pressingPowerComboBox, ui->nonLinearityCheckBox, ui->nonLinearityDataStatusLable,
            ui->chooseNonLinearityDataPushButton };
        for (QWidget *w : contourOnly)
            w->hide();
    } else {
        ui->askBeforeChangeFilterCheckBox->hide();
        ui->paramsSettingsPushButton->hide();
    }
    // The table's controls follow the mode even where its switch is hidden.
    const bool nonLinearity = Settings::instance().preferenses.non_linearity;
    ui->chooseNonLinearityDataPushButton->setVisible(nonLinearity);
    ui->nonLinearityDataStatusLable->setVisible(nonLinearity);
}

void SettingsDialog::loadSettings()
{
    const Settings &s = Settings::instance();
    ui->anglesInDoubleCB->setChecked(s.angles_in_deg);
    ui->alternativeMeasurementCB->setChecked(s.preferenses.alternative_measurement);
    ui->nonLinearityCheckBox->setChecked(s.preferenses.non_linearity);
    ui->axisUnit->setCurrentIndex(s.axis_unit);
    ui->alternativeControlCheckBox->setChecked(s.alternative_managment);
    ui->pressingPowerComboBox->setCurrentIndex(s.power_pressing - 1);
    ui->standartisationComboBox->setCurrentIndex(s.preferenses.standartisation_value);
    ui->askBeforeChangeFilterCheckBox->setChecked(s.preferenses.is_ask_before_change_filter);
    ui->facoryNameLineEdit->setText(s.factory_name);
    ui->scaleXResolutionSpinBox->setValue(s.scale_x_resolution);
    ui->scaleZResolutionSpinBox->setValue(s.scale_z_resolution);
    ui->scaleRResolutionSpinBox->setValue(s.scale_r_resolution);
    ui->demoCheckBox->setChecked(s.demo_regime);
    ui->sensorTestCheckBox->setChecked(s.test_sensor_mode);
    ui->nonLinearityDataStatusLable->setText(nonLinearityFileStatus());
}

QString SettingsDialog::nonLinearityFileStatus()
{
    return QFileInfo::exists(QDir::currentPath() + QLatin1Char('/') + NonLinearity::kFilePath)
        ? QStringLiteral("Файл найден")
        : QStringLiteral("Файл не найден");
}

void SettingsDialog::onAccepted()
{
    logInfo(QStringLiteral("Accept settings"));
    Settings &s = Settings::instance();
    s.alternative_managment = ui->alternativeControlCheckBox->isChecked();
    s.power_pressing = ui->pressingPowerComboBox->currentIndex() + 1;
    s.axis_unit = ui->axisUnit->currentIndex();
    s.demo_regime = ui->demoCheckBox->isChecked();
    s.test_sensor_mode = ui->sensorTestCheckBox->isChecked();
    s.angles_in_deg = ui->anglesInDoubleCB->isChecked();
    s.preferenses.alternative_measurement = ui->alternativeMeasurementCB->isChecked();
    s.preferenses.standartisation_value = ui->standartisationComboBox->currentIndex();
    s.preferenses.non_linearity = ui->nonLinearityCheckBox->isChecked();
    s.preferenses.is_ask_before_change_filter = ui->askBeforeChangeFilterCheckBox->checkState() == Qt::Checked;
    s.factory_name = ui->facoryNameLineEdit->text();
    s.scale_x_resolution = ui->scaleXResolutionSpinBox->value();
    s.scale_z_resolution = ui->scaleZResolutionSpinBox->value();
    s.scale_r_resolution = ui->scaleRResolutionSpinBox->value();
    s.save();
}

void SettingsDialog::onRejected()
{
    Settings &s = Settings::instance();
    const Settings &was = m_opening.record;
    s.preferenses.graph_color = was.preferenses.graph_color;
    s.preferenses.selected_graph_color = was.preferenses.selected_graph_color;
    s.preferenses.visual_objects_color = was.preferenses.visual_objects_color;
    s.preferenses.non_linearity = was.preferenses.non_linearity;
    s.factory_name = was.factory_name;
    if (settingsFileExists() == m_opening.fileExisted && settingsFileBytes() == m_opening.file)
        return;

    // The file was written meanwhile: the organisation name is saved as it is
    // typed, and the services of the dialog save what they change. With the
    // record as it was at opening, the file goes back to what it was, byte
    // for byte; else (a developer mode switched, a controller list accepted)
    // it is written from the record, with the values given back.
    const QByteArray now = storedForm(s);
    if (now.isEmpty() || now != storedForm(was)) {
        s.save();
        return;
    }
    const QString path = QString::fromLatin1(Settings::kFileName);
    QString why;
    if (!m_opening.fileExisted) {
        if (!QFile::remove(path))
            logger.log(Logger::ERROR, "Can't remove the settings file written meanwhile: " + path.toStdString());
    } else if (!SaveFile::write(path, m_opening.file, &why)) {
        logger.log(Logger::ERROR, ("Can't give the settings file back after Cancel: " + why).toStdString());
    }
}

void SettingsDialog::onGraphColorChanged(const QColor &color)
{
    Settings::instance().preferenses.graph_color = color.name();
}

void SettingsDialog::onSelectedGraphColorChanged(const QColor &color)
{
    Settings::instance().preferenses.selected_graph_color = color.name();
}

void SettingsDialog::onVisualObjectsColorChanged(const QColor &color)
{
    Settings::instance().preferenses.visual_objects_color = color.name();
}

void SettingsDialog::onNonLinearityToggled(int state)
{
    const bool on = state == Qt::Checked;
    ui->chooseNonLinearityDataPushButton->setVisible(on);
    ui->nonLinearityDataStatusLable->setVisible(on);
    Settings::instance().preferenses.non_linearity = on;
}

void SettingsDialog::onChooseNonLinearityData()
{
    const QString path = Prompts::instance().openFileName(this, QStringLiteral("Открыть трассу"),
        Settings::instance().preferenses.save_trace_folder, QStringLiteral("Трасса нелинейности (*.txt)"));
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;

    NonLinearityTableBuilder builder;
    builder.load(&file);
    // A file that is not a contour trace (a profile trace, any other text)
    // gives no table: the table in force stays.
    if (builder.source.size() < 2 || builder.source[0].size() < 2) {
        logger.log(Logger::ERROR, "Non-linearity table not built: no contour rows in " + path.toStdString());
        Prompts::instance().warning(this, QStringLiteral("Ошибка"),
            QStringLiteral("В файле нет трассы контура: таблица нелинейности не изменена"));
        return;
    }
    builder.smooth();
    if (!builder.save()) {
        logger.log(Logger::ERROR, "Non-linearity table not written: " + NonLinearity::kFilePath.toStdString());
        Prompts::instance().critical(
            this, QStringLiteral("Ошибка"), QStringLiteral("Не удалось записать таблицу нелинейности"));
    }
    ui->nonLinearityDataStatusLable->setText(nonLinearityFileStatus());
}

void SettingsDialog::onParamsSettingsReleased()
{
    ParamsDialog dialog(this);
    dialog.setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Prompts::instance().execDialog(&dialog);
}

void SettingsDialog::onAlternativeControlStateChanged(int state)
{
    logInfo(QStringLiteral("alternativeManagementCheckBox turned ") + onOff(state));
}

void SettingsDialog::onAnglesInDoubleStateChanged(int state)
{
    logInfo(QStringLiteral("anglesInDoubleCB turned ") + onOff(state));
}

void SettingsDialog::onAxisUnitChanged(const QString &text)
{
    logInfo(QStringLiteral("axisUnit change value to ") + text);
}

void SettingsDialog::onPressingPowerChanged(const QString &text)
{
    logInfo(QStringLiteral("needlePressingComboBox change value to ") + text);
}

void SettingsDialog::onControllersClicked()
{
    openUsersDialogWithPassword(1, m_traces, this);
}

void SettingsDialog::onConsolesClicked()
{
    openUsersDialogWithPassword(0, m_traces, this);
}

void SettingsDialog::openUsersDialogWithPassword(int mode, const QList<AbstractTrace *> &traces, QWidget *parent)
{
    bool ok = false;
    const QString password = Prompts::instance().getText(
        parent, QStringLiteral("Сервис-пароль"), QStringLiteral("Сервис-пароль:"), QLineEdit::Password, QString(), &ok);
    if (!ok || password.isEmpty() || password != kServicePassword)
        return;
    UsersDialog dialog(mode, traces, parent);
    dialog.setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Prompts::instance().execDialog(&dialog);
}

void SettingsDialog::onCalibrationButtonReleased()
{
    if (Settings::instance().device_type == 2)
        openReferenceRaDialog(this);
    else
        startContourCalibration();
}

void SettingsDialog::startContourCalibration()
{
    if (m_traces.isEmpty()) {
        Prompts::instance().warning(this, QStringLiteral("Ошибка"),
            QStringLiteral("Нет трассы для калибровки. Откройте или запишите хотя бы одну трассу"));
        return;
    }
    bool ok = false;
    const QString password = Prompts::instance().getText(this, QStringLiteral("Система безопасности"),
        QStringLiteral("Введите пароль из руководства по эксплуатации"), QLineEdit::Password, QString(), &ok);
    if (!ok || password.isEmpty())
        return;
    if (password != kServicePassword) {
        Prompts::instance().critical(
            this, QStringLiteral("Неверный пароль"), QStringLiteral("Пароль указан в руководстве по эксплуатации"));
        return;
    }
    // The calibration window is gone once this returns; only then do the
    // editors take what it changed (while open it forces its own view
    // options on the settings).
    ContourCalibration::run(this, m_traces);
    loadSettings();
}

void SettingsDialog::openReferenceRaDialog(QWidget *parent)
{
    CalibRaDialog dialog(parent);
    connect(&dialog, &QDialog::accepted, this, &SettingsDialog::onReferenceRaAccepted);
    Prompts::instance().execDialog(&dialog);
}

void SettingsDialog::onReferenceRaAccepted()
{
    // The Ra dialog has stored and saved the reference value; the
    // instrument calibrates against the stored value.
    if (Device *device = instrumentOf(m_parent))
        device->calibration();
    else
        logger.log(Logger::ERROR, "Reference Ra calibration not started: no instrument");
}

Device *SettingsDialog::instrumentOf(QWidget *window)
{
    if (!window)
        return nullptr;
    auto *panel = window->findChild<DeviceControlWidget *>();
    return panel ? &panel->device : nullptr;
}

void SettingsDialog::onFactoryNameChanged(const QString &text)
{
    Settings &s = Settings::instance();
    s.is_developer_mode = text == kDeveloperCode;
    setServiceWidgetsVisible(s.is_developer_mode);
    s.factory_name = text;
    s.save();
}

void SettingsDialog::setServiceWidgetsVisible(bool visible)
{
    const QList<QWidget *> serviceWidgets { ui->scaleXResolutionSpinBox, ui->scaleZResolutionSpinBox,
        ui->scaleRResolutionSpinBox, ui->scaleXResolutionLabel, ui->scaleZResolutionLabel, ui->scaleRResolutionLabel,
        ui->demoCheckBox, ui->sensorTestCheckBox, ui->termitePushButton, ui->termteLabel };
    for (QWidget *w : serviceWidgets)
        w->setVisible(visible);
}

void SettingsDialog::onTermiteButtonReleased()
{
    TermiteDialog dialog(this, instrumentOf(m_parent));
    dialog.setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Prompts::instance().execDialog(&dialog);
}
