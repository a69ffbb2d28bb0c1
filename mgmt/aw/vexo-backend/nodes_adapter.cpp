// Node table of the adapter group Arcwright, with its fixed subgroups
// (LinkReconfiguration and ProfileManagement included). The repeated groups
// that the back end later hangs below an adapter have builders of their own.
#include "mgmt/aw/vexo-backend/nodes_adapter.h"

#include "mgmt/aw/vexo-backend/adapter_network_props.h"
#include "mgmt/aw/vexo-backend/channel_management.h"
#include "mgmt/aw/vexo-backend/cntr_attribs.h"
#include "mgmt/aw/vexo-backend/config_erase.h"
#include "mgmt/aw/vexo-backend/configured_profile.h"
#include "mgmt/aw/vexo-backend/core_dump.h"
#include "mgmt/aw/vexo-backend/ext_trace.h"
#include "mgmt/aw/vexo-backend/fat_log.h"
#include "mgmt/aw/vexo-backend/event_log.h"
#include "mgmt/aw/vexo-backend/firmware_flash.h"
#include "mgmt/aw/vexo-backend/flash_dump.h"
#include "mgmt/aw/vexo-backend/loopback_diag.h"
#include "mgmt/aw/vexo-backend/personality.h"
#include "mgmt/aw/vexo-backend/platform_props.h"
#include "mgmt/aw/vexo-backend/profile_actions.h"
#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/aw/vexo-backend/save_profile.h"
#include "mgmt/aw/vexo-backend/vpd.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"

