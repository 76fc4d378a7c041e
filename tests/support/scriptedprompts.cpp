#include "support/scriptedprompts.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QUrl>
#include <QtTest>

ScriptedPrompts::ScriptedPrompts()
{
    m_previous = Prompts::install(this);
}

ScriptedPrompts::~ScriptedPrompts()
{
    Prompts::install(m_previous);
}

ScriptedPrompts &ScriptedPrompts::expect(Kind kind, const QVariant &answer, Handler handler)
{
    m_expected.append({kind, answer, std::move(handler)});
    return *this;
}

bool ScriptedPrompts::take(Kind kind, const QString &title, const QString &text, Expected *out)
{
    m_calls.append({kind, title, text});
    if (m_expected.isEmpty() || m_expected.first().kind != kind) {
        ++m_unexpected;
        QTest::qFail(qPrintable(QStringLiteral("unexpected question (kind %1): \"%2\" / \"%3\"")
                                    .arg(int(kind)).arg(title, text)),
                     __FILE__, __LINE__);
        return false;
    }
    *out = m_expected.takeFirst();
    return true;
}

QMessageBox::StandardButton ScriptedPrompts::message(QWidget *, QMessageBox::Icon, const QString &title,
                                                     const QString &text, QMessageBox::StandardButtons,
                                                     QMessageBox::StandardButton)
{
    Expected e;
    if (!take(Message, title, text, &e))
        return QMessageBox::Cancel;
    return QMessageBox::StandardButton(e.answer.toInt());
}

int ScriptedPrompts::execMessageBox(QMessageBox *box)
{
    Expected e;
    if (!take(MessageBox, box->windowTitle(), box->text(), &e))
        return QMessageBox::Cancel;
    if (e.handler)
        return e.handler(box).toInt();
    // A plain answer names the standard button to press.
    if (QAbstractButton *b = box->button(QMessageBox::StandardButton(e.answer.toInt())))
        b->click();
    return e.answer.toInt();
}

int ScriptedPrompts::execDialog(QDialog *dialog)
{
    Expected e;
    if (!take(Dialog, dialog->windowTitle(), dialog->objectName(), &e))
        return QDialog::Rejected;
    if (e.handler)
        return e.handler(dialog).toInt();
    return e.answer.toInt();
}

QAction *ScriptedPrompts::execMenu(QMenu *menu, const QPoint &)
{
    Expected e;
    if (!take(Menu, menu->title(), QString(), &e))
        return nullptr;
    if (e.handler)
        return e.handler(menu).value<QAction *>();
    // A plain answer names the action's text.
    const QString wanted = e.answer.toString();
    for (QAction *a : menu->actions()) {
        if (a->text() == wanted)
            return a;
    }
    return nullptr;
}

QString ScriptedPrompts::takeString(Kind kind, const QString &caption)
{
    Expected e;
    if (!take(kind, caption, QString(), &e))
        return {};
    return e.answer.toString();
}

QString ScriptedPrompts::openFileName(QWidget *, const QString &caption, const QString &, const QString &)
{
    return takeString(OpenFile, caption);
}

QStringList ScriptedPrompts::openFileNames(QWidget *, const QString &caption, const QString &, const QString &)
{
    Expected e;
    if (!take(OpenFiles, caption, QString(), &e))
        return {};
    return e.answer.toStringList();
}

QString ScriptedPrompts::saveFileName(QWidget *, const QString &caption, const QString &, const QString &)
{
    return takeString(SaveFile, caption);
}

QString ScriptedPrompts::existingDirectory(QWidget *, const QString &caption, const QString &)
{
    return takeString(Directory, caption);
}

int ScriptedPrompts::getInt(QWidget *, const QString &title, const QString &label, int value, int, int, int,
                            bool *ok)
{
    Expected e;
    const bool accepted = take(Int, title, label, &e) && e.answer.isValid();
    if (ok)
        *ok = accepted;
    return accepted ? e.answer.toInt() : value;
}

double ScriptedPrompts::getDouble(QWidget *, const QString &title, const QString &label, double value, double,
                                  double, int, bool *ok, double)
{
    Expected e;
    const bool accepted = take(Double, title, label, &e) && e.answer.isValid();
    if (ok)
        *ok = accepted;
    return accepted ? e.answer.toDouble() : value;
}

QString ScriptedPrompts::getText(QWidget *, const QString &title, const QString &label, QLineEdit::EchoMode,
                                 const QString &, bool *ok)
{
    Expected e;
    const bool accepted = take(Text, title, label, &e) && e.answer.isValid();
    if (ok)
        *ok = accepted;
    return accepted ? e.answer.toString() : QString();
}

QString ScriptedPrompts::getItem(QWidget *, const QString &title, const QString &label, const QStringList &, int,
                                 bool, bool *ok)
{
    Expected e;
    const bool accepted = take(Item, title, label, &e) && e.answer.isValid();
    if (ok)
        *ok = accepted;
    return accepted ? e.answer.toString() : QString();
}

QColor ScriptedPrompts::getColor(const QColor &, QWidget *, const QString &title)
{
    Expected e;
    if (!take(Color, title, QString(), &e))
        return QColor();
    return e.answer.value<QColor>();
}

bool ScriptedPrompts::openUrl(const QUrl &url)
{
    Expected e;
    if (!take(Url, url.toString(), QString(), &e))
        return false;
    return e.answer.isValid() ? e.answer.toBool() : true;
}
