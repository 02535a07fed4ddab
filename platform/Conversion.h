// Text to number and number to text, as the original runtime converted them. Every number the
// operator types (the timer interval, the Goto slide number, the display numbers) goes through
// here.
//
// Text to number: blanks (spaces and tabs) around the number are allowed; the decimal and the group
// separator are the given locale's (the user's by default), a group separator standing only
// between digits of the whole part; an exponent is allowed; a fraction converted to an integer is
// rounded to the nearest whole number with halves going to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2). Empty or non-numeric text throws Failure("Quenvar", "Type mismatch"); a value beyond
// the target type throws Failure("Quenvar", "Overflow").
#pragma once

#include <cstdint>
#include <QLocale>
#include <QString>

namespace platform {

inline const QString kTypeMismatch = QStringLiteral("Type mismatch");
inline const QString kOverflow = QStringLiteral("Overflow");

int16_t toInteger(const QString& text, const QLocale& locale = QLocale());
int32_t toLong(const QString& text, const QLocale& locale = QLocale());
float toSingle(const QString& text, const QLocale& locale = QLocale());

// Plain decimal: digits, a leading minus sign when negative, no blanks, no leading zeros.
QString decimalText(int64_t value);

} // namespace platform
