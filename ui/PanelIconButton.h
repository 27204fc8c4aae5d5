// The panel's icon button: a square of `size` pixels with corner radius 7 and a tinted symbol.
// Active draws the accent colour on the accent surface; onDark uses the output card's colours.
// An optional text follows the symbol (the back button's "返回").
#pragma once

#include <QToolButton>

namespace velmora::ui {

class PanelIconButton : public QToolButton {
  Q_OBJECT
 public:
  explicit PanelIconButton(const QString& symbol, int size = 28, QWidget* parent = nullptr);

  void setSymbol(const QString& symbol);
  QString symbol() const { return symbol_; }
  void setActive(bool active);
  bool isActive() const { return active_; }
  void setOnDark(bool onDark);
  // Checkable buttons: an on/off value that assistive technology reads as the description.
  void setOnOffDescription(bool on);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString symbol_;
  int size_;
  bool active_ = false;
  bool onDark_ = false;
};

}  // namespace velmora::ui
