#pragma once

#include <QString>

class QAction;
class QMenu;
class QPoint;
class QWidget;

// What the measurements and the measurement tree ask the operator: the text of
// a label, a number, a choice from a context menu. They only put the question;
// the windows answer it (PromptQuestions in analysis/, through the prompts
// object), installed once at start-up. Until an answerer is installed every
// question is declined: no text, no number, no menu choice.
class OperatorQuestions {
public:
    virtual ~OperatorQuestions() = default;

    // *ok tells whether the operator accepted.
    virtual QString getText(QWidget *parent, const QString &title, const QString &label, bool *ok) = 0;
    virtual double getDouble(QWidget *parent, const QString &title, const QString &label, double value,
        double min, double max, int decimals, bool *ok)
        = 0;
    // The action chosen from the menu at a global position, or null.
    virtual QAction *execMenu(QMenu *menu, const QPoint &globalPos) = 0;

    // The answerer in use; the declining one when none is installed.
    static OperatorQuestions &instance();
    // Installs the answerer (null for the declining one); returns the one
    // installed before, null for the declining one.
    static OperatorQuestions *install(OperatorQuestions *questions);
};
