#include "ui/DeviceManagerView.h"

#include <QApplication>
#include <QCheckBox>
#include <QDrag>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/ModelBridge.h"
#include "ui/PanelIconButton.h"
#include "ui/PanelIcons.h"
#include "ui/PanelTheme.h"
#include "ui/PlainText.h"
#include "ui/SettingsKit.h"

namespace velmora::ui {

using model::AudioDirection;

// ---- DeviceNameField

DeviceNameField::DeviceNameField(ModelBridge& bridge, QWidget* parent)
    : QLineEdit(parent), bridge_(bridge) {
  connect(this, &QLineEdit::returnPressed, this, [this] {
    // The model trims the name and cuts it to 48 characters; the field shows back what it kept
    // once focus has left it.
    const std::string draft = text().toStdString();
    clearFocus();
    bridge_.model().renameDevice(bookmark_.id, draft);
    for (const settings::DeviceBookmark& b : bridge_.model().bookmarks()) {
      if (b.id == bookmark_.id) bookmark_ = b;
    }
    setText(stored());
  });
}

QString DeviceNameField::stored() const {
  return qstr(bookmark_.alias ? *bookmark_.alias : bookmark_.name);
}

void DeviceNameField::setBookmark(const settings::DeviceBookmark& bookmark) {
  const bool renamed = bookmark.alias != bookmark_.alias || bookmark.name != bookmark_.name ||
                       bookmark.id != bookmark_.id;
  bookmark_ = bookmark;
  setPlaceholderText(qstr(bookmark.name));
  setToolTip(plainToolTip(QStringLiteral("设备原名：") + qstr(bookmark.name)));
  setAccessibleName(QStringLiteral("重命名 ") + qstr(bookmark.displayName()));
  // A draft being typed survives the model's publishes.
  if (renamed && !hasFocus()) setText(stored());
}

void DeviceNameField::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    setText(stored());
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

// ---- DeviceListRow

namespace {

QWidget* fixedColumn(QWidget* content, int width, QWidget* parent) {
  auto* column = new QWidget(parent);
  column->setFixedWidth(width);
  auto* layout = new QHBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(content, 0, Qt::AlignCenter);
  return column;
}

void keepSpaceWhenHidden(QWidget* widget) {
  QSizePolicy policy = widget->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  widget->setSizePolicy(policy);
}

}  // namespace

DeviceListRow::DeviceListRow(ModelBridge& bridge, QWidget* parent)
    : QWidget(parent), bridge_(bridge) {
  setAcceptDrops(true);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(DeviceManagerView::horizontalInset, 6,
                             DeviceManagerView::horizontalInset, 6);
  layout->setSpacing(DeviceManagerView::columnSpacing);
  symbol_ = new QLabel(this);
  symbol_->setFixedSize(18, 18);
  symbol_->setCursor(Qt::OpenHandCursor);
  layout->addWidget(symbol_, 0, Qt::AlignTop);

  auto* nameColumn = new QVBoxLayout();
  nameColumn->setSpacing(2);
  name_ = new DeviceNameField(bridge_, this);
  nameColumn->addWidget(name_);
  auto* captionRow = new QHBoxLayout();
  captionRow->setSpacing(8);
  caption_ = noteLabel({}, this);
  caption_->setWordWrap(false);
  captionRow->addWidget(caption_);
  restore_ = new QPushButton(QStringLiteral("恢复原设备名称"), this);
  restore_->setFlat(true);
  restore_->setCursor(Qt::PointingHandCursor);
  keepSpaceWhenHidden(restore_);
  connect(restore_, &QPushButton::clicked, this, [this] {
    // An empty name removes the alias.
    bridge_.model().renameDevice(bookmark_.id, "");
  });
  captionRow->addWidget(restore_);
  captionRow->addStretch(1);
  nameColumn->addLayout(captionRow);
  layout->addLayout(nameColumn, 1);

  const auto visibility = [this](AudioDirection direction) {
    auto* box = new QCheckBox(this);
    // Only the indicator, so that it sits in the middle of its column under the head.
    box->setFixedWidth(box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box));
    keepSpaceWhenHidden(box);
    connect(box, &QCheckBox::toggled, this, [this, direction](bool on) {
      bridge_.model().setDeviceVisible(bookmark_, direction, on);
    });
    return box;
  };
  input_ = visibility(AudioDirection::input);
  output_ = visibility(AudioDirection::output);
  layout->addWidget(fixedColumn(input_, DeviceManagerView::visibilityWidth, this));
  layout->addWidget(fixedColumn(output_, DeviceManagerView::visibilityWidth, this));

