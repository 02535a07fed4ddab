// The whole-file writer: content arrives byte for byte, and every way the write can fail throws a
// failure that names the file while leaving the earlier file as it was.
#include "platform/Failure.h"
#include "platform/TextFileWriter.h"

#include <csignal>
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
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The names left in dir, to show no temporary file stays behind.
QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

constexpr auto kWrite = QFile::WriteOwner | QFile::WriteOther;
constexpr auto kAll =
    kWrite | QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;

} // namespace

class TestTextFileWriter : public QObject {
    Q_OBJECT
private slots:
    void writesAndReplacesByteForByte();
    void failureKeepsTheOldFile_data();
    void failureKeepsTheOldFile();
};

void TestTextFileWriter::writesAndReplacesByteForByte() {
    // What the display numbers file holds after a save is checked through the window.
    QTemporaryDir dir;
    const QString path = dir.filePath("Qvr");
    writeTextFile(path, QByteArray(1000, 'x'));
    writeTextFile(path, QByteArray("769,0,768\r\n\xe9", 12));
    QCOMPARE(readAll(path), QByteArray("769,0,768\r\n\xe9", 12));
    QCOMPARE(entries(dir.path()), QStringList({"Qvr"}));
}

void TestTextFileWriter::failureKeepsTheOldFile_data() {
    QTest::addColumn<QString>("way");
    QTest::newRow("a folder of that name") << "folder";
    QTest::newRow("folder without write right") << "folder read-only";
    // Replacing a protected file by a rename would get round its protection.
    QTest::newRow("file without write right") << "file read-only";
    QTest::newRow("full disk") << "full";
}

void TestTextFileWriter::failureKeepsTheOldFile() {
    QFETCH(QString, way);
    QTemporaryDir dir;
    const QString path = dir.filePath("Qvr");
    const QString kept = way == "folder" ? dir.filePath("Qvr/inside") : path;
    if (way == "folder")
        QVERIFY(QDir(dir.path()).mkdir("Qvr"));
    writeTextFile(kept, "769,0,768\r\n");
    QVERIFY(QFile::setPermissions(path, kAll));
    if (way == "file read-only")
        QVERIFY(QFile::setPermissions(path, kAll & ~kWrite));
    if (way == "folder read-only")
        QVERIFY(QFile::setPermissions(dir.path(), kAll & ~kWrite));
    else
        QVERIFY(QFile::setPermissions(dir.path(), kAll));

    // Root may write anywhere, so the write runs as an unprivileged user, real and effective (a
    // check of the real user would otherwise see root); the saved ids let the test switch back.
    // A file-size limit makes the kernel refuse the bytes past it, as a full disk would.
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    if (way == "full")
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool root = geteuid() == 0;
    QVERIFY(!root || (setresgid(65534, 65534, 0) == 0 && setresuid(65534, 65534, 0) == 0));
    QString failure;
    try {
        writeTextFile(path, QByteArray(64 * 1024, 'y'));
    } catch (const Failure& caught) {
        failure = caught.message();
    }
    if (root && (setresuid(0, 0, 0) != 0 || setresgid(0, 0, 0) != 0))
        qFatal("cannot return to root");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);
    QFile::setPermissions(dir.path(), kAll);

    QVERIFY2(failure.startsWith("Quenvar ") && failure.contains(path), qPrintable(failure));
    QVERIFY2(way != "folder" || failure.contains("folder of that name"), qPrintable(failure));
    QCOMPARE(readAll(kept), QByteArray("769,0,768\r\n"));
    QCOMPARE(entries(dir.path()), QStringList{"Qvr"});
}

QTEST_GUILESS_MAIN(TestTextFileWriter)
#include "tst_TextFileWriter.moc"
