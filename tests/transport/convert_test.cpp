// Converters and validators of the back end, as tables.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

std::string bytes_text(const uint8_t *b, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += (i ? "." : "") + std::to_string(b[i]);
    return s;
}

TEST(ValidateIPv4, Table)
{
    struct Row {
        const char *text;
        uint32_t type;
        uint32_t ok;
        const char *bytes; // when ok
    } rows[] = {
        {"192.168.1.10", 1, 1, "192.168.1.10"},
        {"0.0.0.0", 0, 0, nullptr},
        {"0.0.0.0", 1, 0, nullptr},
        {"0.0.0.0", 2, 0, nullptr},
        {"0.0.0.0", 3, 0, nullptr},
        {"0.0.0.0", 5, 0, nullptr},
        {"0.0.0.0", 4, 1, "0.0.0.0"},
        {"127.0.0.1", 1, 0, nullptr},
        {"255.255.255.255", 0, 1, "255.255.255.255"},
        {"255.255.255.255", 5, 1, "255.255.255.255"},
        {"255.255.255.255", 1, 0, nullptr},
        {"255.1.1.1", 1, 0, nullptr},
        {"10.1.1.0", 1, 1, "10.1.1.0"},
        {"10.1.1.0", 2, 0, nullptr},
        {"10.1.1.255", 2, 0, nullptr},
        {"230.1.1.1", 1, 1, "230.1.1.1"},
        {"230.1.1.1", 3, 0, nullptr},
        {"248.1.1.1", 3, 1, "248.1.1.1"},
        {"10.1.1.255", 3, 0, nullptr},
        {"0.0.1.2", 1, 0, nullptr},
        {"0.1.1.2", 1, 1, "0.1.1.2"},
        {"1.2.3", 1, 0, nullptr},
        {"1.2.3.4.", 1, 0, nullptr},
        {"1..2.3", 1, 0, nullptr},
        {"256.1.1.1", 1, 0, nullptr},
        {"1.2.3.4.5", 1, 0, nullptr},
        {"1a.2.3.4", 1, 0, nullptr},
        {"1.2.3.4 ", 1, 0, nullptr},
        {"192.168.100.2001", 1, 1, "192.168.100.200"}, // judged by its first 15 characters
        {".1.2.3", 1, 1, "0.1.2.3"},
        {"255.255.255.0", 5, 1, "255.255.255.0"},
        {"255.255.254.0", 5, 1, "255.255.254.0"},
        {"255.0.255.0", 5, 0, nullptr},
        {"255.255.253.0", 5, 0, nullptr},
        {"255.254.254.0", 5, 1, "255.254.254.0"},
        {"255.240.192.128", 5, 1, "255.240.192.128"},
        {"255.192.240.0", 5, 0, nullptr},
        {"1.2.3.4", 9, 1, "1.2.3.4"},
        {"", 4, 0, nullptr},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.text << " type " << r.type);
        uint8_t out[4] = {9, 9, 9, 9};
        EXPECT_EQ(r.ok, validateIPAddress(r.text, out, r.type));
        if (r.ok) {
            EXPECT_EQ(r.bytes, bytes_text(out, 4));
        }
    }
    uint8_t out[4];
    EXPECT_EQ(0u, validateIPAddress(nullptr, out, 1));
    // A long text is read no further than its first 15 characters.
    std::string long_text = "1.2.3.4" + std::string(5000, '9');
    EXPECT_EQ(0u, validateIPAddress(long_text.c_str(), out, 1));
}

