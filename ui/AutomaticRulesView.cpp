#include "ui/AutomaticRulesView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/ModelBridge.h"
#include "ui/PanelIconButton.h"
#include "ui/PanelTheme.h"
#include "ui/PlainText.h"
#include "ui/SettingsKit.h"

namespace velmora::ui {
namespace {

using model::AudioDirection;

bool supports(const settings::DeviceBookmark& b, AudioDirection direction) {
  return direction == AudioDirection::input ? b.supportsInput : b.supportsOutput;
}

QString directionWord(AudioDirection direction) {
  return direction == AudioDirection::input ? QStringLiteral("输入") : QStringLiteral("输出");
}

// Removes every row of `layout`; a row may hold the button whose click brought us here.
void clear(QVBoxLayout* layout) {
  while (QLayoutItem* item = layout->takeAt(0)) {
    if (QWidget* widget = item->widget()) {
      widget->hide();
      widget->deleteLater();
    }
    delete item;
  }
}

}  // namespace

AutomaticRulesView::AutomaticRulesView(ModelBridge& bridge, QWidget* parent)
    : QWidget(parent), bridge_(bridge) {
  sections_[1].direction = AudioDirection::input;
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 4, 24, 20);
  layout->setSpacing(12);
  layout->addWidget(noteLabel(QStringLiteral("设备连接状态变化后，按优先级选择首个可用候选。"
                                             "常用设备的显示和排序单独设置；新设备需手动加入。"),
                              this));
  layout->addWidget(noteLabel(
      QStringLiteral("手动切换保持到下一次设备连接状态变化。自动规则只使用在线设备。"), this));
  auto* apply = new QPushButton(QStringLiteral("立即按优先级切换"), this);
  apply->setAccessibleName(apply->text());
  connect(apply, &QPushButton::clicked, this, [this] {
    model::AppModel& model = bridge_.model();
    model.applyAutomaticRules(true, std::nullopt);
    model.refresh(true);
  });
  layout->addWidget(apply, 0, Qt::AlignLeft);
  for (Section& section : sections_) layout->addWidget(buildSection(section));
  layout->addStretch(1);
  connect(&bridge_, &ModelBridge::changed, this, &AutomaticRulesView::refresh);
  refresh();
}

QWidget* AutomaticRulesView::buildSection(Section& section) {
  const AudioDirection direction = section.direction;
  auto* card = new SettingsCard(directionWord(direction), {}, this);
  section.enabled = new ToggleSwitch(directionWord(direction) + QStringLiteral(" 自动选择"));
  connect(section.enabled, &QAbstractButton::toggled, this,
          [this, direction](bool on) { bridge_.model().setAutomatic(direction, on); });
  card->body()->addWidget(settingRow(QStringLiteral("自动选择"), section.enabled, card));
  auto* heads = new QHBoxLayout();
  for (const QString& text : {QStringLiteral("设备"), QStringLiteral("优先级")}) {
    auto* head = plainLabel(text, card);
    setTextRole(head, PanelColor::textSecondary);
    heads->addWidget(head, text == QStringLiteral("设备") ? 1 : 0);
  }
  card->body()->addLayout(heads);
  section.candidates = new QVBoxLayout();
  section.candidates->setSpacing(4);
  card->body()->addLayout(section.candidates);
  card->body()->addWidget(divider(card));
  card->body()->addWidget(headingLabel(QStringLiteral("可加入的设备"), 1.0, card));
  section.others = new QVBoxLayout();
  section.others->setSpacing(2);
  card->body()->addLayout(section.others);
  return card;
}

void AutomaticRulesView::refresh() {
  for (Section& section : sections_) fill(section);
}

void AutomaticRulesView::fill(Section& section) {
  const model::ModelState& state = bridge_.state();
  model::AppModel& model = bridge_.model();
  const AudioDirection direction = section.direction;
  const settings::AdvancedPreferences advanced =
      state.preferences.advanced.value_or(settings::AdvancedPreferences{});
  {
    const QSignalBlocker blocker(section.enabled);
    section.enabled->setChecked(direction == AudioDirection::input ? advanced.autoInput
                                                                   : advanced.autoOutput);
  }
  const std::vector<settings::DeviceBookmark> catalog = model.bookmarks();
  const std::vector<settings::DeviceBookmark> candidates =
      advanced.automaticDevices(direction, catalog);
  std::vector<settings::DeviceBookmark> others;
  for (const settings::DeviceBookmark& b : catalog) {
    const bool listed = std::any_of(candidates.begin(), candidates.end(),
                                    [&b](const auto& c) { return c.id == b.id; });
    if (supports(b, direction) && !listed) others.push_back(b);
  }
  // What the rows say: rebuilt only when any of it changed.
  std::vector<std::string> shown;
  shown.reserve(candidates.size() + others.size() + 1);
  for (const auto& b : candidates) {
    shown.push_back(b.id + '\n' + b.displayName() + '\n' +
                    (model.presentDevice(b, direction) ? "1" : "0"));
  }
  shown.emplace_back("--");
  for (const auto& b : others) shown.push_back(b.id + '\n' + b.displayName());
  if (shown == section.shown) return;
  section.shown = shown;

  clear(section.candidates);
  clear(section.others);
  if (candidates.empty()) {
    auto* none = noteLabel(QStringLiteral("尚未加入候选设备"), this);
    section.candidates->addWidget(none);
    none->show();
  }
  for (size_t i = 0; i < candidates.size(); ++i) {
    const settings::DeviceBookmark& b = candidates[i];
    const QString name = qstr(b.displayName());
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* number = plainLabel(QString::number(i + 1), row);
    number->setFixedWidth(20);
    number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextRole(number, PanelColor::accent);
    layout->addWidget(number);
    layout->addWidget(plainLabel(name, row), 1);
    if (!model.presentDevice(b, direction)) {
      auto* offline = plainLabel(QStringLiteral("离线"), row);
      setTextRole(offline, PanelColor::warning);
      layout->addWidget(offline);
    }
    const std::string id = b.id;
    for (const int offset : {-1, +1}) {
      auto* move = new PanelIconButton(
          offset < 0 ? QStringLiteral("chevron.up") : QStringLiteral("chevron.down"), 26, row);
      move->setToolTip(offset < 0 ? QStringLiteral("提高优先级") : QStringLiteral("降低优先级"));
      move->setAccessibleName(
          (offset < 0 ? QStringLiteral("提高优先级 ") : QStringLiteral("降低优先级 ")) +
          directionWord(direction) + QStringLiteral(" ") + name);
      connect(move, &QAbstractButton::clicked, this, [this, id, direction, offset] {
        bridge_.model().moveAutomaticDevice(id, direction, offset);
      });
      layout->addWidget(move);
    }
    section.candidates->addWidget(row);
    row->show();
  }
  if (others.empty()) {
    auto* none = noteLabel(QStringLiteral("没有其他设备"), this);
    section.others->addWidget(none);
    none->show();
  }
  for (const settings::DeviceBookmark& b : others) {
    // A name with "&" shows it, not a keyboard accelerator.
    auto* box = new QCheckBox(qstr(b.displayName()).replace(u'&', QStringLiteral("&&")), this);
    box->setAccessibleName(qstr(b.displayName()) + QStringLiteral(" 加入自动") +
                           directionWord(direction) + QStringLiteral("候选"));
    const std::string id = b.id;
    connect(box, &QCheckBox::toggled, this, [this, id, direction](bool on) {
      bridge_.model().setAutomaticDevice(id, direction, on);
    });
    section.others->addWidget(box);
    box->show();
  }
}

}  // namespace velmora::ui
