#pragma once

#include <QDir>
#include <QString>
#include <QWidget>
#include <QtTest>

// Saves what a widget shows as "<build>/screenshots/<name>.png", so a person
// can look at every window without running the program. Returns the path.
inline QString saveWindowShot(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("VANTOR_BINARY_DIR", QDir::currentPath()) + "/screenshots";
    QDir().mkpath(dir);
    const QString path = dir + '/' + name + ".png";
    if (!widget->grab().save(path))
        qWarning("screenshot %s not written", qPrintable(path));
    return path;
}
