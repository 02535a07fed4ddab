// Text to number the way the operator's boxes are read: what is accepted, how fractions round,
// where each target type overflows, and the failures for what is not a number.
#include "platform/Conversion.h"
#include "platform/Failure.h"

#include <cmath>
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

} // namespace

class TestConversion : public QObject {
    Q_OBJECT
private slots:
    void integerAccepted_data();
    void integerAccepted();
    void longAccepted_data();
    void longAccepted();
    void singleAccepted_data();
    void singleAccepted();
    void rejected_data();
    void rejected();
    void defaultLocaleIsTheUsers();
    void decimalText_data();
    void decimalText();
};

void TestConversion::integerAccepted_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("expected");

    QTest::newRow("plain") << "42" << kEnglish << 42;
    QTest::newRow("spaces around") << "  42  " << kEnglish << 42;
    QTest::newRow("tabs around") << "\t7\t" << kEnglish << 7;
    QTest::newRow("leading zeros") << "007" << kEnglish << 7;
    QTest::newRow("plus sign") << "+5" << kEnglish << 5;
    QTest::newRow("minus zero") << "-0" << kEnglish << 0;
    QTest::newRow("half to even down") << "2.5" << kEnglish << 2;
    QTest::newRow("half to even up") << "3.5" << kEnglish << 4;
    QTest::newRow("half zero") << "0.5" << kEnglish << 0;
    QTest::newRow("negative half to even") << "-2.5" << kEnglish << -2;
    QTest::newRow("negative half up") << "-3.5" << kEnglish << -4;
    QTest::newRow("just below half") << "2.4999" << kEnglish << 2;
    QTest::newRow("just above half") << "2.5001" << kEnglish << 3;
    QTest::newRow("no integer digits") << ".5" << kEnglish << 0;
    QTest::newRow("no fraction digits") << "5." << kEnglish << 5;
    QTest::newRow("exponent") << "1e3" << kEnglish << 1000;
    QTest::newRow("negative exponent") << "25E-1" << kEnglish << 2;
    QTest::newRow("signed exponent") << "1.5e+1" << kEnglish << 15;
    QTest::newRow("german comma") << "2,5" << kGerman << 2;
    QTest::newRow("german comma up") << "3,5" << kGerman << 4;
    QTest::newRow("german accepts a point too") << "3.5" << kGerman << 4;
    QTest::newRow("swedish minus sign") << kMinus + "2,5" << kSwedish << -2;
    QTest::newRow("largest") << "32767" << kEnglish << 32767;
    QTest::newRow("smallest") << "-32768" << kEnglish << -32768;
    QTest::newRow("rounds down to largest") << "32767.4" << kEnglish << 32767;
    QTest::newRow("half below smallest goes to even") << "-32768.5" << kEnglish << -32768;
}

void TestConversion::integerAccepted() {
    QFETCH(QString, text);
    QFETCH(QLocale, locale);
    QFETCH(int, expected);
    int16_t value = 0;
    QCOMPARE(failureOf([&] { value = toInteger(text, locale); }), QString());
    QCOMPARE(int(value), expected);
}

void TestConversion::longAccepted_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("beyond 16 bits") << "40000" << qint64(40000);
    QTest::newRow("largest") << "2147483647" << qint64(2147483647);
    QTest::newRow("smallest") << "-2147483648" << qint64(-2147483648LL);
    QTest::newRow("largest with a fraction below half") << "2147483646.5" << qint64(2147483646);
    QTest::newRow("exponent") << "2.1e9" << qint64(2100000000);
    QTest::newRow("many leading zeros") << "0000000000000000000012" << qint64(12);
}

void TestConversion::longAccepted() {
    QFETCH(QString, text);
    QFETCH(qint64, expected);
    int32_t value = 0;
    QCOMPARE(failureOf([&] { value = toLong(text, kEnglish); }), QString());
    QCOMPARE(qint64(value), expected);
}

void TestConversion::singleAccepted_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<float>("expected");

    QTest::newRow("whole") << "10" << kEnglish << 10.0f;
    QTest::newRow("fraction") << " 2.5 " << kEnglish << 2.5f;
    QTest::newRow("german fraction") << "0,25" << kGerman << 0.25f;
    QTest::newRow("negative") << "-1.5" << kEnglish << -1.5f;
    QTest::newRow("swedish minus sign") << kMinus + "1,5" << kSwedish << -1.5f;
    QTest::newRow("hyphen in swedish") << "-1,5" << kSwedish << -1.5f;
    QTest::newRow("exponent") << "1.5e2" << kEnglish << 150.0f;
    QTest::newRow("largest float as printed")
        << "3.40282347e+38" << kEnglish << std::numeric_limits<float>::max();
    QTest::newRow("most negative float")
        << "-3.4028234e38" << kEnglish << -std::numeric_limits<float>::max();
    QTest::newRow("too small to tell from zero") << "1e-50" << kEnglish << 0.0f;
    QTest::newRow("beyond double, tiny") << "1e-400" << kEnglish << 0.0f;
    QTest::newRow("exponent with many zeros") << "1e-0000000000001" << kEnglish << 0.1f;
}

