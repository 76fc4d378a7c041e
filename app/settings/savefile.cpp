#include "settings/savefile.h"

#include <QSaveFile>

namespace SaveFile {

bool write(const QString &path, const std::function<bool(QIODevice &)> &writeAll, QString *error)
{
    QSaveFile file(path);
    const auto fail = [&](bool cancel) {
        if (error)
            *error = file.errorString();
        if (cancel)
            file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(false);
    // Flushed before commit() because commit() does not report a failure of its
    // own final flush: a cut-short file would replace the old one as if all went well.
    if (!writeAll(file) || !file.flush())
        return fail(true);
    if (!file.commit())
        return fail(false);
    return true;
}

bool write(const QString &path, const QByteArray &bytes, QString *error)
{
    return write(path, [&bytes](QIODevice &device) { return device.write(bytes) == bytes.size(); }, error);
}

} // namespace SaveFile
