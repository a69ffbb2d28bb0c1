// Command buffers around a payload and the mapping of firmware statuses to
// management statuses.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/aw/vexo-backend/vexo_mailbox.h"
#include "sim/fault_plan.h"
#include "transport_fixture.h"

using namespace transporttest;
using nlohmann::json;

namespace
{

const int kUnchanged = -1; // the last status is left as it was

struct MapRow {
    uint32_t status, additional;
    uint8_t opcode;
    VEXO_status_t result;
    int last; // code stored as the last status, or kUnchanged
};

// (status, additional status, opcode) -> (result, last status).
const MapRow kMap[] = {
    {0, 0, 1, VEXO_STATUS_SUCCESS, kUnchanged},
    {1, 0, 1, VEXO_STATUS_INTERNAL_ERROR, kUnchanged},
    {2, 16, 1, VEXO_STATUS_FAILURE, VEXO_STATUS_ERASE_CONFIG_FAILED},
    {1, 17, 23, VEXO_STATUS_FAILURE, VEXO_STATUS_SESSION_ALREADY_EXISTS},
    {1, 18, 14, VEXO_STATUS_SESSION_ALREADY_CLOSED, VEXO_STATUS_SESSION_ALREADY_CLOSED},
    {1, 19, 6, VEXO_STATUS_DEST_HOST_UNREACHABLE, VEXO_STATUS_DEST_HOST_UNREACHABLE},
    {1, 19, 29, VEXO_STATUS_DEST_HOST_UNREACHABLE, kUnchanged},
    {2, 21, 23, VEXO_STATUS_FAILURE, VEXO_STATUS_CONNECTION_FAILED},
    {1, 22, 11, VEXO_STATUS_EXCEED_ROUTE_ENTRIES, kUnchanged},
    {1, 23, 5, VEXO_STATUS_FAILURE, VEXO_STATUS_LINK_DOWN},
    {1, 24, 17, VEXO_STATUS_SUCCESS, VEXO_STATUS_DHCP_ERROR},
    {2, 30, 6, VEXO_STATUS_INVALID_OPCODE, kUnchanged},
    {1, 43, 23, VEXO_STATUS_FAILURE, VEXO_STATUS_INITIATOR_ERROR},
    {1, 44, 27, VEXO_STATUS_AUTHENTICATION_FAILURE, kUnchanged},
    {1, 44, 23, VEXO_STATUS_AUTHENTICATION_FAILURE, kUnchanged},
    {1, 44, 24, VEXO_STATUS_FAILURE, VEXO_STATUS_AUTHENTICATION_FAILURE},
    {1, 45, 23, VEXO_STATUS_FAILURE, VEXO_STATUS_AUTHORIZATION_FAILURE},
    {1, 46, 23, VEXO_STATUS_LOGIN_NOT_FOUND, VEXO_STATUS_LOGIN_NOT_FOUND},
    {1, 56, 23, VEXO_STATUS_FAILURE, VEXO_STATUS_LOGIN_SERVICE_UNAVAILABLE},
    {1, 58, 7, VEXO_STATUS_FAILURE, VEXO_STATUS_SAME_CHAP_SECRET},
    {1, 59, 7, VEXO_STATUS_FAILURE, VEXO_STATUS_INVALID_SECRET_LENGTH},
    {2, 75, 57, VEXO_STATUS_SET_PORTSPEED_NOT_SUPPORTED, kUnchanged},
    {2, 75, 1, VEXO_STATUS_INVALID_OPCODE, kUnchanged},
    {2, 75, 32, VEXO_STATUS_INVALID_REQUEST, kUnchanged},
    {1, 77, 7, VEXO_STATUS_FAILURE, VEXO_STATUS_CRC_MISMATCH},
    {1, 79, 82, VEXO_STATUS_PERSONALITY_NOT_SUPPORTED, kUnchanged},
    {1, 81, 82, VEXO_STATUS_PERSONALITY_NOT_SUPPORTED, kUnchanged},
    {1, 83, 19, VEXO_STATUS_LOOPBACK_MODE_NOT_SUPPORTED, VEXO_STATUS_LOOPBACK_MODE_NOT_SUPPORTED},
    {1, 84, 19, VEXO_STATUS_LOOPBACK_MODE_ALREADY_IN_LOOPBACK, VEXO_STATUS_LOOPBACK_MODE_ALREADY_IN_LOOPBACK},
    {1, 85, 19, VEXO_STATUS_LOOPBACK_MODE_NOT_SET, kUnchanged},
    {1, 99, 19, VEXO_STATUS_LOOPBACK_MODE_NO_MODULE, kUnchanged},
    {1, 100, 23, VEXO_STATUS_LOGIN_DIGEST_ERROR, kUnchanged},
    {2, 104, 82, VEXO_STATUS_ZMR_ENABLED, kUnchanged},
    {2, 105, 1, VEXO_STATUS_INVALID_OPCODE, kUnchanged},
    {2, 105, 2, VEXO_STATUS_UNKNOWN_ERROR, kUnchanged},
    {1, 162, 7, VEXO_STATUS_INCOMPATIBLE_IMAGE, kUnchanged},
    {2, 9999, 7, VEXO_STATUS_UNKNOWN_ERROR, kUnchanged},
    {3, 0, 57, VEXO_STATUS_SET_PORTSPEED_NOT_SUPPORTED, kUnchanged},
    {3, 0, 58, VEXO_STATUS_FAILURE, kUnchanged},
    {4, 0, 32, VEXO_STATUS_INSUFFICIENT_BUFFER, kUnchanged},
    {5, 0, 32, VEXO_STATUS_NOT_SUPPORTED_FOR_VF, VEXO_STATUS_NOT_SUPPORTED_FOR_VF},
    {5, 96, 32, VEXO_STATUS_INSUFFICIENT_PRIVILEGE, VEXO_STATUS_INSUFFICIENT_PRIVILEGE},
    {5, 1, 32, VEXO_STATUS_UNKNOWN_ERROR, kUnchanged},
    {20, 0, 23, VEXO_STATUS_FAILURE, VEXO_STATUS_TGTTBL_FULL},
    {20, 0, 24, VEXO_STATUS_FAILURE, kUnchanged},
    {30, 0, 169, VEXO_STATUS_REBOOT_REQUIRED, kUnchanged},
    {30, 0, 32, VEXO_STATUS_UNKNOWN_ERROR, kUnchanged},
    {31, 0, 24, VEXO_STATUS_SUCCESS, kUnchanged},
    {31, 0, 28, VEXO_STATUS_SUCCESS, kUnchanged},
    {31, 0, 14, VEXO_STATUS_INVALID_SESSION_ID, kUnchanged},
    {44, 0, 7, VEXO_STATUS_REBOOT_REQUIRED, kUnchanged},
    {46, 0, 25, VEXO_STATUS_FAILURE, VEXO_STATUS_IPADDRESS_NOT_SET},
    {46, 3, 25, VEXO_STATUS_UNKNOWN_ERROR, kUnchanged},
    {49, 0, 23, VEXO_STATUS_FAILURE, VEXO_STATUS_TARGET_BUSY},
    {66, 103, 69, VEXO_STATUS_BEACON_OPERATION_ALREADY_ACTIVE, kUnchanged},
    {66, 0, 69, VEXO_STATUS_NOT_SUPPORTED, kUnchanged},
    {66, 0, 8, VEXO_STATUS_NOT_SUPPORTED, kUnchanged},
    {66, 0, 12, VEXO_STATUS_NOT_SUPPORTED, kUnchanged},
    {66, 0, 70, VEXO_STATUS_NOT_SUPPORTED, kUnchanged},
    {66, 0, 73, VEXO_STATUS_NOT_SUPPORTED, kUnchanged},
    {66, 0, 32, VEXO_STATUS_NOT_SUPPORTED, VEXO_STATUS_NOT_SUPPORTED},
    {67, 0, 32, VEXO_STATUS_FAILURE, kUnchanged},
    {255, 0, 32, VEXO_STATUS_FAILURE, kUnchanged},
};

TEST(StatusMap, FirmwareStatusesMapToManagementStatuses)
{
    for (const MapRow &r : kMap) {
        SCOPED_TRACE(testing::Message() << r.status << "/" << r.additional << " opcode " << int(r.opcode));
        vexo_set_last_status(VEXO_STATUS_VALUE_OUT_OF_RANGE, "before");
        EXPECT_EQ(r.result, VexoStatusFromIOCTLResponse(r.status, r.additional, r.opcode));
        Last last = last_status();
        if (r.last == kUnchanged) {
            EXPECT_EQ(VEXO_STATUS_VALUE_OUT_OF_RANGE, last.code);
            EXPECT_EQ("before", last.text);
        } else {
            EXPECT_EQ(r.last, last.code);
            EXPECT_EQ(vexo_status_message(r.last), last.text);
        }
    }
}

TEST(StatusMap, MessagesOfTheStoredStatuses)
{
    VexoStatusFromIOCTLResponse(1, 24, 17);
    EXPECT_EQ("An error occurred changing the DHCP setting. Please check the configuration on the network and the "
              "DHCP server.",
              last_status().text);
    VexoStatusFromIOCTLResponse(1, 23, 5);
    EXPECT_EQ("The Link Status is Down. Please check the cable.", last_status().text);
    VexoStatusFromIOCTLResponse(66, 0, 32);
    EXPECT_EQ("This Operation is not supported.", last_status().text);
}

TEST(StatusMap, ProtocolOfAnAdapterInstance)
{
    struct Case {
        uint8_t bits;
        int protocol;
    } cases[] = {{0, 4}, {1, 1}, {2, 2}, {3, 1}, {4, 3}, {6, 2}, {7, 1}, {8, 4}};
    for (const Case &c : cases) {
        vexo_glob.protocols_bitmap[5] = c.bits;
        EXPECT_EQ(c.protocol, get_the_protocol(5)) << int(c.bits);
    }
    EXPECT_EQ(4, get_the_protocol(-1));
    EXPECT_EQ(4, get_the_protocol(16));
    vexo_glob.protocols_bitmap[5] = 0;
}

class Mailbox : public TransportTest
{
  protected:
    void plan_with_answer(int opcode, int status, int additional)
    {
        hlvdsim::FaultSpec f;
        f.opcode = opcode;
        f.kind = "status";
        f.status = status;
        f.additional_status = additional;
        f.answer = true;
        ASSERT_GT(hlvdsim::fault_add(host.root(), f, nullptr), 0);
    }
};

TEST_F(Mailbox, AnswerThatDoesNotFitIsAFailureOrASize)
{
    // 100 bytes of the 540-byte controller attributes.
    std::vector<uint8_t> rec(100, 0);
    EXPECT_EQ(VEXO_STATUS_INSUFFICIENT_BUFFER, VEXO_prepare_mailbox_cmd(kNicCallback, 32, 1, 100, 116, rec.data(),
                                                                        VEXO_DIR_READ, 0, 0, VEXO_DRIVER_NIC));
    EXPECT_EQ("Orvane", std::string(reinterpret_cast<char *>(&rec[32]))) << "the part that fits comes back";

    std::fill(rec.begin(), rec.end(), 0);
    uint16_t length = 0;
    EXPECT_EQ(VEXO_STATUS_SUCCESS, VEXO_get_mailbox_cmd_size(kNicCallback, 32, 1, 100, 116, rec.data(), &length, 0x100,
                                                             0x200, VEXO_DRIVER_NIC));
    EXPECT_EQ(540, length);
    EXPECT_EQ("Orvane", std::string(reinterpret_cast<char *>(&rec[32])));
    std::vector<json> log = fw_log();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(0, log[1]["domain"]) << "domain and port are cut to 8 bits";
    EXPECT_EQ(0, log[1]["port"]);
}

TEST_F(Mailbox, FailingAnswersRefreshThePayloadOnlyWhereTheySay)
{
    plan_with_answer(32, 2, 0);
    MGMT_CONTROLLER_ATTRIBUTES rec;
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(VEXO_STATUS_INTERNAL_ERROR,
              VEXO_prepare_mailbox_cmd(kNicCallback, 32, 1, 540, 556, &rec, VEXO_DIR_READ, 0, 0, VEXO_DRIVER_NIC));
    EXPECT_STREQ("AW3T0001", rec.hba_attribs.controller_serial_number) << "copied back whatever the status";

    plan_with_answer(32, 2, 0);
    std::memset(&rec, 0, sizeof rec);
    uint16_t length = 7;
    EXPECT_EQ(VEXO_STATUS_INTERNAL_ERROR,
              VEXO_get_mailbox_cmd_size(kNicCallback, 32, 1, 540, 556, &rec, &length, 0, 0, VEXO_DRIVER_NIC));
    EXPECT_STREQ("", rec.hba_attribs.controller_serial_number) << "a size query copies only on status 0 or 4";
    EXPECT_EQ(7, length);

    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(VEXO_STATUS_SUCCESS,
              VEXO_prepare_mailbox_cmd(kNicCallback, 32, 1, 540, 556, &rec, VEXO_DIR_NONE, 0, 0, VEXO_DRIVER_NIC));
    EXPECT_STREQ("", rec.hba_attribs.controller_serial_number) << "direction 0 copies nothing back";
}

TEST_F(Mailbox, DhcpErrorIsSuccessWithALastStatus)
{
    plan_status(17, 1, 24);
    uint8_t rec[16] = {};
    EXPECT_EQ(VEXO_STATUS_SUCCESS,
              ioctl_config_dhcp(kIscsiCallback, reinterpret_cast<CONFIGURE_STATELESS_IP_ADDR_PARAMS_IN *>(rec), 0, 0));
    EXPECT_EQ(VEXO_STATUS_DHCP_ERROR, last_status().code);
}

TEST_F(Mailbox, PlannedStatusesReachTheWrappers)
{
    plan_status(1, 2, 75);
    plan_status(57, 3, 0);
    plan_status(69, 66, 103);
    NTWK_MAC_QUERY_PARAMS mac;
    std::memset(&mac, 0, sizeof mac);
    EXPECT_EQ(VEXO_STATUS_INVALID_OPCODE, ioctl_get_mac_query(kNicCallback, &mac, 0, 0, VEXO_DRIVER_NIC));
    uint8_t rec[8] = {};
    EXPECT_EQ(
        VEXO_STATUS_SET_PORTSPEED_NOT_SUPPORTED,
        ioctl_set_port_speed(kNicCallback, reinterpret_cast<SET_LINK_SPEED_PARAMS_V1 *>(rec), 0, 0, VEXO_DRIVER_NIC));
    EXPECT_EQ(VEXO_STATUS_BEACON_OPERATION_ALREADY_ACTIVE,
              ioctl_set_beacon_state(kNicCallback, reinterpret_cast<IOCTL_COMMON_ENABLE_DISABLE_BEACON_PARAMS *>(rec),
                                     0, 0, VEXO_DRIVER_NIC));
}

} // namespace
