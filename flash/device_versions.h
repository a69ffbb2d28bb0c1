// Device version records: the versions an adapter function reports, turned
// into the two image records at the head of its working record, with its
// legacy prefixes, adapter image type and four-part active version.
#ifndef HLVD_FLASH_DEVICE_VERSIONS_H
#define HLVD_FLASH_DEVICE_VERSIONS_H

#include <cstddef>
#include <cstdint>

#include "flash/hba_record.h"

// Two-letter legacy firmware family code of an FC device: 0 found (the
// empty code for converged and Varrow functions); 1 device id not listed
// (destination untouched); 4 missing destination, a zero id or size below 8.
int getLegacyFwType(char *dest, size_t size, uint32_t deviceId, uint32_t vendorId, uint32_t subDeviceId,
                    uint32_t subVendorId, int32_t dualChannel);

// Sets fwPrefix, bootPrefix and prefixValid; the result of the lookup.
int setPrefixFields(_Hba *hba);

// Decodes a raw FC version text into the record's legacyEncodedRev:
// 0, or 1 when an argument is missing.
int decodeRawFCBuildString(CLUImage *record, const char *rawVersion);

// Both records of a converged or Varrow FC function.
void encodeAndUpdateCNAVersion(_Hba *hba);

// Both records of an FC function.
void encodeAndUpdateFCVersion(_Hba *hba);

#endif
