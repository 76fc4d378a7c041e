#include "analysis/panelfiltercontrol.h"

#include "tracelist.h"
#include "traces/profiletrace.h"
#include "widgets/devicecontrolwidget.h"
#include "widgets/prompts.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

PanelFilterControl::PanelFilterControl(DeviceControlWidget *panel, TraceList *list)
    : m_panel(panel)
    , m_list(list)
{
}

IFilterControl::Answer PanelFilterControl::askFilterChange(QWidget *parent, int cutOff, const QString &traceTitle)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8("Изменение фильтра"),
        QString::fromUtf8("Согласно текущему стандарту выбранный фильтр не соответствует измерению. "
                          "Сменить фильтр на %1 мм?")
            .arg(QString::number(cutOff / 1000.0, 'f', 3)),
        QMessageBox::Yes | QMessageBox::No, parent);
    // Traces taken back to back are asked about one after the other: each
    // question names its trace as the trace list does.
    box.setInformativeText(QStringLiteral("Трасса: %1").arg(traceTitle));
    box.setDefaultButton(QMessageBox::Yes);
    box.button(QMessageBox::Yes)->setText(QString::fromUtf8("Да"));
    box.button(QMessageBox::No)->setText(QString::fromUtf8("Нет"));
    auto *remember = new QCheckBox(QString::fromUtf8("Запомнить выбор"), &box);
    box.setCheckBox(remember);
    // The question comes as the trace ends, maybe by itself while the
    // operator presses the stop key: no key answers it at first.
    const EarlyKeyGuard keys(&box);
    Prompts::instance().execMessageBox(&box);
    Answer answer;
    answer.accepted = box.clickedButton() == box.button(QMessageBox::Yes);
    answer.remembered = remember->isChecked();
    return answer;
}

void PanelFilterControl::setFilterIndex(int index)
{
    if (m_panel)
        m_panel->setFilterIndex(index);
}

void PanelFilterControl::setTraceCutOff(ProfileTrace *trace, double cutOff)
{
    if (m_list)
        m_list->setTraceCutOff(trace, cutOff);
    else if (trace)
        trace->cutOff = cutOff;
}
