// The one failure type of Quenvar's window code: a failure of the presentation program, of a
// text-to-number conversion or of a missing show. Like the error object of the platform the system
// was first written for, it carries the name of the component that failed (its source) and a
// sentence saying what went wrong (its description). Each handler that drives the show catches it
// once and shows "source description" in one message box.
#pragma once

#include <exception>
#include <QByteArray>
#include <QString>

namespace platform {

// The program's own name: the source of every failure found by Quenvar itself, and the title of
// every message box.
inline const QString kProgramName = QStringLiteral("Quenvar");

class Failure : public std::exception {
public:
    Failure(QString source, QString description)
        : m_source(std::move(source)), m_description(std::move(description)),
          m_what(message().toUtf8()) {}

    const QString& source() const { return m_source; }
    const QString& description() const { return m_description; }
    // What a message box shows: the source, one space, the description.
    QString message() const { return m_source + QLatin1Char(' ') + m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_source;
    QString m_description;
    QByteArray m_what;
};

} // namespace platform
