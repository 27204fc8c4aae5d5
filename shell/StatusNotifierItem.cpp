#include "shell/StatusNotifierItem.h"

#include <unistd.h>

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QtEndian>

namespace velmora::shell {

// One image of the item's icon in the protocol's form: ARGB32 in network byte order.
struct SniPixmap {
  int width = 0;
  int height = 0;
  QByteArray bytes;
};
using SniPixmaps = QList<SniPixmap>;

struct SniToolTip {
  QString iconName;
  SniPixmaps pixmaps;
  QString title;
  QString description;
};

}  // namespace velmora::shell

Q_DECLARE_METATYPE(velmora::shell::SniPixmap)
Q_DECLARE_METATYPE(velmora::shell::SniToolTip)

namespace velmora::shell {

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap) {
  argument.beginStructure();
  argument << pixmap.width << pixmap.height << pixmap.bytes;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap) {
  argument.beginStructure();
  argument >> pixmap.width >> pixmap.height >> pixmap.bytes;
  argument.endStructure();
  return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& tip) {
  argument.beginStructure();
  argument << tip.iconName << tip.pixmaps << tip.title << tip.description;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& tip) {
  argument.beginStructure();
  argument >> tip.iconName >> tip.pixmaps >> tip.title >> tip.description;
  argument.endStructure();
  return argument;
}

namespace {

SniPixmaps pixmapsOf(const QImage& icon) {
  SniPixmaps result;
  for (const int size : {16, 22, 32, 48}) {
    const QImage image = icon.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_ARGB32);
    QByteArray bytes(qsizetype(image.width()) * image.height() * 4, Qt::Uninitialized);
    auto* out = reinterpret_cast<quint32*>(bytes.data());
    for (int y = 0; y < image.height(); ++y) {
      const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
      for (int x = 0; x < image.width(); ++x) *out++ = qToBigEndian(line[x]);
    }
    result.append({image.width(), image.height(), bytes});
  }
  return result;
}

}  // namespace

// The D-Bus face of the item: the properties, methods and signals hosts use.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
  Q_PROPERTY(QString Category READ category)
  Q_PROPERTY(QString Id READ id)
  Q_PROPERTY(QString Title READ title)
  Q_PROPERTY(QString Status READ status)
  Q_PROPERTY(int WindowId READ windowId)
  Q_PROPERTY(QString IconName READ iconName)
  Q_PROPERTY(velmora::shell::SniPixmaps IconPixmap READ iconPixmap)
  Q_PROPERTY(QString OverlayIconName READ empty)
  Q_PROPERTY(velmora::shell::SniPixmaps OverlayIconPixmap READ noPixmaps)
  Q_PROPERTY(QString AttentionIconName READ empty)
  Q_PROPERTY(velmora::shell::SniPixmaps AttentionIconPixmap READ noPixmaps)
  Q_PROPERTY(QString AttentionMovieName READ empty)
  Q_PROPERTY(velmora::shell::SniToolTip ToolTip READ toolTip)
  Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
  Q_PROPERTY(QDBusObjectPath Menu READ menu)

 public:
  explicit StatusNotifierItemAdaptor(StatusNotifierItem* item)
      : QDBusAbstractAdaptor(item), item_(item), pixmaps_(pixmapsOf(item->icon())) {}

  QString category() const { return QStringLiteral("Hardware"); }
  QString id() const { return item_->id(); }
  QString title() const { return item_->title(); }
  QString status() const { return QStringLiteral("Active"); }
  int windowId() const { return 0; }
  QString iconName() const { return {}; }
  SniPixmaps iconPixmap() const { return pixmaps_; }
  QString empty() const { return {}; }
  SniPixmaps noPixmaps() const { return {}; }
  SniToolTip toolTip() const { return {{}, {}, item_->title(), item_->toolTipText()}; }
  // A click opens the panel; the context menu is asked for separately.
  bool itemIsMenu() const { return false; }
  QDBusObjectPath menu() const { return QDBusObjectPath("/NO_DBUSMENU"); }

 public slots:
  void Activate(int x, int y) { emit item_->activated(x, y); }
  void SecondaryActivate(int x, int y) { emit item_->activated(x, y); }
  void ContextMenu(int x, int y) { emit item_->contextMenuRequested(x, y); }
  void Scroll(int delta, const QString& orientation) {
    if (orientation.compare(QLatin1String("vertical"), Qt::CaseInsensitive) == 0)
      emit item_->scrolled(delta);
  }

 signals:
  void NewTitle();
  void NewIcon();
  void NewToolTip();
  void NewStatus(const QString& status);

 private:
  StatusNotifierItem* item_;
  SniPixmaps pixmaps_;
};

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, QString id, QString title,
                                       QString toolTip, QImage icon, QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      service_(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(::getpid())),
      id_(std::move(id)),
      title_(std::move(title)),
      toolTip_(std::move(toolTip)),
      icon_(std::move(icon)) {
  qDBusRegisterMetaType<SniPixmap>();
  qDBusRegisterMetaType<SniPixmaps>();
  qDBusRegisterMetaType<SniToolTip>();
  new StatusNotifierItemAdaptor(this);
  bus_.registerObject(QStringLiteral("/StatusNotifierItem"), this);
  bus_.registerService(service_);
  watcher_ = new QDBusServiceWatcher(QString::fromLatin1(kWatcherService), bus_,
                                     QDBusServiceWatcher::WatchForRegistration, this);
  // A tray that restarts (or starts after us, as at login) forgets its items: register again.
  connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this,
          &StatusNotifierItem::registerWithWatcher);
  registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem() {
  bus_.unregisterService(service_);
  bus_.unregisterObject(QStringLiteral("/StatusNotifierItem"));
}

void StatusNotifierItem::registerWithWatcher() {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(kWatcherService), QStringLiteral("/StatusNotifierWatcher"),
      QString::fromLatin1(kWatcherService), QStringLiteral("RegisterStatusNotifierItem"));
  call << service_;
  auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
    done->deleteLater();
    if (done->isError()) return;  // no watcher yet: the service watcher calls again
    registered_ = true;
    emit registeredWithWatcher();
  });
}

}  // namespace velmora::shell

#include "StatusNotifierItem.moc"
