#include "show/impress/OfficeProcess.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace show::impress {

namespace {

// The processes of the office on a profile, each carrying the profile argument: the launcher (one
// process: setsid, then the soffice script, then oosplash, which waits for soffice.bin) and
// soffice.bin. A zombie has no arguments left and does not count.
// Its arguments, each ended by a null byte; nothing for a process that has gone or is ending.
QByteArray commandLine(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    return pid > 0 && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool processCarries(qint64 pid, const QByteArray& argument) {
    return commandLine(pid).split('\0').contains(argument);
}

QList<qint64> processesWith(const QByteArray& argument) {
    QList<qint64> result;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number && pid != getpid() && processCarries(pid, argument))
            result << pid;
    }
    return result;
}

// Alive, and not a zombie waiting to be reaped.
bool alive(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype state = line.lastIndexOf(')') + 2;
    return state > 1 && state < line.size() && line.at(state) != 'Z';
}

constexpr std::chrono::seconds kLaunchGrace{5};

const QString kNotStarted =
    QStringLiteral("soffice could not be started. Is LibreOffice Impress installed?");

// In the profile folder, readable by the user only.
const QString kPipeNameFile = QStringLiteral("/quenvar-pipe");

// Below this much room on its disk the office's profile and the copies of the decks could not be
// written, and the office would stop at start with a window of its own.
constexpr qint64 kRoomNeeded = 16 * 1024 * 1024;

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Makes dir and the folders above it where missing, private (0700) when asked. Returns what stands
// in the way, in plain words, or nothing.
QString makeFolder(const QString& dir, bool makePrivate) {
    const QByteArray path = QFile::encodeName(QDir::cleanPath(dir));
    for (qsizetype end = path.indexOf('/', 1);; end = path.indexOf('/', end + 1)) {
        const QByteArray part = end < 0 ? path : path.left(end);
        struct stat info {};
        if (::stat(part.constData(), &info) == 0) {
            if (!S_ISDIR(info.st_mode))
                return QStringLiteral("%1 is a file, not a folder").arg(QFile::decodeName(part));
        } else if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST) {
            return QStringLiteral("the folder %1 cannot be made (%2)")
                .arg(QFile::decodeName(part), errorText(errno));
        }
        if (end < 0)
            break;
    }
    if (makePrivate)
        ::chmod(path.constData(), 0700);
    return {};
}

void makePrivateFolder(const QString& dir) {
    makeFolder(dir, true);
}

// Writes the file whole or not at all. Returns why not, or nothing.
QString writeFile(const QString& file, const QByteArray& text) {
    const QByteArray path = QFile::encodeName(file);
    const QByteArray written = path + ".new";
    ::unlink(written.constData());
    const int fd =
        ::open(written.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0) {
        // A short write is a full disk.
        const ssize_t size = ::write(fd, text.constData(), size_t(text.size()));
        error = size < 0 ? errno : size < text.size() ? ENOSPC : 0;
        if (::close(fd) != 0 && error == 0)
            error = errno;
        if (error == 0 && ::rename(written.constData(), path.constData()) != 0)
            error = errno;
        if (error != 0)
            ::unlink(written.constData());
    }
    return error == 0 ? QString()
                      : QStringLiteral("%1 cannot be written (%2)").arg(file, errorText(error));
}

// The first of the office's arguments; every process of the office carries it.
QString profileArgument(const QString& profileDir) {
    return QStringLiteral("-env:UserInstallation=") +
           QUrl::fromLocalFile(profileDir).toString(QUrl::FullyEncoded);
}

// The office accepts UNO on the pipe by this setting of its profile.
QByteArray connectionSetting(const QString& pipeName) {
    return "<item oor:path=\"/org.openoffice.Setup/Office\"><prop "
           "oor:name=\"ooSetupConnectionURL\" "
           "oor:op=\"fuse\"><value>pipe,name=" +
           pipeName.toLatin1() + ";urp;StarOffice.ComponentContext</value></prop></item>\n";
}

bool validPipeName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^quenvar-[0-9a-f]{32}$"));
    return pattern.match(name).hasMatch();
}

// The name kept in the file, if the file is the user's own, private and holds a name.
QString readPipeName(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat info {};
    char text[64] = {};
    ssize_t size = -1;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::getuid() &&
        (info.st_mode & 077) == 0)
        size = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    const QString name = QString::fromLatin1(text, size > 0 ? int(size) : 0).trimmed();
    return validPipeName(name) ? name : QString();
}

} // namespace

OfficeProcess::OfficeProcess(QString profileDir) : m_profileDir(std::move(profileDir)) {
    if (m_profileDir.isEmpty()) {
        m_ownFolder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                      QStringLiteral("/quenvar");
        m_profileDir = m_ownFolder + QStringLiteral("/office-profile");
    }
}

QString OfficeProcess::pipeName() const {
    if (m_pipeName.isEmpty())
        m_pipeName = readPipeName(m_profileDir + kPipeNameFile);
    if (m_pipeName.isEmpty())
        const_cast<OfficeProcess*>(this)->renewPipeName();
    return m_pipeName;
}

