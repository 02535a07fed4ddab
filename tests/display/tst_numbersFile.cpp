// The display numbers file: what Save writes, what Load makes of any file it finds, and how both
// report what went wrong.

#include "linereader/Class1.h"
#include "ScreenFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRandomGenerator>

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

const QStringList kUntouched = {"a", "b", "c"};

} // namespace

class NumbersFileTest : public QObject {
    Q_OBJECT
private slots:
    void defaultPath();
    void saveThenLoad_data();
    void saveThenLoad();
    void saveReplacesTheWholeFile();
    void saveFailureIsReported_data();
    void saveFailureIsReported();
    void loadHandEditedFiles_data();
    void loadHandEditedFiles();
    void loadWithoutNumbers_data();
    void loadWithoutNumbers();
    void loadAnyContentSafely_data();
    void loadAnyContentSafely();
    void loadingNeverConfirms();
    void windowClosedWhileLoading();
};

void NumbersFileTest::defaultPath() {
#ifdef Q_OS_WIN
    QCOMPARE(display::defaultNumbersFilePath(), QStringLiteral("C:/Qvr"));
#else
    QCOMPARE(display::defaultNumbersFilePath(), QDir::homePath() + QStringLiteral("/Qvr"));
#endif
}

void NumbersFileTest::saveThenLoad_data() {
    QTest::addColumn<QStringList>("typed"); // Left, Top, Width
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("loaded");
    QTest::addColumn<QList<int>>("confirmed"); // by OK right after the load

    QTest::newRow("defaults") << QStringList{"769", "0", "768"} << QByteArray("769,0,768\r\n")
                              << QStringList{"769", "0", "768"} << QList<int>{769, 0, 768};
    QTest::newRow("blanks kept") << QStringList{" 5", "0 ", " -1024 "}
                                 << QByteArray(" 5,0 , -1024 \r\n")
                                 << QStringList{" 5", "0 ", " -1024 "} << QList<int>{5, 0, -1024};
    QTest::newRow("comma shifts the fields")
        << QStringList{"1,2", "3", "4"} << QByteArray("1,2,3,4\r\n") << QStringList{"1", "2", "3"}
        << QList<int>{1, 2, 3};
    QTest::newRow("fractions as typed")
        << QStringList{"769", "0", "768.5"} << QByteArray("769,0,768.5\r\n")
        << QStringList{"769", "0", "768.5"} << QList<int>{769, 0, 768};
}

void NumbersFileTest::saveThenLoad() {
    QFETCH(QStringList, typed);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, loaded);
    QFETCH(QList<int>, confirmed);

    ScreenFixture f;
    f.screen->Show();
    f.typeAll(typed[0], typed[1], typed[2]);
    f.click("cmdSaveFile");
    QCOMPARE(readBytes(f.numbersFile()), file);
    // Saving leaves the window open, the boxes as they were and the numbers unconfirmed.
    QVERIFY(f.screen->window());
    QCOMPARE(f.texts(), typed);
    QVERIFY(!f.screen->intDisplaySet);

    f.click("CancelButton");
    f.screen->Show();
    f.click("cmdLoadFile");
    QCOMPARE(f.texts(), loaded);
    f.click("OKButton");
    QCOMPARE(f.members(), confirmed);
    QCOMPARE(f.messages.texts, QStringList());
}

void NumbersFileTest::saveReplacesTheWholeFile() {
    ScreenFixture f;
    writeBytes(f.numbersFile(), "12345,12345,12345\r\nsecond line\r\n");
    f.screen->Show();
    f.typeAll("1", "2", QString::fromUtf8("3\u00e9\u4e2d")); // é is Latin-1, 中 is not
    f.click("cmdSaveFile");
    QCOMPARE(readBytes(f.numbersFile()), QByteArray("1,2,3\xe9?\r\n"));
    QCOMPARE(f.messages.texts, QStringList());

    // Bytes beyond 126 are filtered out again on loading.
    f.click("cmdLoadFile");
    QCOMPARE(f.texts(), QStringList({"1", "2", "3?"}));
}

void NumbersFileTest::saveFailureIsReported_data() {
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("a folder of that name") << "folder";
    QTest::newRow("no such folder") << "missing folder";
}

