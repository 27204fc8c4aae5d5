#include "ui/MainPanel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/AppDetailView.h"
#include "ui/MixerView.h"
#include "ui/ModelBridge.h"
#include "ui/OutputEffectsView.h"
#include "ui/PanelIconButton.h"
#include "ui/PanelIcons.h"
#include "ui/PanelTheme.h"
#include "ui/PlainText.h"

namespace velmora::ui {
namespace {

bool compactOf(const model::ModelState& state) {
  return state.preferences.advanced && state.preferences.advanced->interface.compact;
}

// The program's symbol in a 28 × 28 rounded square.
class ProgramSymbol : public QWidget {
 public:
  explicit ProgramSymbol(QWidget* parent) : QWidget(parent) { setFixedSize(28, 28); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(PanelTheme::color(PanelColor::accentSurface));
    painter.drawRoundedRect(QRectF(rect()), 8, 8);
    painter.drawPixmap(
        6, 6,
        panelIcon("waveform", PanelTheme::color(PanelColor::accent), 16, devicePixelRatioF()));
  }
};

}  // namespace

// ---- ErrorBanner

ErrorBanner::ErrorBanner(ModelBridge& bridge, QWidget* parent) : QFrame(parent), bridge_(bridge) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(10, 8, 6, 8);
  layout->setSpacing(8);
  icon_ = new QLabel(this);
  icon_->setFixedSize(18, 18);
  layout->addWidget(icon_, 0, Qt::AlignTop);
  auto* body = new QVBoxLayout();
  body->setSpacing(6);
  message_ = plainLabel({}, this);
  message_->setWordWrap(true);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setTextRole(message_, PanelColor::warning);
  body->addWidget(message_);
  bluetooth_ = new QPushButton(QStringLiteral("打开蓝牙设置"), this);
  body->addWidget(bluetooth_, 0, Qt::AlignLeft);
  layout->addLayout(body, 1);
  close_ = new PanelIconButton("xmark", 24, this);
  close_->setAccessibleName(QStringLiteral("关闭提示"));
  close_->setToolTip(QStringLiteral("关闭提示"));
  layout->addWidget(close_, 0, Qt::AlignTop);
  connect(bluetooth_, &QPushButton::clicked, this,
          [this] { bridge_.model().openSettingsPage(model::AppModel::SettingsPage::bluetooth); });
  connect(close_, &QAbstractButton::clicked, this, [this] { bridge_.model().clearError(); });
  refresh();
}

void ErrorBanner::refresh() {
  const model::ModelState& state = bridge_.state();
  setVisible(state.errorMessage.has_value());
  if (!state.errorMessage) return;
  const QString message = qstr(*state.errorMessage);
  message_->setText(message);
  icon_->setPixmap(panelIcon("exclamationmark.circle.fill", PanelTheme::color(PanelColor::warning),
                             18, devicePixelRatioF()));
  bluetooth_->setVisible(message.contains(QStringLiteral("蓝牙")));
  bluetooth_->setEnabled(
      bridge_.model().canOpenSettingsPage(model::AppModel::SettingsPage::bluetooth));
}

void ErrorBanner::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(PanelTheme::color(PanelColor::warningSurface));
  painter.drawRoundedRect(QRectF(rect()), 10, 10);
}

// ---- MainPanel

MainPanel::MainPanel(ModelBridge& bridge, OpenSettings openSettings, QWidget* parent)
    : QWidget(parent),
      bridge_(bridge),
      openSettings_(std::move(openSettings)),
      effectsPage_([this](const std::string& bookmarkID) -> QWidget* {
        return new OutputEffectsView(bridge_, bookmarkID);
      }) {
  setAccessibleName(QStringLiteral("Velmora"));
  // The panel speaks Chinese: a CJK face first, so no character falls back to an empty box.
  QFont panelFont = font();
  panelFont.setFamilies({"Noto Sans CJK SC", "WenQuanYi Micro Hei", panelFont.family()});
  setFont(panelFont);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  // Header.
  auto* header = new QWidget(this);
  auto* headerLayout = new QHBoxLayout(header);
  headerLayout->setContentsMargins(14, 12, 12, 8);
  headerLayout->setSpacing(8);
  headerLayout->addWidget(new ProgramSymbol(header));
  auto* title = plainLabel(QStringLiteral("Velmora"), header);
  QFont titleFont = title->font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
  title->setFont(titleFont);
  headerLayout->addWidget(title);
  headerLayout->addStretch(1);
  compact_ = new PanelIconButton({}, 28, header);
  compact_->setCheckable(true);
  compact_->setAccessibleName(QStringLiteral("紧凑模式"));
  connect(compact_, &QAbstractButton::toggled, this, &MainPanel::toggleCompact);
  headerLayout->addWidget(compact_);
  auto* settings = new PanelIconButton("gearshape", 28, header);
  settings->setToolTip(QStringLiteral("打开设置窗口"));
  settings->setAccessibleName(QStringLiteral("打开设置窗口"));
  settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
  connect(settings, &QAbstractButton::clicked, this, [this] {
    if (openSettings_) openSettings_(SettingsSection::general, DeviceSettingsTab::favorites);
  });
  headerLayout->addWidget(settings);
  layout->addWidget(header);

  // Banner.
  banner_ = new ErrorBanner(bridge, this);
  auto* bannerHolder = new QHBoxLayout();
  bannerHolder->setContentsMargins(12, 0, 12, 6);
  bannerHolder->addWidget(banner_);
  layout->addLayout(bannerHolder);

  // Back header.
  backHeader_ = new QWidget(this);
  auto* backLayout = new QHBoxLayout(backHeader_);
  backLayout->setContentsMargins(8, 0, 12, 4);
  backLayout->setSpacing(6);
  auto* back = new PanelIconButton("chevron.left", 28, backHeader_);
  back->setText(QStringLiteral("返回"));
  back->setAccessibleName(QStringLiteral("返回"));
  back->setToolTip(QStringLiteral("返回音量面板"));
  back->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketLeft));
  connect(back, &QAbstractButton::clicked, this, [this] { setDestination(std::nullopt); });
  backLayout->addWidget(back);
  pageTitle_ = plainLabel({}, backHeader_);
  QFont pageFont = pageTitle_->font();
  pageFont.setBold(true);
  pageTitle_->setFont(pageFont);
  pageTitle_->setMinimumWidth(20);
  pageTitle_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  backLayout->addWidget(pageTitle_, 1);
  layout->addWidget(backHeader_);

  // Page.
  scroll_ = new QScrollArea(this);
  scroll_->setWidgetResizable(true);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->viewport()->setAutoFillBackground(false);
  mixer_ = new MixerView(
      bridge,
      [this](const std::string& id) {
        setDestination(PanelDestination{PanelDestination::Kind::outputEffects, id});
      },
      [this](const std::string& id) {
        setDestination(PanelDestination{PanelDestination::Kind::app, id});
      });
  scroll_->setWidget(mixer_);
  layout->addWidget(scroll_, 1);

  connect(&bridge, &ModelBridge::changed, this, &MainPanel::refresh);
  connect(&PanelTheme::instance(), &PanelTheme::changed, this, &MainPanel::applyAppearance);
  setFixedWidth(PanelTheme::width);
  applyAppearance();
  setDestination(std::nullopt);
  refresh();
}

