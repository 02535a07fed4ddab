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
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace platform;

namespace {

// Answers with the next reply and records the window it was asked over.
struct FakePrompt final : FilePrompt {
    std::optional<QString> reply;
    QWidget* parent = nullptr;
    std::optional<QString> askOpenFile(QWidget* owner, const QString&, const QString&,
                                       const QString&) override {
        parent = owner;
        return reply;
    }
};

// Calls act with the modal widget of type W once one is up, polling from the event loop that
// the modal widget itself runs.
template <typename W> void whenModal(std::function<void(W*)> act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto* widget = qobject_cast<W*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            act(widget);
        }
    });
    poll->start(10);
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void showOpenPassesSettingsAndCancelKeepsChoice();
    void qtPromptReturnsFullPathOrNothing();
    void messageBoxIsOpenWhileWaiting();
};

// What the title, folder and filters reach the prompt as is checked through Load Show.
void TestDialogs::showOpenPassesSettingsAndCancelKeepsChoice() {
    FakePrompt prompt;
    CommonDialog dialog(prompt);
    QWidget owner;
    prompt.reply = "/home/operator/talk.ppt";
    dialog.ShowOpen(&owner);
    QCOMPARE(prompt.parent, &owner);
    QCOMPARE(dialog.FileName(), "/home/operator/talk.ppt");
    prompt.reply.reset();
    try {
        dialog.ShowOpen();
        QFAIL("cancelling did not fail");
    } catch (const Failure& failure) {
        QCOMPARE(failure.message(), "Quenvar Cancel was selected.");
    }
    QCOMPARE(dialog.FileName(), "/home/operator/talk.ppt");
}

void TestDialogs::qtPromptReturnsFullPathOrNothing() {
    QTemporaryDir dir;
    const QString path = dir.filePath("talk.ppt");
    QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    QString seenTitle;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        seenTitle = dialog->windowTitle();
        dialog->selectFile("talk.ppt");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QtFilePrompt prompt;
    QCOMPARE(prompt.askOpenFile(nullptr, "Load Show", dir.path(), "Shows (*.ppt)"), path);
    QCOMPARE(seenTitle, "Load Show");

    whenModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QCOMPARE(prompt.askOpenFile(nullptr, "t", dir.path(), QString()), std::nullopt);
}

void TestDialogs::messageBoxIsOpenWhileWaiting() {
    // A second box opened while the first waits (as a timer tick may) must not clear isOpen
    // when it closes before the first.
    QtMessageBox box;
    QCOMPARE(box.isOpen(), false);
    QStringList seen;
    whenModal<QMessageBox>([&](QMessageBox* outer) {
        seen << QVariant(box.isOpen()).toString() << outer->windowTitle() << outer->text()
             << QString::number(outer->buttons().size())
             << QVariant(outer->windowFlags().testFlag(Qt::WindowStaysOnTopHint)).toString();
        whenModal<QMessageBox>([&, outer](QMessageBox* inner) {
            seen << QVariant(inner != outer).toString();
            QTest::mouseClick(inner->button(QMessageBox::Ok), Qt::LeftButton);
        });
        box.show("inner");
        seen << QVariant(box.isOpen()).toString();
        outer->button(QMessageBox::Ok)->click();
    });
    box.show("Quenvar Cancel was selected.");
    QCOMPARE(seen, QStringList({"true", "Quenvar", "Quenvar Cancel was selected.", "1", "true",
                                "true", "true"}));
    QCOMPARE(box.isOpen(), false);
}

QTEST_MAIN(TestDialogs)
#include "tst_Dialogs.moc"
