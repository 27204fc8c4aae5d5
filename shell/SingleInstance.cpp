#include "shell/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace velmora::shell {

// The bus face of the first instance.
class SingleInstanceAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.local.Ombrel")

 public:
  explicit SingleInstanceAdaptor(SingleInstance* instance)
      : QDBusAbstractAdaptor(instance), instance_(instance) {}

 public slots:
  void Show() { instance_->show(); }
  void Action(const QString& name) { instance_->action(name); }

 private:
  SingleInstance* instance_;
};

namespace {

// How long a first instance that is still starting (owning the name or lock, not serving yet) is
// waited for.
constexpr int kStartingWaitMs = 10000;

QString lockPath(const QString& folder) {
  return folder + QLatin1Char('/') + QLatin1String(SingleInstance::kAppIdentifier) +
         QLatin1String(".lock");
}

QString socketPath(const QString& folder) {
  return folder + QLatin1Char('/') + QLatin1String(SingleInstance::kAppIdentifier) +
         QLatin1String(".socket");
}

bool callBus(const QString& action) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  const QString service = QLatin1String(SingleInstance::kAppIdentifier);
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    if (!bus.interface()->isServiceRegistered(service)) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, QLatin1String(SingleInstance::kObjectPath), service,
        action.isEmpty() ? QStringLiteral("Show") : QStringLiteral("Action"));
    if (!action.isEmpty()) call << action;
    if (bus.call(call, QDBus::Block, kStartingWaitMs).type() == QDBusMessage::ReplyMessage)
      return true;
    if (waited.elapsed() > kStartingWaitMs) return false;
    QThread::msleep(50);
  }
}

bool callSocket(const QString& action, const QString& folder) {
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    QLocalSocket socket;
    socket.connectToServer(socketPath(folder));
    if (socket.waitForConnected(500)) {
      socket.write((action.isEmpty() ? QStringLiteral("show") : action).toUtf8() + '\n');
      // The first instance answers once it has read the line.
      return socket.waitForBytesWritten(1000) && socket.waitForReadyRead(kStartingWaitMs);
    }
    // Nobody holds the lock: no instance is running, not even starting.
    const int probe = ::open(lockPath(folder).toLocal8Bit().constData(), O_RDWR | O_CLOEXEC);
    if (probe < 0) return false;
    const bool free = ::flock(probe, LOCK_EX | LOCK_NB) == 0;
    ::close(probe);
    if (free || waited.elapsed() > kStartingWaitMs) return false;
    QThread::msleep(50);
  }
}

}  // namespace

std::unique_ptr<SingleInstance> SingleInstance::claim(Handlers handlers,
                                                      const QString& runtimeFolder) {
  std::unique_ptr<SingleInstance> instance(new SingleInstance(std::move(handlers)));
  if (QDBusConnection::sessionBus().isConnected()) {
    return instance->claimBus() ? std::move(instance) : nullptr;
  }
  return instance->claimLock(runtimeFolder) ? std::move(instance) : nullptr;
}

bool SingleInstance::claimBus() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  new SingleInstanceAdaptor(this);
  // Served before the name is owned, so whoever sees the name can call at once.
  bus.registerObject(QLatin1String(kObjectPath), this);
  const auto reply = bus.interface()->registerService(
      QLatin1String(kAppIdentifier), QDBusConnectionInterface::DontQueueService,
      QDBusConnectionInterface::DontAllowReplacement);
  if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
    bus.unregisterObject(QLatin1String(kObjectPath));
    return false;
  }
  bus_ = bus;
  return true;
}

bool SingleInstance::claimLock(const QString& folder) {
  lockFile_ =
      ::open(lockPath(folder).toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFile_ < 0 || ::flock(lockFile_, LOCK_EX | LOCK_NB) != 0) return false;
  // Holding the lock, a socket left by a crashed instance is ours to replace.
  QLocalServer::removeServer(socketPath(folder));
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(socketPath(folder))) return true;  // alone, but unreachable
  connect(server_, &QLocalServer::newConnection, this, [this] {
    QLocalSocket* socket = server_->nextPendingConnection();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine()) return;
      const QString line = QString::fromUtf8(socket->readLine()).trimmed();
      socket->write("ok\n");
      socket->flush();
      if (line == QLatin1String("show")) {
        show();
      } else {
        action(line);
      }
    });
  });
  return true;
}

bool SingleInstance::call(const QString& action, const QString& runtimeFolder) {
  if (QDBusConnection::sessionBus().isConnected()) return callBus(action);
  return callSocket(action, runtimeFolder);
}

SingleInstance::~SingleInstance() {
  if (bus_) {
    bus_->unregisterService(QLatin1String(kAppIdentifier));
    bus_->unregisterObject(QLatin1String(kObjectPath));
  }
  if (lockFile_ >= 0) ::close(lockFile_);
}

}  // namespace velmora::shell

#include "SingleInstance.moc"