void OfficeProcess::renewPipeName() {
    quint32 random[4];
    QRandomGenerator::system()->fillRange(random);
    m_pipeName = QStringLiteral("quenvar-");
    for (quint32 part : random)
        m_pipeName += QStringLiteral("%1").arg(part, 8, 16, QLatin1Char('0'));
    // Kept for the next run of Quenvar, which finds the office still running there. Without the
    // file this run still works; the next one would start another office.
    if (!m_ownFolder.isEmpty())
        makePrivateFolder(m_ownFolder);
    makePrivateFolder(m_profileDir);
    writeFile(m_profileDir + kPipeNameFile, m_pipeName.toLatin1() + '\n');
}

QString OfficeProcess::socketPath() const {
    // The office's runtime keeps its pipes in /tmp, or in /var/tmp where /tmp cannot be written,
    // named for the user id and the pipe.
    const QString dir =
        ::access("/tmp", W_OK) == 0 ? QStringLiteral("/tmp") : QStringLiteral("/var/tmp");
    return QStringLiteral("%1/OSL_PIPE_%2_%3").arg(dir).arg(::getuid()).arg(pipeName());
}

OfficeProcess::Pipe OfficeProcess::pipe() const {
    return {QFile::encodeName(socketPath()), profileArgument(m_profileDir).toLocal8Bit()};
}

