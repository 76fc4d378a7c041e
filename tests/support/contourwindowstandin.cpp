#include "support/contourwindowstandin.h"

#include "measurements/measurement.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

ContourWindowStandIn::ContourWindowStandIn(const QVector<AbstractTrace *> &traces, bool calibrationMode)
{
    setObjectName(QStringLiteral("contourWindowStandIn"));
    resize(1100, 520);
    m_plot = new PlotWidget(this);
    m_plot->setObjectName(QStringLiteral("plot"));
    m_tree = new MeasurementTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("measurementTree"));
    m_tree->setColumnCount(2);
    m_tree->setHeaderHidden(!calibrationMode);
    if (calibrationMode)
        m_tree->setCalibrationMode(true);
    m_status = new QLabel(this);
    m_errorPlaneButton = new QPushButton(QStringLiteral("Отклонение от прямой"), this);
    m_errorPlaneButton->setObjectName(QStringLiteral("pushButtonErrorPlane"));
    m_errorPlaneButton->setEnabled(false);

    auto *side = new QVBoxLayout;
    side->addWidget(m_tree);
    side->addWidget(m_errorPlaneButton);
    auto *row = new QHBoxLayout;
    row->addWidget(m_plot, 3);
    row->addLayout(side, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_status);

    m_manager.reset(new MeasurementsManager(m_plot, this));
    m_drawingHost.picksWhen = [this] { return m_manager && m_manager->currentKind() == NO_MEASUREMENT; };
    m_manager->setDrawingHost(&m_drawingHost);
    connect(
        m_manager.get(), &MeasurementsManager::measurementChanged, this, &ContourWindowStandIn::updateMeasurementItem);
    connect(m_manager.get(), &MeasurementsManager::deleteMeasurement, this,
        [this](Measurement *m) { deleteMeasurement(m->id()); });
    connect(m_tree, &MeasurementTreeWidget::deleteMeasurement, this, &ContourWindowStandIn::deleteMeasurement);
    connect(m_tree, &MeasurementTreeWidget::equidistant, this, &ContourWindowStandIn::addMeasurement);
    connect(m_manager.get(), &MeasurementsManager::statusText, m_status, &QLabel::setText);
    connect(m_manager.get(), &MeasurementsManager::enableButton, m_errorPlaneButton, &QWidget::setEnabled);
    connect(m_manager.get(), &MeasurementsManager::setNewAngleAndCenterRot, this, [this](double angle, QPointF c) {
        m_levellingAngle = angle;
        m_levellingCentre = c;
    });

    QVector<AbstractTrace *> clones;
    for (AbstractTrace *t : traces) {
        m_traces.emplace_back(t->clone());
        delete t;
        clones << m_traces.back().get();
        ContourTest::addTraceCurve(m_plot, m_traces.back().get());
    }
    m_manager->setTraces(clones);
    show();
    QApplication::setActiveWindow(this);
    layout->activate();
    ContourTest::fitAxes(m_plot);
}

ContourWindowStandIn::~ContourWindowStandIn()
{
    // The manager goes before the plot it draws on.
    m_manager.reset();
}

QCPCurve *ContourWindowStandIn::traceCurve(int i) const
{
    return m_plot->curve(i);
}

void ContourWindowStandIn::arm(int kind, const QString &parameter)
{
    const bool keep = kind != LAY_FLAT && kind != LAY_FLAT_BY_TWO;
    static const QList<int> pickKinds = { 0, 1, 3, 24, 25, 26, 28 };
    m_manager->setKind(E_MEASUREMENTS(kind), keep, pickKinds.contains(kind), parameter);
}

void ContourWindowStandIn::disarm()
{
    m_manager->setKind(NO_MEASUREMENT, true, false, QString());
}

void ContourWindowStandIn::press(const QPointF &at, Qt::MouseButton button)
{
    ContourTest::press(m_plot, at, button);
}

void ContourWindowStandIn::move(const QPointF &at, Qt::MouseButtons held)
{
    ContourTest::move(m_plot, at, held);
}

void ContourWindowStandIn::release(const QPointF &at, Qt::MouseButton button)
{
    ContourTest::release(m_plot, at, button);
}

void ContourWindowStandIn::click(const QPointF &at)
{
    press(at);
    release(at);
}

void ContourWindowStandIn::drag(int trace, int from, int to)
{
    ContourTest::drag(m_plot, traceCurve(trace), from, to);
}

QPointF ContourWindowStandIn::tracePoint(int trace, int i) const
{
    const QCPCurveData &p = *(traceCurve(trace)->data()->constBegin() + i);
    return QPointF(p.key, p.value);
}

void ContourWindowStandIn::pressEscape()
{
    QTest::keyClick(this, Qt::Key_Escape);
}

void ContourWindowStandIn::updateMeasurementItem(Measurement *m)
{
    if (QTreeWidgetItem *item = m_items.value(m->id()))
        m_tree->updateMeasurementItem(item, m);
    else
        m_items.insert(m->id(), m_tree->addMeasurementItem(m));
    m_tree->updateSectionSummaries();
}

void ContourWindowStandIn::deleteMeasurement(int id)
{
    m_manager->removeMeasurement(id);
    delete m_items.take(id);
    m_plot->replot(QCustomPlot::rpRefreshHint);
    m_tree->updateSectionSummaries();
}

void ContourWindowStandIn::recalcAllMeasurements()
{
    for (Measurement *m : m_manager->measurementList()) {
        m->updateSettings();
        m->calculate();
        updateMeasurementItem(m);
    }
    m_plot->replot(QCustomPlot::rpRefreshHint);
}

void ContourWindowStandIn::addMeasurement(int index, E_MEASUREMENTS type, double distance)
{
    m_manager->addEquidistant(index, type, distance);
}

QTreeWidgetItem *ContourWindowStandIn::rowOf(const Measurement *m) const
{
    return m ? rowOf(m->id()) : nullptr;
}

QString ContourWindowStandIn::statusMessage() const
{
    return m_status->text();
}

QString ContourWindowStandIn::screenshot(const QString &name)
{
    return ContourTest::saveScreenshot(this, name);
}
