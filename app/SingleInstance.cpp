#include "app/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

namespace {

constexpr int kAnswerMs = 5000;

// $XDG_RUNTIME_DIR is the user's own by definition; elsewhere a folder of ours, refused when
// someone else made it or can enter it.
QString privateFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime;
    const QString folder = QDir::tempPath() + QStringLiteral("/quenvar-%1").arg(::getuid());
    const QByteArray path = QFile::encodeName(folder);
    ::mkdir(path.constData(), 0700);
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & 077) != 0)
        return {};
    return folder;
}

} // namespace

SingleInstance::SingleInstance(const QString& display) {
    QString tag = display;
    tag.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.]")), QStringLiteral("_"));
    const QString folder = privateFolder();
    if (!folder.isEmpty())
        m_name = folder + QStringLiteral("/quenvar-display-") + tag;
}

SingleInstance::~SingleInstance() = default;

QByteArray SingleInstance::encode(const StartRequest& request) {
    QJsonObject object;
    object[QStringLiteral("file")] = request.file;
    if (request.timer)
        object[QStringLiteral("timer")] = double(*request.timer);
    if (request.place)
        object[QStringLiteral("place")] =
            QJsonArray{request.place->left, request.place->top, request.place->width};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<StartRequest> SingleInstance::decode(const QByteArray& data) {
    const QJsonDocument document = QJsonDocument::fromJson(data.trimmed());
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    StartRequest request;
    request.file = object.value(QStringLiteral("file")).toString();
    if (object.contains(QStringLiteral("timer")))
        request.timer = float(object.value(QStringLiteral("timer")).toDouble());
    const QJsonArray place = object.value(QStringLiteral("place")).toArray();
    if (place.size() == 3)
        request.place = show::frmQvr::Placement{
            float(place[0].toDouble()), float(place[1].toDouble()), float(place[2].toDouble())};
    return request;
}

bool SingleInstance::handOver(const StartRequest& request) {
    if (m_name.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kAnswerMs))
        return false;
    socket.write(encode(request));
    if (!socket.waitForBytesWritten(kAnswerMs))
        return false;
    // The first one answers once it has the request, before it loads the file.
    return socket.waitForReadyRead(kAnswerMs) && socket.readAll().startsWith("ok");
}

bool SingleInstance::listen(std::function<void(const StartRequest&)> handler, QString* reason) {
    if (m_name.isEmpty()) {
        if (reason)
            *reason = QStringLiteral("no private folder for the socket");
        return false;
    }
    m_handler = std::move(handler);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a Quenvar that was killed: nobody answered on it (handOver), so it goes.
    QLocalServer::removeServer(m_name);
    if (!m_server->listen(m_name)) {
        if (reason)
            *reason = m_server->errorString();
        return false;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                const std::optional<StartRequest> request = decode(socket->readLine());
                socket->write(request ? "ok\n" : "bad\n");
                socket->flush();
                socket->disconnectFromServer();
                if (request && m_handler)
                    m_handler(*request);
            });
        }
    });
    return true;
}

} // namespace app
