#pragma once

#include "plot/ifiltercontrol.h"

#include <QPointer>

class DeviceControlWidget;
class TraceList;

// What a graph holder's cut-off check reaches of the profile window: the
// operator, through the prompts object, the control panel's filter switch,
// and the trace list, which gives a trace a new cut-off the way its own
// filter box does.
class PanelFilterControl : public IFilterControl {
public:
    PanelFilterControl(DeviceControlWidget *panel, TraceList *list);

    Answer askFilterChange(QWidget *parent, int cutOff, const QString &traceTitle) override;
    void setFilterIndex(int index) override;
    void setTraceCutOff(ProfileTrace *trace, double cutOff) override;

private:
    QPointer<DeviceControlWidget> m_panel;
    QPointer<TraceList> m_list;
};
