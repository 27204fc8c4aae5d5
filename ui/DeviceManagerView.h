// The device list tab of the settings window: every device of the user's list with its name
// field, connection caption, visibility per direction and order (arrows or dragging a row onto
// another, which puts it before that one); Bluetooth settings and a refresh of paired devices.
#pragma once

#include <QLineEdit>
#include <QWidget>
#include <map>
#include <string>

#include "settings/DeviceBookmark.h"

class QCheckBox;
class QLabel;
class QMimeData;
class QPushButton;
class QVBoxLayout;

namespace velmora::ui {

class ModelBridge;
class PanelIconButton;

// The name of one device, editable: Return stores the draft as the device's alias (an empty one
// gives the device its own name back), Escape puts the stored name back. While it has focus the
// model's publishes leave the draft alone.
class DeviceNameField : public QLineEdit {
  Q_OBJECT
 public:
  DeviceNameField(ModelBridge& bridge, QWidget* parent = nullptr);
  void setBookmark(const settings::DeviceBookmark& bookmark);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QString stored() const;

  ModelBridge& bridge_;
  settings::DeviceBookmark bookmark_;
};

// One row of the list; a drag source and a drop target.
class DeviceListRow : public QWidget {
  Q_OBJECT
 public:
  static constexpr const char* kMimeType = "application/x-velmora-bookmark";

  DeviceListRow(ModelBridge& bridge, QWidget* parent = nullptr);
  void setBookmark(const settings::DeviceBookmark& bookmark);
  const settings::DeviceBookmark& bookmark() const { return bookmark_; }
  DeviceNameField* nameField() const { return name_; }
  // What a drop on this row does: the dragged device goes before this one (onto itself it
  // stays). False when the data names no device.
  bool drop(const QMimeData& data);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QString caption() const;

  ModelBridge& bridge_;
  settings::DeviceBookmark bookmark_;
  QLabel* symbol_;
  DeviceNameField* name_;
  QLabel* caption_;
  QPushButton* restore_;
  QCheckBox* input_;
  QCheckBox* output_;
  PanelIconButton* up_;
  PanelIconButton* down_;
  QPoint pressedAt_;
  bool pressed_ = false;
  bool dropTarget_ = false;
};

class DeviceManagerView : public QWidget {
  Q_OBJECT
 public:
  // Layout constants in pixels: the gap between columns, the width of a visibility column and of
  // the reorder column, and the inset of rows and heads.
  static constexpr int columnSpacing = 10;
  static constexpr int visibilityWidth = 44;
  static constexpr int reorderWidth = 60;
  static constexpr int horizontalInset = 12;

  explicit DeviceManagerView(ModelBridge& bridge, QWidget* parent = nullptr);
  void refresh();
  DeviceListRow* row(const std::string& id) const;

 private:
  ModelBridge& bridge_;
  QVBoxLayout* rows_;
  std::map<std::string, DeviceListRow*> byID_;
  QPushButton* refresh_;
  QPushButton* bluetooth_;
};

}  // namespace velmora::ui
