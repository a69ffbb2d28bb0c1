// Client operations on an adapter's personality and link configuration, a
// port's speed, the SR-IOV virtual functions of a NIC function, iSCSI boot
// settings and target portals, and the configuration-erase actions.
//
// Groups, properties and actions are found by name below the tag given; a
// missing one ends the operation with 114. Texts copied into the records
// are cut to their field and terminated; counts from the tree are bounded by
// the caller's array.
#ifndef HLVD_MAL_MAL_PORT_OPS_H
#define HLVD_MAL_MAL_PORT_OPS_H

#include <cstdint>

#include "flash/rm_status.h"
#include "mal/mal_iscsi_readers.h"
#include "mgmt/vexo/core/hm_types.h"

#define MAL_PERSONALITY_NAME_SIZE 20
#define MAL_MAX_PERSONALITIES 48
#define MAL_LINK_CONFIG_DESC_SIZE 32
#define MAL_MAX_LINK_CONFIGS 32
#define MAL_SPEED_TEXT_SIZE 256
#define MAL_VF_LINK_STATUS_SIZE 32
#define MAL_BOOT_PRIORITY_SIZE 256
// Answer of MAL_GetNICLogicalHbaTag when no virtual function has the MAC.
#define MAL_STATUS_NO_MATCHING_VF static_cast<RM_STATUS>(260)

struct MAL_PersonalityInfo {
    char CurrentPersonality[MAL_PERSONALITY_NAME_SIZE];
    char ConfiguredPersonality[MAL_PERSONALITY_NAME_SIZE];
    int32_t AvailableCount;
    char AvailablePersonalities[MAL_MAX_PERSONALITIES][MAL_PERSONALITY_NAME_SIZE];
};
static_assert(sizeof(MAL_PersonalityInfo) == 1004, "personality record");

struct MAL_LinkConfigEntry {
    int32_t LinkConfigID;
    char LinkConfigDescription[MAL_LINK_CONFIG_DESC_SIZE];
};

struct MAL_LinkReconfigInfo {
    int32_t ActiveLinkConfigID;
    int32_t ConfiguredLinkConfigID;
    int32_t ConfigCount; // entries whose id is not 0
    MAL_LinkConfigEntry Configs[MAL_MAX_LINK_CONFIGS];
};
static_assert(sizeof(MAL_LinkReconfigInfo) == 1164, "link configuration record");

// Speed modes.
#define MAL_SPEED_MODE_DEFAULT 1
#define MAL_SPEED_MODE_AUTO 2
#define MAL_SPEED_MODE_FORCE 3

struct MAL_PhyPortSpeedSettings {
    char ANSpeedsSupported[MAL_SPEED_TEXT_SIZE];
    char ForceSpeedsSupported[MAL_SPEED_TEXT_SIZE];
    char ConfiguredSpeed[MAL_SPEED_TEXT_SIZE];
    int32_t Mode;
    int32_t DACCableLength;
};
static_assert(sizeof(MAL_PhyPortSpeedSettings) == 776, "port speed record");

// The count, then `count` 6-byte MAC addresses packed one after another:
// the caller allocates 4 + 6 * capacity bytes.
struct MAL_SRIOV_VFList {
    uint32_t count; // in: capacity; out: entries written, or needed on 7
    uint8_t MACAddresses[1][6];
};

struct MAL_SRIOV_VFProps {
    int32_t VLANID; // -1 when it cannot be read
    uint8_t reserved1;
    char LinkStatus[MAL_VF_LINK_STATUS_SIZE];
    uint8_t reserved2;
    int32_t TxRate; // 0 when it cannot be read
    uint8_t reserved3;
};
static_assert(sizeof(MAL_SRIOV_VFProps) == 48, "virtual function record");

struct MAL_BootTargetSetting {
    uint8_t BootSession; // nonzero: a boot session
    char BootTargetPriority[MAL_BOOT_PRIORITY_SIZE];
};
static_assert(sizeof(MAL_BootTargetSetting) == 257, "boot target record");

extern "C" {

// 0; 4 without a record; 311 or 312 when the library cannot read the
// available or configured personality; else 114.
RM_STATUS MAL_GetAdapterPersonalityInfo(node_tag_t adapter, MAL_PersonalityInfo *info);
// 0; 320 for a personality refused or not supported; 4 without a text.
RM_STATUS MAL_ChangeAdapterPersonality(node_tag_t adapter, const char *personality);
RM_STATUS MAL_GetPortLinkReconfigInfo(node_tag_t adapter, MAL_LinkReconfigInfo *info);
// A nonzero `factory` restores the factory configuration instead.
RM_STATUS MAL_SetPortLinkReConfigInfo(node_tag_t adapter, int32_t config_id, int32_t factory);
// 251 when the configured speed reads "n/a" (the three texts are filled).
RM_STATUS MAL_GetPhyPortSpeedSettings(node_tag_t port, MAL_PhyPortSpeedSettings *settings);
// `mode` is one of the speed modes (else 4, nothing sent); an empty speed
// and a negative cable length are left out. 0, 248 and 430 to 434, or 114.
RM_STATUS MAL_SetPhyPortSpeedSettings(node_tag_t port, const char *speed, int32_t mode, int32_t cable_length);
// 7 with the needed count when the capacity is short (nothing written).
RM_STATUS MAL_EnumNIC_SRIOV_VFs(node_tag_t nic, MAL_SRIOV_VFList *list);
// 260 when no virtual function has the address.
RM_STATUS MAL_GetNICLogicalHbaTag(node_tag_t nic, const uint8_t mac[6], node_tag_t *tag);
RM_STATUS MAL_GetNIC_SRIOV_VFProps(node_tag_t nic, const uint8_t mac[6], MAL_SRIOV_VFProps *props);
// Not offered: always 2.
RM_STATUS MAL_SetNIC_SRIOV_VFProps(node_tag_t nic, const uint8_t mac[6], const MAL_SRIOV_VFProps *props);
// 0, or the library's status code (a VEXO_status_t).
int32_t MAL_ConfigureBootTarget(node_tag_t session, const MAL_BootTargetSetting *setting);
// 21 for port 0 (nothing sent); 120 when the portal exists already.
RM_STATUS MAL_AddTargetPortalToTarget(node_tag_t target, const MAL_TargetPortalProperties *portal);
// Runs the named action of the group with `value` as the first byte of its
// first parameter (0xFF: not given). 0; 247 when a reboot is required;
// 114 for every failure, a busy adapter included.
RM_STATUS MAL_EraseConfig(node_tag_t group, const char *action, uint8_t value);
// `flag` 1 or 0, else 21 without writing.
RM_STATUS MAL_Set_BootLUN(node_tag_t lun, int32_t flag);
RM_STATUS MAL_SetSession_iSCSIBoot(node_tag_t session, int32_t flag);

} // extern "C"

#endif
