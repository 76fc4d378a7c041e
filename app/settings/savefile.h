#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

// Every file the program writes goes through here: the bytes go to a
// temporary file beside the target, which replaces the target only when all of
// them reached the disk. A failure leaves the old file as it was.
namespace SaveFile {

// writeAll writes the whole content to the device and returns false when it
// could not. On failure returns false and, when error is given, the reason.
bool write(const QString &path, const std::function<bool(QIODevice &)> &writeAll, QString *error = nullptr);
bool write(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace SaveFile
