// The typed property readers on a group holding values of every shape.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_readers.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mal_tree.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace maltest;

namespace {

class MalReaders : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(1, VEXO_init());
        adapter_ = build_adapter();
        ASSERT_TRUE(adapter_);
        values_ = internal_get_node(adapter_, "Values", VEXO_NODE_GROUP);
        ASSERT_TRUE(values_);
        g_ = values_->node_tag;
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter);
    }
    void set(const char *name, const char *value) { set_value(values_, name, value); }

    SimHost host_{kNoAdapterMachine};
    int start_ = 0;
    node *adapter_ = nullptr;
    node *values_ = nullptr;
    node_tag_t g_ = -1;
};

TEST_F(MalReaders, BoolNeverReportsAFailure)
{
    struct Case {
        const char *text;
        int32_t expected;
    } cases[] = {{"Enabled", 1}, {"DISABLED", 0}, {"CEE", 1}, {"CIN", 0}, {"Auto", 2}, {"yes", 1},
                 {"No", 0},      {"true", 1},     {"False", 0}, {"", 2}};
    for (const Case &c : cases) {
        set("Flag", c.text);
        int32_t flag = 77;
        MAL_PropertyDesc table[] = {{"Flag", &flag, 0}};
        EXPECT_EQ(RM_STATUS_OK, MAL_GetBoolProperties(g_, 1, table)) << c.text;
        EXPECT_EQ(c.expected, flag) << c.text;
    }
    int32_t missing = 0;
    int32_t flag = 0;
    MAL_PropertyDesc table[] = {{"Missing", &missing, 0}, {"Flag", &flag, 0}};
    set("Flag", "Enabled");
    EXPECT_EQ(RM_STATUS_OK, MAL_GetBoolProperties(g_, 2, table));
    EXPECT_EQ(2, missing);
    EXPECT_EQ(1, flag);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetBoolProperties(g_, 0, nullptr));
}

TEST_F(MalReaders, NumbersAndTheirFailureValues)
{
    int32_t eto = 0, deto = 0, port = 5, missing = 9, count = 0;
    MAL_PropertyDesc ints[] = {{"ETO", &eto, 0},         {"Missing", &missing, 0}, {"DefaultETO", &deto, 0},
                               {"PortNumber", &port, 0}, {"Count", &count, 0}};
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetIntProperties(g_, 5, ints));
    EXPECT_EQ(268435455, eto);
    EXPECT_EQ(268435455, deto);
    EXPECT_EQ(0, port);
    EXPECT_EQ(0, missing);
    EXPECT_EQ(42, count); // read after the failing entry

    struct Case {
        const char *text;
        int32_t expected;
    } cases[] = {{"-12abc", -12}, {"  7", 7}, {"abc", 0}, {"99999999999", INT32_MAX}, {"N/", 0}};
    for (const Case &c : cases) {
        set("Count", c.text);
        MAL_PropertyDesc t[] = {{"Count", &count, 0}};
        EXPECT_EQ(RM_STATUS_OK, MAL_GetIntProperties(g_, 1, t)) << c.text;
        EXPECT_EQ(c.expected, count) << c.text;
    }

    int64_t big = 0, eto64 = 0;
    MAL_PropertyDesc int64s[] = {{"Big", &big, 0}, {"ETO", &eto64, 0}};
    EXPECT_EQ(RM_STATUS_OK, MAL_GetInt64Properties(g_, 2, int64s));
    EXPECT_EQ(123456789012LL, big);
    EXPECT_EQ(0x0FFFFFFF, eto64);

    uint32_t word = 0, na = 77, gone = 5;
    MAL_PropertyDesc hex[] = {{"Word", &word, 0}, {"ETO", &na, 0}, {"Gone", &gone, 0}};
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetHexProperties(g_, 3, hex));
    EXPECT_EQ(0x1fu, word);
    EXPECT_EQ(77u, na); // "N/A" is no number: the caller's value stays
    EXPECT_EQ(0u, gone);
    set("Word", "1F");
    EXPECT_EQ(RM_STATUS_OK, MAL_GetHexProperties(g_, 1, hex));
    EXPECT_EQ(0x1fu, word);

    uint64_t wide = 0;
    MAL_PropertyDesc hex64[] = {{"Wide", &wide, 0}};
    EXPECT_EQ(RM_STATUS_OK, MAL_GetHex64Properties(g_, 1, hex64));
    EXPECT_EQ(0x123456789abcdef0ULL, wide);
}