TEST(ValidateMac, Table)
{
    struct Row {
        const char *text;
        uint32_t ok;
        const char *bytes;
    } rows[] = {
        {"00:11:22:33:44:55", 1, "0.17.34.51.68.85"},
        {"00-11-22-33-44-55", 1, "0.17.34.51.68.85"},
        {"0:1:2:3:4:5", 1, "0.1.2.3.4.5"},
        {"aa-BB:cc-dd:ee-ff", 1, "170.187.204.221.238.255"},
        {"00:11:22:33:44", 0, nullptr},
        {"00::11:22:33:44", 0, nullptr},
        {"001:22:33:44:55:66", 0, nullptr},
        {"0:1:2:3:4:5:6", 0, nullptr},
        {"00:11:22:33:44:55:", 1, "0.17.34.51.68.85"}, // the 18th character is not judged
        {":11:22:33:44:55", 1, "0.17.34.51.68.85"},
        {"00:11:22:33:44:5", 1, "0.17.34.51.68.5"},
        {"00:11:22:33:4 :55", 0, nullptr},
        {"00.11.22.33.44.55", 0, nullptr},
        {"00:11:22:33:44:zz", 0, nullptr}, // not hexadecimal: refused, not read as 0
        {"02:aa:bb:cc:5G:dd", 0, nullptr},
        {"", 0, nullptr},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        uint8_t out[6] = {};
        EXPECT_EQ(r.ok, validateMACAddress(r.text, out));
        if (r.ok) {
            EXPECT_EQ(r.bytes, bytes_text(out, 6));
        }
    }
    std::string long_text(4000, 'a');
    uint8_t out[6];
    EXPECT_EQ(0u, validateMACAddress(long_text.c_str(), out));
}

TEST(ValidateIPv6, Table)
{
    struct Row {
        const char *text;
        VEXO_status_t result;
        const char *full;
    } rows[] = {
        {"2001:db8::1", VEXO_STATUS_SUCCESS, "2001:0DB8:0000:0000:0000:0000:0000:0001"},
        {"1::", VEXO_STATUS_SUCCESS, "0001:0000:0000:0000:0000:0000:0000:0000"},
        {"1:2:3:4:5:6:7:8", VEXO_STATUS_SUCCESS, "0001:0002:0003:0004:0005:0006:0007:0008"},
        {"1:2:3:4:5:6:7:", VEXO_STATUS_SUCCESS, "0001:0002:0003:0004:0005:0006:0007:0000"},
        {"fe80::a:b", VEXO_STATUS_SUCCESS, "FE80:0000:0000:0000:0000:0000:000A:000B"},
        {"::1", VEXO_STATUS_INVALID_VALUE, nullptr},
        {"::", VEXO_STATUS_INVALID_VALUE, nullptr},
        {"1:2:3:4:5:6:7", VEXO_STATUS_INVALID_VALUE, nullptr},
        {"1::2::3", VEXO_STATUS_INVALID_VALUE, nullptr},
        {"12345::1", VEXO_STATUS_INVALID_VALUE, nullptr},
        {"1:2:3:4:5:6:7:12345", VEXO_STATUS_INVALID_VALUE, nullptr},
        {"1:2:3:4:5:6:7::", VEXO_STATUS_INVALID_VALUE, nullptr},
        {"1::2:3:4:5:6:7:8", VEXO_STATUS_INVALID_VALUE, nullptr},
        {"1:2:3:4:5:6:7:8:9", VEXO_STATUS_INVALID_VALUE, nullptr},
        {"2001:db8::g", VEXO_STATUS_INVALID_VALUE, nullptr},
        {"", VEXO_STATUS_INVALID_VALUE, nullptr},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        char buf[VEXO_IPV6_TEXT_SIZE] = {};
        std::strncpy(buf, r.text, sizeof buf - 1);
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        EXPECT_EQ(r.result, validateIPv6Address(buf));
        if (r.full) {
            EXPECT_STREQ(r.full, buf);
        }
        VEXO_status_t code;
        char text[VEXO_LAST_STATUS_SIZE];
        vexo_get_last_status(&code, text);
        EXPECT_EQ(VEXO_STATUS_SUCCESS, code) << "no last status";
    }
}

TEST(IPv6Bytes, FullFormToBytesAndBackToTheShortForm)
{
    struct Row {
        uint16_t groups[8];
        const char *shortform;
    } rows[] = {
        {{0x2001, 0x0DB8, 0, 0, 0, 0, 0, 1}, "2001:db8::1"},
        {{0, 0, 0, 0, 0, 0, 0, 0}, ""},
        {{0, 0, 0, 0, 0, 0, 0, 1}, "0::1"},
        {{1, 0, 2, 0, 0, 3, 0, 0}, "1::2:0:0:3:0:0"},
        {{1, 0, 0, 0, 0, 0, 0, 0}, "1::"},
        {{1, 2, 3, 4, 5, 6, 7, 0}, "1:2:3:4:5:6:7::"},
        {{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.shortform);
        char full[VEXO_IPV6_TEXT_SIZE];
        std::snprintf(full, sizeof full, "%04X:%04X:%04X:%04X:%04X:%04X:%04X:%04X", r.groups[0], r.groups[1],
                      r.groups[2], r.groups[3], r.groups[4], r.groups[5], r.groups[6], r.groups[7]);
        uint8_t bytes[16] = {};
        StrToU8IPv6(full, bytes);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(r.groups[i] >> 8, bytes[2 * i]);
            EXPECT_EQ(r.groups[i] & 0xFF, bytes[2 * i + 1]);
        }
        char text[VEXO_IPV6_TEXT_SIZE];
        std::memset(text, 'x', sizeof text);
        U8IPv6ToStr(bytes, text);
        EXPECT_STREQ(r.shortform, text);
    }
}

