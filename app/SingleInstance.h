// One Quenvar per user and display: the first one listens on a local socket whose name only this
// user can reach (in $XDG_RUNTIME_DIR, else in a folder of the user's own, mode 0700, under the
// temporary folder) and which names the X display. A later one hands its start request to it and
// ends: with FILE, the first loads it; without, it brings its control window forward.
#pragma once

#include "app/CommandLine.h"

#include <functional>
#include <memory>
#include <QObject>
#include <QString>

class QLocalServer;

namespace app {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // display: the X display's name ($DISPLAY).
    explicit SingleInstance(const QString& display);
    ~SingleInstance() override;

    // The socket's path.
    const QString& name() const { return m_name; }

    // Hands request to the Quenvar listening already, if there is one, and waits until it has
    // taken it. False when none answers.
    bool handOver(const StartRequest& request);
    // Starts listening; requests from later ones go to handler on the UI thread. False, with
    // the reason in *reason, when the socket cannot be made.
    bool listen(std::function<void(const StartRequest&)> handler, QString* reason = nullptr);

    // The request as it travels, and back.
    static QByteArray encode(const StartRequest& request);
    static std::optional<StartRequest> decode(const QByteArray& data);

private:
    QString m_name;
    std::unique_ptr<QLocalServer> m_server;
    std::function<void(const StartRequest&)> m_handler;
};

} // namespace app
