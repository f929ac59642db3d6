#pragma once
// Keeps a second copy of the program from starting: the first copy holds a lock file and
// listens on a local socket; a later copy finds the lock taken, asks the first copy through
// the socket to bring its window to the front, and ends.
//
// The lock is a QLockFile, so a lock left by a copy that died (kill -9, crash) is recognised
// as stale and taken over. Names are per user: "mtxQuillmar" with the user id, or the name in
// the environment variable QUILLMAR_INSTANCE_NAME (tests run copies side by side with their
// own names).
#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QLocalServer;
class QLockFile;

class TSingleInstance : public QObject {
  Q_OBJECT
 public:
  // `name` empty: DefaultName().
  explicit TSingleInstance(std::string name = {}, QObject* parent = nullptr);
  ~TSingleInstance() override;

  // "mtxQuillmar-<uid>", or QUILLMAR_INSTANCE_NAME when set.
  static std::string DefaultName();

  // Takes the lock without waiting. True: this is the first copy (the lock is held until the
  // object goes). False: another live copy holds it.
  bool TryAcquire();

  // Second copy: asks the first copy to come to the front. True when the request was
  // delivered; false when the first copy does not listen yet (still starting) or is gone.
  bool ActivateOther(int timeoutMs = 1000);

  // First copy: listens for activation requests (needs the event loop). Each request calls
  // the handler set with SetActivateHandler and emits activateRequested().
  bool Listen();
  // The main window connects here to come to the front.
  void SetActivateHandler(std::function<void()> handler) { handler_ = std::move(handler); }

  // Path of the lock file.
  std::string LockPath() const;

 signals:
  void activateRequested();

 private:
  void OnNewConnection();

  std::string name_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
  bool held_ = false;
  std::function<void()> handler_;
};
