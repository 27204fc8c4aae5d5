#include "platform/desktop/AutostartLoginItem.h"

#include <glib.h>

#include <cstdlib>
#include <memory>
#include <system_error>

namespace velmora::platform {
namespace {

constexpr const char* kGroup = "Desktop Entry";

struct KeyFileDeleter {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
struct ErrorDeleter {
  void operator()(GError* error) const { g_error_free(error); }
};

LoginItemFailure failure(const std::string& what) { return {what}; }

}  // namespace

std::string execArgument(const std::string& argument) {
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
    if (c == '%') quoted += '%';
  }
  quoted += '"';
  // The value is a desktop-entry string, whose escapes are undone before the quoting is read.
  std::string value;
  for (const char c : quoted) {
    switch (c) {
      case '\\':
        value += "\\\\";
        break;
      case '\n':
        value += "\\n";
        break;
      case '\t':
        value += "\\t";
        break;
      case '\r':
        value += "\\r";
        break;
      default:
        value += c;
    }
  }
  return value;
}

AutostartLoginItem::AutostartLoginItem(std::filesystem::path entry, std::string program)
    : entry_(std::move(entry)), program_(std::move(program)) {}

std::filesystem::path AutostartLoginItem::sessionEntry(const std::string& desktopID) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base;
  if (config != nullptr && std::filesystem::path(config).is_absolute()) {
    base = config;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    base = std::filesystem::path(home) / ".config";
  }
  return base / "autostart" / (desktopID + ".desktop");
}

LoginItemStatus AutostartLoginItem::status() {
  std::unique_ptr<GKeyFile, KeyFileDeleter> file(g_key_file_new());
  if (!g_key_file_load_from_file(file.get(), entry_.c_str(), G_KEY_FILE_NONE, nullptr)) {
    return LoginItemStatus::notRegistered;
  }
  // Both are how sessions switch an entry off without deleting it.
  const auto flag = [&](const char* key, bool absent) {
    GError* error = nullptr;
    const gboolean value = g_key_file_get_boolean(file.get(), kGroup, key, &error);
    std::unique_ptr<GError, ErrorDeleter> owned(error);
    return owned ? absent : value != FALSE;
  };
  if (flag("Hidden", false) || !flag("X-GNOME-Autostart-enabled", true)) {
    return LoginItemStatus::notRegistered;
  }
  return LoginItemStatus::enabled;
}

std::optional<LoginItemFailure> AutostartLoginItem::registerMainApp() {
  std::error_code error;
  std::filesystem::create_directories(entry_.parent_path(), error);
  if (error)
    return failure("无法创建文件夹 " + entry_.parent_path().string() + "：" + error.message());
  const std::string text =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Velmora\n"
      "Comment=音量与设备\n"
      "Exec=" +
      execArgument(program_) +
      "\n"
      "Icon=com.local.Ombrel\n"
      "Terminal=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  GError* written = nullptr;
  // Written to a temporary file and renamed over the old one: never half a file.
  if (!g_file_set_contents(entry_.c_str(), text.data(), gssize(text.size()), &written)) {
    std::unique_ptr<GError, ErrorDeleter> owned(written);
    return failure(owned->message);
  }
  return std::nullopt;
}

std::optional<LoginItemFailure> AutostartLoginItem::unregisterMainApp() {
  std::error_code error;
  std::filesystem::remove(entry_, error);
  if (error) return failure("无法删除 " + entry_.string() + "：" + error.message());
  return std::nullopt;
}

}  // namespace velmora::platform
