#pragma once

#include <QDir>
#include <QImage>
#include <QString>
#include <QWidget>
#include <QtTest>

// Saves a picture of a window under "<build>/screenshots/" for a person to
// look at; returns false when it could not be written.
inline bool saveScreenshot(QWidget *widget, const QString &name)
{
    const QString dir = QDir(qEnvironmentVariable("VANTOR_BINARY_DIR", QDir::currentPath())).filePath("screenshots");
    QDir().mkpath(dir);
    const QString path = QDir(dir).filePath(name + ".png");
    const QImage image = widget->grab().toImage();
    if (image.isNull() || !image.save(path))
        return false;
    qInfo() << "screenshot:" << path;
    return true;
}
