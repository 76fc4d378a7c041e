#pragma once

#include <QMainWindow>
#include <QMetaType>
#include <QString>

class AbstractTrace;
class DataProvider;

// How AnalisysWidget::saveData writes traces.
enum class DataSaveFormat : int {
    SOURCE_FORMAT = 0, // the native trace text format
    POINT_FORMAT = 1,  // the processed points as plain (x, y) columns
};
Q_DECLARE_METATYPE(DataSaveFormat)

// The common base of the analysis windows the main window shows as tabs. It
// owns the window's name and its current data provider, routes the
// provider's five progress signals (queued from the worker thread) into
// virtual slots, starts a reading, and declares what the main window calls
// to save traces and write reports whatever the current window is.
class AnalisysWidget : public QMainWindow {
    Q_OBJECT

public:
    explicit AnalisysWidget(const QString &name);
    ~AnalisysWidget() override;

    QString name() const { return m_name; }
    DataProvider *dataProvider() const { return m_dataProvider; }

    // Replaces the current provider (the window owns it). The old one stops
    // reaching this window at once; it is deleted once its reading has ended.
    void setDataProvider(DataProvider *provider);
    // Creates the trace of that kind and starts the current provider on it.
    // False when there is no provider or the window made no trace.
    bool startReading(unsigned traceType);

    virtual AbstractTrace *makeTrace(unsigned traceType);
    virtual void enterReportMode() = 0;
    virtual void leaveReportMode() = 0;
    virtual void saveReport(QWidget *parent) = 0;

public Q_SLOTS:
    virtual void saveData(DataSaveFormat format) = 0;
    virtual void dataReadStarted() { }
    virtual void dataBatchReady(int from, int count)
    {
        Q_UNUSED(from)
        Q_UNUSED(count)
    }
    virtual void dataReadFinished() { }
    virtual void dataReadError(QString error) { Q_UNUSED(error) }
    virtual void dataReset() { }

private:
    QString m_name;
    DataProvider *m_dataProvider = nullptr;
};
