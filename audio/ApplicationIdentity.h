// Which application bundle a running process belongs to, and that application's icon. Paths are
// file paths; a bundle's location is the path of its ".app" folder. Everything goes through the
// installed platform::applicationServices().
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/apps/ApplicationServices.h"

namespace velmora::audio::ApplicationIdentity {

// Bundle identifier -> location of the application bundle that has it.
using InstalledApplications = std::map<std::string, std::string>;

// Finds an application's location by bundle identifier.
using Lookup = std::function<std::optional<std::string>(const std::string& bundleIdentifier)>;

// The outermost ".app" folder on `path` (after standardising it), or nothing when no component
// is one. A helper inside Editor.app/Contents/Frameworks/Helper.app belongs to Editor.app.
std::optional<std::string> outerApplication(const std::string& path);

// `bundleIdentifier`'s application: the workspace's answer, else the installed-application map's.
std::optional<std::string> lookupApplication(const std::string& bundleIdentifier,
                                             const InstalledApplications& installed);

// lookupApplication over installedApplications().
std::optional<std::string> defaultLookup(const std::string& bundleIdentifier);

// The application bundle a process belongs to: the one around its executable, else around its
// running-application record's bundle, else the one `lookup` finds for its bundle identifier or
// a shorter form of it (a.b.c.helper.renderer, a.b.c.helper, a.b.c, a.b), so helpers are
// attributed to their host application. Only locations where a bundle opens count.
std::optional<std::string> resolve(const std::string& executable,
                                   const std::optional<std::string>& runningBundlePath,
                                   const std::string& bundleIdentifier,
                                   const Lookup& lookup = Lookup(defaultLookup));

// Scans "Applications" in the home folder, "/Applications" and "/System/Applications", in that
// order, each with its sub-folders one level down; the first location of an identifier wins.
InstalledApplications scanInstalledApplications();

// scanInstalledApplications() as the services installed at the first call see it, made once per
// process (safe to call first from any thread) and never refreshed: applications installed later
// are still found through the workspace. Tests scan explicitly instead.
const InstalledApplications& installedApplications();

// The icon of the application at `path`: its icon file, else its named icon image, else the
// workspace's icon for the path.
std::optional<platform::Image> icon(const std::string& path);

}  // namespace velmora::audio::ApplicationIdentity
