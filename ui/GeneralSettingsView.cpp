#include "ui/GeneralSettingsView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <functional>

#include "ui/ModelBridge.h"
#include "ui/PanelIconButton.h"
#include "ui/PanelTheme.h"
#include "ui/PlainText.h"
#include "ui/SettingsKit.h"
#include "ui/ShortcutRecorder.h"

namespace velmora::ui {
namespace {

using settings::InterfaceSettings;

// The stored values of the two HUD pickers, in the pickers' order.
const QStringList kPositions{"bottom", "top", "center"};
const QStringList kStyles{"glass", "dark"};

InterfaceSettings interfaceOf(const model::ModelState& state) {
  return state.preferences.advanced ? state.preferences.advanced->interface : InterfaceSettings {};
}

void setChecked(QAbstractButton* button, bool checked) {
  const QSignalBlocker blocker(button);
  button->setChecked(checked);
}

}  // namespace

bool GeneralSettingsView::globalHotkeysUnavailable() {
  return qEnvironmentVariable("XDG_SESSION_TYPE") == QStringLiteral("wayland") ||
         qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

GeneralSettingsView::GeneralSettingsView(ModelBridge& bridge, QWidget* parent)
    : QWidget(parent), bridge_(bridge) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 4, 24, 20);
  layout->setSpacing(14);
  layout->addWidget(buildInterfaceCard());
  layout->addWidget(buildPreferencesCard());
  layout->addWidget(buildHotkeyCard());
  layout->addWidget(buildFooter());
  layout->addStretch(1);
  connect(&bridge_, &ModelBridge::changed, this, &GeneralSettingsView::refresh);
  refresh();
}

QWidget* GeneralSettingsView::buildInterfaceCard() {
  auto* card = new SettingsCard(QStringLiteral("界面与快捷操作"),
                                QStringLiteral("rectangle.compress.vertical"), this);
  // Each control changes exactly its own field; the model saves, reconciles and tells the shell,
  // which resizes the pop-over and hides a HUD that was switched off.
  const auto addSwitch = [this, card](const QString& title, bool InterfaceSettings::*field) {
    auto* toggle = new ToggleSwitch(title);
    connect(toggle, &QAbstractButton::toggled, this, [this, field](bool on) {
      bridge_.model().updateAdvanced(
          [field, on](settings::AdvancedPreferences& a) { a.interface.*field = on; });
    });
    card->body()->addWidget(settingRow(title, toggle, card));
    return toggle;
  };
  showInput_ = addSwitch(QStringLiteral("显示输入设备区域"), &InterfaceSettings::showInput);
  showAppIcons_ = addSwitch(QStringLiteral("显示应用图标"), &InterfaceSettings::showAppIcons);
  scrollVolume_ =
      addSwitch(QStringLiteral("菜单栏图标上滚轮调音量"), &InterfaceSettings::scrollVolume);
  hudEnabled_ = addSwitch(QStringLiteral("显示音量浮窗"), &InterfaceSettings::hudEnabled);

  const auto addPicker = [this, card](const QString& title, const QStringList& titles,
                                      const QStringList& values,
                                      std::string InterfaceSettings::*field) {
    auto* picker = new SegmentedPicker(title, titles);
    connect(picker, &SegmentedPicker::picked, this, [this, values, field](int index) {
      const std::string value = values.value(index).toStdString();
      bridge_.model().updateAdvanced(
          [field, value](settings::AdvancedPreferences& a) { a.interface.*field = value; });
    });
    card->body()->addWidget(settingRow(title, picker, card));
    return picker;
  };
  hudPosition_ = addPicker(
      QStringLiteral("浮窗位置"),
      {QStringLiteral("屏幕底部"), QStringLiteral("屏幕顶部"), QStringLiteral("屏幕中央")},
      kPositions, &InterfaceSettings::hudPosition);
  hudStyle_ =
      addPicker(QStringLiteral("浮窗样式"), {QStringLiteral("毛玻璃"), QStringLiteral("深色")},
                kStyles, &InterfaceSettings::hudStyle);
  preview_ = new QPushButton(QStringLiteral("预览浮窗"), card);
  preview_->setAccessibleName(preview_->text());
  connect(preview_, &QPushButton::clicked, this,
          [this] { bridge_.model().showHUD(model::AudioDirection::output); });
  card->body()->addWidget(preview_, 0, Qt::AlignLeft);
  return card;
}

