// The login item of the simulated machine. Registering makes it enabled (or waiting for the
// user's approval, when told so), unregistering makes it not registered; both can be told to fail
// with a given description, and then leave the status as it was.
//
// Threading: main thread only.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "platform/login/LoginItemService.h"

namespace velmora::platform::sim {

class SimulatedLoginItem final : public LoginItemService {
 public:
  LoginItemStatus status() override { return status_; }
  std::optional<LoginItemFailure> registerMainApp() override;
  std::optional<LoginItemFailure> unregisterMainApp() override;
  void openSystemSettingsLoginItems() override { ++settingsOpened_; }

  void setStatus(LoginItemStatus status) { status_ = status; }
  // A successful registration then waits for the user's approval.
  void setApprovalRequired(bool required) { approvalRequired_ = required; }
  // Every change fails with this description until cleared (nothing).
  void setFailure(std::optional<std::string> localizedDescription) {
    failure_ = std::move(localizedDescription);
  }

  int registerCount() const { return registerCount_; }
  int unregisterCount() const { return unregisterCount_; }
  int settingsOpened() const { return settingsOpened_; }

 private:
  LoginItemStatus status_ = LoginItemStatus::notRegistered;
  bool approvalRequired_ = false;
  std::optional<std::string> failure_;
  int registerCount_ = 0;
  int unregisterCount_ = 0;
  int settingsOpened_ = 0;
};

}  // namespace velmora::platform::sim
