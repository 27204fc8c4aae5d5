#include "ui/SceneViews.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "model/AppModel.h"
#include "ui/ModelBridge.h"
#include "ui/PanelIconButton.h"
#include "ui/PanelIcons.h"
#include "ui/PanelPercentage.h"
#include "ui/PanelTheme.h"
#include "ui/PlainText.h"
#include "ui/SettingsNavigation.h"

namespace velmora::ui {
namespace {

using model::AudioDirection;

const settings::AudioScene* findScene(const model::ModelState& state, const std::string& id) {
  if (!state.preferences.advanced) return nullptr;
  for (const settings::AudioScene& scene : state.preferences.advanced->scenes) {
    if (scene.id == id) return &scene;
  }
  return nullptr;
}

std::optional<settings::DeviceBookmark> bookmarkWithID(const model::AppModel& model,
                                                       const std::string& id) {
  for (const settings::DeviceBookmark& bookmark : model.bookmarks()) {
    if (bookmark.id == id) return bookmark;
  }
  return std::nullopt;
}

bool missing(const model::AppModel& model, const std::optional<std::string>& id,
             AudioDirection direction) {
  if (!id) return false;
  const auto bookmark = bookmarkWithID(model, *id);
  return !bookmark || !model.presentDevice(*bookmark, direction);
}

// "输出：Speakers · 50% · 静音"; the name alone stands for a device no bookmark matches any more.
std::optional<QString> deviceLine(const model::AppModel& model, const QString& prefix,
                                  const std::optional<std::string>& id, AudioDirection direction,
                                  std::optional<float> volume, bool muted) {
  if (!id) return std::nullopt;
  const auto bookmark = bookmarkWithID(model, *id);
  QString line = prefix;
  if (!bookmark) {
    line += QStringLiteral("已保存设备 · 离线");
  } else {
    line += qstr(bookmark->displayName());
    if (!model.presentDevice(*bookmark, direction)) line += QStringLiteral("（离线）");
  }
  if (volume) line += QStringLiteral(" · ") + PanelPercentage::text(*volume);
  if (muted) line += QStringLiteral(" · 静音");
  return line;
}

QLabel* secondary(const QString& text, QWidget* parent) {
  auto* label = plainLabel(text, parent);
  label->setWordWrap(true);
  setTextRole(label, PanelColor::textSecondary);
  return label;
}

QLabel* bold(const QString& text, QWidget* parent) {
  auto* label = plainLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

void showCaption(QLabel* label, const std::optional<std::string>& caption) {
  label->setVisible(caption.has_value());
  if (caption) label->setText(qstr(*caption));
}

}  // namespace

SceneSummaryText sceneSummaryText(const model::AppModel& model, const settings::AudioScene& scene) {
  SceneSummaryText text;
  text.output = deviceLine(model, QStringLiteral("输出："), scene.outputDeviceID,
                           AudioDirection::output, scene.systemVolume, scene.systemMuted);
  text.input = deviceLine(model, QStringLiteral("输入："), scene.inputDeviceID,
                          AudioDirection::input, scene.inputVolume, scene.inputMuted);
  // A boost switched off stays stored as false; only those that are on count.
  const auto boosted =
      scene.boostedOutputs
          ? std::count_if(scene.boostedOutputs->begin(), scene.boostedOutputs->end(),
                          [](const auto& entry) { return entry.second; })
          : 0;
  text.settings = QString::number(scene.apps.size()) + QStringLiteral(" 个应用设置 · 均衡器 ") +
                  QString::number(scene.equalizers.size()) + QStringLiteral(" · 增强 ") +
                  QString::number(boosted);
  text.multiOutput = QStringLiteral("多输出 ") +
                     (scene.multiOutput.enabled ? QStringLiteral("开启") : QStringLiteral("关闭")) +
                     QStringLiteral(" · ") + QString::number(scene.multiOutput.devices.size()) +
                     QStringLiteral(" 个设备 · 处理") +
                     (scene.processingEnabled ? QStringLiteral("开启") : QStringLiteral("暂停"));
  return text;
}

bool sceneDeviceMissing(const model::AppModel& model, const settings::AudioScene& scene) {
  return missing(model, scene.outputDeviceID, AudioDirection::output) ||
         missing(model, scene.inputDeviceID, AudioDirection::input);
}

// ---- SceneSummary

SceneSummary::SceneSummary(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  auto* heading = plainLabel(QStringLiteral("设备控制"), this);
  QFont small = heading->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  small.setBold(true);
  heading->setFont(small);
  setTextRole(heading, PanelColor::textSecondary);
  layout->addWidget(heading);
  output_ = plainLabel({}, this);
  input_ = plainLabel({}, this);
  settings_ = secondary({}, this);
  multiOutput_ = secondary({}, this);
  for (QLabel* label : {output_, input_, settings_, multiOutput_}) {
    label->setWordWrap(true);
    layout->addWidget(label);
  }
}

void SceneSummary::present(const SceneSummaryText& text) {
  output_->setVisible(text.output.has_value());
  output_->setText(text.output.value_or(QString()));
  input_->setVisible(text.input.has_value());
  input_->setText(text.input.value_or(QString()));
  settings_->setText(text.settings);
  multiOutput_->setText(text.multiOutput);
}

// ---- SceneApplyControl

SceneApplyControl::SceneApplyControl(ModelBridge& bridge, std::string sceneID, QWidget* parent)
    : QWidget(parent), bridge_(bridge), sceneID_(std::move(sceneID)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(8);
  apply_ = new QPushButton(this);
  connect(apply_, &QPushButton::clicked, this, [this] {
    // A copy: applying changes the settings the scene lives in.
    if (const settings::AudioScene* scene = findScene(bridge_.state(), sceneID_)) {
      bridge_.model().applyScene(settings::AudioScene(*scene));
    }
  });
  layout->addWidget(apply_);
  applying_ = plainLabel(QStringLiteral("场景切换中"), this);
  setTextRole(applying_, PanelColor::accent);
  layout->addWidget(applying_);
  stop_ = new QPushButton(QStringLiteral("保留已完成的设备切换"), this);
  connect(stop_, &QPushButton::clicked, this, [this] {
    if (bridge_.state().applyingSceneID == sceneID_) bridge_.model().stopApplyingScene();
  });
  // The style's own margin leaves a long CJK label touching the frame.
  stop_->setMinimumWidth(stop_->sizeHint().width() + 16);
  layout->addWidget(stop_);
  missing_ = plainLabel(QStringLiteral("已保存设备 · 离线"), this);
  setTextRole(missing_, PanelColor::warning);
  layout->addWidget(missing_);
  layout->addStretch(1);
  connect(&bridge, &ModelBridge::changed, this, &SceneApplyControl::refresh);
  refresh();
}

void SceneApplyControl::refresh() {
  const model::ModelState& state = bridge_.state();
  const settings::AudioScene* scene = findScene(state, sceneID_);
  setVisible(scene != nullptr);
  if (!scene) return;
  const bool applying = state.applyingSceneID == sceneID_;
  apply_->setVisible(!applying);
  apply_->setText(scene->processingEnabled && !state.preferences.processingEnabled
                      ? QStringLiteral("应用并恢复处理")
                      : QStringLiteral("应用"));
  applying_->setVisible(applying);
  stop_->setVisible(applying);
  missing_->setVisible(sceneDeviceMissing(bridge_.model(), *scene));
}

// ---- SceneRow

SceneRow::SceneRow(ModelBridge& bridge, std::string sceneID,
                   std::function<void(std::string)> openScene, QWidget* parent)
    : QFrame(parent), bridge_(bridge), sceneID_(std::move(sceneID)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 10, 10, 10);
  layout->setSpacing(6);
  auto* top = new QHBoxLayout();
  top->setSpacing(8);
  name_ = bold({}, this);
  name_->setMinimumWidth(40);
  name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  top->addWidget(name_, 1);
  caption_ = plainLabel({}, this);
  setTextRole(caption_, PanelColor::accent);
  top->addWidget(caption_);
  details_ = new PanelIconButton("chevron.right", 28, this);
  connect(details_, &QAbstractButton::clicked, this, [this, openScene = std::move(openScene)] {
    if (openScene) openScene(sceneID_);
  });
  top->addWidget(details_);
  layout->addLayout(top);
  summary_ = new SceneSummary(this);
  layout->addWidget(summary_);
  apply_ = new SceneApplyControl(bridge, sceneID_, this);
  layout->addWidget(apply_);
  refresh();
}

void SceneRow::refresh() {
  const settings::AudioScene* scene = findScene(bridge_.state(), sceneID_);
  if (!scene) return;  // the list retires this row
  const QString name = qstr(scene->name);
  name_->setText(name);
  name_->setToolTip(plainToolTip(name));
  showCaption(caption_, bridge_.model().sceneState(sceneID_));
  summary_->present(sceneSummaryText(bridge_.model(), *scene));
  details_->setAccessibleName(name + QStringLiteral(" 详情"));
  details_->setToolTip(plainToolTip(name + QStringLiteral(" 详情")));
  apply_->refresh();
}

void SceneRow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(PanelTheme::color(PanelColor::border), 1.0));
  painter.setBrush(PanelTheme::color(PanelColor::card));
  painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
}

