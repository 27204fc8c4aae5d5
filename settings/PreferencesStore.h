#pragma once

#include <exception>
#include <filesystem>
#include <string>

#include "settings/Preferences.h"

namespace velmora::settings {

// Reads and writes the settings file. Used from the main thread only.
class PreferencesStore {
 public:
  // `url` is the settings file; see defaultPreferencesLocation() for the program's own.
  explicit PreferencesStore(std::filesystem::path url);

  const std::filesystem::path& url() const { return url_; }

  // Fresh settings when there is no file; otherwise the file's settings with application and
  // device volumes clamped to 0...1. Throws PreferencesError. A file that cannot be read is
  // first copied aside (the message names the copy); if that fails, save() will not
  // overwrite it until a copy has been made.
  Preferences load();

  // Writes `preferences` atomically, leaving out the per-application levels and device volumes
  // that the remember switches exclude. Throws PreferencesError; the previous file is then
  // unchanged.
  void save(const Preferences& preferences);

 private:
  // Copies an unreadable file aside; returns the tail of the read-failure message.
  std::string keepUnreadableFile();

  const std::filesystem::path url_;
  // A file failed to load and could not be copied aside yet.
  bool unreadableFileNeedsCopy_ = false;
};

// "读取设置失败：<what>。本次使用默认设置。"
std::string loadFailureMessage(const std::exception& error);
// "保存设置失败：<what>"
std::string saveFailureMessage(const std::exception& error);

}  // namespace velmora::settings