namespace {

constexpr int32_t RO = VEXO_PROP_READONLY;
constexpr int32_t RW = VEXO_PROP_READWRITE;
constexpr char STR = VEXO_TYPE_STRING;
constexpr char INT = VEXO_TYPE_INTEGER;
constexpr char LIST = VEXO_TYPE_LIST;

// Action records, shared by every adapter instance and never freed.

action ROOT_Arcwright_LinkReconfiguration_SetLinkConfigFactoryDefaults_action = {
    do_SetLinkConfigFactoryDefaults, 0, {0, {}}};
action ROOT_Arcwright_LinkReconfiguration_SetLinkConfigID_action = {do_SetLinkConfigID, 0, {1, {
    {1, "LinkConfigID", "Id of the link configuration to take at the next power cycle or PCI fundamental reset.",
     INT, "", 0, 32},
}}};

action ROOT_Arcwright_ChannelManagement_ConfigureChannelManagement_action = {do_ConfigureChannelManagement, 0, {2, {
    {1, "ChannelState", "Multichannel operation on or off.", LIST, "Enabled,Disabled", 7, 8},
    {0, "ChannelType", "Multichannel type to use.", LIST, "ZMR,vNIC1,vNIC2,UFP,NPAR", 3, 4},
}}};

action ROOT_Arcwright_ProfileManagement_ConfiguredProfile_SetMaxFunctionNumber_action = {
    do_SetMaxFunctionNumber, 0, {1, {
    {0, "FunctionNumber", "Highest function number to configure.", INT, "", 0, 15},
}}};
action ROOT_Arcwright_ProfileManagement_SetProfileId_action = {do_SetProfileId, 0, {1, {
    {1, "ProfileId", "Id of the profile to take at the next start.", INT, "", 1, 256},
}}};
action ROOT_Arcwright_ProfileManagement_SaveProfile_action = {do_SaveProfile, 0, {0, {}}};
action ROOT_Arcwright_ProfileManagement_SetFactoryDefaults_action = {do_SetFactoryDefaults, 0, {0, {}}};

action ROOT_Arcwright_RetrieveStratolinkPCIDump_action = {do_RetrieveStratolinkPCIDump, 0, {1, {
    {1, "PCIDumpFileName", "File that receives the PCI dump.", STR, "", 3, 255},
}}};
action ROOT_Arcwright_RetrieveStratolinkCoreDump_action = {do_RetrieveStratolinkCoreDump, 0, {2, {
    {1, "CoreDumpFileName", "File that receives the core dump.", STR, "", 3, 255},
    {0, "CoreDumpString", "Kind of dump.", LIST, "live,Dead,Test,Test live,Test Dead", 4, 9},
}}};
action ROOT_Arcwright_RetrieveFwCliData_action = {do_RetrieveFwCliData, 0, {2, {
    {1, "CliOutputFileName", "File that receives the output.", STR, "", 3, 255},
    {1, "FWCliString", "Firmware command line to run.", STR, "", 2, 255},
}}};
action ROOT_Arcwright_UpgradeFlashROM_action = {do_UpgradeFlashROM, 0, {1, {
    {1, "UFIFileName", "Path of the firmware image file.", STR, "", 3, 255},
}}};
action ROOT_Arcwright_ResetFactoryDefaults_action = {do_ResetFactoryDefaults, 0, {1, {
    {0, "ProfileId", "Profile whose resource descriptors are restored; 0 for the active profile.", INT, "", 0,
     256},
}}};
action ROOT_Arcwright_EraseAllConfiguration_action = {do_EraseAllConfiguration, 0, {0, {}}};

action ROOT_Arcwright_Personality_SetPersonality_action = {do_SetPersonality, 0, {1, {
    {1, "NewPersonality", "Personality after the next reboot.", LIST, "NIC,iSCSI,FCoE", 3, 5},
}}};

action ROOT_Arcwright_ExtFATData_RetrieveARMLog_action = {do_RetrieveARMLog, 0, {2, {
    {1, "ARMLogFileName", "File that receives the firmware log.", STR, "", 3, 255},
    {1, "SnapshotMode", "Where the log is taken from.", LIST, "RAM,DDR,FLASH", 3, 5},
}}};
action ROOT_Arcwright_ExtFATData_EnableLoggingOnAllModules_action = {do_EnableLoggingOnAllModules, 0, {3, {
    {1, "TraceLevel", "Trace level to set.", LIST, "0,1,4,5,8,16,32,48,64,128", 0, 128},
    {0, "UARTMode", "Select the modules logging to the UART.", LIST, "Yes,No", 2, 3},
    {0, "RAMMode", "Select the modules logging to RAM.", LIST, "Yes,No", 2, 3},
}}};
action ROOT_Arcwright_ExtFATData_DisableLoggingOnAllModules_action = {do_DisableLoggingOnAllModules, 0, {2, {
    {0, "UARTMode", "Select the modules logging to the UART.", LIST, "Yes,No", 2, 3},
    {0, "RAMMode", "Select the modules logging to RAM.", LIST, "Yes,No", 2, 3},
}}};
action ROOT_Arcwright_ExtFATData_SetDefaultLoggingConfiguration_action = {
    do_SetDefaultLoggingConfiguration, 0, {0, {}}};

action ROOT_Arcwright_EventLog_RefreshEventLog_action = {do_RefreshEventLog, 0, {0, {}}};
action ROOT_Arcwright_EventLog_ClearEventLog_action = {do_ClearEventLog, 0, {0, {}}};

action ROOT_Arcwright_FATData_RetrieveFATData_action = {do_RetrieveFATData, 0, {1, {
    {1, "FATFileName", "File that receives the FAT data.", STR, "", 3, 255},
}}};
action ROOT_Arcwright_FATData_ClearFATData_action = {do_ClearFATData, 0, {0, {}}};

#define LOOPBACK_TYPES "MacLoopBack,PhyLoopBack,OnePortLoopBack,TwoPortLoopBack"
action ROOT_Arcwright_Diagnostics_HostToDDRDMATest_action = {do_HostToDDRDMATest, 0, {3, {
    {1, "Pattern", "8-byte hexadecimal pattern.", STR, "", 3, 16},
    {1, "ByteCount", "Bytes moved per loop.", INT, "", 64, 4096},
    {1, "LoopCount", "Number of loops.", INT, "", 1, 4096},
}}};
action ROOT_Arcwright_Diagnostics_EnterLoopBackMode_action = {do_EnterLoopBackMode, 0, {3, {
    {1, "SourcePortNumber", "Port that sends.", INT, "", 0, 3},
    {1, "DestinationPortNumber", "Port that receives.", INT, "", 0, 3},
    {1, "LoopbackType", "Where the loop is closed.", LIST, LOOPBACK_TYPES, 11, 15},
}}};
action ROOT_Arcwright_Diagnostics_ExitLoopBackMode_action = {do_ExitLoopBackMode, 0, {2, {
    {1, "SourcePortNumber", "Port that sent.", INT, "", 0, 3},
    {1, "DestinationPortNumber", "Port that received.", INT, "", 0, 3},
}}};
action ROOT_Arcwright_Diagnostics_NetworkLoopBackTest_action = {do_NetworkLoopBackTest, 0, {6, {
    {1, "Pattern", "8-byte hexadecimal pattern.", STR, "", 3, 16},
    {1, "ByteCount", "Bytes sent per loop.", INT, "", 1500, 8192},
    {1, "LoopCount", "Number of loops.", INT, "", 1, 4096},
    {1, "SourcePortNumber", "Port that sends.", INT, "", 0, 3},
    {1, "DestinationPortNumber", "Port that receives.", INT, "", 0, 3},
    {1, "LoopbackType", "Where the loop is closed.", LIST, LOOPBACK_TYPES, 11, 15},
}}};
#undef LOOPBACK_TYPES

#define MC_TYPES "ZMR,vNIC1,vNIC2,UFP,NPAR"

// Creation order: depth-first, every fixed subgroup with its content before
// the next child of the adapter group.
const hm_node_row Arcwright_rows[] = {
    HM_PROPERTY("IsSecureJumperEnabled", "Whether the secure jumper of the adapter is enabled.", RO, LIST, 4, 5,
                "N/A", "True,False", handle_IsSecureJumperEnabled),
    HM_PROPERTY("FleetView", "Whether the FleetView application manages the adapter.", RO, LIST, 7, 8,
                "Disabled", "Enabled,Disabled", handle_FleetView),
    HM_PROPERTY("AdvancedMode", "Advanced mode of the adapter, kept in its boot configuration.", RW, LIST, 7, 8,
                "Enabled", "Enabled,Disabled", handle_AdvancedMode),
    HM_PROPERTY("ControllerStatus", "Whether the controller is alive.", RO, LIST, 4, 5, "Alive", "Alive,Dead",
                handle_ControllerStatus),

    HM_GROUP("LinkReconfiguration", "Link configurations: number and kind of the ports.", nullptr),
        HM_PROPERTY("ActiveLinkConfigID", "Id of the link configuration in force.", RO, INT, 0, 32, "0",
                    nullptr, handle_internal_property),
        HM_PROPERTY("ConfiguredLinkConfigID", "Id of the link configuration taken at the next reset.", RO, INT,
                    0, 32, "0", nullptr, handle_ConfiguredLinkConfigID),
        HM_ACTION("SetLinkConfigFactoryDefaults", "Returns the adapter to the factory link configuration.",
                  &ROOT_Arcwright_LinkReconfiguration_SetLinkConfigFactoryDefaults_action),
        HM_ACTION("SetLinkConfigID", "Selects the link configuration of the next power cycle.",
                  &ROOT_Arcwright_LinkReconfiguration_SetLinkConfigID_action),
    HM_END(),

    HM_GROUP("FRUVPD", "FRU vital product data as hexadecimal text, in twelve segments.", nullptr),
        HM_PROPERTY("FRUVPDData0", "Segment 0; a read re-reads all segments from the adapter.", RO, STR, 0, 256,
                    nullptr, nullptr, handle_fru_vpd_data),
        HM_PROPERTY("FRUVPDData1", "Segment 1.", RO, STR, 0, 256, nullptr, nullptr, handle_internal_property),
        HM_PROPERTY("FRUVPDData2", "Segment 2.", RO, STR, 0, 256, nullptr, nullptr, handle_internal_property),
        HM_PROPERTY("FRUVPDData3", "Segment 3.", RO, STR, 0, 256, nullptr, nullptr, handle_internal_property),
        HM_PROPERTY("FRUVPDData4", "Segment 4.", RO, STR, 0, 256, nullptr, nullptr, handle_internal_property),
        HM_PROPERTY("FRUVPDData5", "Segment 5.", RO, STR, 0, 256, nullptr, nullptr, handle_internal_property),
        HM_PROPERTY("FRUVPDData6", "Segment 6.", RO, STR, 0, 256, nullptr, nullptr, handle_internal_property),
        HM_PROPERTY("FRUVPDData7", "Segment 7.", RO, STR, 0, 256, nullptr, nullptr, handle_internal_property),
        HM_PROPERTY("FRUVPDData8", "Segment 8, the end of block 0.", RO, STR, 0, 256, nullptr, nullptr,
                    handle_internal_property),
        HM_PROPERTY("FRUVPDData9", "Segment 9, the start of block 1.", RO, STR, 0, 256, nullptr, nullptr,
                    handle_internal_property),
        HM_PROPERTY("FRUVPDData10", "Segment 10.", RO, STR, 0, 256, nullptr, nullptr, handle_internal_property),
        HM_PROPERTY("FRUVPDData11", "Segment 11, the end of block 1.", RO, STR, 0, 256, nullptr, nullptr,
                    handle_internal_property),
    HM_END(),

    HM_GROUP("ChannelManagement", "Multichannel types and their configuration.", nullptr),
        HM_PROPERTY("SupportedMCTypes", "Multichannel modes the controller supports.", RO, LIST, 3, 7, "N/A",
                    "ZMR,vNIC1,vNIC2,UFP,NPAR,HLFlex,HLZMR,HLFlexQBG", handle_SupportedMCTypes),
        HM_PROPERTY("CurrentManagementType", "Multichannel type in force.", RO, LIST, 3, 4, "N/A", MC_TYPES,
                    handle_ChannelManagement_details),
        HM_PROPERTY("ConfiguredManagementType", "Multichannel type configured for the next start.", RO, LIST, 3,
                    4, "N/A", MC_TYPES, handle_ChannelManagement_details),
        HM_ACTION("ConfigureChannelManagement", "Switches multichannel operation on or off.",
                  &ROOT_Arcwright_ChannelManagement_ConfigureChannelManagement_action),
    HM_END(),

    HM_PROPERTY("Manufacturer", "Manufacturer of the controller.", RO, STR, 1, 32, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("ModelNumber", "Model number of the controller.", RO, STR, 1, 32, "1", nullptr,
                handle_internal_property),
    HM_PROPERTY("Description", "Description of the controller.", RO, STR, 1, 64, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("SerialNumber", "Serial number of the controller; the adapter's lock key.", RO, STR, 1, 32, "1",
                nullptr, handle_internal_property),
    HM_PROPERTY("Capabilities", "Capabilities recorded in the adapter's SEEPROM.", RO, STR, 1, 128, "Unknown",
                nullptr, handle_internal_property),
    HM_PROPERTY("ActiveFirmwareVersion", "Firmware version running on the controller.", RO, STR, 5, 32, "5",
                nullptr, handle_aw_controller_properties),
    HM_PROPERTY("FirmwareVersionOnFlash", "Firmware version in non-volatile storage.", RO, STR, 5, 32, "5",
                nullptr, handle_aw_controller_properties),
    HM_PROPERTY("BIOSVersion", "BIOS version running on the controller.", RO, STR, 5, 32, "5", nullptr,
                handle_aw_controller_properties),
    HM_PROPERTY("BootCodeVersion", "Boot code version running on the controller.", RO, STR, 5, 32, "5", nullptr,
                handle_aw_controller_properties),
    HM_PROPERTY("FirmwareStatus", "State of the firmware.", RO, LIST, 6, 8, "Unknown",
                "Working,Degraded,Critical,Failed,Unknown", handle_aw_controller_properties),
    HM_PROPERTY("FCoEUniversalVersion", "Version of the FCoE universal boot image.", RO, STR, 0, 32, "0", nullptr,
                handle_aw_controller_additional_properties),
    HM_PROPERTY("FCoEx86BIOSVersion", "Version of the FCoE x86 BIOS.", RO, STR, 0, 32, nullptr, nullptr,
                handle_aw_controller_additional_properties),
    HM_PROPERTY("FCoEEFIVersion", "Version of the FCoE EFI driver.", RO, STR, 0, 32, nullptr, nullptr,
                handle_aw_controller_additional_properties),
    HM_PROPERTY("FCoEFCODEVersion", "Version of the FCoE FCODE.", RO, STR, 0, 32, "0", nullptr,
                handle_aw_controller_additional_properties),
    HM_PROPERTY("UEFIBIOSVersion", "Version of the UEFI BIOS.", RO, STR, 0, 32, nullptr, nullptr,
                handle_aw_controller_additional_properties),
    HM_PROPERTY("UEFINICVersion", "Version of the UEFI NIC driver.", RO, STR, 0, 32, "0", nullptr,
                handle_aw_controller_additional_properties),
    HM_PROPERTY("UEFIFCODEVersion", "Version of the UEFI FCODE.", RO, STR, 0, 32, "0", nullptr,
                handle_aw_controller_additional_properties),
    HM_PROPERTY("UEFISCSIVersion", "Version of the UEFI SCSI driver.", RO, STR, 0, 32, "0", nullptr,
                handle_aw_controller_additional_properties),
    HM_PROPERTY("PXEBIOSVersion", "Version of the PXE BIOS.", RO, STR, 0, 32, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("PHYFirmwareVersion", "Firmware version of the PHY.", RO, STR, 0, 32, "0", nullptr,
                handle_aw_controller_additional_properties),
    HM_PROPERTY("PHYConfigurationId", "Configuration id (CRC) of the PHY.", RO, STR, 0, 32, "0", nullptr,
                handle_aw_controller_additional_properties),
    HM_PROPERTY("ArcwrightOnDieTemperature", "On-chip temperature in degrees Celsius.", RO, INT, 45, 125, "45",
                nullptr, handle_aw_temperature),
    HM_PROPERTY("IPLFileName", "Name of the adapter's IPL file.", RO, STR, 0, 32, "0", nullptr,
                handle_aw_controller_additional_properties),
    HM_PROPERTY("PCIExpressLinkSpeed", "Current PCI Express link speed.", RO, STR, 0, 5, "0", nullptr,
                handle_PCIExpressLinkSpeed),
    HM_PROPERTY("PCIExpressBusWidth", "Current PCI Express bus width.", RO, STR, 0, 5, "0", nullptr,
                handle_PCIExpressBusWidth),
    HM_PROPERTY("FFVName", "FFV name of the adapter.", RW, STR, 4, 32, "0", nullptr, handle_FFVName),

    HM_GROUP("ProfileManagement", "Firmware profiles: the one in force, the configured one and those offered.",
             nullptr),
        HM_PROPERTY("RebootRequired", "Whether configuration changes wait for a reboot.", RO, LIST, 0, 3, "No",
                    "Yes,No", handle_RebootRequired),
        HM_PROPERTY("MaxFunctionsPerPort", "Maximum number of PCI functions per port.", RO, INT, 2, 8, "2",
                    nullptr, handle_MaxFunctionsPerPort),
        HM_GROUP("ActiveProfile", "The profile in force.", nullptr),
            HM_PROPERTY("ProfileId", "Id of the profile in force.", RO, INT, 0, 32, "0", nullptr,
                        handle_internal_property),
        HM_END(),
        HM_GROUP("ConfiguredProfile", "The profile for the next start; edits are staged until saved.", nullptr),
            HM_PROPERTY("IPLMaxFunctionNumber", "Highest function number the IPL supports.", RO, INT, 0, 15, "0",
                        nullptr, handle_IPLMaxFunctionNumber),
            HM_PROPERTY("SettableMaxFunctionNumber", "Whether MaxFunctionNumber can be changed.", RO, LIST, 2, 3,
                        "No", "Yes,No", handle_SettableMaxFunctionNumber),
            HM_PROPERTY("MaxFunctionNumber", "Configured highest function number.", RO, INT, 0, 15, "0", nullptr,
                        handle_MaxFunctionNumber),
            HM_PROPERTY("ProfileId", "Id of the profile configured for the next start.", RW, INT, 0, 32, "0",
                        nullptr, handle_ConfiguredProfile_ProfileId),
            HM_ACTION("SetMaxFunctionNumber", "Configures MaxFunctionNumber.",
                      &ROOT_Arcwright_ProfileManagement_ConfiguredProfile_SetMaxFunctionNumber_action),
        HM_END(),
        HM_ACTION("SetProfileId", "Selects the profile of the next start.",
                  &ROOT_Arcwright_ProfileManagement_SetProfileId_action),
        HM_ACTION("SaveProfile", "Writes the staged profile settings to the adapter.",
                  &ROOT_Arcwright_ProfileManagement_SaveProfile_action),
        HM_ACTION("SetFactoryDefaults", "Returns the adapter to the factory profile and ports.",
                  &ROOT_Arcwright_ProfileManagement_SetFactoryDefaults_action),
    HM_END(),

    HM_GROUP("NICCIM", "NIC controller description.", nullptr),
        HM_PROPERTY("PortControllerName", "Label by which the controller is known.", RO, STR, 0, 128, nullptr,
                    nullptr, handle_PortControllerName),
        HM_PROPERTY("ControllerType", "Type of the port controller.", RO, STR, 0, 32, nullptr, nullptr,
                    handle_ControllerType),
        HM_PROPERTY("ProtocolSupported", "Protocol through which the controller reaches its devices.", RO, STR, 0,
                    32, nullptr, nullptr, handle_ProtocolSupported),
        HM_PROPERTY("MaxSupportedController", "Number of directly addressable entities of the controller.", RO,
                    INT, 0, 8, "0", nullptr, handle_MaxSupportedController),
    HM_END(),

    HM_ACTION("RetrieveStratolinkPCIDump", "Writes the controller's PCI dump to a file.",
              &ROOT_Arcwright_RetrieveStratolinkPCIDump_action),
    HM_ACTION("RetrieveStratolinkCoreDump", "Writes the controller's core dump to a file.",
              &ROOT_Arcwright_RetrieveStratolinkCoreDump_action),
    HM_ACTION("RetrieveFwCliData", "Runs a firmware command line and writes its output to a file.",
              &ROOT_Arcwright_RetrieveFwCliData_action),
    HM_ACTION("UpgradeFlashROM", "Writes a firmware image file to the adapter; active after a restart.",
              &ROOT_Arcwright_UpgradeFlashROM_action),
    HM_ACTION("ResetFactoryDefaults", "Restores the resource descriptors of a profile to factory values.",
              &ROOT_Arcwright_ResetFactoryDefaults_action),
    HM_ACTION("EraseAllConfiguration", "Resets every setting of the controller to factory defaults.",
              &ROOT_Arcwright_EraseAllConfiguration_action),

    HM_GROUP("Personality", "Current, available and configured personality.", nullptr),
        HM_PROPERTY("CurrentPersonality", "Personality in force.", RO, LIST, 3, 7, "iSCSI", "NIC,iSCSI,FCoE,Illegal",
                    handle_internal_property),
        HM_PROPERTY("AvailablePersonalities", "Personalities the adapter can run, joined by /.", RO, STR, 3, 14,
                    "NIC", nullptr, handle_internal_property),
        HM_PROPERTY("ConfiguredPersonality", "Personality after the next reboot.", RO, LIST, 3, 6, "NIC",
                    "NIC,iSCSI,FCoE", handle_ConfiguredPersonality),
        HM_ACTION("SetPersonality", "Changes the personality; effective after a reboot.",
                  &ROOT_Arcwright_Personality_SetPersonality_action),
    HM_END(),

    HM_GROUP("OEM", "Serial numbers and personality management word.", nullptr),
        HM_PROPERTY("OrvaneSerialNumber", "The maker's serial number of the adapter.", RO, STR, 1, 12, "Unknown",
                    nullptr, handle_internal_property),
        HM_PROPERTY("OEMSerialNumber", "The OEM's serial number of the adapter.", RO, STR, 1, 24, "Unknown",
                    nullptr, handle_internal_property),
        HM_PROPERTY("PersonalityManagementWord", "Which protocols may be configured on the adapter.", RO, INT, 0,
                    2147483647, "0", nullptr, handle_internal_property),
    HM_END(),

    HM_GROUP("NCSI", "NC-SI version and state.", nullptr),
        HM_PROPERTY("NCSIVersion", "NC-SI version running on the controller.", RO, STR, 5, 32, "5", nullptr,
                    handle_get_ncsi_version),
        HM_PROPERTY("NCSISupport", "Whether the controller supports NC-SI.", RO, LIST, 9, 13, "Not Supported",
                    "Supported,Not Supported", handle_ncsi_static_configuration),
        HM_PROPERTY("NCSIAWHandShake", "Whether NC-SI works on the controller.", RO, LIST, 6, 9, "Error",
                    "Success,Error,N/A", handle_ncsi_static_configuration),
    HM_END(),

    HM_GROUP("ExtFATData", "Firmware trace capabilities and logging actions.", nullptr),
        HM_PROPERTY("MaxLogEntries", "Log entries of the firmware's RAM buffer at most.", RO, INT, 1, 255, "1",
                    nullptr, handle_internal_property),
        HM_PROPERTY("LogEntrySize", "Size of one log entry.", RO, INT, 1, 255, "1", nullptr,
                    handle_internal_property),
        HM_PROPERTY("LoggingType", "Logging type set in the firmware.", RO, LIST, 11, 13, "synchronous",
                    "synchronous,asynchronous", handle_internal_property),
        HM_PROPERTY("MaxLoggingFunctions", "PCI functions that can be selected for logging.", RO, INT, 1, 8, "1",
                    nullptr, handle_internal_property),
        HM_PROPERTY("MaxLoggingPorts", "Ports that can be selected for logging.", RO, INT, 1, 4, "1", nullptr,
                    handle_internal_property),
        HM_PROPERTY("SupportedModes", "Logging modes the firmware supports.", RO, LIST, 3, 15, "UART", "UART,RAM",
                    handle_internal_property),
        HM_PROPERTY("NumberOfModules", "Number of firmware trace modules.", RO, INT, 0, 64, "0", nullptr,
                    handle_internal_property),
        HM_ACTION("RetrieveARMLog", "Writes the firmware log to a file.",
                  &ROOT_Arcwright_ExtFATData_RetrieveARMLog_action),
        HM_ACTION("EnableLoggingOnAllModules", "Sets a trace level in the selected modules.",
                  &ROOT_Arcwright_ExtFATData_EnableLoggingOnAllModules_action),
        HM_ACTION("DisableLoggingOnAllModules", "Disables tracing in the selected modules.",
                  &ROOT_Arcwright_ExtFATData_DisableLoggingOnAllModules_action),
        HM_ACTION("SetDefaultLoggingConfiguration", "Restores the firmware's default logging configuration.",
                  &ROOT_Arcwright_ExtFATData_SetDefaultLoggingConfiguration_action),
    HM_END(),

    HM_GROUP("EventLog", "Event-log actions.", nullptr),
        HM_ACTION("RefreshEventLog", "Re-reads the firmware event log.",
                  &ROOT_Arcwright_EventLog_RefreshEventLog_action),
        HM_ACTION("ClearEventLog", "Clears the event log kept in the firmware.",
                  &ROOT_Arcwright_EventLog_ClearEventLog_action),
    HM_END(),

    HM_GROUP("FATData", "Failure-analysis data kept in non-volatile memory.", nullptr),
        HM_PROPERTY("FATDataValid", "Whether FAT data is present.", RO, LIST, 2, 3, "Yes", "Yes,No",
                    handle_FATDataValid),
        HM_ACTION("RetrieveFATData", "Writes the FAT data to a file.",
                  &ROOT_Arcwright_FATData_RetrieveFATData_action),
        HM_ACTION("ClearFATData", "Clears the FAT data.", &ROOT_Arcwright_FATData_ClearFATData_action),
    HM_END(),

    HM_GROUP("Diagnostics", "Results of the last diagnostic test, and the test actions.", nullptr),
        HM_PROPERTY("TotalTestCycles", "Milliseconds the last test took for all its loops.", RO, INT, 0,
                    2147483647, "0", nullptr, handle_internal_property),
        HM_PROPERTY("TotalCompleteCycles", "Time of the loops that completed successfully.", RO, INT, 0,
                    2147483647, "0", nullptr, handle_internal_property),
        HM_PROPERTY("TotalErrorCycles", "Time of the loops that completed with errors.", RO, INT, 0, 2147483647,
                    "0", nullptr, handle_internal_property),
        HM_PROPERTY("SendErrorCount", "Send errors of the last test.", RO, INT, 0, 4096, "0", nullptr,
                    handle_internal_property),
        HM_PROPERTY("ReceiveErrorCount", "Receive errors of the last test.", RO, INT, 0, 4096, "0", nullptr,
                    handle_internal_property),
        HM_PROPERTY("DataMiscompareCount", "Data miscompares of the last test.", RO, INT, 0, 4096, "0", nullptr,
                    handle_internal_property),
        HM_PROPERTY("TotalCompleteCount", "Loops of the last test that completed successfully.", RO, INT, 0,
                    2147483647, "0", nullptr, handle_internal_property),
        HM_PROPERTY("IsLoopbackSupported", "Whether the loopback test is supported.", RO, LIST, 4, 5, "True",
                    "True,False", handle_internal_property),
        HM_ACTION("HostToDDRDMATest", "DMA test between host memory and the adapter's DDR memory.",
                  &ROOT_Arcwright_Diagnostics_HostToDDRDMATest_action),
        HM_ACTION("EnterLoopBackMode", "Sets the loopback mode of the physical ports.",
                  &ROOT_Arcwright_Diagnostics_EnterLoopBackMode_action),
        HM_ACTION("ExitLoopBackMode", "Clears the loopback mode after the test.",
                  &ROOT_Arcwright_Diagnostics_ExitLoopBackMode_action),
        HM_ACTION("NetworkLoopBackTest", "Sends a pattern through the loopback and checks it.",
                  &ROOT_Arcwright_Diagnostics_NetworkLoopBackTest_action),
    HM_END(),
};

#undef MC_TYPES

uint8_t Arcwright_bits[HM_BIT_FIELD_BYTES(ARCWRIGHT_MAX_INSTANCES, 1)];

const hm_group_type Arcwright_type = {"Arcwright", "One converged adapter (controller).", ARCWRIGHT_MAX_INSTANCES, 0,
                                      nullptr, Arcwright_bits, sizeof Arcwright_bits, Arcwright_rows,
                                      HM_ROW_COUNT(Arcwright_rows)};

} // namespace

node *initialize_Arcwright(node *parent_node, node *context, node *action,
                           char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&Arcwright_type, parent_node, context, action, params);
}
