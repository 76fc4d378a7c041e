#include "analysis/panelfiltercontrol.h"

#include "tracelist.h"
#include "traces/profiletrace.h"
#include "widgets/devicecontrolwidget.h"

PanelFilterControl::PanelFilterControl(DeviceControlWidget *panel, TraceList *list)
    : m_panel(panel)
    , m_list(list)
{
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
