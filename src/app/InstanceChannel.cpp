#include "app/InstanceChannel.h"

#include "platform/DebugLog.h"

#include <QLocalServer>
#include <QLocalSocket>

CInstanceChannel::CInstanceChannel(const std::filesystem::path& lockFile, QObject* parent)
    : QObject(parent),
      m_socketPath(lockFile.empty() ? QString() : QString::fromStdString(lockFile.string() + ".sock")) {}

CInstanceChannel::~CInstanceChannel() = default;

bool CInstanceChannel::Listen() {
  if (m_socketPath.isEmpty()) {
    return false;
  }
  m_server = new QLocalServer(this);
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(m_socketPath);
  if (!m_server->listen(m_socketPath)) {
    ORVANE_TRACE("CInstanceChannel::Listen - %s\n", qPrintable(m_server->errorString()));
    return false;
  }
  connect(m_server, &QLocalServer::newConnection, this, &CInstanceChannel::OnConnection);
  return true;
}

void CInstanceChannel::OnConnection() {
  while (QLocalSocket* socket = m_server->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine()) {
        return;
      }
      const QByteArray line = socket->readLine(64);
      if (line == kRequest) {
        emit ActivationRequested();
        socket->write(kAnswer);
        socket->flush();
      }
      socket->disconnectFromServer();
    });
  }
}

bool CInstanceChannel::RequestActivation(int timeoutMs) const {
  if (m_socketPath.isEmpty()) {
    return false;
  }
  QLocalSocket socket;
  socket.connectToServer(m_socketPath);
  if (!socket.waitForConnected(timeoutMs)) {
    return false;
  }
  socket.write(kRequest);
  if (!socket.waitForBytesWritten(timeoutMs)) {
    return false;
  }
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMs)) {
      return false;
    }
  }
  return socket.readLine(64) == kAnswer;
}
