// Validation of values against their definitions.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "mgmt/vexo/core/hm_types.h"
#include "mgmt/vexo/core/validate.h"

namespace {

struct Case {
    int datatype;
    const char *list;
    int min;
    int max;
    const char *value;
    VEXO_status_t expect;
    const char *after; // value afterwards when it is accepted; null: unchanged
};

const Case kCases[] = {
    // IPv6, rewritten to eight groups of four upper-case digits.
    {VEXO_TYPE_IP, "", 0, 0, "fe80::1", VEXO_STATUS_SUCCESS, "FE80:0000:0000:0000:0000:0000:0000:0001"},
    {VEXO_TYPE_IP, "", 0, 0, "1:2:3:4:5:6:7:8", VEXO_STATUS_SUCCESS, "0001:0002:0003:0004:0005:0006:0007:0008"},
    {VEXO_TYPE_IP, "", 0, 0, "FE80::", VEXO_STATUS_SUCCESS, "FE80:0000:0000:0000:0000:0000:0000:0000"},
    {VEXO_TYPE_IP, "", 0, 0, "1:2:3:4:5:6:7:", VEXO_STATUS_SUCCESS, "0001:0002:0003:0004:0005:0006:0007:0000"},
    {VEXO_TYPE_IP, "", 0, 0, "2001:db8::ab:1", VEXO_STATUS_SUCCESS, "2001:0DB8:0000:0000:0000:0000:00AB:0001"},
    {VEXO_TYPE_IP, "", 0, 0, "abcd:ef01:2345:6789:abcd:ef01:2345:6789", VEXO_STATUS_SUCCESS,
     "ABCD:EF01:2345:6789:ABCD:EF01:2345:6789"},
    {VEXO_TYPE_IP, "", 0, 0, "::1", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "1::2::3", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "1:::2", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "12345::1", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "1::12345", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "1:2:3", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "1::2:3:4:5:6:7:8", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "1:2:3:4:5:6:7:8:9", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "1:2:3:4:5:6:7::", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "g::1", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "1: :2", VEXO_STATUS_INVALID_VALUE, nullptr},
    // IPv4 is checked, not changed.
    {VEXO_TYPE_IP, "", 0, 0, "192.168.1.10", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "10..1.1", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "0.0.0.0", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "127.0.0.1", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "255.1.1.1", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "255.255.255.255", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "1.2.3", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "1.2.3.4.", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "256.1.1.1", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "1.2.3.-4", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "192.168.100.2001", VEXO_STATUS_INVALID_VALUE, nullptr}, // 16 characters
    {VEXO_TYPE_IP, "", 0, 0, "1:", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_IP, "", 0, 0, "", VEXO_STATUS_INVALID_VALUE, nullptr},
    // Subnet masks.
    {VEXO_TYPE_SUBNETMASK, "", 0, 0, "255.255.255.0", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_SUBNETMASK, "", 0, 0, "128.0.0.0", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_SUBNETMASK, "", 0, 0, "255.255.255.255", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_SUBNETMASK, "", 0, 0, "255.255.254.0", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_SUBNETMASK, "", 0, 0, "255.0.255.0", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_SUBNETMASK, "", 0, 0, "255.254.254.0", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_SUBNETMASK, "", 0, 0, "0.0.0.0", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_SUBNETMASK, "", 0, 0, "255.255.255", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_SUBNETMASK, "", 0, 0, "255.255.255.0.0", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_SUBNETMASK, "", 0, 0, "256.0.0.0", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_SUBNETMASK, "", 0, 0, "255.255.255.0000", VEXO_STATUS_INVALID_VALUE, nullptr}, // 16 characters
    {VEXO_TYPE_SUBNETMASK, "", 0, 0, "99999999999.0.0", VEXO_STATUS_INVALID_VALUE, nullptr},
    // Integers in bases 10, 16 and 8.
    {VEXO_TYPE_INTEGER, "", 0, 100, "0x10", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 100, "010", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 100, "0", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 100, "100", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 100, " 7", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 100, "101", VEXO_STATUS_VALUE_OUT_OF_RANGE, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 100, "-1", VEXO_STATUS_VALUE_OUT_OF_RANGE, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 100, "0x65", VEXO_STATUS_VALUE_OUT_OF_RANGE, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 100, "12a", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 100, "7 ", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 100, "08", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 100, "abc", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 100, "", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 100, "4294967296", VEXO_STATUS_VALUE_OUT_OF_RANGE, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 2147483647, "2147483647", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_INTEGER, "", 0, 2147483647, "2147483648", VEXO_STATUS_VALUE_OUT_OF_RANGE, nullptr},
    {VEXO_TYPE_INTEGER, "", -2147483647 - 1, 0, "-2147483648", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_INTEGER, "", -2147483647 - 1, 0, "-99999999999999999999", VEXO_STATUS_VALUE_OUT_OF_RANGE, nullptr},
    // Strings by length.
    {VEXO_TYPE_STRING, "", 3, 255, "ab", VEXO_STATUS_INVALID_SIZE, nullptr},
    {VEXO_TYPE_STRING, "", 3, 255, "abc", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_STRING, "", 0, 4, "", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_STRING, "", 0, 4, "abcde", VEXO_STATUS_INVALID_SIZE, nullptr},
    // Lists, compared whole and ignoring case.
    {VEXO_TYPE_LIST, "Enabled,Disabled", 0, 0, "enabled", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_LIST, "Enabled,Disabled", 0, 0, "DISABLED", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_LIST, "Enabled,Disabled", 0, 0, "Enable", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_LIST, "Enabled,Disabled", 0, 0, "Enabled,Disabled", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_LIST, "Yes, No", 0, 0, "No", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_LIST, "Yes, No", 0, 0, " no", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_LIST, "", 0, 0, "", VEXO_STATUS_SUCCESS, nullptr},
    {VEXO_TYPE_LIST, "", 0, 0, "x", VEXO_STATUS_INVALID_VALUE, nullptr},
    {VEXO_TYPE_LIST, "a,,b", 0, 0, "", VEXO_STATUS_SUCCESS, nullptr},
    // Unknown datatypes are not checked.
    {9, "", 0, 0, "anything at all", VEXO_STATUS_SUCCESS, nullptr},
    {-3, "", 0, 0, "", VEXO_STATUS_SUCCESS, nullptr},
};

TEST(VexoValidate, AcceptAndRefuseTable)
{
    for (const Case &c : kCases) {
        char value[VEXO_VALUE_SIZE];
        std::snprintf(value, sizeof value, "%s", c.value);
        EXPECT_EQ(c.expect, vexo_validate(value, c.list, c.datatype, c.min, c.max))
            << "type " << c.datatype << " value '" << c.value << "'";
        if (c.expect == VEXO_STATUS_SUCCESS) {
            EXPECT_STREQ(c.after ? c.after : c.value, value) << c.value;
        }
    }
}

TEST(VexoValidate, LongInputsStayInsideTheirBuffer)
{
    // Long texts of every kind are refused without reading or writing past
    // the value's buffer.
    char value[VEXO_VALUE_SIZE];
    std::memset(value, '1', sizeof value - 1);
    value[sizeof value - 1] = '\0';
    EXPECT_EQ(VEXO_STATUS_VALUE_OUT_OF_RANGE, vexo_validate(value, "", VEXO_TYPE_INTEGER, 0, 10));
    EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, vexo_validate(value, "", VEXO_TYPE_IP, 0, 0));
    EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, vexo_validate(value, "", VEXO_TYPE_SUBNETMASK, 0, 0));
    for (size_t i = 1; i < sizeof value - 1; i += 2)
        value[i] = ':';
    EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, vexo_validate(value, "", VEXO_TYPE_IP, 0, 0));
    EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, vexo_validate_ipv6(value));
}

} // namespace
