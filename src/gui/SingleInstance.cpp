#include "gui/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>

namespace veltrano::gui {
namespace {

constexpr quint32 kHandOverMagic = 0x56454c31;  // "VEL1"
constexpr char kAcknowledge = '1';
constexpr int kStepMs = 500;

QString SocketNameFor(const QString& folder) {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (runtime.isEmpty() || !QDir::isAbsolutePath(runtime)) {
    return QDir(folder).absoluteFilePath(QStringLiteral("instance.socket"));
  }
  const QByteArray hash =
      QCryptographicHash::hash(QDir(folder).absolutePath().toUtf8(), QCryptographicHash::Sha1);
  return QDir(runtime).absoluteFilePath(
      QStringLiteral("veltrano-%1.socket").arg(QString::fromLatin1(hash.toHex().left(16))));
}

}  // namespace

TSingleInstance::TSingleInstance(const QString& folder, QObject* parent)
    : QObject(parent),
      lock_file_name_(QDir(folder).absoluteFilePath(QStringLiteral("instance.lock"))),
      socket_name_(SocketNameFor(folder)),
      lock_(lock_file_name_) {
  QDir().mkpath(folder);
  // A lock is stale only when its process is gone, never because it is old.
  lock_.setStaleLockTime(0);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, &TSingleInstance::Receive);
}

TSingleInstance::~TSingleInstance() {
  server_.close();
  lock_.unlock();
}

TSingleInstance::TRole TSingleInstance::Claim(const QStringList& files, int timeout_ms) {
  const QDeadlineTimer deadline(timeout_ms);
  while (true) {
    if (lock_.tryLock(0)) return Listen() ? TRole::kPrimary : TRole::kFailed;
    if (HandOver(files)) return TRole::kHandedOver;
    if (deadline.hasExpired()) return TRole::kFailed;
    QThread::msleep(50);
  }
}

bool TSingleInstance::Listen() {
  // Holding the lock, a socket file left behind by a crash is ours to remove.
  QLocalServer::removeServer(socket_name_);
  return server_.listen(socket_name_);
}

bool TSingleInstance::HandOver(const QStringList& files) {
  QLocalSocket socket;
  socket.connectToServer(socket_name_);
  if (!socket.waitForConnected(kStepMs)) return false;
  QByteArray message;
  QDataStream out(&message, QIODevice::WriteOnly);
  out << kHandOverMagic << files;
  socket.write(message);
  if (!socket.waitForBytesWritten(kStepMs)) return false;
  // The instance answers once it has taken the files.
  while (socket.bytesAvailable() == 0) {
    if (!socket.waitForReadyRead(10 * kStepMs)) return false;
  }
  char answer = 0;
  return socket.getChar(&answer) && answer == kAcknowledge;
}

void TSingleInstance::Receive() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      QDataStream in(socket);
      in.startTransaction();
      quint32 magic = 0;
      QStringList files;
      in >> magic >> files;
      if (!in.commitTransaction()) return;  // the rest is still on its way
      if (magic != kHandOverMagic) {
        socket->abort();
        return;
      }
      socket->putChar(kAcknowledge);
      socket->flush();
      emit FilesReceived(files);
    });
  }
}

}  // namespace veltrano::gui