TEST(IPv6Bytes, EmptyAndOverlongTexts)
{
    char empty[8] = "";
    uint8_t bytes[17];
    std::memset(bytes, 0xEE, sizeof bytes);
    std::memset(bytes, 0, 16);
    StrToU8IPv6(empty, bytes);
    EXPECT_STREQ("0::", empty);
    EXPECT_EQ(0, bytes[0]);
    // More than 32 digits: the 16 bytes are filled and nothing beyond.
    char many[80];
    std::memset(many, 'A', 79);
    many[79] = '\0';
    StrToU8IPv6(many, bytes);
    EXPECT_EQ(0xAA, bytes[15]);
    EXPECT_EQ(0xEE, bytes[16]);
    // Lower-case digits are not digits of the full form.
    char lower[] = "ab:CD";
    std::memset(bytes, 0, 16);
    StrToU8IPv6(lower, bytes);
    EXPECT_EQ(0xCD, bytes[0]);
}

TEST(ValidateIscsiName, Table)
{
    struct Row {
        std::string name;
        VEXO_status_t result;
        std::string copy;
    } rows[] = {
        {"iqn.1986-03.com.example:Storage.Disk1", VEXO_STATUS_SUCCESS, "iqn.1986-03.com.example:storage.disk1"},
        {"eui.02004567A425678D", VEXO_STATUS_SUCCESS, "eui.02004567a425678d"},
        {"iqn.2001-04.com.example disk", VEXO_STATUS_FAILURE, ""},
        {"iqn.2001-04.com.example_disk", VEXO_STATUS_FAILURE, ""},
        {"", VEXO_STATUS_FAILURE, ""},
        {std::string(224, 'a'), VEXO_STATUS_SUCCESS, std::string(223, 'a')},
        {std::string(225, 'a'), VEXO_STATUS_FAILURE, ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name.size() > 40 ? std::to_string(r.name.size()) + " characters" : r.name);
        char out[VEXO_ISCSI_NAME_SIZE + 8];
        std::memset(out, 'z', sizeof out);
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        EXPECT_EQ(r.result, validateISCSIName(r.name.c_str(), out));
        VEXO_status_t code;
        char text[VEXO_LAST_STATUS_SIZE];
        vexo_get_last_status(&code, text);
        if (r.result == VEXO_STATUS_SUCCESS) {
            EXPECT_EQ(r.copy, std::string(out));
            EXPECT_EQ('z', out[VEXO_ISCSI_NAME_SIZE]) << "the copy stays inside its 224 bytes";
            EXPECT_EQ(VEXO_STATUS_SUCCESS, code);
        } else {
            EXPECT_EQ(VEXO_STATUS_INVALID_ISCSI_NAME, code);
            EXPECT_STREQ("Invalid iSCSI name. Please use valid iSCSI name as per RFC 3722.", text);
        }
    }
    char out[VEXO_ISCSI_NAME_SIZE];
    EXPECT_EQ(VEXO_STATUS_FAILURE, validateISCSIName(nullptr, out));
}

