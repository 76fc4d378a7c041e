#pragma once

#include "widgets/prompts.h"

#include <QList>
#include <QVariant>
#include <functional>

// A prompts object for tests: each question the code asks must have been
// scripted in order with expect(); the answer is returned without any window.
// An unexpected question fails the running test and is answered with
// "cancel". The destructor restores the previous prompts object.
class ScriptedPrompts : public Prompts
{
public:
    enum Kind {
        Message,         // message(), information(), warning(), critical(), question()
        MessageBox,      // execMessageBox()
        Dialog,          // execDialog()
        Menu,            // execMenu()
        OpenFile,
        OpenFiles,
        SaveFile,
        Directory,
        Int,
        Double,
        Text,
        Item,
        Color,
        Url
    };

    // What the code asked: the kind, its title or caption, and its text or label.
    struct Call
    {
        Kind kind;
        QString title;
        QString text;
    };

    // The answer of one expected question. For Message it is a
    // QMessageBox::StandardButton; for file, text and item questions a string
    // (empty means cancelled); for Int and Double the number (an invalid
    // QVariant means cancelled); for Color a QColor; for Dialog and MessageBox
    // the exec() result. A handler, when given, runs on the dialog, box or
    // menu first (to tick a check box, click a button or choose an action) and
    // its result replaces the answer.
    using Handler = std::function<QVariant(QObject *subject)>;

    ScriptedPrompts();
    ~ScriptedPrompts() override;

    ScriptedPrompts &expect(Kind kind, const QVariant &answer, Handler handler = nullptr);

    // Questions asked so far, in order.
    const QList<Call> &calls() const { return m_calls; }
    // True when every scripted question was asked.
    bool allAnswered() const { return m_expected.isEmpty(); }
    int unexpectedCount() const { return m_unexpected; }

    QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    int execMessageBox(QMessageBox *box) override;
    int execDialog(QDialog *dialog) override;
    QAction *execMenu(QMenu *menu, const QPoint &globalPos) override;
    QString openFileName(QWidget *, const QString &caption, const QString &, const QString &) override;
    QStringList openFileNames(QWidget *, const QString &caption, const QString &, const QString &) override;
    QString saveFileName(QWidget *, const QString &caption, const QString &, const QString &) override;
    QString existingDirectory(QWidget *, const QString &caption, const QString &) override;
    int getInt(QWidget *, const QString &title, const QString &label, int value, int, int, int, bool *ok) override;
    double getDouble(QWidget *, const QString &title, const QString &label, double value, double, double, int,
                     bool *ok, double) override;
    QString getText(QWidget *, const QString &title, const QString &label, QLineEdit::EchoMode, const QString &,
                    bool *ok) override;
    QString getItem(QWidget *, const QString &title, const QString &label, const QStringList &, int, bool,
                    bool *ok) override;
    QColor getColor(const QColor &initial, QWidget *, const QString &title) override;
    bool openUrl(const QUrl &url) override;

private:
    struct Expected
    {
        Kind kind;
        QVariant answer;
        Handler handler;
    };
    // Records the call and pops the matching expectation; false when unexpected.
    bool take(Kind kind, const QString &title, const QString &text, Expected *out);
    QString takeString(Kind kind, const QString &caption);

    QList<Expected> m_expected;
    QList<Call> m_calls;
    int m_unexpected = 0;
    Prompts *m_previous = nullptr;
};
