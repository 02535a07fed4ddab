// Start-up as the program does it: the control window made topmost before it is first shown, with
// its icon, first in the list of loaded windows; the installed program behind the one identifier.
#include "app/Module1.h"
#include "app/Startup.h"
#include "tests/support/RecordingMessageBox.h"

#include <QTest>

class tst_Startup : public QObject {
    Q_OBJECT
private slots:
    void showsTopmostWindowWithIcon();
    void onlyThePresentationProgramIdentifierIsKnown();
    void examplesFolderIsOffered();
    void runsOnX11WhereThereIsOne_data();
    void runsOnX11WhereThereIsOne();
};

void tst_Startup::showsTopmostWindowWithIcon() {
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

    QVERIFY(hiddenWhenMadeTopmost);
    QVERIFY(window->isVisible());
    QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
    // Making it topmost moved and resized nothing.
    QCOMPARE(window->size(), QSize(282, 229));
    QCOMPARE(window->pos(), QPoint(233, 179));
    QCOMPARE(services.forms.count(), 1);
    QCOMPARE(services.forms.caption(0), QStringLiteral("Quenvar-Dual Monitor"));
    const QList<QSize> sizes = window->windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(16, 16)));
    QVERIFY(sizes.contains(QSize(32, 32)));
    // Nothing is started at start-up: no office, no numbers window.
    QVERIFY(messages.texts.isEmpty());
}

void tst_Startup::onlyThePresentationProgramIdentifierIsKnown() {
    try {
        app::createObject(QStringLiteral("Excel.Application"));
        QFAIL("an unknown program was created");
    } catch (const platform::Failure& failure) {
        QCOMPARE(failure.source(), QStringLiteral("Quenvar"));
        QVERIFY(failure.description().contains(QStringLiteral("Excel.Application")));
    }
}

void tst_Startup::examplesFolderIsOffered() {
    const QStringList folders = app::exampleFolders();
    QVERIFY(folders.contains(QStringLiteral("/usr/share/quenvar/examples")));
}

void tst_Startup::runsOnX11WhereThereIsOne_data() {
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("addsXcb");
    QTest::newRow("wayland session with xwayland") << ":0"
                                                   << ""
                                                   << "" << true;
    QTest::newRow("wayland only") << ""
                                  << ""
                                  << "" << false;
    QTest::newRow("platform chosen in the environment") << ":0"
                                                        << "wayland"
                                                        << "" << false;
    QTest::newRow("platform chosen as an argument") << ":0"
                                                    << ""
                                                    << "-platform" << false;
    QTest::newRow("platform chosen as a long argument") << ":0"
                                                        << ""
                                                        << "--platform" << false;
}

void tst_Startup::runsOnX11WhereThereIsOne() {
    QFETCH(QString, display);
    QFETCH(QString, platform);
    QFETCH(QString, argument);
    QFETCH(bool, addsXcb);
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
    if (!display.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display);
    if (!platform.isEmpty())
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    QByteArray program = "quenvar", chosen = argument.toLatin1(), wayland = "wayland";
    std::vector<char*> arguments{program.data()};
    if (!argument.isEmpty())
        arguments.insert(arguments.end(), {chosen.data(), wayland.data()});
    const size_t given = arguments.size();

    app::preferX11(arguments, environment);
    QStringList added;
    for (size_t i = given; i < arguments.size(); ++i)
        added << QString::fromLatin1(arguments[i]);
    const QStringList expected = addsXcb ? QStringList{"-platform", "xcb"} : QStringList();
    QCOMPARE(added, expected);
}

QTEST_MAIN(tst_Startup)
#include "tst_Startup.moc"
