#include "measurements/operatorquestions.h"

namespace {

class DecliningQuestions : public OperatorQuestions {
public:
    QString getText(QWidget *, const QString &, const QString &, bool *ok) override
    {
        if (ok)
            *ok = false;
        return QString();
    }
    double getDouble(QWidget *, const QString &, const QString &, double value, double, double, int,
        bool *ok) override
    {
        if (ok)
            *ok = false;
        return value;
    }
    QAction *execMenu(QMenu *, const QPoint &) override { return nullptr; }
};

OperatorQuestions *&installed()
{
    static OperatorQuestions *questions = nullptr;
    return questions;
}

} // namespace

OperatorQuestions &OperatorQuestions::instance()
{
    static DecliningQuestions declining;
    OperatorQuestions *questions = installed();
    return questions ? *questions : declining;
}

OperatorQuestions *OperatorQuestions::install(OperatorQuestions *questions)
{
    OperatorQuestions *previous = installed();
    installed() = questions;
    return previous;
}
