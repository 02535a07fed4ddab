// The keeper of a show started with a deck, over the fake presentation program: what it brings
// back and where, what it leaves ended, and when it gives up.
#include "app/ShowKeeper.h"
#include "tests/support/Qvr.h"

#include <QTemporaryFile>
#include <QTest>

namespace {

struct Kept {
    Qvr f;
    QTemporaryFile deck;
    bool officeAlive = true;
    int officeEnded = 0;
    QColor projector = Qt::red; // what the keeper sees of the show
    std::function<void(const QString&)> onLine;
    std::unique_ptr<app::ShowKeeper> keeper;

    explicit Kept(const std::function<void(Qvr&)>& beforeStart = {}) {
        deck.open();
        app::ShowKeeper::Seams seams;
        seams.officeRunning = [this] { return officeAlive; };
        seams.endOffice = [this] {
            ++officeEnded;
            officeAlive = true;
        };
        seams.displays = [] { return QList<QRect>{{0, 0, 2048, 768}}; };
        seams.pixel = [this](QPoint) { return projector; };
        seams.messageBox = &f.messages;
        seams.silence = std::chrono::milliseconds(1500);
        seams.log = [this](const QString& line) {
            if (onLine)
                onLine(line);
        };
        keeper = std::make_unique<app::ShowKeeper>(*f.window, std::move(seams));
        app::StartRequest request;
        request.file = deck.fileName();
        request.timer = 5;
        if (beforeStart)
            beforeStart(f);
        keeper->start(request);
    }
    int opens() const { return int(f.office.calls.filter(QStringLiteral("Open ")).size()); }
};

} // namespace

class tst_ShowKeeper : public QObject {
    Q_OBJECT
private slots:
    void bringsTheShowBackWhereItWas() {
        Kept k;
        QCOMPARE(k.f.office.decks.size(), size_t(1));
        // Slide 3 looks red and 4 green to the keeper, which looks every 250 ms. The console is
        // back on 3 a moment before the projector: not the look the cover waits for.
        k.f.office.showMovesTo(3);
        QTest::qWait(600);
        k.f.office.showMovesTo(4);
        k.projector = Qt::green;
        QTest::qWait(600);
        k.f.office.showMovesTo(3);
        QTest::qWait(200); // one look at most
        k.projector = Qt::red;
        bool back = false;
        k.onLine = [&back](const QString& line) { back |= line.startsWith("the show is back"); };
        k.officeAlive = false;
        QTRY_VERIFY_WITH_TIMEOUT(back, 2000); // not the 3 s given a slide that never comes
        QCOMPARE(k.f.office.decks.size(), size_t(2));
        QCOMPARE(k.f.office.decks.back()->current, 3);
        QCOMPARE(k.f.text("txtSlideNum"), QStringLiteral("3"));
        QVERIFY(k.f.window->LongTimer1().Enabled() && k.f.window->LongTimer1().interval() == 5.0f);
        QCOMPARE(k.officeEnded, 1);

        k.f.office.decks.back()->running = false;
        QTRY_COMPARE(k.f.office.decks.size(), size_t(3));
        QCOMPARE(k.f.office.decks.back()->current, 3);

        // On its end screen a show still answers, though the console shows no last slide (a custom
        // show ends early): it stays there.
        k.f.office.decks.back()->ended = true;
        QTest::qWait(3500); // past the silence limit, with asks every second
        QCOMPARE(k.f.office.decks.size(), size_t(3));

        // Closed on its last slide, it has ended as it was made to.
        k.f.office.decks.back()->ended = false;
        k.f.office.showMovesTo(5);
        k.f.office.decks.back()->running = false;
        QTest::qWait(1000);
        QCOMPARE(k.f.office.decks.size(), size_t(3));
        QVERIFY2(k.f.messages.texts.isEmpty(), qPrintable(k.f.messages.texts.join('\n')));
    }

    void givesUpAfterThreeFailedAttempts() {
        // A first load that fails is tried again, as a show that went is.
        Kept k([](Qvr& f) { f.office.failNext(QStringLiteral("Open")); });
        QTRY_COMPARE_WITH_TIMEOUT(k.f.office.decks.size(), size_t(1), 4000);
        QVERIFY(k.f.messages.texts.isEmpty());
        k.onLine = [&](const QString& line) {
            if (line.startsWith(QLatin1String("bringing the show back failed")))
                k.f.office.failNext(QStringLiteral("Open"));
        };
        k.f.office.failNext(QStringLiteral("Open"));
        k.officeAlive = false;
        QTRY_COMPARE_WITH_TIMEOUT(k.f.messages.texts.size(), 1, 10'000);
        QVERIFY(k.f.messages.texts.first().contains(QLatin1String("3 attempts failed")));
        QCOMPARE(k.opens(), 4); // a failed start, the start, two failed attempts
        k.officeAlive = false;
        QTest::qWait(2500);
        QCOMPARE(k.opens(), 4);
        QCOMPARE(k.f.messages.texts.size(), 1);
    }
};

QTEST_MAIN(tst_ShowKeeper)
#include "tst_ShowKeeper.moc"