int OfficeProcess::Pipe::connect(Listener* who, Peer* stranger) const {
    Listener result = Listener::None;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const bool fits = size_t(socket.size()) < sizeof address.sun_path;
    if (fits)
        std::memcpy(address.sun_path, socket.constData(), size_t(socket.size()));
    // Not blocking: a stopped office's full backlog must not hold the caller.
    const int fd = fits ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0) : -1;
    if (fd >= 0 &&
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        // The listener's credentials, as the kernel took them when it began to listen: its user,
        // and its process, which must be the office on this profile. A process of the user's
        // that is ending has no arguments left: an office of ours that was killed, still busy.
        ucred peer{};
        socklen_t size = sizeof peer;
        const bool known = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0;
        const bool mine = known && peer.uid == ::getuid();
        const QByteArray command = mine ? commandLine(peer.pid) : QByteArray();
        if (!known || (mine && command.isEmpty())) {
            result = Listener::Busy;
        } else if (mine && command.split('\0').contains(profile)) {
            result = Listener::Ours;
        } else {
            result = Listener::Stranger;
            if (stranger)
                *stranger = {peer.uid, peer.pid};
        }
    } else if (fd >= 0 && errno == EAGAIN) {
        result = Listener::Busy;
    }
    if (who)
        *who = result;
    if (result == Listener::Ours && ::fcntl(fd, F_SETFL, 0) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

OfficeProcess::Listener OfficeProcess::listener(Peer* stranger) const {
    Listener result = Listener::None;
    const int fd = pipe().connect(&result, stranger);
    if (fd >= 0)
        ::close(fd);
    return result;
}

QStringList OfficeProcess::arguments() const {
    return {profileArgument(m_profileDir),
            QStringLiteral("--norestore"),
            QStringLiteral("--nologo"),
            QStringLiteral("--nodefault"),
            QStringLiteral("--nofirststartwizard"),
            QStringLiteral("--nolockcheck")};
}

QProcessEnvironment OfficeProcess::environment(QProcessEnvironment base) {
    const QString plugin = QStringLiteral("SAL_USE_VCLPLUGIN");
    if (base.value(plugin).isEmpty())
        base.insert(plugin, QStringLiteral("gen"));
    return base;
}

QByteArray OfficeProcess::profileSettings() {
    struct Item {
        const char* path;
        const char* name;
        const char* type;
        const char* value;
    };
    // The presenter console would take over a second screen; the rest would put dialogs and
    // bars in front of the show.
    static const Item items[] = {
        {"/org.openoffice.Office.Impress/Misc/Start", "EnablePresenterScreen", "xs:boolean",
         "false"},
        {"/org.openoffice.Office.Common/Misc", "ShowTipOfTheDay", "xs:boolean", "false"},
        {"/org.openoffice.Office.Common/Misc", "FirstRun", "xs:boolean", "false"},
        {"/org.openoffice.Office.Recovery/AutoSave", "Enabled", "xs:boolean", "false"},
        {"/org.openoffice.Office.Recovery/RecoveryInfo", "Enabled", "xs:boolean", "false"},
        {"/org.openoffice.Setup/Office", "ooSetupInstCompleted", "xs:boolean", "true"},
    };
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
                     "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                     "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n";
    for (const Item& item : items)
        xml += QByteArray("<item oor:path=\"") + item.path + "\"><prop oor:name=\"" + item.name +
               "\" oor:op=\"fuse\"><value>" + item.value + "</value></prop></item>\n";
    xml += "</oor:items>\n";
    return xml;
}

QString OfficeProcess::prepareProfile() const {
    // The profile holds the pipe's name, and what the shows' documents leave there.
    QString problem = m_ownFolder.isEmpty() ? QString() : makeFolder(m_ownFolder, true);
    const QString user = m_profileDir + QStringLiteral("/user");
    for (const auto& [dir, makePrivate] :
         {std::pair{m_profileDir, true}, {user, false}, {tempDir(), true}})
        if (problem.isEmpty())
            problem = makeFolder(dir, makePrivate);
    struct statvfs disk {};
    if (problem.isEmpty() && ::statvfs(QFile::encodeName(m_profileDir).constData(), &disk) == 0 &&
        qint64(disk.f_bavail) * qint64(disk.f_frsize) < kRoomNeeded)
        problem = QStringLiteral("the disk that holds %1 is full (%2 MB free)")
                      .arg(m_profileDir)
                      .arg(qint64(disk.f_bavail) * qint64(disk.f_frsize) / (1024 * 1024));
    if (!problem.isEmpty())
        return problem;
    // The office rewrites this file as it runs; ours only seeds a new profile, and a profile whose
    // file lost a setting gets it back. The pipe is set anew every time.
    QFile file(user + QStringLiteral("/registrymodifications.xcu"));
    QByteArray existing;
    if (file.open(QIODevice::ReadOnly))
        existing = file.readAll();
    file.close();
    // A file cut short, as a full disk leaves it, would stop the office with a window of its own.
    const bool seeded = existing.contains("\"EnablePresenterScreen\"") &&
                        existing.contains("\"ShowTipOfTheDay\"") &&
                        existing.trimmed().endsWith("</oor:items>");
    QByteArray settings = seeded ? existing : profileSettings();
    const QByteArray connection = connectionSetting(pipeName());
    const qsizetype at = settings.indexOf(connection.left(connection.indexOf("<value>")));
    if (at >= 0)
        settings.replace(at, settings.indexOf('\n', at) + 1 - at, connection);
    else
        settings.insert(settings.lastIndexOf("</oor:items>"), connection);
    return settings == existing ? QString() : writeFile(file.fileName(), settings);
}

bool OfficeProcess::start(QString* reason) {
    // What an office of ours that crashed left behind: its pipe and its temporary files. No
    // office of ours runs now; one that was killed a moment ago may still be ending.
    const QByteArray dead = QFile::encodeName(socketPath());
    struct stat info {};
    if (::lstat(dead.constData(), &info) == 0 && S_ISSOCK(info.st_mode) &&
        info.st_uid == ::getuid()) {
        const Listener left = listener();
        if (left == Listener::None || left == Listener::Busy)
            ::unlink(dead.constData());
    }
    QDir(tempDir()).removeRecursively();
    // A name nobody has seen: the last one could be read in /tmp while its office ran.
    renewPipeName();
    const QString problem = prepareProfile();
    if (!problem.isEmpty()) {
        if (reason)
            *reason = QStringLiteral("LibreOffice Impress cannot start: %1. Quenvar keeps its "
                                     "profile in %2, which must be a folder you can write to, on "
                                     "a disk with room. Press Load Show again once it is.")
                          .arg(problem, m_ownFolder.isEmpty() ? m_profileDir : m_ownFolder);
        return false;
    }
    // setsid gives the office a session of its own: a signal to Quenvar's terminal or process
    // group does not reach it. It would start even where soffice is missing, and nothing would
    // ever answer on the pipe.
    QProcess process;
    process.setProgram(QStringLiteral("setsid"));
    process.setArguments(QStringList{QStringLiteral("soffice")} + arguments());
    QProcessEnvironment environment =
        OfficeProcess::environment(QProcessEnvironment::systemEnvironment());
    environment.insert(QStringLiteral("TMPDIR"), tempDir());
    process.setProcessEnvironment(environment);
    if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty() ||
        !process.startDetached(&m_launcher)) {
        if (reason)
            *reason = kNotStarted;
        return false;
    }
    m_startingSince = std::chrono::steady_clock::now();
    m_started = true;
    m_showStarted = false;
    return true;
}

bool OfficeProcess::running() const {
    // Until the launcher has become soffice, no process carries the profile in its command line:
    // in its first moments the office is known by the launcher's own pid.
    if (m_startingSince && std::chrono::steady_clock::now() - *m_startingSince < kLaunchGrace &&
        alive(m_launcher))
        return true;
    return !processesWith(profileArgument(m_profileDir).toLocal8Bit()).isEmpty();
}

void OfficeProcess::kill(std::chrono::milliseconds grace) const {
    const QByteArray profile = profileArgument(m_profileDir).toLocal8Bit();
    if (grace.count() > 0) {
        for (qint64 pid : processesWith(profile))
            ::kill(static_cast<pid_t>(pid), SIGTERM);
        const auto until = std::chrono::steady_clock::now() + grace;
        while (running() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    for (qint64 pid : processesWith(profile))
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    QFile::remove(m_profileDir + QStringLiteral("/.lock"));
}

} // namespace show::impress
