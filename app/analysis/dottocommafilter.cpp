#include "analysis/dottocommafilter.h"

#include <QCoreApplication>
#include <QKeyEvent>

DotToCommaFilter::DotToCommaFilter(QObject *parent)
    : QObject(parent)
{
}

bool DotToCommaFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);

    static const QString kReplaced = QStringLiteral(".?/юЮбБ<>");
    const auto *keyEvent = static_cast<QKeyEvent *>(event);
    const QString text = keyEvent->text();
    if (text.size() != 1 || !kReplaced.contains(text.at(0)))
        return QObject::eventFilter(watched, event);

    // The comma passes this filter again on its way and reaches the widget.
    QKeyEvent comma(QEvent::KeyPress, Qt::Key_Comma, keyEvent->modifiers(), QStringLiteral(","), false, 1);
    QCoreApplication::sendEvent(watched, &comma);
    return true;
}