TEST_F(MalReaders, Addresses)
{
    struct Case {
        const char *text;
        uint8_t expected[4];
    } cases[] = {
        {"192.168.1.7", {192, 168, 1, 7}}, {"n/a", {0, 0, 0, 0}},       {"N/A", {0, 0, 0, 0}},
        {"10.0.0", {0, 0, 0, 0}},          {"10.0.0.1.5", {10, 0, 0, 1}}, {"300.1.1.1", {44, 1, 1, 1}},
        {"", {0, 0, 0, 0}},                {"x1.2.3.4", {0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        set("Address", c.text);
        uint8_t ip[4] = {9, 9, 9, 9};
        MAL_PropertyDesc t[] = {{"Address", ip, 0}};
        EXPECT_EQ(RM_STATUS_OK, MAL_GetIpAddrProperties(g_, 1, t)) << c.text;
        EXPECT_EQ(0, std::memcmp(c.expected, ip, 4)) << c.text;
    }
    uint8_t ip[4] = {9, 9, 9, 9};
    MAL_PropertyDesc missing[] = {{"Missing", ip, 0}};
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetIpAddrProperties(g_, 1, missing));
    EXPECT_EQ(0, ip[0] | ip[1] | ip[2] | ip[3]);

    MAL_IPv6Address v6;
    std::memset(&v6, 0xEE, sizeof v6);
    MAL_PropertyDesc t6[] = {{"Address6", &v6, 0}};
    EXPECT_EQ(RM_STATUS_OK, MAL_GetIpV6AddrProperties(g_, 1, t6));
    EXPECT_STREQ("fe80::1%vmk1", v6.text);
    EXPECT_EQ(0xfe, v6.address[0]);
    EXPECT_EQ(0x01, v6.address[15]);
    set("Address6", "::");
    EXPECT_EQ(RM_STATUS_OK, MAL_GetIpV6AddrProperties(g_, 1, t6));
    EXPECT_STREQ("Not Available", v6.text);
    std::memset(&v6, 0xEE, sizeof v6);
    MAL_PropertyDesc m6[] = {{"Missing", &v6, 0}};
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetIpV6AddrProperties(g_, 1, m6));
    EXPECT_STREQ("Not Available", v6.text);
    EXPECT_EQ(0xEE, v6.address[0]); // left as it was
}

TEST_F(MalReaders, MacAddresses)
{
    uint8_t mac[6] = {}, perm[6] = {};
    MAL_PropertyDesc both[] = {{"MACAddress", mac, 0}, {"PermanentMACAddress", perm, 0}};
    EXPECT_EQ(RM_STATUS_OK, MAL_GetMacAddrProperties(g_, 2, both));
    const uint8_t want_mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    const uint8_t want_perm[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x66};
    EXPECT_EQ(0, std::memcmp(want_mac, mac, 6));
    EXPECT_EQ(0, std::memcmp(want_perm, perm, 6));

    // A text of three parts stops the reader with 1; later entries stay.
    set("MACAddress", "aa-bb-cc");
    std::memset(perm, 0x77, sizeof perm);
    EXPECT_EQ(RM_STATUS_ERROR, MAL_GetMacAddrProperties(g_, 2, both));
    EXPECT_EQ(0xaa, mac[0]);
    EXPECT_EQ(0xcc, mac[2]);
    EXPECT_EQ(0x77, perm[0]);

    // The current address may fail silently; another address may not.
    remove_child(values_, "MACAddress");
    std::memset(mac, 0x77, sizeof mac);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetMacAddrProperties(g_, 1, both));
    EXPECT_EQ(0, mac[0] | mac[1] | mac[2] | mac[3] | mac[4] | mac[5]);
    remove_child(values_, "PermanentMACAddress");
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetMacAddrProperties(g_, 2, both));
}

