// One window per user: the first start of the program holds a lock file in
// the application-data folder and listens on a local socket; a later start
// hands its file arguments to it over that socket and ends.
//
// The lock decides which start is the one instance (a lock left by a
// process that no longer exists is taken over); the socket only carries the
// hand-over, so two starts at the same moment end as one window that got
// both starts' files. The socket lives in the user's runtime folder
// ($XDG_RUNTIME_DIR), named after the application-data folder, or in that
// folder itself when there is no runtime folder.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QStringList>

namespace veltrano::gui {

class TSingleInstance final : public QObject {
  Q_OBJECT

 public:
  enum class TRole {
    kPrimary,     // this start is the one instance: it listens for others
    kHandedOver,  // the running instance took the files; this start ends
    kFailed,      // neither: the running instance did not answer in time
  };

  // `folder` is the application-data folder (created when missing).
  explicit TSingleInstance(const QString& folder, QObject* parent = nullptr);
  ~TSingleInstance() override;

  // Becomes the one instance, or hands `files` to the one that runs, trying
  // for at most `timeout_ms` while the other one starts up or goes away.
  TRole Claim(const QStringList& files, int timeout_ms = 10000);

  QString SocketName() const { return socket_name_; }
  QString LockFileName() const { return lock_file_name_; }

 signals:
  // A later start handed these files over (empty: it only asked for the
  // window to come forward).
  void FilesReceived(const QStringList& files);

 private:
  bool Listen();
  bool HandOver(const QStringList& files);
  void Receive();

  QString lock_file_name_;
  QString socket_name_;
  QLockFile lock_;
  QLocalServer server_;
};

}  // namespace veltrano::gui
