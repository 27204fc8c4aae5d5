// The tray icon as a freedesktop StatusNotifierItem, exported on the session bus and registered
// with the desktop's StatusNotifierWatcher, again whenever the watcher (re)appears. Unlike Qt's
// own tray class it receives the click position and scrolling.
//
// Threading: the main thread.
#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QString>

class QDBusServiceWatcher;

namespace velmora::shell {

class StatusNotifierItem : public QObject {
  Q_OBJECT
 public:
  static constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";

  // Exports the item on `bus` at once; registers when a watcher is there (now or later).
  StatusNotifierItem(QDBusConnection bus, QString id, QString title, QString toolTip, QImage icon,
                     QObject* parent = nullptr);
  ~StatusNotifierItem() override;

  // The name the item is exported under.
  const QString& serviceName() const { return service_; }
  bool registered() const { return registered_; }

  // What the adaptor serves.
  QString id() const { return id_; }
  QString title() const { return title_; }
  QString toolTipText() const { return toolTip_; }
  const QImage& icon() const { return icon_; }

 signals:
  // The watcher accepted the item (after each appearance of a watcher).
  void registeredWithWatcher();
  // Screen coordinates of the click, as the host reports them.
  void activated(int x, int y);
  void contextMenuRequested(int x, int y);
  // `delta` in the host's units (120 per wheel notch); only vertical scrolling is reported.
  void scrolled(int delta);

 private:
  friend class StatusNotifierItemAdaptor;
  void registerWithWatcher();

  QDBusConnection bus_;
  QString service_;
  QString id_, title_, toolTip_;
  QImage icon_;
  QDBusServiceWatcher* watcher_;
  bool registered_ = false;
};

}  // namespace velmora::shell
