#include "widgets/prompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QUrl>

namespace {
Prompts *g_installed = nullptr;
} // namespace

Prompts::~Prompts() = default;

Prompts &Prompts::instance()
{
    static Prompts defaultPrompts;
    return g_installed ? *g_installed : defaultPrompts;
}

Prompts *Prompts::install(Prompts *p)
{
    Prompts *previous = g_installed;
    g_installed = p;
    return previous;
}

QMessageBox::StandardButton Prompts::message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                             const QString &text, QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    if (box.exec() == -1)
        return QMessageBox::Cancel;
    return box.standardButton(box.clickedButton());
}

QMessageBox::StandardButton Prompts::information(QWidget *parent, const QString &title, const QString &text,
                                                 QMessageBox::StandardButtons buttons)
{
    return message(parent, QMessageBox::Information, title, text, buttons);
}

QMessageBox::StandardButton Prompts::warning(QWidget *parent, const QString &title, const QString &text,
                                             QMessageBox::StandardButtons buttons)
{
    return message(parent, QMessageBox::Warning, title, text, buttons);
}

QMessageBox::StandardButton Prompts::critical(QWidget *parent, const QString &title, const QString &text,
                                              QMessageBox::StandardButtons buttons)
{
    return message(parent, QMessageBox::Critical, title, text, buttons);
}

QMessageBox::StandardButton Prompts::question(QWidget *parent, const QString &title, const QString &text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton)
{
    return message(parent, QMessageBox::Question, title, text, buttons, defaultButton);
}

int Prompts::execMessageBox(QMessageBox *box)
{
    return box->exec();
}

int Prompts::execDialog(QDialog *dialog)
{
    return dialog->exec();
}

QAction *Prompts::execMenu(QMenu *menu, const QPoint &globalPos)
{
    return menu->exec(globalPos);
}

QString Prompts::openFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QStringList Prompts::openFileNames(QWidget *parent, const QString &caption, const QString &dir,
                                   const QString &filter)
{
    return QFileDialog::getOpenFileNames(parent, caption, dir, filter);
}

QString Prompts::saveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString Prompts::existingDirectory(QWidget *parent, const QString &caption, const QString &dir)
{
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

int Prompts::getInt(QWidget *parent, const QString &title, const QString &label, int value, int min, int max,
                    int step, bool *ok)
{
    return QInputDialog::getInt(parent, title, label, value, min, max, step, ok);
}

double Prompts::getDouble(QWidget *parent, const QString &title, const QString &label, double value, double min,
                          double max, int decimals, bool *ok, double step)
{
    return QInputDialog::getDouble(parent, title, label, value, min, max, decimals, ok, Qt::WindowFlags(), step);
}

QString Prompts::getText(QWidget *parent, const QString &title, const QString &label, QLineEdit::EchoMode mode,
                         const QString &text, bool *ok)
{
    return QInputDialog::getText(parent, title, label, mode, text, ok);
}

QString Prompts::getItem(QWidget *parent, const QString &title, const QString &label, const QStringList &items,
                         int current, bool editable, bool *ok)
{
    return QInputDialog::getItem(parent, title, label, items, current, editable, ok);
}

QColor Prompts::getColor(const QColor &initial, QWidget *parent, const QString &title)
{
    return QColorDialog::getColor(initial, parent, title);
}

bool Prompts::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

EarlyKeyGuard::EarlyKeyGuard(QWidget *question, int quietMs)
    : m_question(question)
    , m_quiet(new QTimer(this))
{
    m_quiet->setSingleShot(true);
    connect(m_quiet, &QTimer::timeout, this, [this] {
        if (m_question)
            m_question->setProperty("takesKeys", true);
    });
    if (m_question)
        m_question->setProperty("takesKeys", false);
    // Keys reach a dialog's focused button through the application, and the
    // dialog's own shortcuts (Return, Escape) through the dialog: one filter
    // on the application sees them all.
    qApp->installEventFilter(this);
    m_quiet->start(quietMs);
}

EarlyKeyGuard::~EarlyKeyGuard()
{
    qApp->removeEventFilter(this);
}

bool EarlyKeyGuard::active() const
{
    return m_quiet->isActive();
}

bool EarlyKeyGuard::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
        break;
    default:
        return false;
    }
    if (!active() || !m_question || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    return widget == m_question || m_question->isAncestorOf(widget);
}
