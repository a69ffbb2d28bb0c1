// Device properties and proposed actions: an adapter table entry becomes a
// discovery record with its active versions read from the hardware, a
// discovery record becomes a working record, and every record of a list gets
// the image and action proposed for each of its firmware items.
#ifndef HLVD_FLASH_DEVICE_PROPERTIES_H
#define HLVD_FLASH_DEVICE_PROPERTIES_H

#include <cstdint>
#include <vector>

#include "flash/discovery_xml.h"
#include "flash/hba_record.h"

// The table index of a PCI address: 0, or 10008 when no entry matches.
int GetAdapterIndxByPciIDs(uint32_t segment, uint32_t bus, uint32_t device, uint32_t function, uint32_t *index);

// Fills a freshly constructed record from one table index: 0, 4 or 10008.
int GetDiscoveredAdapterProperty(uint32_t index, DiscoveredDevice &record);

// Appends one record per table entry whose properties could be read.
void CreateDiscoveredDevicesList(std::vector<DiscoveredDevice> &list);

// Fills a zero-filled working record from a record; always 0. FC functions
// other than Varrow FC lose the dots of their active versions in the record.
int ConvertDiscoveredDeviceToHbaStructure(DiscoveredDevice &record, _Hba *hba);

// Sets the proposed image and action of every item of every record: 0, or
// 10001 when the working record cannot be allocated (the list is untouched).
int UpdateDiscoveredDevicesList(std::vector<DiscoveredDevice> &list);

#endif
