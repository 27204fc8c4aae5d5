#include "audio/AudioApp.h"

#include <map>

#include "audio/ApplicationIdentity.h"
#include "audio/HAL.h"
#include "audio/NaturalOrder.h"
#include "core/ProcessingCore.h"
#include "settings/UTF8.h"

namespace velmora::audio {
namespace {

constexpr uint32_t kExecutablePathLimit = 4096;

std::string executablePath(int32_t pid) {
  char buffer[kExecutablePathLimit];
  if (OMProcessPath(pid, buffer, sizeof buffer) < 1) return {};
  return buffer;
}

std::string lastPathComponent(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::vector<AudioApp> AudioApp::all() {
  platform::ApplicationServices& services = platform::applicationServices();
  const int32_t ownPID = services.ownProcessID();
  const std::string ownBundleID = services.ownBundleIdentifier();

  std::vector<AudioApp> apps;  // in order of first appearance
  std::map<std::string, size_t> byKey;
  for (AudioObjectID process :
       HAL::objects(kAudioObjectSystemObject, kAudioHardwarePropertyProcessObjectList)) {
    const int32_t pid = HAL::value<int32_t>(process, kAudioProcessPropertyPID).value_or(0);
    if (pid < 1 || pid == ownPID) continue;
    const std::string processBundleID = HAL::string(process, kAudioProcessPropertyBundleID);
    const std::string executable = executablePath(pid);
    const auto running = services.runningApplication(pid);
    const std::optional<std::string> bundlePath = running ? running->bundlePath : std::nullopt;

    std::string lookupID = processBundleID;
    if (lookupID.empty() && running && running->bundleIdentifier)
      lookupID = *running->bundleIdentifier;
    const auto appPath = ApplicationIdentity::resolve(executable, bundlePath, lookupID);
    const auto bundle = appPath ? services.bundle(*appPath) : std::nullopt;

    std::string key;
    if (bundle && bundle->identifier && !bundle->identifier->empty()) {
      key = *bundle->identifier;
    } else if (!processBundleID.empty()) {
      key = processBundleID;
    } else {
      key = "process:" + (executable.empty() ? std::to_string(pid) : executable);
    }
    if (key == ownBundleID) continue;
    // Paths and identifiers are bytes; the key goes into the settings file, which takes text.
    key = settings::escapedKey(key);

    std::optional<std::string> name;
    if (bundle) name = bundle->infoString("CFBundleDisplayName");
    if (!name && bundle) name = bundle->infoString("CFBundleName");
    if (!name && running) name = running->localizedName;
    if (!name) name = processBundleID.empty() ? lastPathComponent(executable) : processBundleID;

    const uint32_t runningOutput =
        HAL::value<uint32_t>(process, kAudioProcessPropertyIsRunningOutput).value_or(0);
    std::optional<platform::Image> icon =
        appPath ? ApplicationIdentity::icon(*appPath) : std::nullopt;
    if (!icon && running) icon = running->icon;

    if (const auto found = byKey.find(key); found != byKey.end()) {
      // Another process of an application already listed.
      AudioApp& app = apps[found->second];
      app.processes.push_back(process);
      if (!app.path) app.path = appPath;
      if (!app.icon) app.icon = icon;
      app.audible = app.audible || runningOutput != 0;
      continue;
    }
    byKey.emplace(key, apps.size());
    apps.push_back(AudioApp{
        key, settings::replacingInvalidUTF8(*name), appPath, {process}, runningOutput != 0, icon});
  }
  sortByName(apps, [](const AudioApp& app) -> const std::string& { return app.name; });
  return apps;
}

}  // namespace velmora::audio
