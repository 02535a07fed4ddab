// The office process of this run: where its private profile lives, how it is started and how a
// hung one is put down. Quenvar starts the office itself, detached in a session of its own so that
// it and its show outlive Quenvar, with a profile that keeps the presenter console, the start
// centre, the tip of the day and document recovery out of a kiosk's way, and with UNO accepted on a
// pipe named for the user. Knows nothing of UNO; Office.cpp connects to the pipe.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace show::impress {

class OfficeProcess {
public:
    // profileDir: the office's user installation; empty means Quenvar's own folder under the
    // user's cache folder.
    explicit OfficeProcess(QString profileDir = {});

    const QString& profileDir() const { return m_profileDir; }
    // Named for the user and, so that two profiles never share one office, for the profile.
    QString pipeName() const;
    // The UNO address of the office's component context on that pipe.
    QString unoUrl() const;
    // soffice's arguments.
    QStringList arguments() const;
    // The office's environment: Quenvar's own, with the office on its plain X11 window system
    // unless the user chose another (SAL_USE_VCLPLUGIN). On the desktop's toolkits under Wayland
    // the show window could not be placed by position; the plain one runs on XWayland there.
    static QProcessEnvironment environment(QProcessEnvironment base);
    // The settings the profile must hold, as the office's registrymodifications.xcu.
    static QByteArray profileSettings();

    // Seeds the profile with the settings, unless the office's own file already holds them.
    void prepareProfile() const;
    // Prepares the profile and starts the office detached. Returns
    // false with a reason when it cannot be started.
    bool start(QString* reason);
    // Kills the office running on this profile (the launcher and soffice.bin), if any, and removes
    // the lock it leaves in the profile. For an office that stopped answering: no other office
    // can start on the profile while it holds it.
    void kill() const;

private:
    QString m_profileDir;
};

} // namespace show::impress
