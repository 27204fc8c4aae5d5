// The one link from the model's observer to Qt. The model calls its observers synchronously
// inside an operation, often while a widget's own signal is still on the stack; the bridge only
// notes the change and emits `changed` on a later turn of the event loop, once for any number of
// publishes in between. Widgets connect to `changed`; Qt disconnects them when they go.
//
// Threading: the main thread, like the model.
#pragma once

#include <QObject>
#include <memory>

#include "model/AppModel.h"

namespace velmora::ui {

class ModelBridge : public QObject {
  Q_OBJECT
 public:
  // Registers with `model` for the model's whole life (the model has no way to unregister); once
  // the bridge is gone, the registration does nothing.
  explicit ModelBridge(model::AppModel& model, QObject* parent = nullptr);
  ~ModelBridge() override;

  model::AppModel& model() const { return model_; }
  const model::ModelState& state() const { return model_.state(); }

 signals:
  void changed();

 private:
  void deliver();

  model::AppModel& model_;
  std::shared_ptr<ModelBridge*> self_;
  bool scheduled_ = false;
};

}  // namespace velmora::ui
