#pragma once

#include "measurements/operatorquestions.h"

// The measurements' questions put to the operator through the prompts object,
// so they are asked as every other question of the program is (and a test's
// scripted prompts answer them).
class PromptQuestions : public OperatorQuestions {
public:
    QString getText(QWidget *parent, const QString &title, const QString &label, bool *ok) override;
    double getDouble(QWidget *parent, const QString &title, const QString &label, double value, double min,
        double max, int decimals, bool *ok) override;
    QAction *execMenu(QMenu *menu, const QPoint &globalPos) override;

    // Makes one process-wide PromptQuestions the measurements' answerer.
    static void install();
};
