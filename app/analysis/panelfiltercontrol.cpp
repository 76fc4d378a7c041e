#include "analysis/panelfiltercontrol.h"

#include "widgets/devicecontrolwidget.h"

PanelFilterControl::PanelFilterControl(DeviceControlWidget *panel)
    : m_panel(panel)
{
}

void PanelFilterControl::setFilterIndex(int index)
{
    if (m_panel)
        m_panel->setFilterIndex(index);
}
