// The adapter information call: the host-owned records it fills and the work
// it does once the adapter table stands. The records are the host's layout:
// packed, little-endian, contiguous in the host's array.
#ifndef HLVD_FLASH_ADAPTER_INFO_H
#define HLVD_FLASH_ADAPTER_INFO_H

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
// One firmware item of a listed adapter function.
struct ven_firmware_item {
    char name[1280];           // not written
    uint32_t activeMajor;
    uint32_t activeMinor;
    uint32_t activeRelease;
    uint32_t imageMajor;       // written only when an image matches
    uint32_t imageMinor;
    uint32_t imageRelease;
    uint32_t reserved;         // not written
};

// One adapter function as oem_get_adapter_info lists it.
struct ven_adapter_info {
    char productText[1280];
    uint32_t vendorId;
    uint32_t deviceId;
    uint32_t subVendorId;
    uint32_t subDeviceId;
    uint32_t pciSegment;
    uint32_t pciBus;
    uint32_t pciDevice;
    uint32_t pciFunction;
    char slotText[16];
    char macAddressText[20];
    uint32_t itemCount;          // raised by one per item written
    ven_firmware_item items[20]; // 0 firmware, 1 boot code
    uint32_t reserved;           // not written
};
#pragma pack(pop)

static_assert(sizeof(ven_firmware_item) == 1308, "ven_firmware_item layout");
static_assert(offsetof(ven_firmware_item, activeMajor) == 1280, "ven_firmware_item layout");
static_assert(offsetof(ven_firmware_item, imageMajor) == 1292, "ven_firmware_item layout");
static_assert(offsetof(ven_firmware_item, reserved) == 1304, "ven_firmware_item layout");
static_assert(sizeof(ven_adapter_info) == 27516, "ven_adapter_info layout");
static_assert(offsetof(ven_adapter_info, vendorId) == 1280, "ven_adapter_info layout");
static_assert(offsetof(ven_adapter_info, subDeviceId) == 1292, "ven_adapter_info layout");
static_assert(offsetof(ven_adapter_info, pciSegment) == 1296, "ven_adapter_info layout");
static_assert(offsetof(ven_adapter_info, pciFunction) == 1308, "ven_adapter_info layout");
static_assert(offsetof(ven_adapter_info, slotText) == 1312, "ven_adapter_info layout");
static_assert(offsetof(ven_adapter_info, macAddressText) == 1328, "ven_adapter_info layout");
static_assert(offsetof(ven_adapter_info, itemCount) == 1348, "ven_adapter_info layout");
static_assert(offsetof(ven_adapter_info, items) == 1352, "ven_adapter_info layout");
static_assert(offsetof(ven_adapter_info, reserved) == 27512, "ven_adapter_info layout");

// The longest image directory path the call takes; a longer one is refused.
const size_t ADAPTER_INFO_PATH_MAX = 255;

// The work of oem_get_adapter_info once its arguments are checked and the
// adapter table is built, under the library mutex: reads the image
// directory, selects the functions to list (one per converged or Varrow FC
// adapter, every other FC function) and counts them into *nEntries (null
// `info`) or fills `info`. A fill writes no more records than the last count
// of this process reported, and never touches *nEntries. Exported codes 0,
// 4, 8 or 10001.
int ListAdapterInfo(ven_adapter_info *info, int *nEntries, const char *firmware_file_path);

#endif