  auto* reorder = new QWidget(this);
  reorder->setFixedWidth(DeviceManagerView::reorderWidth);
  auto* reorderLayout = new QHBoxLayout(reorder);
  reorderLayout->setContentsMargins(0, 0, 0, 0);
  reorderLayout->setSpacing(4);
  up_ = new PanelIconButton(QStringLiteral("chevron.up"), 26, reorder);
  down_ = new PanelIconButton(QStringLiteral("chevron.down"), 26, reorder);
  reorderLayout->addWidget(up_);
  reorderLayout->addWidget(down_);
  connect(up_, &QAbstractButton::clicked, this,
          [this] { bridge_.model().moveDevice(bookmark_.id, -1); });
  connect(down_, &QAbstractButton::clicked, this,
          [this] { bridge_.model().moveDevice(bookmark_.id, +1); });
  layout->addWidget(reorder);
}

QString DeviceListRow::caption() const {
  const model::AppModel& model = bridge_.model();
  if ((bookmark_.supportsOutput && model.presentDevice(bookmark_, AudioDirection::output)) ||
      (bookmark_.supportsInput && model.presentDevice(bookmark_, AudioDirection::input))) {
    return QStringLiteral("可用");
  }
  if (bookmark_.bluetoothAddress) {
    const auto& paired = model.pairedDevices();
    const bool known = std::any_of(paired.begin(), paired.end(), [this](const auto& device) {
      return device.address == *bookmark_.bluetoothAddress && !device.connected;
    });
    if (known) return QStringLiteral("已配对 · 未连接");
  }
  return QStringLiteral("未连接");
}

void DeviceListRow::setBookmark(const settings::DeviceBookmark& bookmark) {
  bookmark_ = bookmark;
  const QString name = qstr(bookmark.displayName());
  symbol_->setPixmap(panelIcon(qstr(bookmark.symbol), PanelTheme::color(PanelColor::textSecondary),
                               18, devicePixelRatioF()));
  symbol_->setToolTip(plainToolTip(QStringLiteral("拖动以排序")));
  name_->setBookmark(bookmark);
  const QString caption = this->caption();
  caption_->setText(caption);
  setTextRole(caption_,
              caption == QStringLiteral("可用") ? PanelColor::accent : PanelColor::textSecondary);
  restore_->setAccessibleName(QStringLiteral("恢复原设备名称 ") + qstr(bookmark.name));
  const QString link =
      QStringLiteral("QPushButton { border: none; padding: 0; text-align: left; color: %1; }")
          .arg(PanelTheme::color(PanelColor::accent).name());
  if (restore_->styleSheet() != link) restore_->setStyleSheet(link);
  restore_->setVisible(bookmark.alias.has_value());
  {
    const QSignalBlocker in(input_);
    const QSignalBlocker out(output_);
    input_->setChecked(bookmark.showInput);
    output_->setChecked(bookmark.showOutput);
  }
  input_->setVisible(bookmark.supportsInput);
  output_->setVisible(bookmark.supportsOutput);
  input_->setAccessibleName(name + QStringLiteral(" 在主面板显示输入"));
  output_->setAccessibleName(name + QStringLiteral(" 在主面板显示输出"));
  up_->setAccessibleName(QStringLiteral("上移 ") + name);
  up_->setToolTip(QStringLiteral("上移"));
  down_->setAccessibleName(QStringLiteral("下移 ") + name);
  down_->setToolTip(QStringLiteral("下移"));
}

void DeviceListRow::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  pressedAt_ = event->position().toPoint();
  QWidget::mousePressEvent(event);
}

void DeviceListRow::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_ || (event->position().toPoint() - pressedAt_).manhattanLength() <
                       QApplication::startDragDistance()) {
    QWidget::mouseMoveEvent(event);
    return;
  }
  pressed_ = false;
  auto* data = new QMimeData();
  data->setData(QString::fromLatin1(kMimeType), QByteArray::fromStdString(bookmark_.id));
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->setPixmap(grab());
  drag->setHotSpot(pressedAt_);
  drag->exec(Qt::MoveAction);
}

void DeviceListRow::dragEnterEvent(QDragEnterEvent* event) {
  if (!event->mimeData()->hasFormat(QString::fromLatin1(kMimeType))) return;
  event->acceptProposedAction();
  dropTarget_ = true;
  update();
}

void DeviceListRow::dragLeaveEvent(QDragLeaveEvent*) {
  dropTarget_ = false;
  update();
}

void DeviceListRow::dropEvent(QDropEvent* event) {
  dropTarget_ = false;
  update();
  if (drop(*event->mimeData())) event->acceptProposedAction();
}

bool DeviceListRow::drop(const QMimeData& data) {
  const QByteArray dragged = data.data(QString::fromLatin1(kMimeType));
  if (dragged.isEmpty()) return false;
  const std::string id = dragged.toStdString();
  if (id != bookmark_.id) bridge_.model().moveDevice(id, bookmark_.id);
  return true;
}

