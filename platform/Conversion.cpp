#include "platform/Conversion.h"

#include "platform/Failure.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace platform {

namespace {

[[noreturn]] void typeMismatch() {
    throw Failure(kProgramName, kTypeMismatch);
}
[[noreturn]] void overflow() {
    throw Failure(kProgramName, kOverflow);
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Reads the number in text as a double. The grammar is checked here, character by character, and
// rewritten into the C form that std::from_chars reads: that keeps the parse independent of the
// process's C locale. Both separators are the locale's: in German "1.024" is a thousand and
// twenty-four and "1,5" one and a half, in English the other way round. A group separator counts
// only between two digits of the whole part.
double parse(const QString& text, const QLocale& locale) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;

    const QString decimal = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    const QString minus = locale.negativeSign();
    const QString plus = locale.positiveSign();

    std::string c;
    qsizetype i = begin;
    auto startsWith = [&](const QString& token) {
        return !token.isEmpty() && QStringView(text).sliced(i, end - i).startsWith(token);
    };
    auto readSign = [&]() {
        if (i < end && text[i] == QLatin1Char('-')) {
            c += '-';
            ++i;
        } else if (i < end && text[i] == QLatin1Char('+')) {
            ++i;
        } else if (startsWith(minus)) {
            c += '-';
            i += minus.size();
        } else if (startsWith(plus)) {
            i += plus.size();
        }
    };
    auto readDigits = [&](bool grouped) {
        qsizetype count = 0;
        while (i < end) {
            if (grouped && count > 0 && startsWith(group) && i + group.size() < end &&
                isDigit(text[i + group.size()]))
                i += group.size();
            if (!isDigit(text[i]))
                break;
            c += char(text[i].unicode());
            ++i;
            ++count;
        }
        return count;
    };

    readSign();
    qsizetype mantissaDigits = readDigits(true);
    // Order of magnitude of the mantissa, for telling overflow from underflow below.
    qsizetype leadingZeros = 0;
    while (leadingZeros < qsizetype(c.size()) && (c[leadingZeros] == '0' || c[leadingZeros] == '-'))
        ++leadingZeros;
    long long magnitude = (long long)(c.size()) - leadingZeros;
    if (startsWith(decimal)) {
        i += decimal.size();
        c += '.';
        const qsizetype before = qsizetype(c.size());
        const qsizetype fraction = readDigits(false);
        mantissaDigits += fraction;
        if (magnitude == 0) {
            qsizetype zeros = 0;
            while (zeros < fraction && c[before + zeros] == '0')
                ++zeros;
            magnitude = -(long long)zeros;
        }
    }
    if (mantissaDigits == 0)
        typeMismatch();
    long long exponent = 0;
    if (i < end && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        c += 'e';
        const qsizetype signAt = qsizetype(c.size());
        if (i < end && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
            c += char(text[i].unicode());
            ++i;
        }
        const qsizetype digitsAt = qsizetype(c.size());
        if (readDigits(false) == 0)
            typeMismatch();
        // Only the rough size matters; clamp so a long run of digits cannot overflow it.
        qsizetype first = digitsAt;
        while (first + 1 < qsizetype(c.size()) && c[first] == '0')
            ++first;
        exponent = std::stoll(c.substr(first, 6));
        if (c[signAt] == '-')
            exponent = -exponent;
    }
    if (i != end)
        typeMismatch();

    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(c.data(), c.data() + c.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (magnitude + exponent > 0)
            overflow();
        return c.front() == '-' ? -0.0 : 0.0; // too small to tell from zero
    }
    if (ec != std::errc() || ptr != c.data() + c.size())
        typeMismatch();
    return value;
}

template <typename Int> Int toWhole(const QString& text, const QLocale& locale) {
    // nearbyint rounds in the current rounding mode, which is to nearest with ties to even.
    const double rounded = std::nearbyint(parse(text, locale));
    if (!(rounded >= double(std::numeric_limits<Int>::min()) &&
          rounded <= double(std::numeric_limits<Int>::max())))
        overflow();
    return Int(rounded);
}

} // namespace

int16_t toInteger(const QString& text, const QLocale& locale) {
    return toWhole<int16_t>(text, locale);
}

int32_t toLong(const QString& text, const QLocale& locale) {
    return toWhole<int32_t>(text, locale);
}

float toSingle(const QString& text, const QLocale& locale) {
    const double value = parse(text, locale);
    constexpr double largest = std::numeric_limits<float>::max();
    // Rounding to nearest takes everything below the midpoint between the largest float and the
    // next power of two down to the largest float; the printed form of the largest float
    // ("3.40282347e+38") lies just above it and must not count as an overflow.
    const double midpoint = largest + std::ldexp(1.0, 127 - 24);
    if (std::abs(value) >= midpoint)
        overflow();
    if (std::abs(value) > largest)
        return value < 0 ? -float(largest) : float(largest);
    return float(value);
}

QString decimalText(int64_t value) {
    return QString::number(value);
}

} // namespace platform
