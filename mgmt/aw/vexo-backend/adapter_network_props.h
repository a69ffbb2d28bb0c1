// Adapter-level properties that describe the controller to management
// consoles: the NC-SI version, state and configurations, the PCI Express
// link, the FFV name kept in the firmware, and the CIM views of the adapter
// (NICCIM) and of each NIC function (CIM).
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ADAPTER_NETWORK_PROPS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ADAPTER_NETWORK_PROPS_H

#include "mgmt/vexo/core/hm_types.h"

// Property handlers (type 0 get, 1 set; the read-only ones treat every call
// as a get): 0 with the cached value in `value`, else non-zero.
VEXO_status_t handle_get_ncsi_version(node *property, char *value, int type);
VEXO_status_t handle_ncsi_static_configuration(node *property, char *value, int type);
VEXO_status_t handle_ncsi_dynamic_configuration(node *property, char *value, int type);
VEXO_status_t handle_PCIExpressLinkSpeed(node *property, char *value, int type);
VEXO_status_t handle_PCIExpressBusWidth(node *property, char *value, int type);
VEXO_status_t handle_FFVName(node *property, char *value, int type);
VEXO_status_t handle_PortControllerName(node *property, char *value, int type);
VEXO_status_t handle_ControllerType(node *property, char *value, int type);
VEXO_status_t handle_ProtocolSupported(node *property, char *value, int type);
VEXO_status_t handle_MaxSupportedController(node *property, char *value, int type);
VEXO_status_t handle_ProtocolIfType(node *property, char *value, int type);
VEXO_status_t handle_LinkTechnology(node *property, char *value, int type);
VEXO_status_t handle_Arcwright_NICPhysicalHBA_CIM_Capabilities(node *property, char *value, int type);
VEXO_status_t handle_EnabledCapabilities(node *property, char *value, int type);

#endif
