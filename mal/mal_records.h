// The adapter, port and function records that converged discovery reads,
// and the group readers they are built from.
//
// The readers are best effort: apart from a busy adapter, a property that is
// missing or cannot be read leaves its field's failure value ("Not
// Available", "n/a", empty, 0, 2 for booleans, all-FF MAC addresses) and the
// record is filled as far as it can be. Callers pass zero-filled records.
#ifndef HLVD_MAL_MAL_RECORDS_H
#define HLVD_MAL_MAL_RECORDS_H

#include <cstdint>

#include "flash/rm_status.h"
#include "mgmt/vexo/core/hm_types.h"

#define MAL_NOT_AVAILABLE "Not Available"
#define MAL_PCI_CONFIG_SIZE 256

// One converged adapter (an Arcwright group).
struct MAL_AWProperties {
    int32_t MaxSupportedController;
    char ControllerType[256];
    char PortControllerName[256];
    char ProtocolSupported[256];
    int32_t FATDataValid;
    uint32_t PersonalityManagementWord;
    int32_t ArcwrightOnDieTemperature;
    char Manufacturer[32];
    char ModelNumber[32];
    char Description[64];
    char SerialNumber[64];
    char Capabilities[128];
    char ActiveFirmwareVersion[32];
    char FirmwareVersionOnFlash[32];
    char BIOSVersion[32];
    char BootCodeVersion[32];
    char FirmwareStatus[256];
    char ControllerStatus[256];
    char OrvaneSerialNumber[256];
    char OEMSerialNumber[256];
    char IPLFileName[32];
    char NCSIVersion[32];
    char FCoEUniversalVersion[32];
    char FCoEx86BIOSVersion[32];
    char FCoEEFIVersion[32];
    char FCoEFCODEVersion[32];
    char UEFIBIOSVersion[32];
    char UEFINICVersion[32];
    char UEFIFCODEVersion[32];
    char UEFISCSIVersion[32];
    char PCIExpressLinkSpeed[32];
    char PCIExpressBusWidth[32];
    char PHYConfigurationId[32];
    char PHYFirmwareVersion[32];
    char FFVName[36];
    char PXEBIOSVersion[32];
    char FleetView[32];
    char IsSecureJumperEnabled[32];
};
static_assert(sizeof(MAL_AWProperties) == 2836, "adapter properties record");

// One port (a PortDiscoveryAndConfiguration group).
struct MAL_Group_PortDiscoveryAndConfiguration {
    int32_t BeaconState;
    int32_t PortNumber;
    int32_t PortState;
    char PhysicalLinkStatus[32];
    char PortName[32];
    uint32_t TransceiverPageA0[64]; // filled by the port's physical reader only
    uint32_t TransceiverPageA2[64];
    char FCoEWWPN[32];
    char InterfaceType[32];
    uint32_t PHYType;
    char FCoELinkSpeed[32];
};
static_assert(sizeof(MAL_Group_PortDiscoveryAndConfiguration) == 688, "port record");

// A function's "PCI" group.
struct MAL_PCIIdentity {
    uint32_t VendorID;
    uint32_t DeviceID;
    uint32_t SubsysDeviceID;
    uint32_t SubsysVendorID;
    uint32_t DomainNumber;
    uint32_t BusNumber;
    uint32_t DeviceNumber;
    uint32_t FunctionNumber;
};

// A function's "Driver" group.
struct MAL_DriverInfo {
    char DriverName[32];
    char DriverVersion[32];
};

// A "vNIC" group.
struct MAL_vNIC {
    int32_t vNICEnabled;
    char vNICName[32];
    int32_t OuterVLANID;
    int32_t MinBandwidth;
    int32_t MaxBandwidth;
};
static_assert(sizeof(MAL_vNIC) == 48, "vNIC block");

// A NIC function's "CIM" group.
struct MAL_CimInfo {
    char Capabilities[256];
    char EnabledCapabilities[256];
    char LinkTechnology[256];
    char ProtocolIfType[256];
};

// A NIC function's "NetworkBootConfiguration" group.
struct MAL_NetworkBootConfiguration {
    char AvailableNetworkBootMethods[128];
    char NetworkBootMethod[16];
    int32_t NetworkBootState;
    int32_t VLANId;
    int32_t VLANPriority;
    uint8_t VolatileMACAddress[6];
};

