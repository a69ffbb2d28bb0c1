// A converged controller that reports an empty description is listed as
// having no model, like one that reports none, and not with an empty name.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "discovery_fixture.h"
#include "flash/ovnflashlib.h"

using namespace disctest;

namespace
{

TEST(EmptyDescription, ListedAsNoModel)
{
    json blank = converged_adapter("blank", "AW3", 0, 4, "10.2.370.15", {{"nic", 0x0710}}, 0x01);
    blank["description"] = "";
    json named = converged_adapter("named", "AW3", 0, 9, "10.2.370.15", {{"nic", 0x0710}}, 0x01);
    named["description"] = "Converged adapter, one port";
    hlvdtest::SimHost host(machine({blank, named}));
    std::string images = host.path("/images");
    ASSERT_EQ(0, mkdir(images.c_str(), 0755));
    ufi(images, "aw3.ufi", 3, "10.2.370.15", 0);
    std::string xml = host.path("/discovery.xml");
    ASSERT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
    std::vector<DiscoveredDevice> devices = read_discovery(xml);
    ASSERT_EQ(2u, devices.size());
    EXPECT_EQ("4", devices[0].busnumber);
    EXPECT_EQ("Model N/A", devices[0].product_id);
    EXPECT_EQ("9", devices[1].busnumber);
    EXPECT_EQ("Converged adapter, one port", devices[1].product_id);
}

} // namespace