TEST_F(MalReaders, TextsAndTheirFailureTexts)
{
    char desc[64] = "x", link[32] = "x", speed[32] = "x", gone[32] = "x", port[32] = "x", tiny[8] = "x";
    MAL_PropertyDesc ok[] = {{"Description", desc, sizeof desc}, {"LogicalLinkStatus", link, sizeof link}};
    EXPECT_EQ(RM_STATUS_OK, MAL_GetStringProperties(g_, 2, ok));
    EXPECT_STREQ("a description", desc);
    EXPECT_STREQ("Up", link);

    remove_child(values_, "Description");
    remove_child(values_, "LogicalLinkStatus");
    remove_child(values_, "PortSpeed");
    MAL_PropertyDesc failing[] = {{"LogicalLinkStatus", link, sizeof link},
                                  {"PortSpeed", speed, sizeof speed},
                                  {"Port", port, sizeof port}, // a leading part of PortSpeed
                                  {"Gone", gone, sizeof gone}};
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetStringProperties(g_, 4, failing));
    EXPECT_STREQ("n/a", link);
    EXPECT_STREQ("Not Available", speed);
    EXPECT_STREQ("Not Available", port);
    EXPECT_STREQ("", gone);
    // Only the texts of the failing names of the first three count: none.
    EXPECT_EQ(RM_STATUS_OK, MAL_GetStringProperties(g_, 3, failing));
    MAL_PropertyDesc d[] = {{"Description", desc, sizeof desc}};
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetStringProperties(g_, 1, d));
    EXPECT_STREQ("", desc);

    // A value longer than its field is cut to the field, never beyond.
    set("Flag", "0123456789abcdef");
    MAL_PropertyDesc small[] = {{"Flag", tiny, sizeof tiny}};
    EXPECT_EQ(RM_STATUS_OK, MAL_GetStringProperties(g_, 1, small));
    EXPECT_STREQ("0123456", tiny);
    MAL_PropertyDesc no_width[] = {{"Flag", tiny, 0}};
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_GetStringProperties(g_, 1, no_width));
}

TEST_F(MalReaders, BusyStopsEveryReaderButTheMacReader)
{
    set_value(adapter_, "SerialNumber", "BUSY1");
    LockHolder other("BUSY1");
    ASSERT_TRUE(other.holding());

    int32_t flag = 7, flag2 = 7, count = 7;
    MAL_PropertyDesc bools[] = {{"Flag", &flag, 0}, {"Flag", &flag2, 0}};
    EXPECT_EQ(RM_STATUS_ERROR_ADAPTER_BUSY, MAL_GetBoolProperties(g_, 2, bools));
    EXPECT_EQ(2, flag);
    EXPECT_EQ(7, flag2);
    MAL_PropertyDesc ints[] = {{"Count", &count, 0}};
    EXPECT_EQ(RM_STATUS_ERROR_ADAPTER_BUSY, MAL_GetIntProperties(g_, 1, ints));
    EXPECT_EQ(7, count);
    char text[32] = "kept";
    MAL_PropertyDesc texts[] = {{"Description", text, sizeof text}};
    EXPECT_EQ(RM_STATUS_ERROR_ADAPTER_BUSY, MAL_GetStringProperties(g_, 1, texts));
    EXPECT_STREQ("kept", text);
    uint32_t word = 7;
    MAL_PropertyDesc hex[] = {{"Word", &word, 0}};
    EXPECT_EQ(RM_STATUS_ERROR_ADAPTER_BUSY, MAL_GetHexProperties(g_, 1, hex));
    EXPECT_EQ(7u, word);

    uint8_t mac[6], perm[6];
    std::memset(mac, 0x77, 6);
    std::memset(perm, 0x77, 6);
    MAL_PropertyDesc macs[] = {{"MACAddress", mac, 0}, {"PermanentMACAddress", perm, 0}};
    EXPECT_EQ(RM_STATUS_ERROR_ADAPTER_BUSY, MAL_GetMacAddrProperties(g_, 2, macs));
    EXPECT_EQ(0, mac[0]);
    EXPECT_EQ(0, perm[0]);
}

} // namespace
