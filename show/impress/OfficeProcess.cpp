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
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace show::impress {

namespace {

// The processes of the office on a profile, each carrying the profile argument: the launcher (one
// process: setsid, then the soffice script, then oosplash, which waits for soffice.bin) and
// soffice.bin. A zombie has no arguments left and does not count.
QList<qint64> processesWith(const QByteArray& argument) {
    QList<qint64> result;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == getpid())
            continue;
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> arguments = file.readAll().split('\0');
        if (arguments.contains(argument))
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

void makePrivateFolder(const QString& dir) {
    QDir().mkpath(dir);
    ::chmod(QFile::encodeName(dir).constData(), 0700);
}

// The first of the office's arguments; every process of the office carries it.
QString profileArgument(const QString& profileDir) {
    return QStringLiteral("-env:UserInstallation=") +
           QUrl::fromLocalFile(profileDir).toString(QUrl::FullyEncoded);
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
    const QByteArray path = QFile::encodeName(m_profileDir + kPipeNameFile);
    ::unlink(path.constData());
    const int fd =
        ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const QByteArray text = m_pipeName.toLatin1() + '\n';
    const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ::close(fd);
    if (!written)
        ::unlink(path.constData());
}

QString OfficeProcess::unoUrl() const {
    return QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName());
}

QString OfficeProcess::socketPath() const {
    // The office's runtime keeps its pipes in /tmp, or in /var/tmp where /tmp cannot be written,
    // named for the user id and the pipe.
    const QString dir =
        ::access("/tmp", W_OK) == 0 ? QStringLiteral("/tmp") : QStringLiteral("/var/tmp");
    return QStringLiteral("%1/OSL_PIPE_%2_%3").arg(dir).arg(::getuid()).arg(pipeName());
}

OfficeProcess::Listener OfficeProcess::listener(uid_t* otherUid) const {
    const QByteArray path = QFile::encodeName(socketPath());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        return Listener::None;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    // Not blocking: a stopped office's full backlog must not hold the caller.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Listener::None;
    Listener result = Listener::None;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        // The listener's credentials, as the kernel took them when it began to listen.
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
            result = Listener::Busy;
        else if (peer.uid == ::getuid())
            result = Listener::Ours;
        else {
            result = Listener::OtherUser;
            if (otherUid)
                *otherUid = peer.uid;
        }
    } else if (errno == EAGAIN) {
        result = Listener::Busy;
    }
    ::close(fd);
    return result;
}

QStringList OfficeProcess::arguments() const {
    return {profileArgument(m_profileDir),
            QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName()),
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

void OfficeProcess::prepareProfile() const {
    // The profile holds the pipe's name, and what the shows' documents leave there.
    if (!m_ownFolder.isEmpty())
        makePrivateFolder(m_ownFolder);
    makePrivateFolder(m_profileDir);
    // The office rewrites this file as it runs; ours only seeds a new profile, and a profile whose
    // file lost a setting gets it back.
    const QString dir = m_profileDir + QStringLiteral("/user");
    QDir().mkpath(dir);
    QFile file(dir + QStringLiteral("/registrymodifications.xcu"));
    if (file.exists() && file.open(QIODevice::ReadOnly)) {
        const QByteArray existing = file.readAll();
        file.close();
        if (existing.contains("\"EnablePresenterScreen\"") &&
            existing.contains("\"ShowTipOfTheDay\""))
            return;
    }
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(profileSettings());
}

bool OfficeProcess::start(QString* reason) {
    prepareProfile();
    // setsid gives the office a session of its own: a signal to Quenvar's terminal or process
    // group does not reach it. It would start even where soffice is missing, and nothing would
    // ever answer on the pipe.
    QProcess process;
    process.setProgram(QStringLiteral("setsid"));
    process.setArguments(QStringList{QStringLiteral("soffice")} + arguments());
    process.setProcessEnvironment(environment(QProcessEnvironment::systemEnvironment()));
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
