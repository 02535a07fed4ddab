#include "show/impress/OfficeProcess.h"

#include <pwd.h>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <signal.h>
#include <unistd.h>

namespace show::impress {

namespace {

QString userName() {
    if (const passwd* entry = getpwuid(getuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(getuid());
}

// The processes of the office on a profile: the launcher (oosplash) and soffice.bin, which
// outlives its launcher once started. Both carry the profile argument.
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

const QString kNotStarted =
    QStringLiteral("soffice could not be started. Is LibreOffice Impress installed?");

} // namespace

OfficeProcess::OfficeProcess(QString profileDir) : m_profileDir(std::move(profileDir)) {
    if (m_profileDir.isEmpty())
        m_profileDir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                       QStringLiteral("/quenvar/office-profile");
}

QString OfficeProcess::pipeName() const {
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(m_profileDir).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(8);
    QString user = userName();
    for (QChar& c : user)
        if (!c.isLetterOrNumber())
            c = QLatin1Char('_');
    return QStringLiteral("quenvar-%1-%2").arg(user, QString::fromLatin1(hash));
}

QString OfficeProcess::unoUrl() const {
    return QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName());
}

QStringList OfficeProcess::arguments() const {
    return {QStringLiteral("-env:UserInstallation=") +
                QUrl::fromLocalFile(m_profileDir).toString(QUrl::FullyEncoded),
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
        !process.startDetached()) {
        if (reason)
            *reason = kNotStarted;
        return false;
    }
    return true;
}

void OfficeProcess::kill() const {
    for (qint64 pid : processesWith(arguments().first().toLocal8Bit()))
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    QFile::remove(m_profileDir + QStringLiteral("/.lock"));
}

} // namespace show::impress