// ---- ScenesView

ScenesView::ScenesView(ModelBridge& bridge, std::function<void(std::string)> openScene,
                       QWidget* parent)
    : QWidget(parent), bridge_(bridge), openScene_(std::move(openScene)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(10);
  auto* field = new QHBoxLayout();
  name_ = new QLineEdit(this);
  name_->setPlaceholderText(QStringLiteral("场景名称，例如：开会"));
  name_->setAccessibleName(QStringLiteral("场景名称"));
  connect(name_, &QLineEdit::returnPressed, this, &ScenesView::save);
  field->addWidget(name_, 1);
  auto* save = new QPushButton(QStringLiteral("保存当前"), this);
  connect(save, &QPushButton::clicked, this, &ScenesView::save);
  field->addWidget(save);
  layout->addLayout(field);

  empty_ = new QWidget(this);
  auto* emptyLayout = new QVBoxLayout(empty_);
  emptyLayout->setContentsMargins(0, 24, 0, 24);
  emptyLayout->setSpacing(8);
  auto* symbol = new QLabel(empty_);
  symbol->setObjectName(QStringLiteral("emptySymbol"));
  symbol->setAlignment(Qt::AlignHCenter);
  emptyLayout->addWidget(symbol);
  auto* none = plainLabel(QStringLiteral("还没有保存的场景"), empty_);
  none->setAlignment(Qt::AlignHCenter);
  setTextRole(none, PanelColor::textSecondary);
  emptyLayout->addWidget(none);
  layout->addWidget(empty_);

  rowsLayout_ = new QVBoxLayout();
  rowsLayout_->setSpacing(8);
  layout->addLayout(rowsLayout_);
  layout->addStretch(1);
  connect(&bridge, &ModelBridge::changed, this, &ScenesView::refresh);
  connect(&PanelTheme::instance(), &PanelTheme::changed, this, &ScenesView::refresh);
  refresh();
}