TEST(TextFields, ParseFileKeepsEmptyFieldsVexoParseSkipsThem)
{
    struct Row {
        const char *text;
        int column;
        const char *file;  // parse_file, null = no field
        const char *parse; // vexo_parse
    } rows[] = {
        {"a,,b", 2, "", "b"},         {"a,,b", 3, "b", nullptr},
        {"a,b\n", 2, "b", "b"},       {"abc", 1, nullptr, nullptr}, // no delimiter at all
        {"a,b", 3, nullptr, nullptr}, {",a", 1, "", ""},
        {"x,y,", 3, "", nullptr},     {"a;b,c", 2, "b", "b"},
        {"a,b", 0, nullptr, nullptr},
    };
    int start = vexo_counter;
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.text << " column " << r.column);
        char *f = parse_file(r.text, r.column, ",;");
        char *p = vexo_parse(r.text, r.column, ",;");
        if (r.file) {
            ASSERT_NE(nullptr, f);
            EXPECT_STREQ(r.file, f);
        } else {
            EXPECT_EQ(nullptr, f);
        }
        if (r.parse) {
            ASSERT_NE(nullptr, p);
            EXPECT_STREQ(r.parse, p);
        } else {
            EXPECT_EQ(nullptr, p);
        }
        vexo_dfree(f);
        vexo_dfree(p);
    }
    EXPECT_EQ(start, vexo_counter) << "every copy is counted and released";
    EXPECT_EQ(nullptr, parse_file(nullptr, 1, ","));
}

TEST(TextFields, SplitCountFieldAndHex)
{
    char text[] = "a,b;c";
    EXPECT_EQ(2, backend_split(text, ",;"));
    EXPECT_STREQ("a", text);
    EXPECT_EQ(0, backend_split(nullptr, ","));

    EXPECT_EQ(2, word_count("a--b--c", "--"));
    EXPECT_EQ(1, word_count("aaa", "aa"));
    EXPECT_EQ(0, word_count(nullptr, "a"));

    char out[4];
    EXPECT_EQ(1, get_field(",x", ',', out, sizeof out));
    EXPECT_EQ(0, get_field("ab,c", ',', out, sizeof out));
    EXPECT_STREQ("ab", out);
    EXPECT_EQ(0, get_field("abcdef", ',', out, sizeof out));
    EXPECT_STREQ("abc", out) << "a long field is cut inside the output";

    EXPECT_EQ(1, is_hex("09afAF", 6));
    EXPECT_EQ(0, is_hex("09ag", 4));
    EXPECT_EQ(1, is_hex("zz", 0));
    EXPECT_EQ(1, is_hex("zz", -1));

    uint8_t bin[4] = {};
    EXPECT_EQ(0, convert_hex_to_bin("0aFfG11Gx", 9, bin));
    EXPECT_EQ(0x0A, bin[0]);
    EXPECT_EQ(0xFF, bin[1]);
    EXPECT_EQ(0, bin[2]) << "G1 reads as 0";
    EXPECT_EQ(1, bin[3]) << "1G reads as 1";
    EXPECT_EQ(-1, convert_hex_to_bin(nullptr, 2, bin));

    char digits[] = "1aZ";
    EXPECT_EQ(0x1Au, convert(digits, 16));
    EXPECT_EQ(1, digits[0]) << "read characters become their digit values";
    EXPECT_EQ(10, digits[1]);
    EXPECT_EQ('Z', digits[2]);
    char dec[] = "129a";
    EXPECT_EQ(129u, convert(dec, 10));

    char mac[18];
    EXPECT_EQ(VEXO_STATUS_SUCCESS, VEXO_convert_mac_addr("00:11:22:33:44:55", ':', mac, '-'));
    EXPECT_STREQ("00-11-22-33-44-55", mac);
    EXPECT_EQ(VEXO_STATUS_FAILURE, VEXO_convert_mac_addr(nullptr, ':', mac, '-'));
}

TEST(Numbers, ShiftsAndAddressCopies)
{
    EXPECT_EQ(0x0Fu, ULShr(0xF0, 4));
    EXPECT_EQ(0u, ULShr(0xFFFFFFFFu, 32));
    EXPECT_EQ(0u, ULShr(0xFFFFFFFFu, 100));
    EXPECT_EQ(0x80000000u, ULShl(1, 31));
    EXPECT_EQ(0u, ULShl(1, 32));
    uint8_t a[16], b[16];
    for (int i = 0; i < 16; ++i)
        a[i] = static_cast<uint8_t>(200 + i);
    copy_U8IP(b, a);
    EXPECT_EQ(0, std::memcmp(a, b, 16));
    uint32_t w[16] = {};
    copy_U32IP(w, a);
    EXPECT_EQ(215u, w[15]);
}

} // namespace
