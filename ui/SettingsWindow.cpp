#include "ui/SettingsWindow.h"

#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/AutomaticRulesView.h"
#include "ui/DeviceManagerView.h"
#include "ui/GeneralSettingsView.h"
#include "ui/MainPanel.h"
#include "ui/ModelBridge.h"
#include "ui/MultiOutputView.h"
#include "ui/PanelIconButton.h"
#include "ui/PanelIcons.h"
#include "ui/PanelTheme.h"
#include "ui/PlainText.h"
#include "ui/SettingsKit.h"

namespace velmora::ui {
namespace {

constexpr int kSidebarWidth = 184;
constexpr std::array kSections{SettingsSection::general, SettingsSection::devices,
                               SettingsSection::scenes};
constexpr std::array kTabs{DeviceSettingsTab::favorites, DeviceSettingsTab::automatic,
                           DeviceSettingsTab::multi};

QString sectionSymbol(SettingsSection section) {
  switch (section) {
    case SettingsSection::general:
      return QStringLiteral("gearshape");
    case SettingsSection::devices:
      return QStringLiteral("headphones");
    case SettingsSection::scenes:
      return QStringLiteral("square.stack");
  }
  return {};
}

// One row of the sidebar: symbol and title, at least 36 pixels high; the chosen row is tinted.
class SidebarButton : public QAbstractButton {
 public:
  SidebarButton(SettingsSection section, QWidget* parent)
      : QAbstractButton(parent), symbol_(sectionSymbol(section)) {
    setText(title(section));
    setAccessibleName(title(section));
    setCheckable(true);
    setAutoExclusive(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setMinimumHeight(36);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  }
  QSize sizeHint() const override { return {kSidebarWidth - 20, 36}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isChecked() || underMouse()) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(
          PanelTheme::color(isChecked() ? PanelColor::accentSurface : PanelColor::subdued));
      painter.drawRoundedRect(QRectF(rect()), 8, 8);
    }
    const QColor ink =
        PanelTheme::color(isChecked() ? PanelColor::accent : PanelColor::textPrimary);
    const int y = (height() - 18) / 2;
    painter.drawPixmap(10, y, panelIcon(symbol_, ink, 18, devicePixelRatioF()));
    QFont font = this->font();
    font.setBold(isChecked());
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(rect().adjusted(38, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft, text());
    if (hasFocus() && keyboardFocus_) {
      painter.setPen(QPen(PanelTheme::color(PanelColor::accent), 1.5));
      painter.setBrush(Qt::NoBrush);
      painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 8, 8);
    }
  }

  // The ring shows where the keyboard is; a click or the window's first focus needs none.
  void focusInEvent(QFocusEvent* event) override {
    keyboardFocus_ =
        event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QAbstractButton::focusInEvent(event);
  }

 private:
  QString symbol_;
  bool keyboardFocus_ = false;
};

// The sidebar's own background, a shade off the content's.
class Sidebar : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QColor shade = PanelTheme::color(PanelColor::subdued);
    shade.setAlphaF(0.55f);
    painter.fillRect(rect(), shade);
    painter.fillRect(QRect(width() - 1, 0, 1, height()), PanelTheme::color(PanelColor::border));
  }
};

QScrollArea* scrolling(QWidget* content, QWidget* parent) {
  auto* scroll = new QScrollArea(parent);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->viewport()->setAutoFillBackground(false);
  content->setAutoFillBackground(false);
  scroll->setWidget(content);
  return scroll;
}

// A page of the content area: its title, then its body.
QWidget* page(const QString& heading, QWidget* parent) {
  auto* widget = new QWidget(parent);
  auto* layout = new QVBoxLayout(widget);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(10);
  auto* title = headingLabel(heading, 1.35, widget);
  title->setContentsMargins(24, 0, 24, 0);
  layout->addWidget(title);
  return widget;
}

}  // namespace

