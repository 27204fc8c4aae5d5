#include <gtest/gtest.h>

#include "platform/apps/FilePath.h"

namespace {

using namespace velmora::platform;

TEST(FilePath, StandardizedPathRemovesEmptyDotAndParentComponents) {
  const std::pair<std::string, std::string> cases[] = {
      {"/Applications//Editor.app/", "/Applications/Editor.app"},
      {"/Applications/./Editor.app/./Contents", "/Applications/Editor.app/Contents"},
      {"/Applications/Tools/../Editor.app", "/Applications/Editor.app"},
      {"/a/b/c/../../d", "/a/d"},
      {"/../..//Applications/..", "/"},
      {"/", "/"},
      {"", ""},
      {"a/../../b/./c/", "../b/c"},
      {"a/..", "."},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(standardizedPath(path), expected) << path;
}

TEST(FilePath, ComponentsAndExtensions) {
  EXPECT_EQ(lastPathComponent("/Applications/Editor.app/"), "Editor.app");
  EXPECT_EQ(lastPathComponent("Editor.app"), "Editor.app");
  EXPECT_EQ(lastPathComponent("//"), "/");
  EXPECT_EQ(pathExtension("/Applications/Editor.app/"), "app");
  EXPECT_EQ(pathExtension("/opt/archive.tar.GZ"), "GZ");
  EXPECT_EQ(pathExtension("/opt/.app"), "");
  EXPECT_EQ(pathExtension("/opt.d/README"), "");
  EXPECT_EQ(appendingPathComponent("/", "Applications"), "/Applications");
  EXPECT_EQ(appendingPathComponent("/home/ann", "Applications"), "/home/ann/Applications");
  EXPECT_EQ(appendingPathComponent("", "Applications"), "Applications");
}

}  // namespace
