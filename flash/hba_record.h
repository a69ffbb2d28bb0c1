// The per-device working record: one adapter function as the version rules
// and the flash decision see it. It begins with the active firmware record,
// so a pointer to it serves wherever that image record is expected.
#ifndef HLVD_FLASH_HBA_RECORD_H
#define HLVD_FLASH_HBA_RECORD_H

#include <cstddef>
#include <cstdint>

#include "flash/image_record.h"

// Kinds of function.
const int32_t HBA_KIND_FC = 0; // Varrow FC functions included
const int32_t HBA_KIND_NIC = 2;
const int32_t HBA_KIND_ISCSI = 4;
const int32_t HBA_KIND_FCOE = 8;

struct _Hba {
    CLUImage activeFw;
    CLUImage activeBoot;
    char rawFwVersion[32];
    char rawBootVersion[32];
    char fwPrefix[8];
    char bootPrefix[8];
    int32_t prefixValid;
    int32_t kind;
    int32_t adapterImageType;
    uint32_t activeVersion[4]; // major, minor, release, build
    int32_t dualChannel;
    int32_t blade;
    uint32_t pciSegment;
    uint32_t pciBus;
    uint32_t pciDevice;
    uint32_t pciFunction;
    uint32_t deviceId;
    uint32_t vendorId;
    uint32_t subDeviceId;
    uint32_t subVendorId;
};

static_assert(offsetof(_Hba, activeFw) == 0, "the record begins with the active firmware record");

// An FC function (kind 0), Varrow FC functions included.
int isQuellbeamHBA(const _Hba *hba);
// A NIC, iSCSI or FCoE function of a converged adapter.
int isCNA(const _Hba *hba);
// A Varrow FC function by its device id, whatever the kind.
int isVarrowFCHBA(const _Hba *hba);

#endif
