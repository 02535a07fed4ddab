// Text to number under the user's locale: its separators, where each type overflows, non-numbers.
// Blanks, halves to even and the 16-bit bounds are met through the display numbers window's OK.
#include "platform/Conversion.h"
#include "platform/Failure.h"

#include <QTest>

using namespace platform;

class TestConversion : public QObject {
    Q_OBJECT
private slots:
    void convert();
};

void TestConversion::convert() {
    // Target (Integer, Long, Single), the user's locale, the text, the number or the failure.
    const char* const rows[][4] = {{"I", "C", "1,024", "1024"},
                                   {"I", "en", "1.5", "2"},
                                   {"I", "de", "1.024", "1024"},
                                   {"I", "sv", "\u22122,5", "-2"},
                                   {"L", "en", "-2,147,483,648.5", "-2147483648"},
                                   {"L", "en", "2147483647.5", "Quenvar Overflow"},
                                   {"S", "en", "3.40282347e+38", "3.40282347e+38"},
                                   {"S", "en", "-3.5e38", "Quenvar Overflow"},
                                   {"S", "de", "1,5.0", "Quenvar Type mismatch"},
                                   {"S", "de", "1..000", "Quenvar Type mismatch"},
                                   {"S", "de", ".5", "Quenvar Type mismatch"},
                                   {"S", "en", "1e", "Quenvar Type mismatch"}};
    for (const auto& [target, locale, text, expected] : rows) {
        QLocale::setDefault(QLocale(locale));
        QString result;
        try {
            result = *target == 'I'   ? QString::number(toInteger(text))
                     : *target == 'L' ? QString::number(toLong(text))
                                      : QString::number(toSingle(text), 'g', 9);
        } catch (const Failure& failure) {
            result = failure.message();
        }
        QCOMPARE(result, expected);
    }
    QCOMPARE(decimalText(-2147483647), "-2147483647"); // plain, though the locale groups digits
}

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_Conversion.moc"
