// Text to number the way the operator's boxes are read: what is accepted under which locale, how
// fractions round, where each target type overflows, and the failures for what is not a number.
#include "platform/Conversion.h"
#include "platform/Failure.h"

#include <limits>
#include <QTest>

using namespace platform;

Q_DECLARE_METATYPE(QLocale)

namespace {
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);
// Swedish writes its minus sign as U+2212.
const QLocale kSwedish(QLocale::Swedish, QLocale::Sweden);
enum Target { Integer, Long, Single };
} // namespace

class TestConversion : public QObject {
    Q_OBJECT
private slots:
    void convert_data();
    void convert();
    void userLocaleByDefaultAndPlainDecimalOut();
};

void TestConversion::convert_data() {
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<double>("expected");
    QTest::addColumn<QString>("failure"); // empty: none
    const auto ok = [](const char* name, Target target, const QString& text, double expected,
                       const QLocale& locale = kEnglish) {
        QTest::newRow(name) << int(target) << text << locale << expected << QString();
    };
    const auto bad = [](Target target, const QString& text, const QString& failure) {
        QTest::addRow("%d \"%s\"", target, qPrintable(text))
            << int(target) << text << kEnglish << 0.0 << failure;
    };
    ok("blanks around", Integer, " \t42\t ", 42);
    ok("leading zeros and plus", Integer, "+007", 7);
    ok("half to even down", Integer, "2.5", 2);
    ok("half to even up", Integer, "3.5", 4);
    ok("negative half to even", Integer, "-2.5", -2);
    ok("just above half", Integer, "2.5001", 3);
    ok("no integer digits", Integer, ".5", 0);
    ok("exponent", Integer, "25E-1", 2);
    ok("german comma", Integer, "3,5", 4, kGerman);
    ok("german accepts a point too", Integer, "3.5", 4, kGerman);
    ok("swedish minus sign", Integer, QChar(0x2212) + QStringLiteral("2,5"), -2, kSwedish);
    ok("swedish hyphen", Single, "-1,5", -1.5, kSwedish);
    ok("int16 smallest, half to even", Integer, "-32768.5", -32768);
    ok("int32 largest", Long, "2147483647", 2147483647);
    ok("int32 below half", Long, "2147483646.5", 2147483646);
    ok("many leading zeros", Long, "0000000000000000000012", 12);
    ok("largest float as printed", Single, "3.40282347e+38", std::numeric_limits<float>::max());
    ok("beyond double, tiny", Single, "1e-400", 0);
    ok("exponent with many zeros", Single, "1e-0000000000001", double(0.1f));
    for (const char* text :
         {"", " \t ", "12abc", "1 2", "-", ".", "--1", "1.2.3", "1e", "0x10", "inf", "2,5", "5\n"})
        bad(Single, text, kTypeMismatch);
    bad(Integer, "32767.5", kOverflow);
    bad(Integer, "-32769", kOverflow);
    ok("a Long is not an Integer", Long, "32768", 32768);
    bad(Long, "2147483647.5", kOverflow);
    bad(Long, "-2147483649", kOverflow);
    ok("a Single is not a Long", Single, "2147483648", 2147483648.0);
    bad(Single, "-3.5e38", kOverflow);
    bad(Single, "1e400", kOverflow);
    bad(Single, QString(400, QLatin1Char('9')), kOverflow);
}

void TestConversion::convert() {
    QFETCH(int, target);
    QFETCH(QString, text);
    QFETCH(QLocale, locale);
    QFETCH(QString, failure);
    double value = 0;
    QString failed;
    try {
        value = target == Integer ? toInteger(text, locale)
                : target == Long  ? toLong(text, locale)
                                  : double(toSingle(text, locale));
    } catch (const Failure& caught) {
        failed = caught.message();
    }
    QCOMPARE(failed, failure.isEmpty() ? QString() : kProgramName + ' ' + failure);
    if (failure.isEmpty())
        QTEST(value, "expected");
}

void TestConversion::userLocaleByDefaultAndPlainDecimalOut() {
    // Even under a locale that groups digits, the boxes show plain decimal.
    const QLocale saved;
    QLocale::setDefault(kGerman);
    const float german = toSingle(QStringLiteral("1,5"));
    const QString text = decimalText(-2147483647);
    QLocale::setDefault(saved);
    QCOMPARE(german, 1.5f);
    QCOMPARE(text, QStringLiteral("-2147483647"));
}

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_Conversion.moc"
