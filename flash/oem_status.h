// The exported status codes: the one code space of the library towards the
// host, with the texts oem_text_for_error_code gives for them.
#ifndef HLVD_FLASH_OEM_STATUS_H
#define HLVD_FLASH_OEM_STATUS_H

#include <cstdint>

enum OEM_STATUS : int32_t {
    OEM_SUCCESS = 0,
    OEM_REBOOT_REQUIRED = 1,
    OEM_SAME_VERSION = 2,
    OEM_NOT_ATTEMPTED = 3,
    OEM_HARDWARE_NOT_ACCESSIBLE = 4,
    OEM_CANCELED = 5,
    OEM_UNMET_DEPENDENCY = 6,
    OEM_OPERATION_FAILED = 7,
    OEM_FIRMWARE_NOT_FOUND = 8,
    OEM_FIRMWARE_NOT_ACCESSIBLE = 9,
    OEM_DISCOVERY_FILE_NOT_FOUND = 10,
    OEM_DISCOVERY_FILE_NOT_ACCESSIBLE = 11,
    OEM_DISCOVERY_FILE_NOT_CREATED = 12,
    OEM_INVALID_ARGUMENTS = 10000,
    OEM_NO_MEMORY = 10001,
    OEM_FC_LIBRARY_INIT_FAILED = 10002,
    OEM_FC_PCI_READ_FAILED = 10003,
    OEM_NO_ADAPTERS = 10004,
    OEM_FC_DRIVER_NOT_INITIALIZED = 10005,
    OEM_KPL_NOT_FOUND = 10006,
    OEM_INVALID_FIRMWARE_IMAGE = 10007,
    OEM_ADAPTER_NOT_FOUND = 10008,
    OEM_FIRMWARE_TYPE_MISMATCH = 10009,
    OEM_DISCOVERY_FILE_CORRUPT = 10010,
    OEM_UNKNOWN_ERROR = 10011,
    OEM_DOWNLOAD_FAILED = 10012,
    OEM_RESET_FAILED = 10013,
    OEM_INTERMEDIATE_REBOOT_REQUIRED = 10014,
    // Returned by the flash calls, without a text of their own.
    OEM_SIGNATURE_MISSING = 10015,
    OEM_SIGNATURE_INVALID = 10016,
};

struct ErrorMessage {
    int32_t code;
    char text[512];
};

extern const ErrorMessage error_msg[];
extern const int NoOfErrMsgEntries;

#endif