QWidget* GeneralSettingsView::buildPreferencesCard() {
  auto* card = new SettingsCard(QStringLiteral("偏好设置"), QStringLiteral("switch.2"), this);
  const auto addSwitch = [this, card](const QString& title, std::function<void(bool)> apply) {
    auto* toggle = new ToggleSwitch(title);
    connect(toggle, &QAbstractButton::toggled, this, std::move(apply));
    card->body()->addWidget(settingRow(title, toggle, card));
    return toggle;
  };
  model::AppModel& model = bridge_.model();
  processing_ = addSwitch(QStringLiteral("启用应用音量与音效"),
                          [&model](bool on) { model.setProcessing(on); });
  rememberApps_ = addSwitch(QStringLiteral("记住各 App 音量与静音状态"),
                            [&model](bool on) { model.setRememberApps(on); });
  rememberDevices_ = addSwitch(QStringLiteral("记住每个输出设备的音量"),
                               [&model](bool on) { model.setRememberDevices(on); });
  login_ = addSwitch(QStringLiteral("登录后自动启动"), [&model](bool on) { model.setLogin(on); });
  loginApproval_ = new QPushButton(QStringLiteral("前往系统设置允许开机启动"), card);
  loginApproval_->setAccessibleName(loginApproval_->text());
  connect(loginApproval_, &QPushButton::clicked, this,
          [&model] { model.openSettingsPage(model::AppModel::SettingsPage::loginItems); });
  card->body()->addWidget(loginApproval_, 0, Qt::AlignLeft);
  return card;
}

QWidget* GeneralSettingsView::buildHotkeyCard() {
  auto* card = new SettingsCard(QStringLiteral("全局快捷键"), QStringLiteral("keyboard"), this);
  card->body()->addWidget(
      noteLabel(QStringLiteral(
                    "点击快捷键框后按组合键；需要包含 Ctrl、Alt 或 Super。Esc 取消，Delete 清除。"),
                card));
  if (globalHotkeysUnavailable()) {
    auto* wayland = noteLabel(
        QStringLiteral("此桌面会话不允许程序注册全局快捷键。请在系统的键盘设置中添加自定义快捷键，"
                       "命令为 velmora --action 加动作名：panel、mute、quieter、louder 或 "
                       "nextOutput。"),
        card);
    setTextRole(wayland, PanelColor::warning);
    wayland->setTextInteractionFlags(Qt::TextSelectableByMouse);
    card->body()->addWidget(wayland);
  }
  model::AppModel& model = bridge_.model();
  for (size_t i = 0; i < settings::allHotkeyActions.size(); ++i) {
    const settings::HotkeyAction action = settings::allHotkeyActions.at(i);
    const QString title = QString::fromUtf8(settings::title(action).data(),
                                            qsizetype(settings::title(action).size()));
    auto* row = new QWidget(card);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(8);
    rowLayout->addWidget(plainLabel(title, row), 1);
    auto* recorder = new ShortcutRecorder(
        [&model, action](const std::optional<settings::Shortcut>& s) {
          model.setShortcut(action, s);
        },
        [&model](bool paused) { model.pauseHotkeys(paused); }, row);
    recorder->setFixedSize(102, 28);
    recorder->setAccessibleName(title + QStringLiteral(" 录制快捷键"));
    rowLayout->addWidget(recorder);
    auto* clear = new PanelIconButton(QStringLiteral("xmark.circle.fill"), 24, row);
    clear->setToolTip(QStringLiteral("清除快捷键"));
    clear->setAccessibleName(title + QStringLiteral(" 清除快捷键"));
    connect(clear, &QAbstractButton::clicked, this,
            [&model, action] { model.setShortcut(action, std::nullopt); });
    rowLayout->addWidget(clear);
    card->body()->addWidget(row);
    recorders_.at(i) = recorder;
    clears_.at(i) = clear;
  }
  errors_ = new QVBoxLayout();
  errors_->setSpacing(2);
  card->body()->addLayout(errors_);
  return card;
}

