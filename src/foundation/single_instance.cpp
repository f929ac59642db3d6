#include "foundation/single_instance.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <cstdlib>

namespace {
constexpr char kActivate[] = "activate\n";

// The folder where QLocalServer keeps its sockets too; the same for every start of the user,
// with or without a desktop session.
QString LockFolder() { return QDir::tempPath(); }
}  // namespace

TSingleInstance::TSingleInstance(std::string name, QObject* parent)
    : QObject(parent), name_(name.empty() ? DefaultName() : std::move(name)) {}

TSingleInstance::~TSingleInstance() {
  if (server_) server_->close();
  if (lock_) lock_->unlock();
}

std::string TSingleInstance::DefaultName() {
  if (const char* env = std::getenv("QUILLMAR_INSTANCE_NAME"); env && *env) return env;
  return "mtxQuillmar-" + std::to_string(static_cast<unsigned long>(getuid()));
}

std::string TSingleInstance::LockPath() const {
  return (LockFolder() + "/" + QString::fromStdString(name_) + ".lock").toStdString();
}

bool TSingleInstance::TryAcquire() {
  if (held_) return true;
  lock_ = std::make_unique<QLockFile>(QString::fromStdString(LockPath()));
  // Never stale by age: only a lock whose process is gone is taken over.
  lock_->setStaleLockTime(0);
  held_ = lock_->tryLock(0);
  if (!held_ && lock_->error() == QLockFile::LockFailedError) {
    // tryLock removes a stale lock only when it recognises the old process as gone; ask
    // once more explicitly after checking.
    qint64 pid = 0;
    QString host, app;
    if (lock_->getLockInfo(&pid, &host, &app) && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 &&
        errno == ESRCH) {
      lock_->removeStaleLockFile();
      held_ = lock_->tryLock(0);
    }
  }
  if (!held_) lock_.reset();
  return held_;
}

bool TSingleInstance::ActivateOther(int timeoutMs) {
  QLocalSocket sock;
  sock.connectToServer(QString::fromStdString(name_));
  if (!sock.waitForConnected(timeoutMs)) return false;
  sock.write(kActivate);
  bool ok = sock.waitForBytesWritten(timeoutMs);
  // Wait for the first copy to acknowledge, so the request is not lost when we exit.
  if (ok) ok = sock.waitForReadyRead(timeoutMs) && sock.readAll().startsWith("ok");
  sock.disconnectFromServer();
  return ok;
}

bool TSingleInstance::Listen() {
  if (!held_) return false;
  if (server_) return true;
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // A socket file left by a copy that died would block listen; we hold the lock, so it is ours.
  QLocalServer::removeServer(QString::fromStdString(name_));
  if (!server_->listen(QString::fromStdString(name_))) return false;
  connect(server_, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
  return true;
}

void TSingleInstance::OnNewConnection() {
  while (QLocalSocket* sock = server_->nextPendingConnection()) {
    connect(sock, &QLocalSocket::disconnected, sock, &QObject::deleteLater);
    connect(sock, &QLocalSocket::readyRead, this, [this, sock] {
      const QByteArray data = sock->readAll();
      if (!data.startsWith("activate")) return;
      sock->write("ok\n");
      sock->flush();
      if (handler_) handler_();
      emit activateRequested();
    });
  }
}
