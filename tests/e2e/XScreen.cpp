#include "XScreen.h"

#include <csignal>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

namespace e2e {

namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(15000))
        process.kill();
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

template <typename Done> void poll(std::chrono::milliseconds timeout, Done done) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!done() && std::chrono::steady_clock::now() < until)
        QThread::msleep(50);
}

struct TreeWindow {
    QString id;
    QString name;
    QRect rect;
};

// Every window below the root, mapped or not.
QList<TreeWindow> windowTree() {
    // Lines of the tree read: 0x400007 "name": ("class" "Class")  1024x768+0+0  +1025+0
    const QString tree =
        run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    static const QRegularExpression line(
        QStringLiteral("^\\s*(0x[0-9a-f]+) (?:\"(.*)\"|\\(has no name\\)):.*\\s(\\d+)x(\\d+)"
                       "[+-]-?\\d+[+-]-?\\d+\\s+([+-]-?\\d+)([+-]-?\\d+)\\s*$"));
    QList<TreeWindow> result;
    for (const QString& text : tree.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = line.match(text);
        if (match.hasMatch())
            result.append({match.captured(1), match.captured(2),
                           QRect(match.captured(5).toInt(), match.captured(6).toInt(),
                                 match.captured(3).toInt(), match.captured(4).toInt())});
    }
    return result;
}

} // namespace

QString workDir() {
    return qEnvironmentVariable("QUENVAR_E2E_DIR");
}

QString deck(const QString& name) {
    return workDir() + QLatin1Char('/') + name;
}

QColor pixelAt(QPoint point) {
    const QString text =
        run(QStringLiteral("import"),
            {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
             QStringLiteral("1x1+%1+%2").arg(point.x()).arg(point.y()), QStringLiteral("-depth"),
             QStringLiteral("8"), QStringLiteral("txt:-")});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("#([0-9A-Fa-f]{6})")).match(text);
    return match.hasMatch() ? QColor(QLatin1Char('#') + match.captured(1)) : QColor();
}

bool sameColour(const QColor& a, const QColor& b) {
    return a.isValid() && b.isValid() && std::abs(a.red() - b.red()) <= 24 &&
           std::abs(a.green() - b.green()) <= 24 && std::abs(a.blue() - b.blue()) <= 24;
}

QColor waitForColour(QPoint point, const QColor& colour, std::chrono::milliseconds timeout) {
    QColor seen;
    poll(timeout, [&] { return sameColour(seen = pixelAt(point), colour); });
    return seen;
}

QList<std::pair<QString, QRect>> shownWindows() {
    // _NET_CLIENT_LIST(WINDOW): window id # 0x400325, 0x40045b
    const QString clients =
        run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST")});
    QList<std::pair<QString, QRect>> result;
    for (const TreeWindow& window : windowTree())
        if (clients.contains(QRegularExpression(window.id + QStringLiteral("\\b"))))
            result.append({window.name, window.rect});
    return result;
}

std::optional<QRect> windowRect(const QString& part) {
    for (const TreeWindow& window : windowTree())
        if (window.name.contains(part))
            return window.rect;
    return std::nullopt;
}

std::optional<QRect> waitForWindowRect(const QString& part, const QRect& wanted,
                                       std::chrono::milliseconds timeout) {
    std::optional<QRect> seen;
    poll(timeout, [&] { return (seen = windowRect(part)) && *seen == wanted; });
    return seen;
}

QList<qint64> officePids() {
    QList<qint64> result;
    const QString dir = workDir();
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray command = file.readAll();
        if (command.contains("soffice.bin") && command.contains(dir.toLocal8Bit()) &&
            !command.contains("convert-profile"))
            result << pid;
    }
    return result;
}

void signalOffice(int signal) {
    for (qint64 pid : officePids())
        ::kill(static_cast<pid_t>(pid), signal);
}

QColor slideColour(int slide) {
    static const QColor colours[] = {QColor(0xff, 0, 0), QColor(0, 0xff, 0), QColor(0, 0, 0xff),
                                     QColor(0xff, 0xff, 0), QColor(0xff, 0, 0xff)};
    return slide >= 1 && slide <= 5 ? colours[slide - 1] : QColor();
}

QColor otherSlideColour(int slide) {
    static const QColor colours[] = {QColor(0, 0xff, 0xff), QColor(0xff, 0x80, 0),
                                     QColor(0xff, 0xff, 0xff)};
    return slide >= 1 && slide <= 3 ? colours[slide - 1] : QColor();
}

} // namespace e2e
