#pragma once

#include "settings/settings.h"

#include <QFile>

// Starts a test from the default settings, with no settings file on disk, so
// that what a test finds in "settings.ini" was written by the code it drives.
inline Settings &freshSettings()
{
    QFile::remove(QString::fromLatin1(Settings::kFileName));
    Settings::instance() = Settings::load(QStringLiteral("no-such-settings.ini"));
    return Settings::instance();
}
