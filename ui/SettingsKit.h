// The settings window's building blocks: cards with a titled header, on/off switches, segmented
// pickers and secondary text, drawn in the panel's colours.
#pragma once

#include <QAbstractButton>
#include <QFrame>
#include <QWidget>
#include <vector>

class QButtonGroup;
class QLabel;
class QVBoxLayout;

namespace velmora::ui {

// A rounded card; an optional symbol and title head it, the content goes into body().
class SettingsCard : public QFrame {
  Q_OBJECT
 public:
  explicit SettingsCard(const QString& title = {}, const QString& symbol = {},
                        QWidget* parent = nullptr);
  QVBoxLayout* body() const { return body_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void paintSymbol();

  QString symbol_;
  QLabel* symbolLabel_ = nullptr;
  QVBoxLayout* body_;
};

// An on/off switch; its accessible name is the setting it switches.
class ToggleSwitch : public QAbstractButton {
  Q_OBJECT
 public:
  explicit ToggleSwitch(const QString& accessibleName, QWidget* parent = nullptr);
  QSize sizeHint() const override { return {38, 22}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// A row of mutually exclusive buttons, one per choice; the group's accessible name is the
// picker's, each button's the choice's title.
class SegmentedPicker : public QWidget {
  Q_OBJECT
 public:
  SegmentedPicker(const QString& accessibleName, const QStringList& titles,
                  QWidget* parent = nullptr);
  int current() const;
  // From the model or the navigation: moves the selection without emitting `picked`.
  void setCurrent(int index);
  QAbstractButton* button(int index) const;

 signals:
  void picked(int index);

 private:
  void restyle();

  QButtonGroup* group_;
};

// A row: title on the left (wrapping), `control` on the right.
QWidget* settingRow(const QString& title, QWidget* control, QWidget* parent = nullptr);
// Explanations and notes: wrapping, secondary colour, plain text.
QLabel* noteLabel(const QString& text, QWidget* parent = nullptr);
// A bold line above a group of rows or a page.
QLabel* headingLabel(const QString& text, qreal scale = 1.0, QWidget* parent = nullptr);
// A thin line between rows of a card.
QFrame* divider(QWidget* parent = nullptr);

}  // namespace velmora::ui
