#include "platform/TextFileWriter.h"

#include "platform/Failure.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace platform {

namespace {

[[noreturn]] void fail(const QString& what, const QString& path, const QString& reason) {
    throw Failure(
        kProgramName,
        QStringLiteral("%1 \"%2\": %3.").arg(what, QDir::toNativeSeparators(path), reason));
}

} // namespace

void writeTextFile(const QString& path, const QByteArray& content) {
    // QSaveFile would write a temporary file into the folder and then rename it over the folder's
    // entry; say plainly what is in the way instead.
    if (QFileInfo(path).isDir())
        fail(QStringLiteral("Could not write the file"), path,
             QStringLiteral("a folder of that name is in the way"));
    QSaveFile file(path);
    // Binary: the content is written byte for byte, its line ends included.
    if (!file.open(QIODevice::WriteOnly))
        fail(QStringLiteral("Could not create the file"), path, file.errorString());
    if (file.write(content) != content.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        fail(QStringLiteral("Could not write the file"), path, reason);
    }
    // A full disk usually shows only here, when the buffered bytes reach it.
    if (!file.commit())
        fail(QStringLiteral("Could not save the file"), path, file.errorString());
}

} // namespace platform
