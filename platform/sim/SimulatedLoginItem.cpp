#include "platform/sim/SimulatedLoginItem.h"

namespace velmora::platform::sim {

std::optional<LoginItemFailure> SimulatedLoginItem::registerMainApp() {
  ++registerCount_;
  if (failure_) return LoginItemFailure{*failure_};
  status_ = approvalRequired_ ? LoginItemStatus::requiresApproval : LoginItemStatus::enabled;
  return std::nullopt;
}

std::optional<LoginItemFailure> SimulatedLoginItem::unregisterMainApp() {
  ++unregisterCount_;
  if (failure_) return LoginItemFailure{*failure_};
  status_ = LoginItemStatus::notRegistered;
  return std::nullopt;
}

}  // namespace velmora::platform::sim
