#include "ui/MixerView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/AppWidgets.h"
#include "ui/ModelBridge.h"
#include "ui/PanelIcons.h"
#include "ui/PanelTheme.h"
#include "ui/PlainText.h"
#include "ui/VolumeSlider.h"

namespace velmora::ui {
namespace {

settings::InterfaceSettings interfaceOf(const model::ModelState& state) {
  return state.preferences.advanced ? state.preferences.advanced->interface : settings::InterfaceSettings {};
}

// Brings `layout` (holding exactly `rows`) to the order `wanted`, touching it only when the order
// differs, so a publish that changed one value leaves the layout alone.
template <typename Row>
void order(QVBoxLayout* layout, std::vector<Row*>& rows, std::vector<Row*> wanted) {
  if (rows == wanted) return;
  for (Row* row : rows) layout->removeWidget(row);
  for (Row* row : wanted) {
    layout->addWidget(row);
    row->show();  // at once, not on the layout's queued show: the row is usable right away
  }
  rows = std::move(wanted);
}

// Rows that are no longer wanted go on a later turn: one of them may be emitting the click that
// led here.
template <typename Row>
void retire(std::vector<Row*>& rows, const std::vector<Row*>& kept, QVBoxLayout* layout) {
  for (Row* row : rows) {
    if (std::find(kept.begin(), kept.end(), row) != kept.end()) continue;
    layout->removeWidget(row);
    row->hide();
    row->deleteLater();
  }
}

}  // namespace

// ---- RouteButton

RouteButton::RouteButton(QWidget* parent) : QAbstractButton(parent) {
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize RouteButton::sizeHint() const {
  const int textWidth = fontMetrics().horizontalAdvance(text());
  return {qMin(textWidth, 110) + 8 + 8 + 10, 28};
}

void RouteButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(PanelTheme::color(underMouse() || isDown() ? PanelColor::accentSurface
                                                              : PanelColor::subdued));
  painter.drawRoundedRect(QRectF(rect()), 7, 7);
  if (hasFocus()) {
    painter.setPen(QPen(PanelTheme::color(PanelColor::accent), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 7, 7);
  }
  const QColor ink = PanelTheme::color(PanelColor::textPrimary);
  const int chevron = 8;
  const QRect textBox(8, 0, width() - 8 - chevron - 8 - 2, height());
  painter.setPen(ink);
  painter.drawText(textBox, Qt::AlignVCenter | Qt::AlignLeft,
                   fontMetrics().elidedText(text(), Qt::ElideRight, textBox.width()));
  painter.drawPixmap(width() - 8 - chevron, (height() - chevron) / 2,
                     panelIcon("chevron.right", PanelTheme::color(PanelColor::textSecondary),
                               chevron, devicePixelRatioF()));
}

// ---- AppVolumeRow

AppVolumeRow::AppVolumeRow(ModelBridge& bridge, const audio::AudioApp& app,
                           std::function<void()> open, QWidget* parent)
    : QWidget(parent), bridge_(bridge), app_(app), open_(std::move(open)) {
  const QString name = qstr(app.name);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 8, 2, 8);
  layout->setSpacing(4);

  const AppTitle title = makeAppTitle(name, 24, this);
  icon_ = title.icon;
  name_ = title.name;
  caption_ = title.caption;
  name_->setToolTip(plainToolTip(name));
  QFont small = caption_->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  caption_->setFont(small);
  layout->addLayout(title.layout);

  auto* controls = new QHBoxLayout();
  controls->setSpacing(4);
  volume_ = new AppVolumeControl(bridge, app.id, name, this);
  mute_ = new AppMuteButton(bridge, app.id, this);
  solo_ = new AppSoloButton(bridge, app.id, name, this);
  route_ = new RouteButton(this);
  controls->addWidget(volume_, 1);
  controls->addWidget(mute_);
  controls->addWidget(solo_);
  controls->addWidget(route_);
  layout->addLayout(controls);

  offline_ = new AppOfflineNotice(this);
  layout->addWidget(offline_);
  connect(route_, &QAbstractButton::clicked, this, [this] {
    if (open_) open_();
  });
  refresh();
}

void AppVolumeRow::setApp(const audio::AudioApp& app) {
  if (app.name != app_.name || app.icon != app_.icon) {
    app_ = app;
    const QString name = qstr(app.name);
    name_->setText(name);
    name_->setToolTip(plainToolTip(name));
    volume_->slider()->setAccessibleName(name + " 音量");
    solo_->setAccessibleName(name + " 独听");
    icon_->clear();  // drawn again below
  }
  app_ = app;
  refresh();
}

void AppVolumeRow::setDivider(bool divider) {
  if (divider_ == divider) return;
  divider_ = divider;
  update();
}

void AppVolumeRow::refresh() {
  const model::ModelState& state = bridge_.state();
  model::AppModel& model = bridge_.model();
  const settings::InterfaceSettings interface = interfaceOf(state);
  if (icon_->pixmap().isNull() || ownIcon_ != interface.showAppIcons) {
    ownIcon_ = interface.showAppIcons;
    icon_->setPixmap(appIcon(app_, ownIcon_, 24, devicePixelRatioF()));
  }
  caption_->setVisible(interface.showStatus);
  if (interface.showStatus) caption_->setText(qstr(model.appPresentation(app_.id).statusText));
  volume_->refresh();
  mute_->refresh();
  solo_->refresh();

  const model::AppRoutePresentation route = model.appRoutePresentation(app_.id);
  const QString title = qstr(route.routeTitle);
  const QString shown = title == "跟随系统" ? QStringLiteral("系统") : title;
  if (route_->text() != shown) {
    route_->setText(shown);
    route_->updateGeometry();  // the caption's width decides the button's
  }
  route_->setToolTip(plainToolTip("选择输出设备 · " + title));
  route_->setAccessibleName(qstr(app_.name) + " 应用设置，输出已设为 " + title);
  offline_->setVisible(route.routeDetail.has_value());
  if (route.routeDetail) {
    const auto level = state.preferences.apps.find(app_.id);
    offline_->setFollowsSystem(level != state.preferences.apps.end() &&
                               level->second.followSystemWhenOffline.value_or(false));
  }
}

void AppVolumeRow::paintEvent(QPaintEvent*) {
  if (!divider_) return;
  QPainter painter(this);
  painter.setPen(QPen(PanelTheme::color(PanelColor::border), 1));
  painter.drawLine(0, 0, width(), 0);
}

// ---- DeviceSection

DeviceSection::DeviceSection(ModelBridge& bridge, AudioDirection direction,
                             BookmarkCallback effects, QWidget* parent)
    : QWidget(parent), bridge_(bridge), direction_(direction), effects_(std::move(effects)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  card_ = new CurrentDeviceCard(bridge, direction, effects_, this);
  layout->addWidget(card_);
  const bool input = direction == AudioDirection::input;
  empty_ =
      plainLabel(input ? QStringLiteral("无可用输入设备") : QStringLiteral("无可用输出设备"), this);
  hint_ = plainLabel(QStringLiteral("在设置 → 设备中选择要显示的设备。"), this);
  setTextRole(empty_, PanelColor::textSecondary);
  setTextRole(hint_, PanelColor::textSecondary);
  hint_->setWordWrap(true);
  layout->addWidget(empty_);
  layout->addWidget(hint_);
  rowsLayout_ = new QVBoxLayout();
  rowsLayout_->setSpacing(0);
  layout->addLayout(rowsLayout_);
  refresh();
}

void DeviceSection::refresh() {
  model::AppModel& model = bridge_.model();
  const bool input = direction_ == AudioDirection::input;
  const auto current = model.currentBookmark(direction_);
  std::vector<settings::DeviceBookmark> others;
  for (const settings::DeviceBookmark& bookmark : model.bookmarks()) {
    const bool shown = input ? bookmark.supportsInput && bookmark.showInput
                             : bookmark.supportsOutput && bookmark.showOutput;
    if (shown && (!current || bookmark.id != current->id)) others.push_back(bookmark);
  }
  card_->setVisible(current.has_value());
  if (current) card_->setBookmark(*current);
  empty_->setVisible(!current);
  hint_->setVisible(!current && others.empty());

  std::vector<DeviceRow*> wanted;
  for (const settings::DeviceBookmark& bookmark : others) {
    DeviceRow* row = nullptr;
    for (DeviceRow* existing : rows_) {
      if (existing->bookmark().id == bookmark.id) row = existing;
    }
    if (!row) row = new DeviceRow(bridge_, direction_, effects_, !input, this);
    row->setBookmark(bookmark);
    wanted.push_back(row);
  }
  retire(rows_, wanted, rowsLayout_);
  std::erase_if(rows_, [&](DeviceRow* row) {
    return std::find(wanted.begin(), wanted.end(), row) == wanted.end();
  });
  order(rowsLayout_, rows_, wanted);
}

// ---- MixerView

MixerView::MixerView(ModelBridge& bridge, BookmarkCallback effects, AppCallback openApp,
                     QWidget* parent)
    : QWidget(parent), bridge_(bridge), openApp_(std::move(openApp)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 8, 12, 12);
  layout->setSpacing(12);
  output_ = new DeviceSection(bridge, AudioDirection::output, effects, this);
  input_ = new DeviceSection(bridge, AudioDirection::input, std::move(effects), this);
  layout->addWidget(output_);
  layout->addWidget(input_);
  appsLayout_ = new QVBoxLayout();
  appsLayout_->setSpacing(0);
  layout->addLayout(appsLayout_);
  layout->addStretch(1);
  connect(&bridge, &ModelBridge::changed, this, &MixerView::refresh);
  refresh();
}

AppVolumeRow* MixerView::row(const std::string& appID) const {
  for (AppVolumeRow* row : rows_) {
    if (row->appID() == appID) return row;
  }
  return nullptr;
}

void MixerView::refresh() {
  const model::ModelState& state = bridge_.state();
  output_->refresh();
  input_->setVisible(interfaceOf(state).showInput);
  if (input_->isVisibleTo(this)) input_->refresh();

  std::vector<AppVolumeRow*> wanted;
  for (const audio::AudioApp& app : bridge_.model().visibleApps()) {
    AppVolumeRow* row = this->row(app.id);
    if (row) {
      row->setApp(app);
    } else {
      row = new AppVolumeRow(
          bridge_, app,
          [this, id = app.id] {
            if (openApp_) openApp_(id);
          },
          this);
    }
    row->setDivider(!wanted.empty());
    wanted.push_back(row);
  }
  retire(rows_, wanted, appsLayout_);
  std::erase_if(rows_, [&](AppVolumeRow* row) {
    return std::find(wanted.begin(), wanted.end(), row) == wanted.end();
  });
  order(appsLayout_, rows_, wanted);
}

}  // namespace velmora::ui
