#include "ui/MultiOutputView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "ui/ModelBridge.h"
#include "ui/PanelPercentage.h"
#include "ui/PanelTheme.h"
#include "ui/PlainText.h"
#include "ui/SettingsKit.h"
#include "ui/VolumeSlider.h"

namespace velmora::ui {
namespace {

using model::AudioDirection;

settings::MultiOutputSettings multiOf(const model::ModelState& state) {
  return state.preferences.advanced ? state.preferences.advanced->multiOutput
                                    : settings::MultiOutputSettings{};
}

float levelOf(const settings::MultiOutputSettings& multi, const std::string& key) {
  const auto found = multi.levels.find(key);
  return found != multi.levels.end() ? found->second : 1.0f;
}

bool chosen(const settings::MultiOutputSettings& multi, const std::string& key) {
  return std::find(multi.devices.begin(), multi.devices.end(), key) != multi.devices.end();
}

}  // namespace

MultiOutputView::MultiOutputView(ModelBridge& bridge, QWidget* parent)
    : QWidget(parent), bridge_(bridge) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 4, 24, 20);
  layout->setSpacing(12);
  auto* card = new SettingsCard({}, {}, this);
  enabled_ = new ToggleSwitch(QStringLiteral("同时播放到多个设备"));
  // The model refuses with fewer than two outputs and says why; the switch then follows it back.
  connect(enabled_, &QAbstractButton::toggled, this,
          [this](bool on) { bridge_.model().setMultiEnabled(on); });
  card->body()->addWidget(settingRow(QStringLiteral("同时播放到多个设备"), enabled_, card));
  paused_ = plainLabel(QStringLiteral("音频处理已暂停 · 多输出设置已保存"), card);
  setTextRole(paused_, PanelColor::warning);
  card->body()->addWidget(paused_);
  card->body()->addWidget(
      noteLabel(QStringLiteral("选择 2–4 个输出。已单独指定输出的 App "
                               "不参与多输出；其余应用同时播放到选中的在线设备。"),
                card));
  summary_ = plainLabel({}, card);
  card->body()->addWidget(summary_);
  card->body()->addWidget(divider(card));
  rows_ = new QVBoxLayout();
  rows_->setSpacing(6);
  card->body()->addLayout(rows_);
  layout->addWidget(card);
  layout->addWidget(noteLabel(
      QStringLiteral(
          "这里的音量是额外的软件衰减，设备自身音量仍有效。使用系统时钟漂移补偿；"
          "蓝牙与有线设备的固定延迟可能不同，不能保证完全无回声。所有所选设备都离线时暂时静音。"),
      this));
  layout->addStretch(1);
  connect(&bridge_, &ModelBridge::changed, this, &MultiOutputView::refresh);
  refresh();
}

void MultiOutputView::refresh() {
  const model::ModelState& state = bridge_.state();
  model::AppModel& model = bridge_.model();
  const settings::MultiOutputSettings multi = multiOf(state);
  {
    const QSignalBlocker blocker(enabled_);
    enabled_->setChecked(multi.enabled);
  }
  paused_->setVisible(!state.preferences.processingEnabled);

  const std::vector<settings::DeviceBookmark> outputs = model.outputBookmarks();
  // A hand-edited file may name a device twice: it is one device.
  const std::set<std::string> keys(multi.devices.begin(), multi.devices.end());
  int present = 0;
  std::vector<std::string> unknown;
  for (const std::string& key : keys) {
    const auto bookmark =
        std::find_if(outputs.begin(), outputs.end(), [&key](const auto& b) { return b.id == key; });
    if (bookmark == outputs.end()) {
      unknown.push_back(key);
    } else if (model.presentDevice(*bookmark, AudioDirection::output)) {
      ++present;
    }
  }
  summary_->setText(QStringLiteral("已选 %1 个 · 在线 %2 个 · 离线 %3 个")
                        .arg(keys.size())
                        .arg(present)
                        .arg(int(keys.size()) - present));

  std::vector<std::string> shown;
  shown.reserve(outputs.size() + unknown.size());
  for (const settings::DeviceBookmark& b : outputs) {
    shown.push_back(b.id + '\n' + b.displayName() + '\n' + (chosen(multi, b.id) ? "1" : "0") +
                    (model.presentDevice(b, AudioDirection::output) ? "1" : "0"));
  }
  for (const std::string& key : unknown) shown.push_back("?" + key);
  if (shown != shown_) {
    shown_ = shown;
    rebuild(unknown);
  }
  for (auto& [key, level] : levels_) {
    level.slider->showModelValue(levelOf(multi, key));
    level.percentage->setValue(level.slider->volume());
  }
}

void MultiOutputView::rebuild(const std::vector<std::string>& unknown) {
  model::AppModel& model = bridge_.model();
  const settings::MultiOutputSettings multi = multiOf(bridge_.state());
  // A row may hold the control whose signal brought us here.
  while (QLayoutItem* item = rows_->takeAt(0)) {
    if (QWidget* widget = item->widget()) {
      widget->hide();
      widget->deleteLater();
    }
    delete item;
  }
  levels_.clear();

  for (const settings::DeviceBookmark& b : model.outputBookmarks()) {
    const QString name = qstr(b.displayName());
    const std::string id = b.id;
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* box = new QCheckBox(row);
    box->setAccessibleName(name + QStringLiteral(" 加入多输出"));
    box->setChecked(chosen(multi, id));
    connect(box, &QCheckBox::toggled, this, [this, id, box](bool on) {
      model::AppModel& m = bridge_.model();
      if (on && !m.canIncludeMultiDevice()) {
        // A fifth output: the model says why, the box stays empty.
        const QSignalBlocker blocker(box);
        box->setChecked(false);
        return;
      }
      m.setMultiDevice(id, on);
    });
    layout->addWidget(box);
    auto* label = plainLabel(name, row);
    label->setMinimumWidth(60);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(label, 2);
    if (!model.presentDevice(b, AudioDirection::output)) {
      auto* offline = plainLabel(QStringLiteral("离线"), row);
      setTextRole(offline, PanelColor::warning);
      layout->addWidget(offline);
    }
    if (chosen(multi, id)) {
      auto* slider = new VolumeSlider(row);
      slider->setAccessibleName(name + QStringLiteral(" 多输出音量"));
      auto* percentage = new PanelPercentage(row);
      connect(slider, &VolumeSlider::volumeChanged, this, [this, id, percentage](float v) {
        percentage->setValue(v);
        bridge_.model().setMultiLevel(id, v);
      });
      layout->addWidget(slider, 3);
      layout->addWidget(percentage);
      levels_[id] = Level{slider, percentage};
    } else {
      layout->addStretch(3);
    }
    rows_->addWidget(row);
    row->show();
  }
  for (const std::string& key : unknown) {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = plainLabel(QStringLiteral("未知输出 · 离线"), row);
    label->setToolTip(plainToolTip(qstr(key)));
    setTextRole(label, PanelColor::warning);
    layout->addWidget(label, 1);
    auto* remove = new QPushButton(QStringLiteral("移除"), row);
    remove->setAccessibleName(QStringLiteral("移除 ") + qstr(key));
    connect(remove, &QPushButton::clicked, this,
            [this, key] { bridge_.model().setMultiDevice(key, false); });
    layout->addWidget(remove);
    rows_->addWidget(row);
    row->show();
  }
}

}  // namespace velmora::ui
