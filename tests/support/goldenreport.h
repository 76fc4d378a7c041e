#pragma once

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QtTest>

// Written reports compared with golden files kept under tests/. The parts of a
// page that change from run to run are masked before the comparison: the
// embedded plot images (their PNG bytes depend on the font rasteriser) become
// "@PLOT@", and a test masks what else it must (the protocol's own date, trace
// ids drawn from a process-wide counter). With VANTOR_UPDATE_GOLDEN set, the
// masked page is written as the golden file instead of compared.
namespace GoldenReport {

inline QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("<unreadable>");
}

inline QString withPlotPlaceholder(QString page)
{
    page.replace(QRegularExpression(QStringLiteral("data:image/png;base64,[A-Za-z0-9+/=]*")), QStringLiteral("@PLOT@"));
    return page;
}

inline QString goldenPath(const QString &name)
{
    return qEnvironmentVariable("VANTOR_SOURCE_DIR") + QStringLiteral("/tests/analysis/golden/") + name;
}

// True when the masked page equals the golden file (or the golden file was
// rewritten on request); the first differing line is reported otherwise.
inline bool matches(const QString &maskedPage, const QString &name)
{
    const QString path = goldenPath(name);
    if (qEnvironmentVariableIsSet("VANTOR_UPDATE_GOLDEN")) {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(maskedPage.toUtf8()) < 0)
            return false;
        qWarning("golden file %s rewritten", qPrintable(path));
        return true;
    }
    const QString golden = fileText(path);
    if (golden == maskedPage)
        return true;
    const QStringList a = maskedPage.split(QLatin1Char('\n'));
    const QStringList b = golden.split(QLatin1Char('\n'));
    for (int i = 0; i < qMax(a.size(), b.size()); ++i) {
        if (a.value(i) != b.value(i)) {
            qWarning("%s line %d\n  written: %s\n  golden:  %s", qPrintable(name), i + 1, qPrintable(a.value(i)),
                qPrintable(b.value(i)));
            break;
        }
    }
    return false;
}

} // namespace GoldenReport
