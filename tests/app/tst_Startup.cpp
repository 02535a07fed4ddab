// Start-up: the control window made topmost before it is first shown, with its icon, first among
// the loaded windows; and the X11 platform chosen where there is one.
#include "app/Module1.h"
#include "app/Startup.h"
#include "tests/support/RecordingMessageBox.h"

#include <QTest>

class tst_Startup : public QObject {
    Q_OBJECT
private slots:
    void showsTopmostWindowWithIcon() {
        app::Services services;
        RecordingMessageBox messages;
        show::frmQvr::Seams seams = app::productionSeams(services);
        seams.messageBox = &messages;
        bool hiddenWhenMadeTopmost = false;
        seams.makeTopmost = [&](QWidget* window) {
            hiddenWhenMadeTopmost = !window->isVisible();
            Module1::makeTopmost(window);
        };
        const std::unique_ptr<show::frmQvr> window = app::startUp(std::move(seams));
        QVERIFY(hiddenWhenMadeTopmost && window->isVisible());
        QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(services.forms.at(0), window.get());
        QCOMPARE(window->windowIcon().availableSizes(), QList<QSize>({{16, 16}, {32, 32}}));
        QVERIFY(messages.texts.isEmpty()); // nothing is started: no office, no numbers window
    }

    void runsOnX11WhereThereIsOne() {
        // DISPLAY, QT_QPA_PLATFORM, the arguments given, and what is added to them.
        const std::tuple<const char*, const char*, QByteArrayList, QByteArrayList> rows[] = {
            {":0", "", {}, {"-platform", "xcb"}},
            {"", "", {}, {}},
            {":0", "wayland", {}, {}},
            {":0", "", {"--platform", "wayland"}, {}}};
        for (auto [display, platform, given, added] : rows) {
            QProcessEnvironment environment;
            environment.insert("DISPLAY", display);
            environment.insert("QT_QPA_PLATFORM", platform);
            std::vector<char*> arguments;
            for (QByteArray& each : given)
                arguments.push_back(each.data());
            app::preferX11(arguments, environment);
            QCOMPARE(QByteArrayList(arguments.begin() + given.size(), arguments.end()), added);
        }
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_Startup.moc"