void ScenesView::save() {
  bridge_.model().saveScene(name_->text().toStdString(), std::nullopt);
  name_->clear();
}

void ScenesView::refresh() {
  const model::ModelState& state = bridge_.state();
  static const std::vector<settings::AudioScene> kNone;
  const auto& scenes = state.preferences.advanced ? state.preferences.advanced->scenes : kNone;
  empty_->setVisible(scenes.empty());
  if (auto* symbol = empty_->findChild<QLabel*>(QStringLiteral("emptySymbol"))) {
    symbol->setPixmap(panelIcon("square.stack", PanelTheme::color(PanelColor::textSecondary), 32,
                                devicePixelRatioF()));
  }

  // Rows are kept by scene and updated in place; one whose scene is gone may be the sender of
  // the click that removed it, so it goes later.
  std::vector<SceneRow*> wanted;
  for (const settings::AudioScene& scene : scenes) {
    const auto found = std::find_if(rows_.begin(), rows_.end(),
                                    [&](SceneRow* row) { return row->sceneID() == scene.id; });
    SceneRow* row =
        found != rows_.end() ? *found : new SceneRow(bridge_, scene.id, openScene_, this);
    if (std::find(wanted.begin(), wanted.end(), row) == wanted.end()) wanted.push_back(row);
  }
  for (SceneRow* row : rows_) {
    if (std::find(wanted.begin(), wanted.end(), row) != wanted.end()) continue;
    rowsLayout_->removeWidget(row);
    row->hide();
    row->deleteLater();
  }
  if (wanted != rows_) {
    for (SceneRow* row : wanted) rowsLayout_->removeWidget(row);
    for (SceneRow* row : wanted) {
      rowsLayout_->addWidget(row);
      row->show();
    }
    rows_ = wanted;
  }
  for (SceneRow* row : rows_) row->refresh();
}

