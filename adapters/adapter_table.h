// The adapter table of one adapter-touching call: one entry per adapter
// function, FC-side functions first (in the order the diagnostics library
// reports them), then per converged controller its iSCSI and its NIC
// functions. An entry's index is the adapter number every other part passes
// around; for an FC-side entry it is also the diagnostics library's board.
#ifndef HLVD_ADAPTERS_ADAPTER_TABLE_H
#define HLVD_ADAPTERS_ADAPTER_TABLE_H

#include <cstddef>
#include <cstdint>

// Bits of _Adapter::flags.
const uint8_t ADAPTER_FLAG_DOWNLOADING = 0x01;
const uint8_t ADAPTER_FLAG_DUAL_CHANNEL = 0x04;
const uint8_t ADAPTER_FLAG_VPD_MODEL = 0x10;
const uint8_t ADAPTER_FLAG_MODEL_FROM_VPD = 0x20;

// Bits of _Adapter::kindFlags.
const uint32_t ADAPTER_KIND_MANAGED = 0x20; // handled through the management library
const uint32_t ADAPTER_KIND_NIC = 0x02;
const uint32_t ADAPTER_KIND_ISCSI = 0x04;
const uint32_t ADAPTER_KIND_FCOE = 0x08;

struct _Adapter {
    uint32_t pciSegment;        // FC side: never set, always 0
    uint32_t pciBus;
    uint32_t pciDevice;
    int8_t pciFunction;
    uint16_t deviceId;          // FC-side ids
    uint8_t flags;
    uint16_t jedecId;
    uint16_t subDeviceId;
    uint16_t vendorId;
    uint16_t subVendorId;
    uint32_t ieeeAddress[2];    // most significant byte of word 0 first
    char serialNumber[32];
    int32_t vpdV4Number;
    char vpdV4Text[32];
    char modelName[80];
    uint16_t ibmPSeries;
    uint32_t personalityWord;
    uint32_t kindFlags;
    uint32_t controllerIndex;   // into gCB_Arcwright
    uint32_t portNumber;
    char portName[32];
    uint32_t linkState;
    char controllerSerial[64];
    char bootCodeVersion[32];
    uint32_t cnaDeviceId;       // converged-side ids and location
    uint32_t cnaVendorId;
    uint32_t cnaSubDeviceId;
    uint32_t cnaSubVendorId;
    uint32_t cnaSegment;
    uint32_t cnaBus;
    uint32_t cnaDevice;
    uint32_t cnaFunction;
    uint32_t cnaDevfn;
    uint8_t macAddress[6];
    uint8_t permanentMacAddress[6];
    uint32_t maxMailboxBytes;
    uint32_t sli4;
    uint32_t fcoeCapable;
    uint32_t revisionId;
    // The entry keeps the size it has on its host; the FC engine's per-board
    // state is not part of it here.
    uint8_t reserved[7780];
};

// No pointer inside, so the size is the same in both builds.
static_assert(sizeof(_Adapter) == 8180, "_Adapter is 8180 bytes");

// Globals of discovery (values at load in the comments).
extern _Adapter *gAdapters;            // null
extern uint32_t gTotalHBAs;            // 0
extern uint32_t gAdapterCount;         // 0: FC-side entries at the head
extern uint32_t giSCSICount;           // 0
extern uint32_t gNICCount;             // 0
extern uint32_t gFCoECount;            // 0
extern char **gVPDModelDescription;    // null; one heap text or null per entry
extern int32_t gUseVPD_ModelName;      // 0
extern int32_t gVEXOSupport;           // 1; once 0 it stays 0 for the process
extern int32_t main_HostEndian;        // 1: PCI ids used as read
extern uint8_t gOtherChannel;          // 0

// Index checks.
int AdapterExists(uint32_t index);
int AdapterExists4(uint32_t index);
int AdapterExists4V2(uint32_t index);

// Entry predicates: 0 for an index that fails its check.
int isTessik(int32_t index);
int isVarrowFC(int32_t index);
int isVarrowFCoE(int32_t index);
int isVarrowCNA(int32_t index);
int isVarrow(int32_t index);
int isVarrowG6(int32_t index);
int isTrelmontFCoE(int32_t index);
int isHBATypeArcwright(int32_t index);
int isHBATypeArcwrightFCoE(int32_t index);
int isHBATypeArcwrightiSCSI(int32_t index);
int isHBATypeArcwrightNIC(int32_t index);
int isAWFCoEDevId(int32_t index);
int isAWiSCSIDevId(int32_t index);
int isAWNICDevId(int32_t index);
int isAWDevId(int32_t index);
int isSLI4(int32_t index);

// Channel tests over the FC-side entries.
int IsItDC(uint8_t index);
int IsItQC(uint8_t index);
int IsItMcFC(uint8_t index);

// Reverses the bytes inside each 32-bit word of the buffer in place.
void SwapBytes1(uint8_t *buffer, uint32_t length);

// Process id of a "vexo2d" daemon whose parent is process 1, or 0.
int GetVexoPid();

#endif
