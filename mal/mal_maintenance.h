// Maintenance operations of the client layer: firmware upgrade from an image
// file, the PCI (flash) dump, the VPD of a function, the adapter's FFV name,
// the core dump, the trace log, the transceiver pages and the 10GBASE-T
// diagnostics, each run by name through the management API.
#ifndef HLVD_MAL_MAL_MAINTENANCE_H
#define HLVD_MAL_MAL_MAINTENANCE_H

#include <cstdint>

#include "flash/rm_status.h"
#include "mgmt/vexo/core/hm_types.h"

// Room MAL_GetVPD asks of its caller at least.
#define MAL_VPD_MIN_LENGTH 1024
// Words of one transceiver page.
#define MAL_TRANSCEIVER_WORDS 64

// Read from the port's BaseT10G group, one field per property of the same
// name; the two whose names begin with a digit carry it after the word.
struct MAL_10GBaseTAttributes {
    uint32_t BaseT10GDiagStatus; // "10GBaseTDiagStatus"
    int32_t TimeSinceLinkHigh;
    int32_t TimeSinceLinkLow;
    int32_t AverageMSEPairA;
    int32_t AverageMSEPairB;
    int32_t AverageMSEPairC;
    int32_t AverageMSEPairD;
    int32_t LDPCFrameHigh;
    int32_t LDPCFrameLow;
    int32_t PHYCRC8High;
    int32_t PHYCRC8Low;
    int32_t Temperature;
    uint32_t PairASNR;
    uint32_t PairBSNR;
    uint32_t PairCSNR;
    uint32_t PairDSNR;
    int32_t NVPValue;
    int32_t PhyLinkDownReason;
};
static_assert(sizeof(MAL_10GBaseTAttributes) == 72, "10GBASE-T attributes record");

struct MAL_10GBaseTCounters {
    int32_t MDIPLLEventCounter;
    int32_t EMI10GEventCounter; // "10GEMIEventCounter"
    int64_t PHYFrameCounter;
};
static_assert(sizeof(MAL_10GBaseTCounters) == 16, "10GBASE-T counters record");

struct MAL_10GBaseTTDRResult {
    int32_t PairAResult;
    int32_t PairBResult;
    int32_t PairCResult;
    int32_t PairDResult;
    int32_t PairALengthEstimation;
    int32_t PairBLengthEstimation;
    int32_t PairCLengthEstimation;
    int32_t PairDLengthEstimation;
    int32_t NVPUsed;
};
static_assert(sizeof(MAL_10GBaseTTDRResult) == 36, "10GBASE-T cable test record");

extern "C" {
// Runs the adapter's UpgradeFlashROM action with the image file. Answers a
// VEXO_status_t: the last status the action left (55 for a flash that needs
// a reboot, 0 for one that needs none); 55 when the action succeeded and its
// status could not be read; -1 when neither could be; 114 when the action
// is missing. A failed action never answers 0.
int32_t MAL_UpgradeFlash(node_tag_t adapter, const char *file);
// Runs the adapter's RetrieveStratolinkPCIDump action into `file`: 0 when
// the dump was written; otherwise the last status the action left, or 114
// when the action is missing or its status unreadable. Never 0 for a dump
// that did not happen.
int32_t MAL_RetrievePCIDump(node_tag_t adapter, const char *file);
// The VPD bytes of a function (its VPD group's VPDData0 to VPDData8):
// *length is the room in `buffer` on entry (1024 to 1536) and the bytes on
// return. 0; 7 when the room is short (*length then 0, or untouched below
// 1024); 4 for a missing argument or a room above 1536; 64 or 114 from the
// library.
RM_STATUS MAL_GetVPD(node_tag_t function, uint8_t *buffer, uint32_t *length);
// Sets the adapter's FFVName: the result of the property write (0, 64,
// 114); 114 when the property is missing.
RM_STATUS MAL_SetFFVName(node_tag_t adapter, const char *name);

// Runs the adapter's RetrieveStratolinkCoreDump action into `file`; an empty
// or null `kind` leaves the dump kind out. Answers a VEXO_status_t: the last
// status the action left, or the action's own code when it failed without
// one; 114 when the action is missing. Like every path here, one longer
// than 255 characters is refused by the library (8), never cut.
int32_t MAL_RetrieveCoreDump(node_tag_t adapter, const char *file, const char *kind);
// Writes the adapter's trace log (ExtFATData's RetrieveARMLog) to `file`
// from the snapshot `mode` ("RAM", "DDR", "FLASH"). 0; 108 when the adapter
// holds no such data; 33 for any other failure of the action; 114 when the
// group or the action is missing.
RM_STATUS MAL_RetrieveArmLog(node_tag_t adapter, const char *file, const char *mode);
// Transceiver page `page` ("A0" or "A2") of a port into `words`, in page
// order; words the dump does not hold are left as they were. 0, 4 for a
// missing argument, or the first failure (64, 114).
RM_STATUS MAL_Dump_Transceiver(node_tag_t port, const char *page, uint32_t words[MAL_TRANSCEIVER_WORDS]);

// The 10GBASE-T operations take a port group; the readers answer 4 for a
// missing record, 114 when the port has no BaseT10G group, and otherwise
// the result of the property reads named.
// The first failure of the eleven decimal fields, then of the five
// hexadecimal ones; else the result of the PhyLinkDownReason read. A failed
// NVPValue read leaves its field 0 and is not reported.
RM_STATUS MAL_10GBaseT_GetAttributes(node_tag_t port, MAL_10GBaseTAttributes *attributes);
// The result of the two 32-bit counter reads.
RM_STATUS MAL_10GBaseT_GetStatistics(node_tag_t port, MAL_10GBaseTCounters *counters);
RM_STATUS MAL_10GBaseT_GetSelfTestResult(node_tag_t port, int32_t *result);
RM_STATUS MAL_10GBaseT_GetTDRResult(node_tag_t port, MAL_10GBaseTTDRResult *result);
// Writes `value` in decimal to NVPValue: 0, 64 or 114.
RM_STATUS MAL_10GBaseT_SetCableNVP(node_tag_t port, int32_t value);
// Runs the Noise self test on pair A (no target pair); read the outcome
// with MAL_10GBaseT_GetSelfTestResult. 0, 64 or 114.
RM_STATUS MAL_10GBaseT_SelfTest(node_tag_t port);
// Runs the cable test; read its outcome with MAL_10GBaseT_GetTDRResult.
RM_STATUS MAL_10GBaseT_RunTDR(node_tag_t port);
// 14 without sending anything when the port says it cannot clear its
// counters; otherwise 0, 64 or 114.
RM_STATUS MAL_10GBaseT_ClearCounters(node_tag_t port);
}

#endif
