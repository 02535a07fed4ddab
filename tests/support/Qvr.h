// What the control window's tests, and those of what drives it, start from: a frmQvr over the
// fake presentation program, a file prompt that answers what the test says, a recording message
// box, a clock the test moves by hand and a numbers file in a temporary folder.
#pragma once

#include "platform/Forms.h"
#include "show/frmQvr.h"
#include "tests/support/FakePowerPoint.h"
#include "tests/support/RecordingMessageBox.h"

#include <optional>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

struct Qvr : platform::FilePrompt, platform::Clock {
    QTemporaryDir folder;
    fake::Office office;
    RecordingMessageBox messages;
    platform::Forms forms;
    std::optional<QString> answer;        // the file prompt's; nothing: the operator cancels
    std::function<void()> whilePrompting; // runs while the dialog is open
    QString promptTitle;
    std::chrono::steady_clock::time_point clock{std::chrono::hours(1)};
    QStringList events; // the seams the window called, in order
    std::unique_ptr<show::frmQvr> window;

    Qvr() {
        show::frmQvr::Seams seams;
        seams.createObject = office.factory();
        seams.filePrompt = this;
        seams.messageBox = &messages;
        seams.forms = &forms;
        seams.makeTopmost = [this](QWidget*) { events << "topmost"; };
        seams.openUrl = [this](const QUrl& address) { events.append(address.toString()); };
        seams.clock = this;
        seams.numbersFile = folder.filePath(QStringLiteral("Qvr"));
        seams.endProgram = [this] { events << "end"; };
        seams.prepareProgram = [this] { events << "prepare"; };
        seams.releaseProgram = [this] { events << "release"; };
        window = std::make_unique<show::frmQvr>(std::move(seams));
    }
    std::optional<QString> askOpenFile(QWidget*, const QString& title, const QString&,
                                       const QString&) override {
        promptTitle = title;
        if (whilePrompting)
            whilePrompting();
        return answer;
    }
    std::chrono::steady_clock::time_point now() const override { return clock; }

    template <typename Widget = QWidget> Widget* find(const char* name) const {
        auto* widget = window->findChild<Widget*>(QLatin1String(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QString text(const char* name) const { return find<QLineEdit>(name)->text(); }
    void click(const char* name) const {
        QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton);
    }
    void type(const char* name, const QString& text) const { find<QLineEdit>(name)->setText(text); }
    void tick(std::chrono::milliseconds after) {
        clock += after;
        window->LongTimer1().check();
    }
    // Whether the program was asked for these calls in this order, whatever came between.
    bool asked(const QStringList& calls) const {
        qsizetype at = 0;
        for (const QString& call : calls)
            if ((at = office.calls.indexOf(call, at) + 1) == 0)
                return false;
        return true;
    }
    void loadShow(const QString& fileName = QStringLiteral("/shows/first.ppt"),
                  const QString& interval = QStringLiteral("10")) {
        answer = fileName;
        type("Text1", interval);
        click("cmdLoadShow");
    }
    // Shown by its button, typed into and confirmed with OK.
    void confirmNumbers(const QStringList& leftTopWidth) {
        click("cmdLoadScreenNum");
        QDialog* numbers = window->frmScreen().window();
        for (int i = 0; i < 3; ++i)
            numbers->findChild<QLineEdit*>(QStringList{"txtLeft", "txtTop", "txtWidth"}[i])
                ->setText(leftTopWidth[i]);
        QTest::mouseClick(numbers->findChild<QPushButton*>("OKButton"), Qt::LeftButton);
    }
};
