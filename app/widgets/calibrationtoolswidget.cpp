#include "widgets/calibrationtoolswidget.h"
#include "ui_calibrationtoolswidget.h"

#include "traces/contourtrace.h"
#include "widgets/consoleselectdialog.h"
#include "widgets/prompts.h"

namespace {

using Form = Ui::CalibrationToolsWidget;

// One row of the form: its editor and label, the settings field it edits,
// the field of a contour trace that follows it, and the field of a console
// record that holds it (probe values only).
struct ValueRow {
    QLabel *Form::*label;
    QDoubleSpinBox *Form::*editor;
    double Settings::*setting;
    double ContourTrace::*traceField;
    double ConsoleParams::*consoleField;
};

const ValueRow kValueRows[] = {
    { &Form::downHeadRadiusLable, &Form::downHeadRadiusSpinBox, &Settings::tool_head_radius_down,
        &ContourTrace::tool_head_radius_down, &ConsoleParams::tool_head_radius_down },
    { &Form::upperHeadRadiusLable, &Form::upperHeadRadiusSpinBox, &Settings::tool_head_radius_up,
        &ContourTrace::tool_head_radius_up, &ConsoleParams::tool_head_radius_up },
    { &Form::doubleSidedProbeHighLabel, &Form::doubleSidedProbeHighSpinBox, &Settings::double_sided_probe_high,
        &ContourTrace::double_sided_probe_high, &ConsoleParams::double_sided_probe_high },
    { &Form::needleBiasLabel, &Form::needleBiasSpinBox, &Settings::needle_bias, &ContourTrace::needle_bias,
        &ConsoleParams::needle_bias },
    { &Form::rackPerpendicularLabel, &Form::rackPerpendicularSpinBox, &Settings::rack_prpendicular,
        &ContourTrace::rack_perpendicular, nullptr },
    { &Form::referenceBallRadiusLabel, &Form::referenceBallRadiusSpinBox, &Settings::reference_ball_radius, nullptr,
        nullptr },
    { &Form::roughnessReferenceValueLabel, &Form::roughnessReferenceValueSpinBox, &Settings::roughness_reference_value,
        nullptr, nullptr },
    { &Form::roughnessRatioLabel, &Form::roughnessRatioSpinBox, &Settings::roughness_ratio,
        &ContourTrace::roughness_ratio, &ConsoleParams::roughness_ratio },
    { &Form::xAxisCompressionRatioLabel, &Form::xAxisCompressionRatioSpinBox, &Settings::x_axis_compression_ratio,
        &ContourTrace::x_axis_compression_ratio, nullptr },
    { &Form::yAxisCompressionRatioLabel, &Form::yAxisCompressionRatioSpinBox, &Settings::y_axis_compression_ratio,
        &ContourTrace::y_axis_compression_ratio, nullptr },
    { &Form::displacementCoefficientLabel, &Form::displacementCoefficientSpinBox, &Settings::displacement_coefficient,
        &ContourTrace::displacement_coefficient, nullptr },
};

enum Row {
    DownRadiusRow = 0,
    UpRadiusRow = 1,
    ProbeHeightRow = 2,
    NeedleBiasRow = 3,
    RackRow = 4,
    BallRadiusRow = 5,
    RoughnessReferenceRow = 6,
    RoughnessRatioRow = 7,
    XRatioRow = 8,
    YRatioRow = 9,
    DisplacementRow = 10,
};

// The two switches of the last row and the settings flags they show.
struct FlagRow {
    QCheckBox *Form::*box;
    bool Settings::*flag;
};

const FlagRow kFlagRows[] = {
    { &Form::enableRadiusEliminationCheckBox, &Settings::is_disabled_radius_elimination },
    { &Form::enableGaussFilterCheckBox, &Settings::is_disabled_gauss_filter },
};

// The instrument's own parameters: a saved change of one of them must reach
// the instrument.
double Settings::*const kInstrumentParameters[] = {
    &Settings::x_axis_compression_ratio,
    &Settings::y_axis_compression_ratio,
    &Settings::rack_prpendicular,
    &Settings::displacement_coefficient,
};

ContourTrace *asContour(AbstractTrace *trace)
{
    if (!trace || (trace->traceType != CONTOUR && trace->traceType != CONTOURPROF))
        return nullptr;
    return dynamic_cast<ContourTrace *>(trace);
}

} // namespace

CalibrationToolsWidget::CalibrationToolsWidget(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::CalibrationToolsWidget>())
{
    qRegisterMetaType<QVector<AbstractTrace *>>("QVector<AbstractTrace*>");
    ui->setupUi(this);
}

CalibrationToolsWidget::~CalibrationToolsWidget() = default;

void CalibrationToolsWidget::setRowVisible(int row, bool visible)
{
    const ValueRow &r = kValueRows[row];
    (ui.get()->*r.label)->setVisible(visible);
    (ui.get()->*r.editor)->setVisible(visible);
}

void CalibrationToolsWidget::init()
{
    for (int row : { DownRadiusRow, UpRadiusRow, ProbeHeightRow, NeedleBiasRow, BallRadiusRow, RoughnessReferenceRow,
             RoughnessRatioRow })
        setRowVisible(row, false);
    ui->calibrationCirclePushButton->hide();
    ui->calibrationRoughnessPushButton->hide();
    if (!Settings::instance().is_developer_mode)
        hideDeveloperFields();

    loadValues(Settings::instance());
    m_snapshot.emplace(Settings::instance());
    connectEditors();
}

void CalibrationToolsWidget::hideDeveloperFields()
{
    for (int row : { RackRow, XRatioRow, YRatioRow, DisplacementRow })
        setRowVisible(row, false);
    for (const FlagRow &f : kFlagRows)
        (ui.get()->*f.box)->hide();
}

