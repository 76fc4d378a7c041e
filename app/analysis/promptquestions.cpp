#include "analysis/promptquestions.h"

#include "widgets/prompts.h"

QString PromptQuestions::getText(QWidget *parent, const QString &title, const QString &label, bool *ok)
{
    return Prompts::instance().getText(parent, title, label, QLineEdit::Normal, QString(), ok);
}

double PromptQuestions::getDouble(QWidget *parent, const QString &title, const QString &label, double value,
    double min, double max, int decimals, bool *ok)
{
    return Prompts::instance().getDouble(parent, title, label, value, min, max, decimals, ok);
}

QAction *PromptQuestions::execMenu(QMenu *menu, const QPoint &globalPos)
{
    return Prompts::instance().execMenu(menu, globalPos);
}

void PromptQuestions::install()
{
    static PromptQuestions questions;
    OperatorQuestions::install(&questions);
}