void NumbersFileTest::saveFailureIsReported() {
    QFETCH(QString, obstacle);
    QTemporaryDir folder;
    const QString path =
        obstacle == "folder" ? folder.filePath("Qvr") : folder.filePath("nowhere/Qvr");
    if (obstacle == "folder")
        QVERIFY(QDir(folder.path()).mkdir("Qvr"));

    RecordingMessageBox messages;
    platform::Forms forms;
    display::frmScreen screen({path, &messages, &forms});
    screen.Show();
    QTest::mouseClick(screen.window()->findChild<QPushButton*>("cmdSaveFile"), Qt::LeftButton);

    QCOMPARE(messages.texts.size(), 1);
    QVERIFY2(messages.texts.first().startsWith("Quenvar "), qPrintable(messages.texts.first()));
    QVERIFY(screen.window());
    if (obstacle == "folder")
        QVERIFY(QFileInfo(path).isDir());
    else
        QVERIFY(!QFileInfo::exists(folder.filePath("nowhere")));
}

void NumbersFileTest::loadHandEditedFiles_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("loaded");
    QTest::newRow("blank lines first")
        << QByteArray("\r\n  \r\n\r\n10,20,30\r\n") << QStringList{"10", "20", "30"};
    QTest::newRow("blanks kept") << QByteArray(" 769 , 0 ,768 ")
                                 << QStringList{" 769 ", " 0 ", "768 "};
    QTest::newRow("tabs and high bytes removed")
        << QByteArray("\t769,\t0\x7f,768\x80\xa0\xff\r\n") << QStringList{"769", "0", "768"};
    QTest::newRow("NULs removed") << QByteArray("7\0006\0009,0,768\r\n", 15)
                                  << QStringList{"769", "0", "768"};
    QTest::newRow("more than three fields")
        << QByteArray("1,2,3,4,5\r\n") << QStringList{"1", "2", "3"};
    QTest::newRow("LF line ends") << QByteArray("\n\n4,5,6\n7,8,9\n") << QStringList{"4", "5", "6"};
    QTest::newRow("empty fields") << QByteArray(",,\r\n") << QStringList{"", "", ""};
    QTest::newRow("only the first line")
        << QByteArray("1,2,3\r\n4,5,6\r\n") << QStringList{"1", "2", "3"};
}

void NumbersFileTest::loadHandEditedFiles() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, loaded);
    ScreenFixture f;
    writeBytes(f.numbersFile(), file);
    f.screen->Show();
    f.click("cmdLoadFile");
    QCOMPARE(f.messages.texts, QStringList());
    QCOMPARE(f.texts(), loaded);
    QCOMPARE(readBytes(f.numbersFile()), file); // a load never writes
}

void NumbersFileTest::loadWithoutNumbers_data() {
    QTest::addColumn<QString>("kind"); // "missing", "folder" or "file"
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("says");
    const QString none = "There are no saved display numbers in the file";
    QTest::newRow("missing") << "missing" << QByteArray() << none;
    QTest::newRow("empty") << "file" << QByteArray() << none;
    QTest::newRow("blank lines") << "file" << QByteArray("  \r\n\r\n   ") << none;
    QTest::newRow("tabs only") << "file" << QByteArray("\t\t\r\n\t") << none;
    QTest::newRow("two fields") << "file" << QByteArray("769,0\r\n") << none;
    QTest::newRow("one field") << "file" << QByteArray("769\r\n0\r\n768\r\n") << none;
    QTest::newRow("a folder") << "folder" << QByteArray() << "could not be read";
}

void NumbersFileTest::loadWithoutNumbers() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, file);
    QFETCH(QString, says);
    ScreenFixture f;
    if (kind == "file")
        writeBytes(f.numbersFile(), file);
    else if (kind == "folder")
        QVERIFY(QDir(f.folder.path()).mkdir("Qvr"));

    f.screen->Show();
    f.typeAll(kUntouched[0], kUntouched[1], kUntouched[2]);
    f.click("cmdLoadFile");
    QCOMPARE(f.texts(), kUntouched);
    QCOMPARE(f.messages.texts.size(), 1);
    const QString message = f.messages.texts.first();
    QVERIFY2(message.startsWith("Quenvar ") && message.contains(says), qPrintable(message));
    QVERIFY2(message.contains(QDir::toNativeSeparators(f.numbersFile())), qPrintable(message));
    if (kind == "missing")
        QVERIFY(!QFileInfo::exists(f.numbersFile()));
    QVERIFY(f.screen->window());
}

