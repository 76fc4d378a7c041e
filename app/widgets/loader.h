#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

// The modal busy window shown while the instrument runs a long operation: a
// title, a percentage bar, a status line and "Отмена". It follows its
// parent's setStatusProgressBar(int, QString) signal by itself and closes
// after a report of exactly 100. Once closed it takes no further reports.
class Loader : public QDialog {
    Q_OBJECT

public:
    // The parent is the control panel; its setStatusProgressBar(int, QString)
    // signal moves the bar.
    Loader(QWidget *parent, QString title);
    ~Loader() override;

    // A busy window for work that reports no progress: the bar runs as a
    // busy one and "Отмена" or Escape calls cancel (maybe more than once).
    // It lies frameless over window, modal to it, and is shown at once.
    static Loader *showBusy(QWidget *window, const QString &text, const std::function<void()> &cancel);
    // Closes and deletes a busy window without calling its cancel.
    static void closeBusy(Loader *loader);

    static constexpr int kCloseDelayMs = 500;
    static constexpr int kWidth = 325;
    static constexpr int kHeight = 100; // grown where two status lines need more

Q_SIGNALS:
    void loaderCanceled();

private:
    void onStatusProgress(int status, QString text);
    void onCancelReleased();
    void detach();

    QLabel *statusLabel;
    QLabel *titleLabel;
    QPushButton *cancelButton;
    QProgressBar *progressBar;
    // The parent's progress reports reach onStatusProgress through this
    // connection until the window closes.
    QMetaObject::Connection m_progressConnection;
};
