// The companion path a driver path gives, and the rule that refuses one: the
// library loads only what this builds, and tramole-host doctor reports it.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "forward/forward.h"

namespace {

struct PathCase {
  const char* name;
  bool hasPath;  // false: a null driver path
  std::string driverPath;
  CompanionPathResult result;
  std::string built;  // "" when refused
};

TEST(CompanionPath, BuildsOnlyRootedPathsThatFit) {
  const std::string dir247 = "C:\\" + std::string(243, 'd') + "\\";  // drive and directory: 247
  const std::string dir248 = "C:\\" + std::string(244, 'd') + "\\";
  const PathCase cases[] = {
      {"absolute", true, "C:\\Drivers\\x64\\DRV.DLL", COMPANION_PATH_BUILT, "C:\\Drivers\\x64\\TRAMOLEU.DLL"},
      {"network share", true, "\\\\server\\share\\DRV.DLL", COMPANION_PATH_BUILT, "\\\\server\\share\\TRAMOLEU.DLL"},
      {"forward slashes", true, "C:/Drivers/DRV.DLL", COMPANION_PATH_BUILT, "C:/Drivers/TRAMOLEU.DLL"},
      {"rooted without drive", true, "\\Drivers\\DRV.DLL", COMPANION_PATH_BUILT, "\\Drivers\\TRAMOLEU.DLL"},
      {"null", false, "", COMPANION_PATH_NO_DRIVER_PATH, ""},
      {"empty", true, "", COMPANION_PATH_NO_DRIVER_PATH, ""},
      {"bare name", true, "DRV.DLL", COMPANION_PATH_NOT_ROOTED, ""},
      {"drive-relative", true, "C:DRV.DLL", COMPANION_PATH_NOT_ROOTED, ""},
      {"relative directory", true, "sub\\DRV.DLL", COMPANION_PATH_NOT_ROOTED, ""},
      {"drive-relative directory", true, "C:sub\\DRV.DLL", COMPANION_PATH_NOT_ROOTED, ""},
      {"directory of 247", true, dir247 + "X.DLL", COMPANION_PATH_BUILT, dir247 + "TRAMOLEU.DLL"},
      {"directory of 248", true, dir248 + "X.DLL", COMPANION_PATH_TOO_LONG, ""},
      {"file name of 256", true, "C:\\d\\" + std::string(256, 'n'), COMPANION_PATH_TOO_LONG, ""},
  };
  for (const PathCase& c : cases) {
    char out[OS_MAX_PATH];
    memset(out, 'G', sizeof out);
    CompanionPathResult result = BuildCompanionPath(c.hasPath ? c.driverPath.c_str() : nullptr, out);
    EXPECT_EQ(result, c.result) << c.name << ": got rule " << result << ", expected " << c.result;
    EXPECT_EQ(std::string(out), c.built) << c.name << ": got path \"" << out << "\", expected \"" << c.built << "\"";
  }
}

}  // namespace
