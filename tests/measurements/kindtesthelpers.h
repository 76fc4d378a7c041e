#pragma once

#include "settings/logger.h"

#include <QFile>
#include <QStringList>

// The INFO lines the log gains from the moment this object is made, without
// their time stamps.
class LogTail {
public:
    LogTail()
        : start(QFile(path()).size())
    {
    }

    QStringList infoLines() const
    {
        QFile file(path());
        QStringList lines;
        if (!file.open(QIODevice::ReadOnly) || !file.seek(start))
            return lines;
        const QString marker = QStringLiteral("] INFO: ");
        for (const QString &line : QString::fromUtf8(file.readAll()).split('\n')) {
            const int at = line.indexOf(marker);
            if (at >= 0)
                lines << line.mid(at + marker.size());
        }
        return lines;
    }

private:
    static QString path() { return QString::fromStdString(logger.fileName()); }
    qint64 start;
};
