// The send routine: the request header it fills, the driver path it takes,
// and every way a command can fail to reach the firmware.
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/device_child.h"
#include "mgmt/aw/vexo-backend/ioctl_header.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/aw/vexo-backend/vexo_mailbox.h"
#include "sim/fault_plan.h"
#include "transport_fixture.h"
#include "vmkmgmt.h"

using namespace transporttest;
using nlohmann::json;

namespace
{

class Transport : public TransportTest
{
  protected:
    // A command buffer for a payload of `payload` bytes.
    std::vector<uint8_t> buffer(uint32_t payload = 540)
    {
        return std::vector<uint8_t>(IOCTL_HEADER_SIZE + payload, 0);
    }

    // Reads controller attributes into a record filled with a pattern; the
    // record must keep the pattern when nothing was answered.
    VEXO_status_t attributes(int aw_port_number, int driver_type, bool *untouched)
    {
        MGMT_CONTROLLER_ATTRIBUTES rec;
        std::memset(&rec, 0xA5, sizeof rec);
        VEXO_status_t st = ioctl_fetch_controller_attribs(aw_port_number, &rec, 0, 0, driver_type);
        const uint8_t *p = reinterpret_cast<const uint8_t *>(&rec);
        *untouched = true;
        for (size_t i = 0; i < sizeof rec; ++i)
            *untouched = *untouched && p[i] == 0xA5;
        return st;
    }
};

TEST_F(Transport, RequestHeaderTimeoutsByDriverAndOpcode)
{
    struct Case {
        int driver, aw, opcode, subsystem;
        uint32_t timeout;
    } cases[] = {
        {VEXO_DRIVER_NIC, kNicCallback, 32, 1, 30},  {VEXO_DRIVER_ISCSI, kIscsiCallback, 32, 1, 120},
        {VEXO_DRIVER_NIC, kNicCallback, 18, 11, 11}, {VEXO_DRIVER_ISCSI, kIscsiCallback, 18, 11, 11},
        {VEXO_DRIVER_NIC, kNicCallback, 18, 2, 20},  {VEXO_DRIVER_ISCSI, kIscsiCallback, 18, 2, 20},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.driver << " " << c.opcode << "/" << c.subsystem);
        clear_log();
        std::vector<uint8_t> buf = buffer(28);
        ASSERT_EQ(VEXO_STATUS_SUCCESS,
                  VEXO_IssueIOCTL(-1, static_cast<uint8_t>(c.opcode), static_cast<uint8_t>(c.subsystem), 28, buf.data(),
                                  7, 3, static_cast<uint32_t>(c.driver), c.aw));
        std::vector<json> log = fw_log();
        ASSERT_EQ(1u, log.size());
        EXPECT_EQ(c.timeout, log[0]["timeout"]);
        EXPECT_EQ(7, log[0]["domain"]);
        EXPECT_EQ(3, log[0]["port"]);
        EXPECT_EQ(28, log[0]["request_length"]);
    }
}

TEST_F(Transport, VersionAndFunctionNumberSwitches)
{
    struct Case {
        uint8_t ioctl_version;
        int8_t pf_number;
        uint8_t byte15_before; // upper bits the transport must leave alone
        int version, pf, vh;
    } cases[] = {
        {1, 0, 0, 1, 0, 0},       {2, 0, 0, 0, 0, 0}, // only 1 marks version 1
        {0, 5, 0xFC, 0, 5, 0x3F}, {0, -3, 0x00, 0, 0, 0}, {0, 0, 0x04, 0, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.ioctl_version) << " " << int(c.pf_number));
        clear_log();
        vexo_glob.ioctl_version = c.ioctl_version;
        vexo_glob.pf_number = c.pf_number;
        std::vector<uint8_t> buf = buffer(532);
        buf[15] = c.byte15_before;
        EXPECT_EQ(VEXO_STATUS_SUCCESS,
                  VEXO_IssueIOCTL(-1, 147, 1, 532, buf.data(), 0, 0, VEXO_DRIVER_NIC, kNicCallback));
        vexo_glob.ioctl_version = 0;
        vexo_glob.pf_number = 0;
        std::vector<json> log = fw_log();
        ASSERT_EQ(1u, log.size());
        EXPECT_EQ(c.version, log[0]["version"]);
        EXPECT_EQ(c.pf, log[0]["pf"]);
        EXPECT_EQ(c.vh, log[0]["vh"]);
    }
}