// ---- SceneDetailView

SceneDetailView::SceneDetailView(ModelBridge& bridge, std::string sceneID, QWidget* parent)
    : QWidget(parent), bridge_(bridge), sceneID_(std::move(sceneID)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(10);
  gone_ = secondary(QStringLiteral("场景已不可用"), this);
  layout->addWidget(gone_);

  body_ = new QWidget(this);
  auto* body = new QVBoxLayout(body_);
  body->setContentsMargins(0, 0, 0, 0);
  body->setSpacing(10);
  auto* top = new QHBoxLayout();
  name_ = bold({}, body_);
  QFont large = name_->font();
  large.setPointSizeF(large.pointSizeF() * 1.2);
  name_->setFont(large);
  name_->setWordWrap(true);
  top->addWidget(name_, 1);
  caption_ = plainLabel({}, body_);
  setTextRole(caption_, PanelColor::accent);
  top->addWidget(caption_);
  body->addLayout(top);
  summary_ = new SceneSummary(body_);
  body->addWidget(summary_);
  apply_ = new SceneApplyControl(bridge, sceneID_, body_);
  body->addWidget(apply_);
  body->addWidget(secondary(
      QStringLiteral("应用会恢复保存的输入和输出、硬件音量与静音、应用音量与路由、各设备均衡器与"
                     "增强、多输出及全局处理状态。"),
      body_));
  applyingNote_ = secondary(QStringLiteral("停止后续切换会保留已完成的设备切换。"), body_);
  body->addWidget(applyingNote_);

  body->addWidget(bold(QStringLiteral("保存的多输出设备"), body_));
  multiLayout_ = new QVBoxLayout();
  multiLayout_->setSpacing(2);
  body->addLayout(multiLayout_);

  auto* buttons = new QHBoxLayout();
  auto* update = new QPushButton(QStringLiteral("用当前配置更新"), body_);
  update->setToolTip(QStringLiteral("用当前配置更新场景？"));
  connect(update, &QPushButton::clicked, this, &SceneDetailView::confirmUpdate);
  buttons->addWidget(update);
  auto* remove = new QPushButton(QStringLiteral("删除场景"), body_);
  connect(remove, &QPushButton::clicked, this, &SceneDetailView::confirmDeletion);
  buttons->addWidget(remove);
  buttons->addStretch(1);
  body->addLayout(buttons);
  layout->addWidget(body_);
  layout->addStretch(1);

  connect(&bridge, &ModelBridge::changed, this, &SceneDetailView::refresh);
  refresh();
}

std::optional<settings::AudioScene> SceneDetailView::scene() const {
  const settings::AudioScene* found = findScene(bridge_.state(), sceneID_);
  return found ? std::optional(*found) : std::nullopt;
}

