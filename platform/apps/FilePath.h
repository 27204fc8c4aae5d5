// Text operations on file paths. Both the identity resolution and the simulated disk compare
// paths after standardising them, so they agree on what names the same place.
#pragma once

#include <string>
#include <string_view>

namespace velmora::platform {

// `path` without empty and "." components, with each ".." taking back the component before it
// (at the root it is dropped) and without a trailing "/". Purely textual: links are not followed.
// An empty path stays empty; a relative one that cancels out becomes ".".
std::string standardizedPath(std::string_view path);

// The last component, ignoring trailing slashes ("/" for the root).
std::string lastPathComponent(std::string_view path);

// The text after the last "." of the last component; empty when there is none or when the only
// dot starts the name (".app" is a hidden name, not an extension).
std::string pathExtension(std::string_view path);

// `path` with `component` appended after one "/".
std::string appendingPathComponent(std::string_view path, std::string_view component);

}  // namespace velmora::platform
