#include "ui/ModelBridge.h"

namespace velmora::ui {

ModelBridge::ModelBridge(model::AppModel& model, QObject* parent)
    : QObject(parent), model_(model), self_(std::make_shared<ModelBridge*>(this)) {
  std::weak_ptr<ModelBridge*> weak = self_;
  model_.observe([weak](const model::ModelState&) {
    const auto self = weak.lock();
    if (!self || (*self)->scheduled_) return;
    (*self)->scheduled_ = true;
    QMetaObject::invokeMethod(*self, &ModelBridge::deliver, Qt::QueuedConnection);
  });
}

ModelBridge::~ModelBridge() = default;

void ModelBridge::deliver() {
  scheduled_ = false;
  emit changed();
}

}  // namespace velmora::ui