// One iSCSI physical function.
struct MAL_iSCSIPhysicalProperties {
    MAL_PCIIdentity pci;
    MAL_DriverInfo driver;
    MAL_vNIC vnic;
    int32_t DefaultETO;
    int32_t LDTO;
    int32_t MaxCDBLength;
    int32_t PortNumber;
    int32_t iSCSIBIOSEnable;
    int32_t MPIOEnabled;
    uint8_t PciConfigSpace[MAL_PCI_CONFIG_SIZE];
};

// The NIC side of an iSCSI function ("Network"/"NICConfiguration").
struct MAL_iSCSINicConfigProperties {
    uint8_t MACAddress[6];
    uint8_t PermanentMACAddress[6];
    int32_t ActivePort;
    int32_t MaxMTUSize;
    char LogicalLinkStatus[32];
    char PortSpeed[32];
    char PortMaxSpeed[36];
};

// One NIC physical function.
struct MAL_NicPhysicalProperties {
    MAL_PCIIdentity pci;
    uint8_t MACAddress[6];
    uint8_t PermanentMACAddress[6];
    MAL_DriverInfo driver;
    MAL_CimInfo cim;
    MAL_vNIC vnic;
    MAL_NetworkBootConfiguration boot;
    int32_t PortNumber;
    int32_t MinBitsPerSecond;
    int32_t MaxBitsPerSecond;
    int32_t MaxMTUSize;
    int32_t MTUSize;
    char IfName[32];
    char LogicalLinkStatus[32];
    uint8_t PciConfigSpace[MAL_PCI_CONFIG_SIZE];
    char PortSpeed[32];
    int32_t SRIOVState;
    int32_t VEPAState;
    int32_t IsVF;
    int32_t IsRoCEEnabled;
    uint8_t FactoryDefaultMACAddress[6];
};

extern "C" {
// 64 as soon as a read finds the adapter busy (the record holds what was
// written before), else 0.
RM_STATUS MAL_GetAWProperties(node_tag_t adapter, MAL_AWProperties *record);
// Always 0 (a missing record: 4).
RM_STATUS MAL_GetGroup_PortDiscoveryAndConfiguration(node_tag_t port, MAL_Group_PortDiscoveryAndConfiguration *record);
// The first failure of the function, driver and PCI reads, else the result
// of the configuration-space dump.
RM_STATUS MAL_GetiSCSIPhysicalProperties(node_tag_t function, MAL_iSCSIPhysicalProperties *record);
RM_STATUS MAL_GetiSCSINicConfigProperties(node_tag_t function, MAL_iSCSINicConfigProperties *record);
// Always 0 (a missing record: 4).
RM_STATUS MAL_GetNicPhysicalProperties(node_tag_t function, MAL_NicPhysicalProperties *record);
// The function-group fields and the PCI block only; the PCI read's result.
RM_STATUS MAL_GetNicPhysicalPropertiesForDiscovery(node_tag_t function, MAL_NicPhysicalProperties *record);

RM_STATUS MAL_GetGroup_PCI(node_tag_t function, MAL_PCIIdentity *pci);
RM_STATUS MAL_GetGroup_Driver(node_tag_t function, MAL_DriverInfo *driver);
RM_STATUS MAL_GetGroup_Cim(node_tag_t function, MAL_CimInfo *cim);
// `holder` is the group that has the "vNIC" child.
RM_STATUS MAL_GetGroup_vNIC(node_tag_t holder, MAL_vNIC *vnic);
RM_STATUS MAL_GetGroup_NetworkBootConfiguration(node_tag_t function, MAL_NetworkBootConfiguration *boot);
// `network` is an iSCSI function's "Network" group.
RM_STATUS MAL_GetGroup_NicConfiguration(node_tag_t network, MAL_iSCSINicConfigProperties *record);
RM_STATUS MAL_GetGroup_iSCSIPhysicalHBA(node_tag_t function, MAL_iSCSIPhysicalProperties *record);
RM_STATUS MAL_GetGroup_NicPhysicalHBA(node_tag_t function, MAL_NicPhysicalProperties *record);
// Fills 256 bytes of configuration space through the named dump action of
// the function's "PCI" group, 64 bytes per run; 0 or the first failure.
RM_STATUS MAL_Dump_PciConfigRegion(node_tag_t function, const char *action_name, uint8_t *buffer);
}

#endif