void NumbersFileTest::loadAnyContentSafely_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("loaded"); // empty: whatever comes, in one piece

    QByteArray random(1 << 20, Qt::Uninitialized);
    QRandomGenerator generator(4);
    for (char& byte : random)
        byte = char(generator.bounded(256));
    QTest::newRow("random bytes") << random << QStringList();
    QTest::newRow("NULs") << QByteArray(2 << 20, '\0') << kUntouched;
    QTest::newRow("one huge line") << QByteArray(4 << 20, '7') << kUntouched;
    QTest::newRow("high bytes, then numbers") << QByteArray(1 << 20, '\xee') + "\r\n1,2,3\r\n"
                                              << QStringList{"1", "2", "3"};
    QByteArray blanks;
    for (int i = 0; i < 100000; ++i)
        blanks += "   \r\n";
    QTest::newRow("many blank lines, then numbers")
        << blanks + "1,2,3" << QStringList{"1", "2", "3"};
    QTest::newRow("form feeds and CRs")
        << QByteArray("\f\r\r\f\f9,8,7\f") << QStringList{"9", "8", "7"};
}

void NumbersFileTest::loadAnyContentSafely() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, loaded);
    ScreenFixture f;
    writeBytes(f.numbersFile(), file);
    f.screen->Show();
    f.typeAll(kUntouched[0], kUntouched[1], kUntouched[2]);
    f.click("cmdLoadFile");

    QVERIFY(f.messages.texts.size() <= 1);
    const QStringList texts = f.texts();
    if (!loaded.isEmpty())
        QCOMPARE(texts, loaded);
    // Either the boxes were filled, or they were left alone and the message said why.
    QCOMPARE(f.messages.texts.size(), texts == kUntouched ? 1 : 0);
    for (const QString& text : texts) {
        for (QChar c : text)
            QVERIFY(c.unicode() >= 32 && c.unicode() <= 126);
    }
}

void NumbersFileTest::loadingNeverConfirms() {
    ScreenFixture f;
    f.screen->Show();
    f.typeAll("1", "2", "3");
    f.click("OKButton");

    writeBytes(f.numbersFile(), "40,50,60\r\n");
    f.screen->Show();
    f.click("cmdLoadFile");
    QCOMPARE(f.texts(), QStringList({"40", "50", "60"}));
    QCOMPARE(f.members(), QList<int>({1, 2, 3}));
    f.click("CancelButton");
    QCOMPARE(f.members(), QList<int>({1, 2, 3}));
    QCOMPARE(f.screen->intDisplaySet, std::optional<int16_t>(1));

    // Without controls there is nothing to fill.
    f.screen->ReadAFile(f.numbersFile());
    QCOMPARE(f.messages.texts, QStringList());
}

namespace {
display::frmScreen* g_closing = nullptr;
void closeDuringRead() {
    if (g_closing) {
        g_closing->CancelButton_Click();
        // The controls may really go in such a pass, not only be marked for going.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
} // namespace

void NumbersFileTest::windowClosedWhileLoading() {
    // The reader lets window events run while it reads; the operator may close the window then.
    ScreenFixture f;
    writeBytes(f.numbersFile(), QByteArray(20000, ' ') + "\r\n1,2,3\r\n");
    f.screen->Show();
    const QPointer<QDialog> window = f.screen->window();
    g_closing = f.screen.get();
    linereader::setEventPass(&closeDuringRead);
    f.click("cmdLoadFile");
    linereader::setEventPass(nullptr);
    g_closing = nullptr;

    QCOMPARE(f.screen->window(), nullptr);
    QVERIFY(window.isNull());
    QCOMPARE(f.messages.texts, QStringList());
    QVERIFY(!f.screen->intDisplaySet);
}

QTEST_MAIN(NumbersFileTest)
#include "tst_numbersFile.moc"