TEST_F(Transport, AnsweredCommandsComeBackThroughEitherDriver)
{
    bool untouched = true;
    EXPECT_EQ(VEXO_STATUS_SUCCESS, attributes(kNicCallback, VEXO_DRIVER_NIC, &untouched));
    EXPECT_FALSE(untouched);
    MGMT_CONTROLLER_ATTRIBUTES rec;
    std::memset(&rec, 0, sizeof rec);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, ioctl_fetch_controller_attribs(kIscsiCallback, &rec, 0, 0, VEXO_DRIVER_ISCSI));
    EXPECT_STREQ("AW3T0001", rec.hba_attribs.controller_serial_number);
    EXPECT_STREQ("10.2.370.15", rec.hba_attribs.firmware_version_string);
    EXPECT_EQ(1, rec.hba_attribs.phy_port);
    EXPECT_EQ(2, rec.pci_function_number);
    std::vector<json> log = fw_log();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ("nic", log[0]["driver"]);
    EXPECT_EQ("0000:04:00.0", log[0]["pci"]);
    EXPECT_EQ("iscsi", log[1]["driver"]);
    EXPECT_EQ("0000:04:00.2", log[1]["pci"]);
}

// Every way a command can miss the firmware ends as a failure with last
// status 116, and the caller's record keeps what it held.
TEST_F(Transport, TransportFailuresAreFailures)
{
    struct Case {
        const char *what;
        const char *how; // planned fault, or null
        int aw, driver;
        bool sent; // the command shows in the log
    } cases[] = {
        {"library handle cannot be opened", "init", kNicCallback, VEXO_DRIVER_NIC, false},
        {"callback cannot be invoked", "invoke", kNicCallback, VEXO_DRIVER_NIC, true},
        {"driver reports a failure", "driver", kNicCallback, VEXO_DRIVER_NIC, true},
        {"iSCSI callback fails", "driver", kIscsiCallback, VEXO_DRIVER_ISCSI, true},
        {"NIC function without callbacks", nullptr, kNicLegacy, VEXO_DRIVER_NIC, false},
        {"no such function", nullptr, 0, VEXO_DRIVER_NIC, false},
        {"function beyond the tables", nullptr, VEXO_MAX_HBA + 1, VEXO_DRIVER_ISCSI, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        clear_log();
        hlvdsim::fault_clear(host.root());
        if (c.how)
            plan_transport(c.how);
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        bool untouched = false;
        EXPECT_EQ(VEXO_STATUS_FAILURE, attributes(c.aw, c.driver, &untouched));
        EXPECT_TRUE(untouched) << "nothing is read from an unanswered buffer";
        EXPECT_EQ(VEXO_STATUS_INTERNAL_ERROR, last_status().code);
        EXPECT_EQ("Application internal error occurred. Please check vexo2d.log file for more information.",
                  last_status().text);
        std::vector<json> log = fw_log();
        ASSERT_EQ(c.sent ? 1u : 0u, log.size());
        if (c.sent) {
            EXPECT_EQ("transport", log[0]["outcome"]);
        }
    }
}

TEST_F(Transport, PowerLossMidWriteLeavesTheCommandUnanswered)
{
    hlvdsim::FaultSpec f;
    f.kind = "power-loss";
    f.opcode = 79;
    f.length = 10;
    ASSERT_GT(hlvdsim::fault_add(host.root(), f, nullptr), 0);
    IOCTL_COMMON_SET_CONFIG_SIGNATURE_PARAMS sig;
    std::memset(&sig, 0x11, sizeof sig);
    EXPECT_EQ(VEXO_STATUS_FAILURE, ioctl_set_config_sign(kIscsiCallback, &sig, 0, 0, kChipBoth));
    EXPECT_EQ(VEXO_STATUS_INTERNAL_ERROR, last_status().code);
    EXPECT_EQ(0x11, sig.request.platform_unique_signature[100]);
}

TEST_F(Transport, UnknownDriverKindSendsNothing)
{
    std::vector<uint8_t> buf = buffer(8);
    EXPECT_EQ(VEXO_STATUS_INTERNAL_ERROR, VEXO_IssueIOCTL(-1, 88, 1, 8, buf.data(), 0, 0, 3, 1));
    EXPECT_EQ(VEXO_STATUS_FAILURE, VEXO_prepare_mailbox_cmd(1, 88, 1, 0, 16, nullptr, 1, 0, 0, 3));
    EXPECT_TRUE(fw_log().empty());
}

TEST_F(Transport, OversizedCommandsAreRefusedNotCut)
{
    // The pass-through area holds 65536 bytes, header included.
    std::vector<uint8_t> big(70000, 0);
    EXPECT_EQ(1, VEXO_ovnnet_callback(kNicCallback, 1, 65537, big.data()));
    EXPECT_EQ(1, VEXO_ovniscsi_callback(kIscsiCallback, 1, 65537, big.data()));
    EXPECT_EQ(VEXO_STATUS_INTERNAL_ERROR,
              VEXO_IssueIOCTL(-1, 1, 1, 65521, big.data(), 0, 0, VEXO_DRIVER_NIC, kNicCallback));
    // A payload whose buffer size would wrap past 16 bits.
    EXPECT_EQ(VEXO_STATUS_FAILURE, ioctl_get_mac(kNicCallback, reinterpret_cast<NTWK_MAC_QUERY_PARAMS *>(big.data()),
                                                 65530, 0, 0, VEXO_DRIVER_NIC));
    IOCTL_COMMON_MANAGE_FAT_PARAMS fat;
    std::memset(&fat, 0, sizeof fat);
    fat.request.read_log_length = 0xFFFFFFF0u;
    EXPECT_EQ(VEXO_STATUS_FAILURE, ioctl_retrieve_fat(kIscsiCallback, &fat, 0, 0, kChipBoth));
    EXPECT_TRUE(fw_log().empty());
    // The largest command that fits the area goes through.
    EXPECT_EQ(VEXO_STATUS_SUCCESS, ioctl_get_mac(kNicCallback, reinterpret_cast<NTWK_MAC_QUERY_PARAMS *>(big.data()),
                                                 65519, 0, 0, VEXO_DRIVER_NIC));
    EXPECT_EQ(1u, fw_log().size());
}

TEST_F(Transport, LegacyDeviceCarriesTheSameBytesAsTheCallback)
{
    RUN_WITH_DEVICES();
    open_legacy_iscsi();
    MGMT_CONTROLLER_ATTRIBUTES legacy, callback;
    std::memset(&legacy, 0, sizeof legacy);
    std::memset(&callback, 0, sizeof callback);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, ioctl_fetch_controller_attribs(kIscsiLegacy, &legacy, 1, 0, VEXO_DRIVER_ISCSI));
    ASSERT_EQ(VEXO_STATUS_SUCCESS, ioctl_fetch_controller_attribs(kIscsiCallback, &callback, 1, 0, VEXO_DRIVER_ISCSI));
    EXPECT_STREQ("AW2T0001", legacy.hba_attribs.controller_serial_number);
    EXPECT_STREQ("AW3T0001", callback.hba_attribs.controller_serial_number);
    std::vector<json> log = fw_log();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ("legacy", log[0]["path"]);
    EXPECT_EQ("callback", log[1]["path"]);
    EXPECT_EQ(log[0]["header"], log[1]["header"]);
    EXPECT_EQ(log[0]["payload_crc"], log[1]["payload_crc"]);
    EXPECT_EQ(log[0]["request_length"], log[1]["request_length"]);
}