QWidget* GeneralSettingsView::buildFooter() {
  auto* footer = new QWidget(this);
  auto* layout = new QHBoxLayout(footer);
  layout->setContentsMargins(0, 0, 0, 0);
  model::AppModel& model = bridge_.model();
  auto* permission = new QPushButton(QStringLiteral("系统音频权限"), footer);
  permission->setAccessibleName(permission->text());
  // Nothing to open where the desktop has no such page.
  permission->setEnabled(
      model.canOpenSettingsPage(model::AppModel::SettingsPage::audioCapturePermission));
  connect(permission, &QPushButton::clicked, this, [&model] { model.openAudioPermission(); });
  layout->addWidget(permission);
  layout->addStretch(1);
  auto* version =
      noteLabel(QStringLiteral("Velmora ") + qstr(model::AppModel::appVersion()), footer);
  version->setWordWrap(false);
  layout->addWidget(version);
  layout->addStretch(1);
  auto* quit = new QPushButton(QStringLiteral("退出 Velmora"), footer);
  quit->setAccessibleName(quit->text());
  connect(quit, &QPushButton::clicked, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  layout->addWidget(quit);
  return footer;
}

void GeneralSettingsView::refresh() {
  const model::ModelState& state = bridge_.state();
  const InterfaceSettings interface = interfaceOf(state);
  setChecked(showInput_, interface.showInput);
  setChecked(showAppIcons_, interface.showAppIcons);
  setChecked(scrollVolume_, interface.scrollVolume);
  setChecked(hudEnabled_, interface.hudEnabled);
  {
    const QSignalBlocker position(hudPosition_);
    const QSignalBlocker style(hudStyle_);
    // An unknown stored value is placed like the default, and so shown as it.
    hudPosition_->setCurrent(qMax(0, kPositions.indexOf(qstr(interface.hudPosition))));
    hudStyle_->setCurrent(qMax(0, kStyles.indexOf(qstr(interface.hudStyle))));
  }
  hudPosition_->setEnabled(interface.hudEnabled);
  hudStyle_->setEnabled(interface.hudEnabled);
  preview_->setEnabled(interface.hudEnabled);

  setChecked(processing_, state.preferences.processingEnabled);
  setChecked(rememberApps_, state.preferences.rememberApps);
  setChecked(rememberDevices_, state.preferences.rememberDevices);
  setChecked(login_, state.loginEnabled);
  loginApproval_->setVisible(state.loginNeedsApproval);

  for (size_t i = 0; i < settings::allHotkeyActions.size(); ++i) {
    const auto found = state.preferences.shortcuts.find(
        std::string(settings::rawValue(settings::allHotkeyActions.at(i))));
    const std::optional<settings::Shortcut> shortcut =
        found != state.preferences.shortcuts.end() ? std::optional(found->second) : std::nullopt;
    if (!recorders_.at(i)->recording()) recorders_.at(i)->setShortcut(shortcut);
    clears_.at(i)->setEnabled(shortcut.has_value());
  }
  QStringList errors;
  for (const std::string& error : state.shortcutErrors) errors << qstr(error);
  if (errors != shownErrors_) {
    shownErrors_ = errors;
    while (QLayoutItem* item = errors_->takeAt(0)) {
      delete item->widget();
      delete item;
    }
    for (const QString& error : errors) {
      auto* line = noteLabel(error, this);
      setTextRole(line, PanelColor::danger);
      errors_->addWidget(line);
      line->show();
    }
  }
}

}  // namespace velmora::ui
