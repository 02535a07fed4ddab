#include "platform/TextFileWriter.h"

#include "platform/Failure.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

[[noreturn]] void fail(const QString& path, int error, bool kept) {
    QString what;
    QString todo = QStringLiteral("Check the disk and save again.");
    switch (error) {
    case ENOSPC:
        what = QStringLiteral("the disk is full");
        todo = QStringLiteral("Free some space on it and save again.");
        break;
    case EDQUOT:
        what = QStringLiteral("your disk quota is used up");
        todo = QStringLiteral("Free some space and save again.");
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        what = QStringLiteral("there is no right to write there");
        todo = QStringLiteral("Make the file and its folder writable for you and save again.");
        break;
    case EISDIR:
        what = QStringLiteral("a folder of that name is in the way");
        todo = QStringLiteral("Move or rename that folder and save again.");
        break;
    case ENOENT:
    case ENOTDIR:
        what = QStringLiteral("its folder does not exist");
        todo = QStringLiteral("Create the folder and save again.");
        break;
    default:
        what = QStringLiteral("the system reported \"%1\"")
                   .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
    QString text = QStringLiteral("The file %1 could not be saved: %2. %3")
                       .arg(QDir::toNativeSeparators(path), what, todo);
    if (kept)
        text += QStringLiteral(" The file still holds what it held before.");
    throw Failure(kProgramName, text);
}

// The new content's file beside the target, removed again unless it took the target's place.
struct Draft {
    QByteArray name;
    int fd = -1;
    bool placed = false;
    ~Draft() {
        if (fd >= 0)
            ::close(fd);
        if (!name.isEmpty() && !placed)
            ::unlink(name.constData());
    }
};

bool writeAll(int fd, const QByteArray& content) {
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t wrote = ::write(fd, content.constData() + done, content.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += wrote;
    }
    return true;
}

// What the file holds now, as the file system gives it back.
bool holds(int fd, const QByteArray& content) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size != content.size())
        return false;
    QByteArray back(content.size(), Qt::Uninitialized);
    return ::pread(fd, back.data(), back.size(), 0) == back.size() && back == content;
}

} // namespace

void writeTextFile(const QString& path, const QByteArray& content) {
    const QFileInfo target(path);
    const QByteArray name = QFile::encodeName(target.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    struct stat old {};
    const bool existed = ::stat(name.constData(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        fail(path, EISDIR, false);
    // A rename would replace a file that its owner protected against writing.
    if (existed && ::access(name.constData(), W_OK) != 0)
        fail(path, errno, true);

    Draft draft;
    for (int attempt = 0; draft.fd < 0; ++attempt) {
        draft.name = folder + "/." + target.fileName().toLocal8Bit() + '.' +
                     QByteArray::number(QRandomGenerator::global()->generate(), 36);
        draft.fd = ::open(draft.name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (draft.fd < 0 && (errno != EEXIST || attempt == 10)) {
            const int error = errno;
            draft.name.clear();
            fail(path, error, existed);
        }
    }
    if (existed)
        ::fchmod(draft.fd, old.st_mode & 07777);
    if (!writeAll(draft.fd, content) || ::fsync(draft.fd) != 0)
        fail(path, errno, existed);
    if (!holds(draft.fd, content))
        fail(path, EIO, existed);
    const int fd = draft.fd;
    draft.fd = -1;
    if (::close(fd) != 0 || ::rename(draft.name.constData(), name.constData()) != 0)
        fail(path, errno, existed);
    draft.placed = true;
    // The rename itself is on the disk only once the folder is. The new file is whole in any case,
    // so a folder that cannot be synced is not worth a message.
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace platform
