// A guest that sees an SR-IOV virtual function and a physical adapter: each
// adapter is judged by its own functions' probes, so the physical one,
// enumerated after the virtual function, is served as usual.
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "mal/mal_core.h"
#include "mal/mal_maintenance.h"
#include "mal/mal_records.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/command_log.h"
#include "sim/machine.h"
#include "sim/ufi_generator.h"
#include "support/sim_host.h"

namespace
{

// The default machine's Trelmont adapter with its network functions only
// (an iSCSI function would make it the first adapter found), preceded by a
// copy of it that answers as a virtual function.
std::string vf_first_machine()
{
    nlohmann::json doc = nlohmann::json::parse(hlvdtest::read_file(hlvdsim::default_machine_path()));
    nlohmann::json physical;
    for (const nlohmann::json &a : doc["adapters"])
        if (a["name"] == "trelmont")
            physical = a;
    nlohmann::json nics = nlohmann::json::array();
    for (const nlohmann::json &f : physical["functions"])
        if (f["kind"] == "nic")
            nics.push_back(f);
    physical["functions"] = nics;
    nlohmann::json vf = physical;
    vf["name"] = "trelvf";
    vf["serial"] = "TRLVF00001";
    nlohmann::json f = physical["functions"][0];
    f["bus"] = 2;
    f["mac"] = "00:00:C9:C4:00:10";
    f["permanent_mac"] = "02:00:C9:C4:01:10";
    f["vf"] = 1;
    vf["functions"] = nlohmann::json::array({f});
    doc["adapters"] = nlohmann::json::array({vf, physical});
    return doc.dump();
}

class MalVirtualFunction : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(hlvdsim::make_dirs(host_.path("/images")));
        start_ = vexo_counter;
        char service[MAL_VALUE_SIZE] = "";
        char hierarchy[MAL_VALUE_SIZE] = "";
        ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
        uint32_t tags[MAL_MAX_TAGS] = {};
        int count = MAL_MAX_TAGS;
        ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateArcwrights(&count, tags));
        ASSERT_EQ(2, count);
        // The virtual function is the first adapter of the tree.
        vf_ = static_cast<node_tag_t>(tags[0]);
        physical_ = static_cast<node_tag_t>(tags[1]);
        ASSERT_EQ("TRLVF00001", record(vf_).SerialNumber);
        ASSERT_EQ("TRLSIM00001", record(physical_).SerialNumber);
    }
    void TearDown() override
    {
        EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit());
        EXPECT_EQ(start_, vexo_counter);
    }

    struct Record {
        std::string SerialNumber, ControllerStatus, OEMSerialNumber;
    };
    static Record record(node_tag_t adapter)
    {
        MAL_AWProperties rec;
        std::memset(&rec, 0, sizeof rec);
        EXPECT_EQ(RM_STATUS_OK, MAL_GetAWProperties(adapter, &rec));
        return Record{rec.SerialNumber, rec.ControllerStatus, rec.OEMSerialNumber};
    }
    static int32_t is_vf(node_tag_t adapter)
    {
        uint32_t tags[MAL_MAX_TAGS] = {};
        int count = MAL_MAX_TAGS;
        EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateHbas(adapter, MAL_HBA_NIC, &count, tags));
        int32_t vf = -1;
        for (int i = 0; i < count; ++i) {
            MAL_NicPhysicalProperties nic;
            std::memset(&nic, 0, sizeof nic);
            EXPECT_EQ(RM_STATUS_OK, MAL_GetNicPhysicalProperties(static_cast<node_tag_t>(tags[i]), &nic));
            EXPECT_TRUE(vf == -1 || vf == nic.IsVF) << "functions of one adapter disagree";
            vf = nic.IsVF;
        }
        return vf;
    }

    hlvdtest::SimHost host_{vf_first_machine()};
    node_tag_t vf_ = -1, physical_ = -1;
    int start_ = 0;
};

TEST_F(MalVirtualFunction, EachAdapterIsJudgedByItsOwnFunctions)
{
    EXPECT_EQ(1, is_vf(vf_));
    EXPECT_EQ(0, is_vf(physical_));
    // The start-up data: refused on the virtual function only.
    EXPECT_EQ("N/A", record(vf_).OEMSerialNumber);
    EXPECT_EQ("OEMTRLSIM00001", record(physical_).OEMSerialNumber);
}

// The flash and controller-status refusals judge their own adapter too.
TEST_F(MalVirtualFunction, OnlyTheVirtualFunctionRefusesStatusAndFlash)
{
    EXPECT_NE("Alive", record(vf_).ControllerStatus);
    EXPECT_EQ("Alive", record(physical_).ControllerStatus);

    std::string image = host_.path("/images/t.ufi");
    std::string err;
    ASSERT_TRUE(hlvdsim::write_ufi(hlvdsim::default_ufi_spec(4, "11.2.100.7"), image, &err)) << err;
    hlvdsim::log_clear(host_.root());
    EXPECT_EQ(VEXO_STATUS_FLASH_ON_VM, MAL_UpgradeFlash(vf_, image.c_str()));
    EXPECT_TRUE(hlvdsim::log_read(host_.root()).empty()) << "the refusal sends nothing";
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, MAL_UpgradeFlash(physical_, image.c_str()));
}

} // namespace
