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
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class AnsweringFilePrompt final : public platform::FilePrompt {
public:
    std::optional<QString> askOpenFile(QWidget*, const QString& title, const QString&,
                                       const QString&) override {
        this->title = title;
        return answer;
    }
    std::optional<QString> answer; // nothing: the operator cancels
    QString title;
};

class HandClock final : public platform::Clock {
public:
    std::chrono::steady_clock::time_point now() const override { return m_now; }
    void advance(std::chrono::milliseconds by) { m_now += by; }

private:
    std::chrono::steady_clock::time_point m_now{std::chrono::hours(1)};
};

struct QvrFixture {
    QTemporaryDir folder;
    fake::Office office;
    AnsweringFilePrompt prompt;
    RecordingMessageBox messages;
    platform::Forms forms;
    HandClock clock;
    QStringList events; // the seams the window called, in order
    std::unique_ptr<show::frmQvr> window;

    QvrFixture() {
        show::frmQvr::Seams seams;
        seams.createObject = office.factory();
        seams.filePrompt = &prompt;
        seams.messageBox = &messages;
        seams.forms = &forms;
        seams.makeTopmost = [this](QWidget* w) {
            log(w->isVisible() ? "topmost shown" : "topmost");
        };
        seams.openUrl = [this](const QUrl& address) { events.append(address.toString()); };
        seams.clock = &clock;
        seams.numbersFile = folder.filePath(QStringLiteral("Qvr"));
        seams.endProgram = [this] { log("end"); };
        seams.prepareProgram = [this] { log("prepare"); };
        seams.releaseProgram = [this] { log("release"); };
        window = std::make_unique<show::frmQvr>(std::move(seams));
    }
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
        clock.advance(after);
        window->LongTimer1().check();
    }
    // One press of Load Show, choosing fileName, with interval typed into Text1.
    void loadShow(const QString& fileName = QStringLiteral("/shows/first.ppt"),
                  const QString& interval = QStringLiteral("10")) {
        prompt.answer = fileName;
        type("Text1", interval);
        click("cmdLoadShow");
    }
};
