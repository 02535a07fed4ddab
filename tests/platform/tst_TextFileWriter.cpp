// The whole-file writer: content arrives byte for byte, and every way the write can fail throws a
// failure that names the file while leaving the earlier file as it was.
#include "platform/Failure.h"
#include "platform/TextFileWriter.h"

#include <csignal>
#include <optional>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/resource.h>
#include <unistd.h>

using namespace platform;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

// Runs write and returns the failure it threw, or nothing when it threw none.
template <typename F> std::optional<Failure> failureOf(F write) {
    try {
        write();
    } catch (const Failure& failure) {
        return failure;
    }
    return std::nullopt;
}

// Root may write anywhere, so the permission cases drop to an unprivileged effective user for
// their duration (the real user stays root, which lets the test switch back).
class Unprivileged {
public:
    Unprivileged() : m_wasRoot(geteuid() == 0) {
        if (m_wasRoot && seteuid(65534) != 0)
            qFatal("cannot drop to an unprivileged user");
    }
    ~Unprivileged() {
        if (m_wasRoot && seteuid(0) != 0)
            qFatal("cannot return to root");
    }

private:
    bool m_wasRoot;
};

// The names left in dir, to show no temporary file stays behind after a failure.
QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestTextFileWriter : public QObject {
    Q_OBJECT
private slots:
    void writesNewFile();
    void replacesOldFile();
    void folderOfThatName();
    void folderWithoutWriteRight();
    void readOnlyFile();
    void fullDiskLeavesOldFileWhole();
};

void TestTextFileWriter::writesNewFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Qvr"));
    // CR LF and a byte above 127 are written as given.
    const QByteArray content("769,0,768\r\n\xe9", 12);
    writeTextFile(path, content);
    QCOMPARE(readAll(path), content);
    writeTextFile(dir.filePath(QStringLiteral("empty")), QByteArray());
    QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("empty"))).size(), 0);
}

void TestTextFileWriter::replacesOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Qvr"));
    writeTextFile(path, QByteArray(1000, 'x'));
    writeTextFile(path, "0,0,800\r\n");
    QCOMPARE(readAll(path), QByteArray("0,0,800\r\n"));
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("Qvr")});
}

void TestTextFileWriter::folderOfThatName() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Qvr"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Qvr")));
    writeTextFile(dir.filePath(QStringLiteral("Qvr/inside")), "kept");
    const auto failure = failureOf([&] { writeTextFile(path, "769,0,768\r\n"); });
    QVERIFY(failure);
    QCOMPARE(failure->source(), kProgramName);
    QVERIFY2(failure->description().contains(path), qPrintable(failure->description()));
    QVERIFY2(failure->description().contains(QStringLiteral("folder")),
             qPrintable(failure->description()));
    QVERIFY(QFileInfo(path).isDir());
    QCOMPARE(readAll(dir.filePath(QStringLiteral("Qvr/inside"))), QByteArray("kept"));
}

void TestTextFileWriter::folderWithoutWriteRight() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Qvr"));
    writeTextFile(path, "old\r\n");
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                    QFile::WriteOther);
    std::optional<Failure> failure;
    {
        Unprivileged user;
        failure = failureOf([&] { writeTextFile(path, "new\r\n"); });
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(failure);
    QCOMPARE(failure->source(), kProgramName);
    QVERIFY2(failure->description().contains(path), qPrintable(failure->description()));
    QCOMPARE(readAll(path), QByteArray("old\r\n"));
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("Qvr")});
}

void TestTextFileWriter::readOnlyFile() {
    // The folder may be written, the file itself may not: replacing it by a rename would get
    // round its protection, so the write is refused.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Qvr"));
    writeTextFile(path, "old\r\n");
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::WriteOther | QFile::ExeOther));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadOther));
    std::optional<Failure> failure;
    {
        Unprivileged user;
        failure = failureOf([&] { writeTextFile(path, "new\r\n"); });
    }
    QVERIFY(failure);
    QVERIFY2(failure->description().contains(path), qPrintable(failure->description()));
    QCOMPARE(readAll(path), QByteArray("old\r\n"));
}

void TestTextFileWriter::fullDiskLeavesOldFileWhole() {
    // A file-size limit makes the kernel refuse the bytes past it, as a full disk would.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Qvr"));
    const QByteArray old("769,0,768\r\n");
    writeTextFile(path, old);

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto failure = failureOf([&] { writeTextFile(path, QByteArray(64 * 1024, 'x')); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);

    QVERIFY(failure);
    QCOMPARE(failure->source(), kProgramName);
    QVERIFY2(failure->description().contains(path), qPrintable(failure->description()));
    QCOMPARE(readAll(path), old);
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("Qvr")});
}

QTEST_GUILESS_MAIN(TestTextFileWriter)
#include "tst_TextFileWriter.moc"