SettingsWindow::SettingsWindow(ModelBridge& bridge, QString frameFile, QWidget* parent)
    : QWidget(parent, Qt::Window), bridge_(bridge), frameFile_(std::move(frameFile)) {
  setWindowTitle(QStringLiteral("Velmora 设置"));
  setAccessibleName(QStringLiteral("Velmora 设置"));
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  QFont windowFont = font();
  windowFont.setFamilies({"Noto Sans CJK SC", "WenQuanYi Micro Hei", windowFont.family()});
  setFont(windowFont);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(buildSidebar());

  auto* content = new QVBoxLayout();
  content->setContentsMargins(0, 16, 0, 0);
  content->setSpacing(8);
  banner_ = new ErrorBanner(bridge_, this);
  auto* bannerHolder = new QHBoxLayout();
  bannerHolder->setContentsMargins(24, 0, 24, 0);
  bannerHolder->addWidget(banner_);
  content->addLayout(bannerHolder);

  sections_ = new QStackedWidget(this);
  auto* general = page(title(SettingsSection::general), sections_);
  general->layout()->addWidget(scrolling(new GeneralSettingsView(bridge_), general));
  sections_->addWidget(general);
  sections_->addWidget(buildDevicesPage());
  sections_->addWidget(buildScenesPage());
  content->addWidget(sections_, 1);
  layout->addLayout(content, 1);

  // Ctrl+Q quits from here as from the pop-over.
  auto* quit = new QAction(this);
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit);
  addAction(quit);

  connect(&navigation_, &SettingsNavigation::changed, this, &SettingsWindow::follow);
  connect(&navigation_, &SettingsNavigation::sectionChanged, this, [this](SettingsSection s) {
    // Paired devices are listed fresh each time the device section is entered.
    if (s == SettingsSection::devices && isVisible()) bridge_.model().scanBluetooth();
  });
  connect(&bridge_, &ModelBridge::changed, banner_, &ErrorBanner::refresh);
  connect(&PanelTheme::instance(), &PanelTheme::changed, this, &SettingsWindow::applyAppearance);
  applyAppearance();
  follow();
  restoreFrame();
}

SettingsWindow::~SettingsWindow() {
  if (isVisible()) saveFrame();
}

QWidget* SettingsWindow::buildSidebar() {
  auto* sidebar = new Sidebar(this);
  sidebar->setFixedWidth(kSidebarWidth);
  auto* layout = new QVBoxLayout(sidebar);
  layout->setContentsMargins(10, 18, 10, 12);
  layout->setSpacing(4);
  auto* heading = headingLabel(QStringLiteral("设置"), 1.2, sidebar);
  heading->setContentsMargins(10, 0, 0, 8);
  layout->addWidget(heading);
  for (size_t i = 0; i < kSections.size(); ++i) {
    const SettingsSection section = kSections.at(i);
    auto* button = new SidebarButton(section, sidebar);
    connect(button, &QAbstractButton::clicked, this,
            [this, section] { navigation_.setSection(section); });
    layout->addWidget(button);
    sidebar_.at(i) = button;
  }
  layout->addStretch(1);
  return sidebar;
}

QWidget* SettingsWindow::buildDevicesPage() {
  auto* devices = page(title(SettingsSection::devices), this);
  QStringList titles;
  for (const DeviceSettingsTab tab : kTabs) titles << title(tab);
  tabs_ = new SegmentedPicker(QStringLiteral("设备设置"), titles, devices);
  auto* tabRow = new QHBoxLayout();
  tabRow->setContentsMargins(24, 0, 24, 4);
  tabRow->addWidget(tabs_);
  tabRow->addStretch(1);
  static_cast<QVBoxLayout*>(devices->layout())->addLayout(tabRow);
  connect(tabs_, &SegmentedPicker::picked, this,
          [this](int index) { navigation_.setDeviceTab(kTabs.at(size_t(index))); });
  tabPages_ = new QStackedWidget(devices);
  tabContent_ = {new DeviceManagerView(bridge_), new AutomaticRulesView(bridge_),
                 new MultiOutputView(bridge_)};
  for (size_t i = 0; i < kTabs.size(); ++i) {
    tabPages_->addWidget(scrolling(tabContent_.at(i), tabPages_));
  }
  devices->layout()->addWidget(tabPages_);
  return devices;
}