void TestConversion::singleAccepted() {
    QFETCH(QString, text);
    QFETCH(QLocale, locale);
    QFETCH(float, expected);
    float value = -1.0f;
    QCOMPARE(failureOf([&] { value = toSingle(text, locale); }), QString());
    QCOMPARE(value, expected);
}

void TestConversion::rejected_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("integer");
    QTest::addColumn<QString>("longValue");
    QTest::addColumn<QString>("single");

    const QString tm = kTypeMismatch;
    const QString ov = kOverflow;
    const QString ok;
    QTest::newRow("empty") << "" << kEnglish << tm << tm << tm;
    QTest::newRow("blanks only") << " \t " << kEnglish << tm << tm << tm;
    QTest::newRow("letters") << "abc" << kEnglish << tm << tm << tm;
    QTest::newRow("trailing garbage") << "12abc" << kEnglish << tm << tm << tm;
    QTest::newRow("blank inside") << "1 2" << kEnglish << tm << tm << tm;
    QTest::newRow("sign only") << "-" << kEnglish << tm << tm << tm;
    QTest::newRow("point only") << "." << kEnglish << tm << tm << tm;
    QTest::newRow("two signs") << "--1" << kEnglish << tm << tm << tm;
    QTest::newRow("two points") << "1.2.3" << kEnglish << tm << tm << tm;
    QTest::newRow("exponent without digits") << "1e" << kEnglish << tm << tm << tm;
    QTest::newRow("exponent alone") << "e5" << kEnglish << tm << tm << tm;
    QTest::newRow("hexadecimal") << "0x10" << kEnglish << tm << tm << tm;
    QTest::newRow("infinity") << "inf" << kEnglish << tm << tm << tm;
    QTest::newRow("not a number") << "nan" << kEnglish << tm << tm << tm;
    QTest::newRow("comma in english") << "2,5" << kEnglish << tm << tm << tm;
    QTest::newRow("grouped thousands") << "1,000" << kEnglish << tm << tm << tm;
    QTest::newRow("line feed around") << "5\n" << kEnglish << tm << tm << tm;
    QTest::newRow("one past int16") << "32768" << kEnglish << ov << ok << ok;
    QTest::newRow("one below int16") << "-32769" << kEnglish << ov << ok << ok;
    QTest::newRow("rounds past int16") << "32767.5" << kEnglish << ov << ok << ok;
    QTest::newRow("one past int32") << "2147483648" << kEnglish << ov << ov << ok;
    QTest::newRow("one below int32") << "-2147483649" << kEnglish << ov << ov << ok;
    QTest::newRow("rounds past int32") << "2147483647.5" << kEnglish << ov << ov << ok;
    QTest::newRow("past float") << "3.5e38" << kEnglish << ov << ov << ov;
    QTest::newRow("past float, negative") << "-3.5e38" << kEnglish << ov << ov << ov;
    QTest::newRow("past double") << "1e400" << kEnglish << ov << ov << ov;
    QTest::newRow("past double, many digits")
        << QString(400, QLatin1Char('9')) << kEnglish << ov << ov << ov;
}

void TestConversion::rejected() {
    QFETCH(QString, text);
    QFETCH(QLocale, locale);
    QFETCH(QString, integer);
    QFETCH(QString, longValue);
    QFETCH(QString, single);
    QCOMPARE(failureOf([&] { toInteger(text, locale); }), integer);
    QCOMPARE(failureOf([&] { toLong(text, locale); }), longValue);
    QCOMPARE(failureOf([&] { toSingle(text, locale); }), single);
}

void TestConversion::defaultLocaleIsTheUsers() {
    const QLocale saved;
    QLocale::setDefault(kGerman);
    const float german = toSingle(QStringLiteral("1,5"));
    QLocale::setDefault(saved);
    QCOMPARE(german, 1.5f);
}

void TestConversion::decimalText_data() {
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << qint64(0) << "0";
    QTest::newRow("positive") << qint64(769) << "769";
    QTest::newRow("negative") << qint64(-32768) << "-32768";
    QTest::newRow("no group separators") << qint64(2147483647) << "2147483647";
    QTest::newRow("smallest 64-bit")
        << std::numeric_limits<qint64>::min() << "-9223372036854775808";
}

void TestConversion::decimalText() {
    QFETCH(qint64, value);
    QFETCH(QString, expected);
    // Even under a locale that groups digits, the boxes show plain decimal.
    const QLocale saved;
    QLocale::setDefault(kGerman);
    const QString text = platform::decimalText(value);
    QLocale::setDefault(saved);
    QCOMPARE(text, expected);
}

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_Conversion.moc"