void DeviceListRow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(PanelTheme::color(PanelColor::card));
  painter.drawRoundedRect(QRectF(rect()), 8, 8);
  if (dropTarget_) {
    // Where the dragged row will land: a line along this row's top edge.
    painter.fillRect(QRect(4, 0, width() - 8, 3), PanelTheme::color(PanelColor::accent));
  }
}

// ---- DeviceManagerView

DeviceManagerView::DeviceManagerView(ModelBridge& bridge, QWidget* parent)
    : QWidget(parent), bridge_(bridge) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 4, 24, 20);
  layout->setSpacing(10);
  auto* explanation = noteLabel(
      QStringLiteral(
          "勾选要在主面板显示的输入和输出设备；当前使用的设备始终显示。名称可编辑，回车保存。"),
      this);
  explanation->setAccessibleName(QStringLiteral("设备管理说明"));
  layout->addWidget(explanation);

  auto* heads = new QHBoxLayout();
  heads->setContentsMargins(horizontalInset + 18 + columnSpacing, 0, horizontalInset, 0);
  heads->setSpacing(columnSpacing);
  const auto head = [this](const QString& text) {
    auto* label = plainLabel(text, this);
    setTextRole(label, PanelColor::textSecondary);
    return label;
  };
  heads->addWidget(head(QStringLiteral("设备")), 1);
  for (const QString& text : {QStringLiteral("输入"), QStringLiteral("输出")}) {
    heads->addWidget(fixedColumn(head(text), visibilityWidth, this));
  }
  // A spacer takes no layout spacing before it, unlike the rows' reorder column.
  heads->addSpacing(columnSpacing + reorderWidth);
  layout->addLayout(heads);

  rows_ = new QVBoxLayout();
  rows_->setSpacing(6);
  layout->addLayout(rows_);

  auto* buttons = new QHBoxLayout();
  bluetooth_ = new QPushButton(QStringLiteral("蓝牙设置"), this);
  bluetooth_->setAccessibleName(bluetooth_->text());
  connect(bluetooth_, &QPushButton::clicked, this,
          [this] { bridge_.model().openSettingsPage(model::AppModel::SettingsPage::bluetooth); });
  refresh_ = new QPushButton(QStringLiteral("刷新设备"), this);
  refresh_->setAccessibleName(QStringLiteral("刷新设备"));
  connect(refresh_, &QPushButton::clicked, this, [this] { bridge_.model().scanBluetooth(); });
  buttons->addWidget(bluetooth_);
  buttons->addWidget(refresh_);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  layout->addWidget(noteLabel(
      QStringLiteral("Esc 放弃改名；拖动设备行或使用箭头排序。常用列表与自动切换候选独立。"
                     "新蓝牙设备请先在系统设置中配对；隐藏设备不会断开连接。"),
      this));
  layout->addStretch(1);
  connect(&bridge_, &ModelBridge::changed, this, &DeviceManagerView::refresh);
  // Symbols and the restore link are drawn in the appearance's colours.
  connect(&PanelTheme::instance(), &PanelTheme::changed, this, &DeviceManagerView::refresh);
  refresh();
}

DeviceListRow* DeviceManagerView::row(const std::string& id) const {
  const auto found = byID_.find(id);
  return found != byID_.end() ? found->second : nullptr;
}

void DeviceManagerView::refresh() {
  const std::vector<settings::DeviceBookmark> bookmarks = bridge_.model().bookmarks();
  // Rows are kept by id and put in list order, so a draft being typed moves with its row.
  std::map<std::string, DeviceListRow*> kept;
  for (size_t i = 0; i < bookmarks.size(); ++i) {
    const settings::DeviceBookmark& bookmark = bookmarks[i];
    if (kept.count(bookmark.id) != 0) continue;
    DeviceListRow* row = this->row(bookmark.id);
    if (row == nullptr) row = new DeviceListRow(bridge_, this);
    byID_.erase(bookmark.id);
    row->setBookmark(bookmark);
    if (rows_->indexOf(row) != int(kept.size())) {
      rows_->removeWidget(row);
      rows_->insertWidget(int(kept.size()), row);
    }
    row->show();
    kept[bookmark.id] = row;
  }
  // Rows whose device left the list: one may be the sender of the signal that brought us here.
  for (auto& gone : byID_) {
    rows_->removeWidget(gone.second);
    gone.second->hide();
    gone.second->deleteLater();
  }
  byID_ = std::move(kept);

  const bool scanning = bridge_.state().scanningBluetooth;
  refresh_->setText(scanning ? QStringLiteral("正在刷新…") : QStringLiteral("刷新设备"));
  refresh_->setEnabled(!scanning);
  bluetooth_->setEnabled(
      bridge_.model().canOpenSettingsPage(model::AppModel::SettingsPage::bluetooth));
}

}  // namespace velmora::ui
