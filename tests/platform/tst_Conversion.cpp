// Text to number the way the operator's boxes are read: what is accepted, how fractions round,
// where each target type overflows, and the failures for what is not a number.
#include "platform/Conversion.h"
#include "platform/Failure.h"

#include <limits>
#include <QTest>

using namespace platform;

Q_DECLARE_METATYPE(QLocale)

namespace {

// Runs convert and returns the failure's description, or an empty string when none was thrown.
template <typename F> QString failureOf(F convert) {
    try {
        convert();
    } catch (const Failure& failure) {
        if (failure.source() != kProgramName)
            return QStringLiteral("wrong source: ") + failure.source();
        return failure.description();
    }
    return {};
}

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);
// Swedish writes its minus sign as U+2212.
const QLocale kSwedish(QLocale::Swedish, QLocale::Sweden);
const QString kMinus(QChar(0x2212));

enum Target { Integer, Long, Single };

} // namespace

class TestConversion : public QObject {
    Q_OBJECT
private slots:
    void accepted_data();
    void accepted();
    void rejected_data();
    void rejected();
    void userLocaleByDefaultAndPlainDecimalOut();
};

void TestConversion::accepted_data() {
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<double>("expected");
    const auto row = [](const char* name, Target target, const QString& text, const QLocale& locale,
                        double expected) {
        QTest::newRow(name) << int(target) << text << locale << expected;
    };
    row("blanks around", Integer, " \t42\t ", kEnglish, 42);
    row("leading zeros and plus", Integer, "+007", kEnglish, 7);
    row("half to even down", Integer, "2.5", kEnglish, 2);
    row("half to even up", Integer, "3.5", kEnglish, 4);
    row("negative half to even", Integer, "-2.5", kEnglish, -2);
    row("negative half up", Integer, "-3.5", kEnglish, -4);
    row("just above half", Integer, "2.5001", kEnglish, 3);
    row("no integer digits", Integer, ".5", kEnglish, 0);
    row("exponent", Integer, "25E-1", kEnglish, 2);
    row("german comma", Integer, "3,5", kGerman, 4);
    row("german accepts a point too", Integer, "3.5", kGerman, 4);
    row("swedish minus sign", Integer, kMinus + "2,5", kSwedish, -2);
    row("int16 largest", Integer, "32767.4", kEnglish, 32767);
    row("int16 smallest, half to even", Integer, "-32768.5", kEnglish, -32768);
    row("int32 largest", Long, "2147483647", kEnglish, 2147483647);
    row("int32 smallest", Long, "-2147483648", kEnglish, -2147483648.0);
    row("int32 below half", Long, "2147483646.5", kEnglish, 2147483646);
    row("many leading zeros", Long, "0000000000000000000012", kEnglish, 12);
    row("single german", Single, " 0,25 ", kGerman, 0.25);
    row("single hyphen in swedish", Single, "-1,5", kSwedish, -1.5);
    row("largest float as printed", Single, "3.40282347e+38", kEnglish,
        std::numeric_limits<float>::max());
    row("most negative float", Single, "-3.4028234e38", kEnglish,
        -std::numeric_limits<float>::max());
    row("beyond double, tiny", Single, "1e-400", kEnglish, 0);
    row("exponent with many zeros", Single, "1e-0000000000001", kEnglish, double(0.1f));
}

void TestConversion::accepted() {
    QFETCH(int, target);
    QFETCH(QString, text);
    QFETCH(QLocale, locale);
    QFETCH(double, expected);
    double value = -1;
    QCOMPARE(failureOf([&] {
                 value = target == Integer ? toInteger(text, locale)
                         : target == Long  ? toLong(text, locale)
                                           : double(toSingle(text, locale));
             }),
             QString());
    QCOMPARE(value, expected);
}

void TestConversion::rejected_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("integer");
    QTest::addColumn<QString>("longValue");
    QTest::addColumn<QString>("single");
    const QString tm = kTypeMismatch, ov = kOverflow, ok;
    for (const char* text : {"", " \t ", "12abc", "1 2", "-", ".", "--1", "1.2.3", "1e", "0x10",
                             "inf", "nan", "2,5", "5\n"})
        QTest::newRow(qPrintable(QStringLiteral("\"%1\"").arg(text))) << text << tm << tm << tm;
    QTest::newRow("one past int16") << "32768" << ov << ok << ok;
    QTest::newRow("one below int16") << "-32769" << ov << ok << ok;
    QTest::newRow("rounds past int16") << "32767.5" << ov << ok << ok;
    QTest::newRow("one past int32") << "2147483648" << ov << ov << ok;
    QTest::newRow("one below int32") << "-2147483649" << ov << ov << ok;
    QTest::newRow("rounds past int32") << "2147483647.5" << ov << ov << ok;
    QTest::newRow("past float") << "3.5e38" << ov << ov << ov;
    QTest::newRow("past float, negative") << "-3.5e38" << ov << ov << ov;
    QTest::newRow("past double") << "1e400" << ov << ov << ov;
    QTest::newRow("past double, many digits") << QString(400, QLatin1Char('9')) << ov << ov << ov;
}

void TestConversion::rejected() {
    QFETCH(QString, text);
    QFETCH(QString, integer);
    QFETCH(QString, longValue);
    QFETCH(QString, single);
    QCOMPARE(failureOf([&] { toInteger(text, kEnglish); }), integer);
    QCOMPARE(failureOf([&] { toLong(text, kEnglish); }), longValue);
    QCOMPARE(failureOf([&] { toSingle(text, kEnglish); }), single);
}

void TestConversion::userLocaleByDefaultAndPlainDecimalOut() {
    // Even under a locale that groups digits, the boxes show plain decimal.
    const QLocale saved;
    QLocale::setDefault(kGerman);
    const float german = toSingle(QStringLiteral("1,5"));
    const QStringList texts{decimalText(-32768), decimalText(2147483647),
                            decimalText(std::numeric_limits<qint64>::min())};
    QLocale::setDefault(saved);
    QCOMPARE(german, 1.5f);
    QCOMPARE(texts, QStringList({"-32768", "2147483647", "-9223372036854775808"}));
}

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_Conversion.moc"
