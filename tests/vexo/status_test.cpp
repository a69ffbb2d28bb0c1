// Status codes, their fixed messages and the last status.
#include <cstdint>
#include <string>
#include <type_traits>

#include <gtest/gtest.h>

#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"

static_assert(std::is_same<std::underlying_type<VEXO_status_t>::type, int32_t>::value,
              "management status is a 32-bit code space of its own");
static_assert(VEXO_STATUS_CORE_LAST_ERROR == 15 && VEXO_STATUS_BACKEND_LAST_ERROR == 54 &&
                  MGMT_STATUS_FAILED_GET_PCIE == 199 && VEXO_STATUS_CANNOT_CONF_BOOT_LUN == 347 &&
                  VEXO_STATUS_MAX_ERROR_CODE_VALUE == 348,
              "code numbers");

namespace {

bool reserved(int code)
{
    return (code >= 178 && code <= 183) || code == 189 || code == 190 || code == 238;
}

TEST(VexoStatus, CoreMessagesAreExact)
{
    const char *const expected[] = {
        "Success",
        "Failed",
        "Version mismatch",
        "Not Implemented",
        "Resource Busy",
        "Unknown Error",
        "Invalid Value",
        "Value out of range",
        "Invalid number of characters",
        "Parameter Missing",
        "Read only property",
        "Array length small",
        "Hierarchy Not initialised",
        "The IPAddress for the \"lo\" interface should be \"127.0.0.1\" for VEXO daemon to start.",
        "Failed to execute command because adapter is in busy state.",
        "Last Error",
    };
    for (int code = 0; code < 16; ++code) {
        EXPECT_STREQ(expected[code], vexo_error_strings[code]) << code;
        EXPECT_STREQ(expected[code], vexo_status_message(code)) << code;
    }
}

TEST(VexoStatus, BackEndMessagesKeepTheirWording)
{
    struct Case {
        int code;
        const char *text;
    } cases[] = {
        {16, "Memory allocation failed. Please check for low memory conditions."},
        {54, "Backend last Error"},
        {55, "Arcwright firmware has been updated. Please reboot your system for the changes to take effect."},
        {102, "Cannot set DCBX properites. Application internal error occurred. Please check vexo2d.log file for "
              "more information."},
        {199, "Failed to get PCI properties. Please check vexo2d.log file for more information."},
        {262, "The image is incompatibale for the controller."},
        {271, "No data avaialable to read."},
        {313, "Stratolink Adapter Not found. Please make sure Orvane NIC/iSCSI drivers are installed properly or "
              "Stratolink adapter inserted on PCIe Slot."},
        {316, "Failed to SetMaxFunctionNumber. Because this comamnd is not supported on this adapter."},
        {324, "Loopback test is not supported on specific adapter"},
        {348, "Error"},
    };
    for (const Case &c : cases) {
        EXPECT_STREQ(c.text, vexo_backend_error_strings[c.code - 16]) << c.code;
        EXPECT_STREQ(c.text, vexo_status_message(c.code)) << c.code;
    }

    // The whole table, every byte: FNV-1a over each code's message and a line
    // end, reserved codes counting as empty.
    uint32_t h = 0x811c9dc5u;
    for (int code = 0; code <= 348; ++code) {
        std::string text = reserved(code) ? "" : vexo_status_message(code);
        if (!reserved(code)) {
            EXPECT_FALSE(text.empty()) << code;
        }
        text += '\n';
        for (unsigned char b : text) {
            h ^= b;
            h *= 0x01000193u;
        }
    }
    EXPECT_EQ(0x0f5eed30u, h);
}

TEST(VexoStatus, ReservedAndUnknownCodesHaveAGenericMessage)
{
    for (int code : {178, 183, 189, 190, 238, -1, 349, 100000})
        EXPECT_STREQ("Unknown Error", vexo_status_message(code)) << code;
}

TEST(VexoStatus, LastStatusIsStoredAndClamped)
{
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[VEXO_LAST_STATUS_SIZE];

    vexo_set_last_status(VEXO_STATUS_VALUE_OUT_OF_RANGE, "Value out of range");
    EXPECT_EQ(0, VEXO_get_last_status(&code, text));
    EXPECT_EQ(VEXO_STATUS_VALUE_OUT_OF_RANGE, code);
    EXPECT_STREQ("Value out of range", text);

    // Any code may be stored with any text; a long text is cut to 599.
    std::string long_text(700, 'x');
    long_text[598] = 'y';
    vexo_set_last_status(static_cast<VEXO_status_t>(5000), long_text.c_str());
    VEXO_get_last_status(&code, text);
    EXPECT_EQ(5000, code);
    EXPECT_EQ(599u, std::string(text).size());
    EXPECT_EQ('y', text[598]);

    vexo_set_last_status(VEXO_STATUS_FAILURE, nullptr);
    VEXO_get_last_status(&code, text);
    EXPECT_EQ(VEXO_STATUS_FAILURE, code);
    EXPECT_STREQ("", text);

    vexo_set_fixed_status(VEXO_STATUS_ADAPTER_BUSY);
    VEXO_get_last_status(&code, text);
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, code);
    EXPECT_STREQ("Failed to execute command because adapter is in busy state.", text);

    // Reading does not reset it.
    VEXO_get_last_status(&code, text);
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, code);
}

} // namespace
