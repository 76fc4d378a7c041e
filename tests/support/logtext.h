#pragma once

#include "settings/logger.h"

#include <QFile>
#include <QString>

// What this run has written to its log file so far.
inline QString logText()
{
    QFile file(QString::fromStdString(logger.fileName()));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
