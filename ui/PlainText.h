// Names from outside the program (devices, applications, Bluetooth names, error messages) are
// shown as typed: Qt would otherwise take a name that looks like HTML as rich text.
#pragma once

#include <QLabel>
#include <QString>
#include <string>

namespace velmora::ui {

inline QString qstr(const std::string& text) { return QString::fromStdString(text); }

// A label that never interprets its text.
inline QLabel* plainLabel(const QString& text = {}, QWidget* parent = nullptr) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  return label;
}

// A tool tip is always rich-text capable; escaping and wrapping it in <qt> shows it literally.
inline QString plainToolTip(const QString& text) {
  return QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

}  // namespace velmora::ui