QWidget* SettingsWindow::buildScenesPage() {
  auto* scenes = page(title(SettingsSection::scenes), this);
  auto* header = new QHBoxLayout();
  header->setContentsMargins(20, 0, 24, 0);
  scenesBack_ = new PanelIconButton(QStringLiteral("chevron.left"), 28, scenes);
  scenesBack_->setText(title(SettingsSection::scenes));
  scenesBack_->setAccessibleName(title(SettingsSection::scenes));
  scenesBack_->setToolTip(QStringLiteral("返回场景列表"));
  connect(scenesBack_, &QAbstractButton::clicked, this,
          [this] { navigation_.setSceneID(std::nullopt); });
  header->addWidget(scenesBack_, 0, Qt::AlignLeft);
  scenesSubtitle_ =
      noteLabel(QStringLiteral("保存当前的设备、音量和音效配置，需要时一键应用。"), scenes);
  scenesSubtitle_->setContentsMargins(4, 0, 0, 0);
  header->addWidget(scenesSubtitle_, 1);
  static_cast<QVBoxLayout*>(scenes->layout())->addLayout(header);
  scenes_ = new QWidget();
  scenesScroll_ = scrolling(scenes_, scenes);
  scenes->layout()->addWidget(scenesScroll_);
  return scenes;
}

void SettingsWindow::setScenesSection(QWidget* scenes) {
  if (scenes == nullptr || scenes == scenes_) return;
  // The old content may be the sender of the signal that brought us here.
  QWidget* old = scenesScroll_->takeWidget();
  if (old != nullptr) {
    old->hide();
    old->deleteLater();
  }
  scenes_ = scenes;
  scenes_->setAutoFillBackground(false);
  scenesScroll_->setWidget(scenes_);
}

QWidget* SettingsWindow::devicePage(DeviceSettingsTab tab) const {
  for (size_t i = 0; i < kTabs.size(); ++i) {
    if (kTabs.at(i) == tab) return tabContent_.at(i);
  }
  return nullptr;
}

void SettingsWindow::open(SettingsSection section, DeviceSettingsTab tab) {
  navigation_.setSection(section);
  navigation_.setDeviceTab(tab);
  navigation_.setSceneID(std::nullopt);
  show();
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  raise();
  activateWindow();
}

void SettingsWindow::follow() {
  for (size_t i = 0; i < kSections.size(); ++i) {
    const bool current = kSections.at(i) == navigation_.section();
    sidebar_.at(i)->setChecked(current);
    if (current) sections_->setCurrentIndex(int(i));
  }
  for (size_t i = 0; i < kTabs.size(); ++i) {
    if (kTabs.at(i) == navigation_.deviceTab()) {
      tabs_->setCurrent(int(i));
      tabPages_->setCurrentIndex(int(i));
    }
  }
  const bool scene = navigation_.sceneID().has_value();
  scenesBack_->setVisible(scene);
  scenesSubtitle_->setVisible(!scene);
}

void SettingsWindow::applyAppearance() {
  applyPanelPalette(this);
  reapplyTextRoles(this);
  banner_->refresh();
  update();
}

void SettingsWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), PanelTheme::color(PanelColor::background));
}

void SettingsWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous() && navigation_.section() == SettingsSection::devices) {
    bridge_.model().scanBluetooth();
  }
}

void SettingsWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!event->spontaneous()) saveFrame();
}

void SettingsWindow::restoreFrame() {
  const QSettings settings(frameFile_, QSettings::IniFormat);
  QRect frame = settings.value(QString::fromLatin1(kFrameKey)).toRect();
  const bool remembered = frame.isValid();
  if (!remembered) frame = QRect(0, 0, kWidth, kHeight);
  frame.setSize(frame.size().expandedTo(QSize(kMinimumWidth, kMinimumHeight)));
  bool onScreen = false;
  for (const QScreen* screen : QGuiApplication::screens()) {
    onScreen = onScreen || (remembered && screen->availableGeometry().intersects(frame));
  }
  if (!onScreen) {
    // First use, or the screen it was on is gone: the middle of the primary screen.
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
      frame.moveCenter(primary->availableGeometry().center());
    }
  }
  setGeometry(frame);
}

void SettingsWindow::saveFrame() const {
  QSettings settings(frameFile_, QSettings::IniFormat);
  settings.setValue(QString::fromLatin1(kFrameKey), geometry());
}

}  // namespace velmora::ui