TEST_F(Transport, LegacyIoctlErrorsGiveTheirStatus)
{
    RUN_WITH_DEVICES();
    open_legacy_iscsi();
    struct Case {
        int err;
        VEXO_status_t direct;
    } cases[] = {{EIO, VEXO_STATUS_ARM_TIMEOUT}, {EINVAL, VEXO_STATUS_INTERNAL_ERROR}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.err);
        hlvdsim::fault_clear(host.root());
        plan_transport("errno", -1, c.err);
        std::vector<uint8_t> buf = buffer(540);
        EXPECT_EQ(c.direct, VEXO_IssueIOCTL(vexo_glob.iscsi.os_handles[kIscsiLegacy - 1], 32, 1, 540, buf.data(), 0, 0,
                                            VEXO_DRIVER_ISCSI, kIscsiLegacy));
        EXPECT_EQ(c.direct, last_status().code);
        plan_transport("errno", -1, c.err);
        bool untouched = false;
        EXPECT_EQ(VEXO_STATUS_FAILURE, attributes(kIscsiLegacy, VEXO_DRIVER_ISCSI, &untouched));
        EXPECT_TRUE(untouched);
    }
    hlvdsim::fault_clear(host.root());
    bool untouched = true;
    EXPECT_EQ(VEXO_STATUS_SUCCESS, attributes(kIscsiLegacy, VEXO_DRIVER_ISCSI, &untouched));
    EXPECT_FALSE(untouched);
}

