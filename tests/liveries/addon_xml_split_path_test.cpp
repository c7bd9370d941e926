// add-on.xml path elements that do not close on their own line name no folder.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures/ai_package_writer.h"
#include "liveries/addon_discovery.h"
#include "liveries/liveries_test_support.h"

namespace {

using liveries_test::LiveriesEnv;
using liveries_test::logLinesWith;

TEST(ReviewAddonDiscovery, PathElementBrokenOverTwoLinesNamesNoFolder) {
  LiveriesEnv env;
  env.useWorld(env.path() / "appdata", env.path() / "c", env.path() / "d",
               "C:\\Program Files\\Prepar3D v5");
  fixtures::writeFileBytes(env.path() / "d" / "AI" / "Split" / "add-on.xml",
                           "<Category>SimObjects</Category>\n"
                           "<Path>D:\\AI\\Split\\SimObjects\n"
                           "</Path>\n"
                           "<Category>SimObjects</Category>\n"
                           "</Path> <Path>D:\\AI\\Reversed\n"
                           "<Category>SimObjects</Category>\n"
                           "<Path>D:\\AI\\Split\\Whole</Path>\n");
  std::vector<std::string> folders;
  lf_explorePackage("D:\\AI\\Split", folders);
  EXPECT_EQ(folders, (std::vector<std::string>{"D:\\AI\\Split\\Whole"}));
  EXPECT_EQ(logLinesWith(env.log(), "Simobjects found:").size(), 1u);
}

}  // namespace