void CalibrationToolsWidget::loadValues(Settings settings)
{
    // With consoles, the probe values shown are those of the current console.
    const bool fromConsole = !settings.consoles.isEmpty();
    // Loading is not an edit: neither the settings nor the traces change.
    for (const ValueRow &r : kValueRows) {
        const double value
            = (fromConsole && r.consoleField) ? settings.current_console.*r.consoleField : settings.*r.setting;
        const QSignalBlocker blocker(ui.get()->*r.editor);
        (ui.get()->*r.editor)->setValue(value);
    }
    for (const FlagRow &f : kFlagRows) {
        const QSignalBlocker blocker(ui.get()->*f.box);
        (ui.get()->*f.box)->setChecked(settings.*f.flag);
    }
}

void CalibrationToolsWidget::connectEditors()
{
    for (const ValueRow &r : kValueRows)
        connect(ui.get()->*r.editor, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &CalibrationToolsWidget::calibrationDataValueChangedManually, Qt::UniqueConnection);
    for (const FlagRow &f : kFlagRows)
        connect(ui.get()->*f.box, &QCheckBox::stateChanged, this,
            &CalibrationToolsWidget::calibrationDataValueChangedManually, Qt::UniqueConnection);
    connect(ui->discardChangesPushButton, &QPushButton::clicked, this, &CalibrationToolsWidget::onDiscardClicked,
        Qt::UniqueConnection);
    connect(
        ui->savePushButton, &QPushButton::clicked, this, &CalibrationToolsWidget::onSaveClicked, Qt::UniqueConnection);
    connect(ui->saveAsPushButton, &QPushButton::clicked, this, &CalibrationToolsWidget::onSaveAsClicked,
        Qt::UniqueConnection);
}

void CalibrationToolsWidget::setTraces(const QVector<AbstractTrace *> &newTraces)
{
    traces = newTraces;
    bool down = false;
    bool up = false;
    for (AbstractTrace *trace : qAsConst(traces)) {
        const ContourTrace *contour = asContour(trace);
        if (!contour)
            continue;
        if (contour->needle_pressing == 1) {
            setRowVisible(DownRadiusRow, true);
            down = true;
        } else {
            setRowVisible(UpRadiusRow, true);
            up = true;
        }
        if (contour->traceType == CONTOURPROF)
            setRowVisible(RoughnessRatioRow, true);
    }
    if (down && up) {
        setRowVisible(NeedleBiasRow, true);
        setRowVisible(ProbeHeightRow, true);
    }
}

void CalibrationToolsWidget::calibrationDataValueChangedManually(double val)
{
    dataSaved = false;
    Settings &s = Settings::instance();
    const QObject *source = sender();
    for (const ValueRow &r : kValueRows) {
        if (source != ui.get()->*r.editor)
            continue;
        s.*r.setting = val;
        if (r.traceField) {
            for (AbstractTrace *trace : qAsConst(traces))
                if (ContourTrace *contour = asContour(trace))
                    contour->*r.traceField = val;
        }
    }
    for (const FlagRow &f : kFlagRows) {
        if (source == ui.get()->*f.box)
            s.*f.flag = (ui.get()->*f.box)->isChecked();
    }
    Q_EMIT calibrationDataChanged(traces);
}

bool CalibrationToolsWidget::instrumentParametersChanged(const Settings &settings) const
{
    if (!m_snapshot)
        return false;
    for (double Settings::*p : kInstrumentParameters) {
        if (!(settings.*p == *m_snapshot.*p))
            return true;
    }
    return false;
}

void CalibrationToolsWidget::save(bool askForConsole)
{
    Settings &s = Settings::instance();
    // The probe values come from the active calibration fields, which every
    // edit has already reached.
    for (const ValueRow &r : kValueRows) {
        if (r.consoleField)
            s.current_console.*r.consoleField = s.*r.setting;
    }

    if (askForConsole) {
        ConsoleSelectDialog dialog(this);
        if (Prompts::instance().execDialog(&dialog) != QDialog::Accepted)
            return;
        s.current_console.name = dialog.selectedConsoleName;
    }

    for (ConsoleParams &console : s.consoles) {
        if (console.name == s.current_console.name)
            console = s.current_console;
    }
    if (instrumentParametersChanged(s))
        s.upload_device_settings = true;

    // A calibration that did not reach the file is not reported as saved:
    // the panel stays open with its edits, so the operator can try again.
    if (!s.save()) {
        Prompts::instance().warning(this, QStringLiteral("Ошибка сохранения"),
            QStringLiteral("Не удалось записать файл настроек. Калибровочные данные не сохранены."));
        return;
    }
    dataSaved = true;
    Q_EMIT closeDialogCalibration();
}

void CalibrationToolsWidget::onSaveClicked()
{
    save(Settings::instance().consoles.isEmpty());
}

void CalibrationToolsWidget::onSaveAsClicked()
{
    save(true);
}

void CalibrationToolsWidget::onDiscardClicked()
{
    if (m_snapshot) {
        Settings &s = Settings::instance();
        for (const ValueRow &r : kValueRows)
            s.*r.setting = *m_snapshot.*r.setting;
        for (const FlagRow &f : kFlagRows)
            s.*f.flag = *m_snapshot.*f.flag;
    }
    dataSaved = true;
    Q_EMIT closeDialogCalibration();
}

void CalibrationToolsWidget::clickSave()
{
    ui->savePushButton->click();
}

void CalibrationToolsWidget::clickDiscard()
{
    ui->discardChangesPushButton->click();
}
