// The office process of this run: its private profile, the pipe it answers on, how it is started
// and how it is ended. Quenvar starts the office itself, detached in a session of its own so that
// it and its show outlive Quenvar, with a profile that keeps the presenter console, the start
// centre, the tip of the day and document recovery out of a kiosk's way, and with UNO accepted on a
// pipe whose name holds a random part, new at every start. The name is kept in the profile folder,
// which only the user can enter, and reaches the office through the profile's settings rather than
// its command line, which every local user can read: a later run of Quenvar finds the office again,
// and no other local user learns the name before the office holds the pipe. The office's temporary
// files go to a folder of the profile, emptied at every start. Knows nothing of UNO; Office.cpp
// speaks UNO over the connections that Pipe makes.
#pragma once

#include <chrono>
#include <optional>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <sys/types.h>

namespace show::impress {

class OfficeProcess {
public:
    // profileDir: the office's user installation; empty means Quenvar's own folder under the
    // user's cache folder.
    explicit OfficeProcess(QString profileDir = {});

    const QString& profileDir() const { return m_profileDir; }
    // The pipe's name, read from the profile folder; a new random one the first time.
    QString pipeName() const;
    // Gives the office a new random pipe name, from its next start on; start() does so itself.
    void renewPipeName();
    // The Unix socket behind the pipe, where the office's runtime makes it.
    QString socketPath() const;
    // The office's temporary files: the private copies of the decks it shows, among others.
    QString tempDir() const { return m_profileDir + QStringLiteral("/tmp"); }

    // Who listens on the pipe: nobody; the office on this profile; another program (*stranger
    // says whose: its user id and process id). Busy: someone does, but too busy to be asked now,
    // or a process of the user's that is ending.
    enum class Listener { None, Busy, Ours, Stranger };
    struct Peer {
        uid_t uid = 0;
        pid_t pid = 0;
    };
    // What a worker needs to reach the office, copied to it.
    struct Pipe {
        QByteArray socket;
        // The argument that every process of the office carries.
        QByteArray profile;
        // A connection to the pipe, made ready to send on only when the listener is this user's
        // office on this profile, as the kernel tells of the connection itself: nothing is sent to
        // another listener, whenever it took the pipe. Else -1, and *who says who listens.
        int connect(Listener* who = nullptr, Peer* stranger = nullptr) const;
    };
    Pipe pipe() const;
    Listener listener(Peer* stranger = nullptr) const;

    // soffice's arguments.
    QStringList arguments() const;
    // The office's environment: Quenvar's own, with the office on its plain X11 window system
    // unless the user chose another (SAL_USE_VCLPLUGIN). On the desktop's toolkits under Wayland
    // the show window could not be placed by position; the plain one runs on XWayland there.
    static QProcessEnvironment environment(QProcessEnvironment base);
    // The settings the profile must hold, as the office's registrymodifications.xcu.
    static QByteArray profileSettings();

    // Makes the profile folder and its temporary folder private and seeds the profile with the
    // settings, unless the office's own file already holds them, and with the pipe's name. Returns
    // what stops the office from starting there, in plain words, or nothing.
    QString prepareProfile() const;
    // Starts the office detached on a new pipe, with its temporary folder emptied, and removes the
    // pipe an office of ours left behind. Returns false with a reason when it cannot be started:
    // the profile's folders cannot be made or written, or their disk is full.
    bool start(QString* reason);
    // Whether any process of the office on this profile is alive: the launcher (oosplash), which
    // waits for soffice.bin, or soffice.bin itself.
    bool running() const;
    // Since when the office that start() started has been starting: until endStarting(), when
    // it has answered or was given up.
    std::optional<std::chrono::steady_clock::time_point> startingSince() const {
        return m_startingSince;
    }
    void endStarting() { m_startingSince.reset(); }
    void noteShowStarted() { m_showStarted = true; }
    // True when this run started the office and no show has run on it since.
    bool startedUnused() const { return m_started && !m_showStarted; }
    // Ends the office running on this profile (the launcher and soffice.bin), if any, and removes
    // the lock it leaves in the profile: at once (a hung office cannot end itself), or after
    // grace when it does not end on being asked to.
    void kill(std::chrono::milliseconds grace = {}) const;

private:
    QString m_profileDir;
    // Quenvar's cache folder, made private with the profile; empty for another profile folder.
    QString m_ownFolder;
    mutable QString m_pipeName;
    std::optional<std::chrono::steady_clock::time_point> m_startingSince;
    // The pid of the last start's launcher, which becomes soffice.
    qint64 m_launcher = 0;
    bool m_started = false;
    bool m_showStarted = false;
};

} // namespace show::impress
