// The open-file dialog and the message box: what the control window sees when the operator
// chooses, cancels or presses OK. The real Qt dialogs are answered from a timer while they wait.
#include "platform/CommonDialog.h"
#include "platform/Failure.h"
#include "platform/MessageBox.h"

#include <functional>
#include <optional>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace platform;

namespace {

// Answers with the next reply and records what it was asked.
class FakePrompt final : public FilePrompt {
public:
    std::optional<QString> reply;
    QString title, directory, filters;
    QWidget* parent = nullptr;
    int asked = 0;

    std::optional<QString> askOpenFile(QWidget* parentWidget, const QString& titleText,
                                       const QString& dir, const QString& filterText) override {
        ++asked;
        parent = parentWidget;
        title = titleText;
        directory = dir;
        filters = filterText;
        return reply;
    }
};

// Calls act with the modal widget of type W once one is up, polling from the event loop that
// the modal widget itself runs.
template <typename W> void whenModal(std::function<void(W*)> act) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto* widget = qobject_cast<W*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(widget);
        }
    });
    poll->start();
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void showOpenPassesSettingsAndKeepsChoice();
    void cancelThrowsAndKeepsPreviousName();
    void qtPromptReturnsFullPath();
    void qtPromptCancelled();
    void messageBoxIsOpenWhileWaiting();
    void nestedMessageBoxesCount();
};

void TestDialogs::showOpenPassesSettingsAndKeepsChoice() {
    FakePrompt prompt;
    CommonDialog dialog(prompt);
    dialog.setDialogTitle(QStringLiteral("Load PowerPoint Presentation"));
    dialog.setFilter(QStringLiteral("PowerPoint (*.ppt);;All files (*)"));
    dialog.setInitDir(QStringLiteral("/home/operator"));
    QWidget owner;
    prompt.reply = QStringLiteral("/home/operator/talk.ppt");
    dialog.ShowOpen(&owner);
    QCOMPARE(prompt.asked, 1);
    QCOMPARE(prompt.parent, &owner);
    QCOMPARE(prompt.title, QStringLiteral("Load PowerPoint Presentation"));
    QCOMPARE(prompt.filters, QStringLiteral("PowerPoint (*.ppt);;All files (*)"));
    QCOMPARE(prompt.directory, QStringLiteral("/home/operator"));
    QCOMPARE(dialog.FileName(), QStringLiteral("/home/operator/talk.ppt"));
}

void TestDialogs::cancelThrowsAndKeepsPreviousName() {
    FakePrompt prompt;
    CommonDialog dialog(prompt);
    prompt.reply = QStringLiteral("/shows/first.odp");
    dialog.ShowOpen();
    prompt.reply.reset();
    try {
        dialog.ShowOpen();
        QFAIL("cancelling did not fail");
    } catch (const Failure& failure) {
        QCOMPARE(failure.source(), QStringLiteral("Quenvar"));
        QCOMPARE(failure.description(), QStringLiteral("Cancel was selected."));
        QCOMPARE(failure.message(), QStringLiteral("Quenvar Cancel was selected."));
    }
    QCOMPARE(dialog.FileName(), QStringLiteral("/shows/first.odp"));
}

void TestDialogs::qtPromptReturnsFullPath() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("talk.ppt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QString seenTitle;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        seenTitle = dialog->windowTitle();
        dialog->selectFile(QStringLiteral("talk.ppt"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QtFilePrompt prompt;
    const auto chosen = prompt.askOpenFile(nullptr, QStringLiteral("Load PowerPoint Presentation"),
                                           dir.path(), QStringLiteral("Shows (*.ppt)"));
    QCOMPARE(seenTitle, QStringLiteral("Load PowerPoint Presentation"));
    QVERIFY(chosen);
    QCOMPARE(*chosen, path);
}

void TestDialogs::qtPromptCancelled() {
    QTemporaryDir dir;
    whenModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QtFilePrompt prompt;
    QCOMPARE(prompt.askOpenFile(nullptr, QStringLiteral("t"), dir.path(), QString()),
             std::optional<QString>());
}

void TestDialogs::messageBoxIsOpenWhileWaiting() {
    QtMessageBox box;
    QCOMPARE(box.isOpen(), false);
    bool openMeanwhile = false;
    QString title, text;
    int buttons = 0;
    bool onTop = false;
    whenModal<QMessageBox>([&](QMessageBox* shown) {
        openMeanwhile = box.isOpen();
        title = shown->windowTitle();
        text = shown->text();
        buttons = int(shown->buttons().size());
        onTop = shown->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        QTest::mouseClick(shown->button(QMessageBox::Ok), Qt::LeftButton);
    });
    box.show(QStringLiteral("Quenvar Cancel was selected."));
    QVERIFY(openMeanwhile);
    QCOMPARE(title, QStringLiteral("Quenvar"));
    QCOMPARE(text, QStringLiteral("Quenvar Cancel was selected."));
    QCOMPARE(buttons, 1);
    QVERIFY(onTop);
    QCOMPARE(box.isOpen(), false);
}

void TestDialogs::nestedMessageBoxesCount() {
    // A second box opened while the first waits (as a timer tick may) must not clear isOpen
    // when it closes before the first.
    QtMessageBox box;
    bool openAfterInner = false;
    whenModal<QMessageBox>([&](QMessageBox* outer) {
        whenModal<QMessageBox>([&, outer](QMessageBox* inner) {
            QVERIFY(inner != outer);
            inner->button(QMessageBox::Ok)->click();
        });
        box.show(QStringLiteral("inner"));
        openAfterInner = box.isOpen();
        outer->button(QMessageBox::Ok)->click();
    });
    box.show(QStringLiteral("outer"));
    QVERIFY(openAfterInner);
    QCOMPARE(box.isOpen(), false);
}

QTEST_MAIN(TestDialogs)
#include "tst_Dialogs.moc"
