#pragma once

#include <QColor>
#include <QLineEdit>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QDialog;
class QMenu;
class QAction;
class QPoint;
class QTimer;
class QUrl;
class QWidget;

// Every question the program puts to the operator goes through this one
// process-wide object: message boxes, file choosers, input dialogs, colour
// choice, context menus, modal dialogs and opening a URL in the desktop's
// handler. The default implementation calls Qt; tests install a scripted one,
// so no test ever waits for a person.
class Prompts
{
public:
    virtual ~Prompts();

    static Prompts &instance();
    // Installs p (not owned) as the process-wide object; nullptr restores the
    // default. Returns the previously installed object.
    static Prompts *install(Prompts *p);

    // A standard message box; returns the button pressed.
    virtual QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                                const QString &text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    QMessageBox::StandardButton information(QWidget *parent, const QString &title, const QString &text,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    QMessageBox::StandardButton warning(QWidget *parent, const QString &title, const QString &text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    QMessageBox::StandardButton critical(QWidget *parent, const QString &title, const QString &text,
                                         QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                         QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                                         QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // A message box the caller built itself (custom buttons, a check box):
    // runs it modally. The caller reads clickedButton() and the check box.
    virtual int execMessageBox(QMessageBox *box);
    // Any other modal dialog: returns QDialog::Accepted or Rejected.
    virtual int execDialog(QDialog *dialog);
    // A context menu at a global position; the action chosen or null.
    virtual QAction *execMenu(QMenu *menu, const QPoint &globalPos);

    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &dir = QString(),
                                 const QString &filter = QString());
    virtual QStringList openFileNames(QWidget *parent, const QString &caption, const QString &dir = QString(),
                                      const QString &filter = QString());
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &dir = QString(),
                                 const QString &filter = QString());
    virtual QString existingDirectory(QWidget *parent, const QString &caption, const QString &dir = QString());

    // Input dialogs; *ok tells whether the operator accepted.
    virtual int getInt(QWidget *parent, const QString &title, const QString &label, int value, int min, int max,
                       int step, bool *ok);
    virtual double getDouble(QWidget *parent, const QString &title, const QString &label, double value,
                             double min, double max, int decimals, bool *ok, double step = 1);
    virtual QString getText(QWidget *parent, const QString &title, const QString &label,
                            QLineEdit::EchoMode mode, const QString &text, bool *ok);
    virtual QString getItem(QWidget *parent, const QString &title, const QString &label, const QStringList &items,
                            int current, bool editable, bool *ok);
    virtual QColor getColor(const QColor &initial, QWidget *parent, const QString &title = QString());

    // Opens a URL (a report, a folder) in the desktop's default handler.
    virtual bool openUrl(const QUrl &url);
};

// Keeps every key from a question the program raises on its own (at the end
// of a trace) for its first half second, so that a key the operator pressed
// for something else just then (the stop key, as the trace ends by itself)
// never answers it. The mouse answers at once, and keys do once the time is
// over. Made before the question is shown, it counts from then; the
// question's "takesKeys" property turns true when keys reach it again.
class EarlyKeyGuard : public QObject
{
public:
    static constexpr int kQuietMs = 500;

    explicit EarlyKeyGuard(QWidget *question, int quietMs = kQuietMs);
    ~EarlyKeyGuard() override;

    // Whether keys are still kept from the question.
    bool active() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_question;
    QTimer *m_quiet = nullptr;
};
