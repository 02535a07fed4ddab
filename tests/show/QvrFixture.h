// What every control window test starts from: a frmQvr over the fake presentation program, a file
// prompt that answers what the test says, a recording message box, a clock the test moves by hand
// and a numbers file in a temporary folder.
#pragma once

#include "platform/Forms.h"
#include "show/frmQvr.h"
#include "tests/support/FakePowerPoint.h"
#include "tests/support/RecordingMessageBox.h"

#include <optional>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

struct QvrFixture : platform::FilePrompt, platform::Clock {
    QTemporaryDir folder;
    fake::Office office;
    RecordingMessageBox messages;
    platform::Forms forms;
    std::optional<QString> answer; // the file prompt's; nothing: the operator cancels
    QString promptTitle;
    std::chrono::steady_clock::time_point clock{std::chrono::hours(1)};
    QStringList events; // the seams the window called, in order
    std::unique_ptr<show::frmQvr> window;

    QvrFixture() {
        show::frmQvr::Seams seams;
        seams.createObject = office.factory();
        seams.filePrompt = this;
        seams.messageBox = &messages;
        seams.forms = &forms;
        seams.makeTopmost = [this](QWidget* w) {
            log(w->isVisible() ? "topmost shown" : "topmost");
        };
        seams.openUrl = [this](const QUrl& address) { events.append(address.toString()); };
        seams.clock = this;
        seams.numbersFile = folder.filePath(QStringLiteral("Qvr"));
        seams.endProgram = [this] { log("end"); };
        seams.prepareProgram = [this] { log("prepare"); };
        seams.releaseProgram = [this] { log("release"); };
        window = std::make_unique<show::frmQvr>(std::move(seams));
    }
    std::optional<QString> askOpenFile(QWidget*, const QString& title, const QString&,
                                       const QString&) override {
        promptTitle = title;
        return answer;
    }
    std::chrono::steady_clock::time_point now() const override { return clock; }
    void log(const char* event) { events.append(QLatin1String(event)); }

    template <typename Widget = QWidget> Widget* find(const char* name) const {
        auto* widget = window->findChild<Widget*>(QLatin1String(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QLineEdit* box(const char* name) const { return find<QLineEdit>(name); }
    QString text(const char* name) const { return box(name)->text(); }
    void click(const char* name) const {
        QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton);
    }
    void type(const char* name, const QString& text) const { box(name)->setText(text); }
    void tick(std::chrono::milliseconds after) {
        clock += after;
        window->LongTimer1().check();
    }
    // One press of Load Show, choosing fileName, with interval typed into Text1.
    void loadShow(const QString& fileName = QStringLiteral("/shows/first.ppt"),
                  const QString& interval = QStringLiteral("10")) {
        answer = fileName;
        type("Text1", interval);
        click("cmdLoadShow");
    }
    // The display numbers window, shown by its button, with left, top and width typed, then OK.
    void confirmNumbers(const QStringList& leftTopWidth) {
        click("cmdLoadScreenNum");
        QDialog* numbers = window->frmScreen().window();
        for (int i = 0; i < 3; ++i)
            numbers->findChild<QLineEdit*>(QStringList{"txtLeft", "txtTop", "txtWidth"}[i])
                ->setText(leftTopWidth[i]);
        QTest::mouseClick(numbers->findChild<QPushButton*>("OKButton"), Qt::LeftButton);
    }
};