void SceneDetailView::refresh() {
  const auto scene = this->scene();
  gone_->setVisible(!scene);
  body_->setVisible(scene.has_value());
  if (!scene) {
    // A question about a scene that is gone has no answer left.
    if (confirmation_) confirmation_->reject();
    return;
  }
  model::AppModel& model = bridge_.model();
  name_->setText(qstr(scene->name));
  showCaption(caption_, model.sceneState(sceneID_));
  summary_->present(sceneSummaryText(model, *scene));
  apply_->refresh();
  applyingNote_->setVisible(bridge_.state().applyingSceneID == sceneID_);

  std::vector<QString> lines;
  for (const std::string& key : scene->multiOutput.devices) {
    const auto bookmark = bookmarkWithID(model, key);
    QString line = bookmark ? qstr(bookmark->displayName()) : QStringLiteral("未知输出");
    if (!bookmark || !model.presentDevice(*bookmark, AudioDirection::output)) {
      line += QStringLiteral(" · 离线");
    }
    lines.push_back(line);
  }
  if (lines.empty()) lines.push_back(QStringLiteral("无"));
  while (multiLabels_.size() > lines.size()) {
    QLabel* label = multiLabels_.back();
    multiLabels_.pop_back();
    multiLayout_->removeWidget(label);
    label->deleteLater();
  }
  while (multiLabels_.size() < lines.size()) {
    multiLabels_.push_back(secondary({}, body_));
    multiLayout_->addWidget(multiLabels_.back());
  }
  for (size_t i = 0; i < lines.size(); ++i) multiLabels_[i]->setText(lines[i]);
}

void SceneDetailView::ask(const QString& title, const QString& message, const QString& action,
                          std::function<void(const settings::AudioScene&)> confirmed) {
  if (confirmation_) return;
  auto* box = new QMessageBox(QMessageBox::Question, title, message, QMessageBox::NoButton, this);
  box->setTextFormat(Qt::PlainText);
  QPushButton* yes = box->addButton(action, QMessageBox::AcceptRole);
  box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
  box->setAttribute(Qt::WA_DeleteOnClose);
  confirmation_ = box;
  connect(box, &QMessageBox::finished, this, [this, box, yes, confirmed = std::move(confirmed)] {
    if (confirmation_ == box) confirmation_ = nullptr;
    // The scene as it is now: it may have been renamed, or be gone, since the question.
    const auto scene = this->scene();
    if (box->clickedButton() == yes && scene) confirmed(*scene);
  });
  box->open();
}

void SceneDetailView::confirmUpdate() {
  const auto scene = this->scene();
  if (!scene) return;
  ask(QStringLiteral("用当前配置更新场景？"),
      QStringLiteral("将 ") + qstr(scene->name) +
          QStringLiteral(" 中的设备、音量与静音、应用设置、音效、多输出和处理状态替换为当前配置。"),
      QStringLiteral("更新"), [this](const settings::AudioScene& current) {
        bridge_.model().saveScene(current.name, current.id);
      });
}

void SceneDetailView::confirmDeletion() {
  const auto scene = this->scene();
  if (!scene) return;
  const QString name = qstr(scene->name);
  const QString message = bridge_.state().applyingSceneID == sceneID_
                              ? QStringLiteral("删除 ") + name +
                                    QStringLiteral(" 并停止后续切换，已完成的设备切换会保留。")
                              : QStringLiteral("删除 ") + name + QStringLiteral(" 的已保存配置。");
  ask(QStringLiteral("删除场景？"), message, QStringLiteral("删除"),
      [this](const settings::AudioScene& current) { bridge_.model().deleteScene(current.id); });
}

// ---- ScenesSection

ScenesSection::ScenesSection(ModelBridge& bridge, SettingsNavigation& navigation, QWidget* parent)
    : QWidget(parent), bridge_(bridge), navigation_(navigation) {
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(20, 4, 24, 20);
  list_ = new ScenesView(
      bridge, [this](const std::string& id) { navigation_.setSceneID(id); }, this);
  layout_->addWidget(list_);
  connect(&navigation, &SettingsNavigation::changed, this, &ScenesSection::follow);
  follow();
}

void ScenesSection::follow() {
  const std::optional<std::string>& sceneID = navigation_.sceneID();
  if (detail_ && (!sceneID || detail_->sceneID() != *sceneID)) {
    // The page's own button may be the sender that brought us here.
    layout_->removeWidget(detail_);
    detail_->hide();
    detail_->deleteLater();
    detail_ = nullptr;
  }
  if (sceneID && !detail_) {
    detail_ = new SceneDetailView(bridge_, *sceneID, this);
    layout_->addWidget(detail_);
  }
  list_->setVisible(!sceneID);
}

}  // namespace velmora::ui
