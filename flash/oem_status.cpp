#include "flash/oem_status.h"

const ErrorMessage error_msg[] = {
    {OEM_SUCCESS, "Success"},
    {OEM_REBOOT_REQUIRED, "Reboot required"},
    {OEM_SAME_VERSION, "The installation was not attempted because the version to be installed matches the "
                       "version already installed"},
    {OEM_NOT_ATTEMPTED,
     "The installation was not attempted because of one of the following: The version to be installed is older "
     "than the version already installed. Supported hardware, whether specifically identified in an input "
     "discovery file or not, was not present, not enabled, or in a state that an installation could not be "
     "attempted. Installation was not attempted because the installer did not support the environment. There "
     "was nothing for the installer to do"},
    {OEM_HARDWARE_NOT_ACCESSIBLE,
     "The installer library entry point could not identify or access the hardware to be installed"},
    {OEM_CANCELED, "The installation was canceled by a user before anything could be installed"},
    {OEM_UNMET_DEPENDENCY, "The installer library entry point could not execute because of an unmet dependency or "
                           "installation to tool failure"},
    {OEM_OPERATION_FAILED, "The actual installation operation or discovery operation (not the installer library "
                           "entry point) failed."},
    {OEM_FIRMWARE_NOT_FOUND, "The installer library entry point could not find the firmware file"},
    {OEM_FIRMWARE_NOT_ACCESSIBLE, "The installer library entry point could not access the firmware file"},
    {OEM_DISCOVERY_FILE_NOT_FOUND, "The installer library entry point could not find the discovery XML file"},
    {OEM_DISCOVERY_FILE_NOT_ACCESSIBLE, "The installer library entry point could not access the discovery XML file"},
    {OEM_DISCOVERY_FILE_NOT_CREATED, "The installer library entry point could not create the discovery XML file"},
    {OEM_INVALID_ARGUMENTS, "Invalid arguments passed to function"},
    {OEM_NO_MEMORY, "Cannot allocate memory"},
    {OEM_FC_LIBRARY_INIT_FAILED, "FC library initialization failure"},
    {OEM_FC_PCI_READ_FAILED, "FC library PCI region read failure"},
    {OEM_NO_ADAPTERS, "No Orvane adapters found"},
    {OEM_FC_DRIVER_NOT_INITIALIZED, "FC driver not initialized"},
    {OEM_KPL_NOT_FOUND, "libkpl library not found"},
    {OEM_INVALID_FIRMWARE_IMAGE, "Invalid firmware image"},
    {OEM_ADAPTER_NOT_FOUND, "Adapter specified by pciid is not found"},
    {OEM_FIRMWARE_TYPE_MISMATCH, "Firmware type does not match adapter"},
    {OEM_DISCOVERY_FILE_CORRUPT, "Discovery file is corrupt"},
    {OEM_UNKNOWN_ERROR, "An unknown error occured"},
    {OEM_DOWNLOAD_FAILED, "Unable to download firmware file on to adapter"},
    {OEM_RESET_FAILED, "Adapter reset after firmware download failed"},
    {OEM_INTERMEDIATE_REBOOT_REQUIRED, "Intermediate reboot required"},
};

const int NoOfErrMsgEntries = 28;

static_assert(sizeof error_msg / sizeof error_msg[0] == 28, "one record per exported code with a text");
