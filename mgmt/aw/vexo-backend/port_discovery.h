// Port groups of a converged adapter at back-end start: one
// PortDiscoveryAndConfiguration group per physical port that has a function,
// filled from the firmware (port name, interface type, supported speeds),
// with the DCBX priority-group and application-TLV instances and, on the
// generations with multichannel support, the Channel instances of the
// port's ChannelManagement group.
//
// A port group holds the node handle of the function that serves it: the
// same record, not a copy. Handles are released only through the function
// groups, so a port group never frees the record it holds.
//
// The firmware answers are read at fixed offsets inside their records; the
// descriptor list of a profile configuration is walked with the bounded walk
// of profile_config.h.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_PORT_DISCOVERY_H
#define HLVD_MGMT_AW_VEXO_BACKEND_PORT_DISCOVERY_H

#include <cstddef>
#include <cstdint>

#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/hm_types.h"

// The extended_phy_details value that marks the speed masks as valid.
#define PHY_DETAILS_SPEEDS_VALID 0xFEEC
// Application entries of one DCBX configuration answer.
#define DCBX_APP_ENTRIES 15

// The speed names of a PHY speed mask joined with "," ("1Gb,10Gb"), or "0"
// for a mask without known speed bits, into `out` (256 bytes).
void port_speed_list(uint16_t mask, char *out);

// Steps of the port discovery on one answer each, so that an answer is
// parsed the same way whether it came from the firmware or elsewhere.
//
// PortName from the port-name answer (`count` names, one byte per physical
// port); a port outside the answer keeps its name. 0, or 1 when the property
// cannot be written.
int port_apply_name(node *port, const uint8_t *names, unsigned count, unsigned phba_port);
// InterfaceType from a PHY details answer (`answered`: the read succeeded).
// The result of the property write, or 1 when the type is unknown.
int port_apply_interface_type(node *port, bool answered, const GET_PHY_DETAILS_PARAMS *answer);
// ANSpeedsSupported and ForceSpeedsSupported from a PHY details answer; the
// OR of the property writes.
int port_apply_speeds(node *port, const GET_PHY_DETAILS_PARAMS *answer);
// One ApplicationTLV instance below `settings` (a TLV settings group) for
// every valid application entry of a DCBX configuration answer. Below
// AdministratorTLVSetting the instances are recorded as created by
// `add_action`. 0; entries whose instance cannot be built are skipped.
int port_apply_app_tlvs(node *settings, const DCBX_GET_DCBX_CFG_PARAMS *answer, node *add_action);
// Channels below `channel_mgmt` for the function descriptors of a profile
// configuration answer (`size` bytes) on link `port_number`. 0; the nonzero
// result of a channel that fails; 1 with last status 278 when the list is
// malformed (it runs past the answer, or a descriptor is too short for the
// fields read from it), the channels built before it staying.
int port_apply_channels(node *channel_mgmt, int port_number, const GET_PROFILE_CONFIG_PARAMS *answer, size_t size);

extern "C" {
// Builds the port groups of one adapter; 0.
int VEXO_get_port_discovery_config(node *adapter);
// Fill PortName, InterfaceType, ANSpeedsSupported and ForceSpeedsSupported
// of a port group; 0 or 1.
int VEXO_update_portname(int aw_port_number, node *port);
int VEXO_update_interfacetype(int aw_port_number, node *port);
int VEXO_update_speed_props(int aw_port_number, node *port);
// Adds one Channel per matching function descriptor of the adapter's
// configured profile under the port's ChannelManagement group (a caller
// that refreshes the group deletes the old instances first); 0, 1 or the
// failing status.
int VEXO_get_multi_channels_info(int port_number, node *port);
// One Channel for a NIC (81), iSCSI (82) or FCoE (83) descriptor, or the
// RoCE mark of the NIC channel of an RDMA (84) descriptor. `desc` holds the
// fields of its type (88 bytes are always enough). 0 or 1.
int VEXO_initialize_channels(int pf_type, char *pf_num, node *channel_mgmt, const uint8_t *desc);
}

#endif