TEST_F(Transport, LegacySlotWithoutDeviceFailsCleanly)
{
    // No device was opened for the legacy function: its slot holds -1.
    bool untouched = false;
    EXPECT_EQ(VEXO_STATUS_FAILURE, attributes(kIscsiLegacy, VEXO_DRIVER_ISCSI, &untouched));
    EXPECT_TRUE(untouched);
    EXPECT_EQ(VEXO_STATUS_INTERNAL_ERROR, last_status().code);
}

TEST(WireRecords, HeaderAndDescriptorLayout)
{
    EXPECT_EQ(0u, offsetof(IOCTL_REQUEST_HEADER, opcode));
    EXPECT_EQ(1u, offsetof(IOCTL_REQUEST_HEADER, subsystem));
    EXPECT_EQ(2u, offsetof(IOCTL_REQUEST_HEADER, port_number));
    EXPECT_EQ(3u, offsetof(IOCTL_REQUEST_HEADER, domain));
    EXPECT_EQ(4u, offsetof(IOCTL_REQUEST_HEADER, timeout));
    EXPECT_EQ(8u, offsetof(IOCTL_REQUEST_HEADER, request_length));
    EXPECT_EQ(12u, offsetof(IOCTL_REQUEST_HEADER, version));
    EXPECT_EQ(4u, offsetof(IOCTL_RESPONSE_HEADER, status));
    EXPECT_EQ(5u, offsetof(IOCTL_RESPONSE_HEADER, additional_status));
    EXPECT_EQ(8u, offsetof(IOCTL_RESPONSE_HEADER, response_length));
    EXPECT_EQ(12u, offsetof(IOCTL_RESPONSE_HEADER, actual_response_length));

    uint8_t raw[16] = {};
    IOCTL_HEADER h;
    std::memcpy(&h, raw, sizeof h);
    h.request.pfnumber = 0x3FF;
    h.request.vhnumber = 0x21;
    std::memcpy(raw, &h, sizeof h);
    EXPECT_EQ(0xFF, raw[14]);
    EXPECT_EQ(0x03 | (0x21 << 2), raw[15]) << "pfnumber in bits 0-9, vhnumber in 10-15";

    uint8_t d[72] = {};
    PCIE_RESOURCE_DESCRIPTORS desc;
    std::memcpy(&desc, d, sizeof desc);
    desc.descriptor_type = 0x40;
    desc.no_save = 1;
    desc.pf_number = 0x201;
    desc.pf_state = 7;
    desc.num_of_vfs = 0x1234;
    desc.xchg = 1;
    desc.xrom = 2;
    std::memcpy(d, &desc, sizeof desc);
    EXPECT_EQ(0x40, d[0]);
    EXPECT_EQ(0x80, d[3]);
    EXPECT_EQ(0x01, d[6]);
    EXPECT_EQ(0x02, d[7]);
    EXPECT_EQ(7, d[13]);
    EXPECT_EQ(0x34, d[16]);
    EXPECT_EQ(0x20 | 0x80, d[23]) << "xchg bit 5, xrom bits 6-7 of byte 23";
}

} // namespace
