#include "single_instance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace app {
namespace {

QString UserName() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) user = QString::number(static_cast<qulonglong>(getuid()));
    return user;
}

constexpr int kConnectMs = 1000;
const char kRaise[] = "raise\n";

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent) {
    // Socket names are file names in a temporary folder: keep them short and plain.
    const QByteArray digest =
        QCryptographicHash::hash((key + QLatin1Char('@') + UserName()).toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    name_ = QStringLiteral("quelvra-") + QString::fromLatin1(digest);
}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

SingleInstance::Start SingleInstance::TryStart() {
    {
        QLocalSocket probe;
        probe.connectToServer(name_);
        if (probe.waitForConnected(kConnectMs)) {
            probe.write(kRaise);
            probe.waitForBytesWritten(kConnectMs);
            probe.disconnectFromServer();
            return Start::Handed;
        }
    }
    // Nobody answers: whatever is left under the name belongs to an instance that died.
    QLocalServer::removeServer(name_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) return Start::Failed;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->readAll().contains("raise")) emit RaiseRequested();
            });
        }
    });
    return Start::First;
}

} // namespace app
