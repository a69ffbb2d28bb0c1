// Converged adapters in the adapter table: the controller enumeration through
// the management client layer, the merge of their iSCSI and NIC functions
// behind the FC-side entries, and the linking of FCoE functions to their
// controllers.
#ifndef HLVD_ADAPTERS_CONVERGED_DISCOVERY_H
#define HLVD_ADAPTERS_CONVERGED_DISCOVERY_H

#include <cstdint>

#include "mal/mal_records.h"
#include "mgmt/vexo/core/hm_types.h"

// Results of the steps.
const int CONVERGED_ALREADY_ENUMERATED = 255;
const int CONVERGED_LIBRARY_NOT_OPEN = 72;
const int CONVERGED_NO_MEMORY = 10001;
// The management library's start lock or a converged adapter's lock stayed
// busy: the adapters cannot be listed whole.
const int CONVERGED_BUSY = 64;

// Bits of _CB_Arcwright::flags (0x20 always with its kind bit).
const uint32_t CONTROLLER_HAS_ISCSI = 0x24;
const uint32_t CONTROLLER_HAS_NIC = 0x22;
const uint32_t CONTROLLER_HAS_FCOE = 0x28;

struct _CB_iSCSIFunction {
    uint32_t controllerIndex;
    uint32_t functionIndex;
    node_tag_t tag;
    uint32_t linkState; // of the port with the same port number
    MAL_iSCSIPhysicalProperties properties;
    uint8_t macAddress[6];
    uint8_t permanentMacAddress[6];
};

struct _CB_NICFunction {
    uint32_t controllerIndex;
    uint32_t functionIndex;
    node_tag_t tag;
    MAL_NicPhysicalProperties properties;
};

struct _CB_Port {
    uint32_t controllerIndex;
    int32_t portNumber;
    uint32_t linkState;
    char fcoeWwpn[32];
    char portName[32];
};

// One converged controller.
struct _CB_Arcwright {
    uint32_t flags;
    uint32_t iSCSICount;
    uint32_t nicCount;
    uint32_t portCount;
    node_tag_t tag;
    MAL_AWProperties properties;
    char makerSerialNumber[256]; // "OEM" OrvaneSerialNumber
    char oemSerialNumber[256];   // "OEM" OEMSerialNumber
    int32_t personalityManagementWord;
    _CB_NICFunction *nicFunctions;
    _CB_iSCSIFunction *iSCSIFunctions;
    _CB_Port *ports;
};

#if defined(__i386__)
static_assert(sizeof(_CB_Arcwright) == 3384, "_CB_Arcwright is 3384 bytes");
#endif

extern uint32_t gAwCount;             // controllers in gCB_Arcwright
extern _CB_Arcwright *gCB_Arcwright;  // the controller table, or null
extern int32_t gVEXO;                 // 1 while discovery holds the management library open
extern int32_t gAWInit;               // 1 once this call's enumeration completed
extern int32_t gAWBusy;               // 1 when this call's enumeration was turned away busy
extern char VEXO_ServiceVersion[256]; // service version of the open library

// Lists the converged controllers and counts their functions; runs before the
// adapter table is sized. 0, 255 when already done in this call, the start
// failure of the management library, 64 when a controller's reads answered
// busy (the enumeration stops there), or 10001. A busy start or busy reads
// set gAWBusy.
int LocateBrindlefin();

// Starts the management library through the client layer: 0, 64 or 114.
int QbCfgInitVexo(char *serviceVersion, char *hierarchyVersion);

// The OEM values of a controller: 0 or the first failing status.
int BF_GetOEMProperties(node_tag_t tag, _CB_Arcwright *controller);

// Fills the entries behind the FC-side entries; 64 when this call's
// enumeration was turned away busy, 72 when the library is not open.
int updateArcwrightAdapters();

// Ties FCoE functions to their controllers; 72 when the library is not open.
int getAdditionalFCoEProps();

// 0 when `wwpn` ("10:00:00:90:fa:12:34:56") names the IEEE address of the
// FC-side entry, else 1.
int compareIEEEAddresses(uint32_t index, const char *wwpn);

// Frees the controller table with its arrays and, when discovery opened the
// management library, closes it (gVEXO is left for the caller to clear);
// clears gAWBusy.
void ReleaseConvergedControllers();

#endif
