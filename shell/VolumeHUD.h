// The volume display: a small window that shows the device, the level and the mute state after a
// volume change made through the program, and hides itself 1.3 s after the last change. It never
// takes the focus and clicks pass through it.
//
// Threading: the main thread; the hide is timed on the main queue.
#pragma once

#include <QRect>
#include <QWidget>
#include <memory>
#include <string>

#include "platform/dispatch/MainQueue.h"
#include "settings/AudioDirection.h"
#include "settings/InterfaceSettings.h"

namespace velmora::shell {

// Where the display goes in a screen's available area: centred horizontally; near the top, in
// the middle, or (for any other position) 60 pixels above the bottom.
QRect hudFrame(const QRect& available, const std::string& position);

// What the display shows.
class VolumeHUDView : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 280;
  static constexpr int kHeight = 84;

  explicit VolumeHUDView(QWidget* parent = nullptr);
  void setContent(QString device, float volume, bool muted, settings::AudioDirection direction,
                  bool dark);

  QString valueText() const;
  QString symbol() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString device_;
  float volume_ = 0.0f;
  bool muted_ = false;
  settings::AudioDirection direction_ = settings::AudioDirection::output;
  bool dark_ = false;
};

class VolumeHUDController {
 public:
  static constexpr double kHideDelay = 1.3;

  explicit VolumeHUDController(platform::MainQueue& queue) : queue_(queue) {}
  ~VolumeHUDController();

  void show(const std::string& device, float volume, bool muted, settings::AudioDirection direction,
            const settings::InterfaceSettings& settings);
  // At once, and no pending hide: the option was switched off, or the program ends.
  void hide();

  // The window, once made; null before the first show.
  VolumeHUDView* window() const { return window_.get(); }

 private:
  platform::MainQueue& queue_;
  std::unique_ptr<VolumeHUDView> window_;
  platform::TimerHandle hideTask_;
};

}  // namespace velmora::shell