QSize MainPanel::sizeHint() const {
  return {PanelTheme::width,
          compactOf(bridge_.state()) ? PanelTheme::compactHeight : PanelTheme::height};
}

void MainPanel::applyAppearance() {
  applyPanelPalette(this);
  reapplyTextRoles(this);
  banner_->refresh();
  update();
}

void MainPanel::toggleCompact(bool compact) {
  if (compact == compactOf(bridge_.state())) return;
  // The model saves, reconciles and calls the shell's hook, which resizes the pop-over.
  bridge_.model().updateAdvanced(
      [compact](settings::AdvancedPreferences& advanced) { advanced.interface.compact = compact; });
}

void MainPanel::setDestination(std::optional<PanelDestination> destination) {
  destination_ = std::move(destination);
  if (detail_) {
    // The old page may be the sender of the signal that brought us here.
    scroll_->takeWidget();
    detail_->hide();
    detail_->deleteLater();
    detail_ = nullptr;
  }
  if (!destination_) {
    if (scroll_->widget() != mixer_) scroll_->setWidget(mixer_);
  } else {
    if (scroll_->widget() == mixer_) scroll_->takeWidget();
    mixer_->setParent(this);
    mixer_->hide();
    if (destination_->kind == PanelDestination::Kind::app) {
      detail_ = new AppDetailView(
          bridge_, destination_->id,
          [this] {
            if (openSettings_)
              openSettings_(SettingsSection::devices, DeviceSettingsTab::favorites);
          },
          [this] {
            if (openSettings_) openSettings_(SettingsSection::devices, DeviceSettingsTab::multi);
          });
    } else {
      detail_ = effectsPage_ ? effectsPage_(destination_->id) : new QWidget();
    }
    scroll_->setWidget(detail_);
  }
  if (!destination_) mixer_->show();
  backHeader_->setVisible(destination_.has_value());
  refresh();
}

void MainPanel::refresh() {
  const model::ModelState& state = bridge_.state();
  const bool compact = compactOf(state);
  {
    const QSignalBlocker blocker(compact_);
    compact_->setChecked(compact);
  }
  compact_->setSymbol(compact ? "rectangle.expand.vertical" : "rectangle.compress.vertical");
  compact_->setToolTip(compact ? QStringLiteral("切换为标准模式")
                               : QStringLiteral("切换为紧凑模式"));
  compact_->setOnOffDescription(compact);
  const int height = compact ? PanelTheme::compactHeight : PanelTheme::height;
  if (height != height_) {
    height_ = height;
    setFixedHeight(height);
  }
  banner_->refresh();

  if (destination_) {
    QString title;
    if (destination_->kind == PanelDestination::Kind::app) {
      title = qstr(destination_->id);
      for (const audio::AudioApp& app : state.apps) {
        if (app.id == destination_->id) title = qstr(app.name);
      }
    } else {
      title = QStringLiteral("输出音效");
      for (const settings::DeviceBookmark& bookmark : bridge_.model().bookmarks()) {
        if (bookmark.id == destination_->id) {
          title = qstr(bookmark.displayName());
          break;
        }
      }
    }
    pageTitle_->setText(
        pageTitle_->fontMetrics().elidedText(title, Qt::ElideRight, qMax(60, pageTitle_->width())));
    pageTitle_->setAccessibleName(title);
    pageTitle_->setToolTip(plainToolTip(title));
  }
}

void MainPanel::keyPressEvent(QKeyEvent* event) {
  // Escape leaves a detail page; on the mixer it goes on to the pop-over, which closes.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && destination_) {
    setDestination(std::nullopt);
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MainPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), PanelTheme::color(PanelColor::background));
}

}  // namespace velmora::ui
