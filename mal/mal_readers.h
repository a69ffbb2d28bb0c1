// Typed property readers: each reads the properties named in a table from one
// group and converts their texts into the destinations of the table.
//
// Entries are read in table order. An entry fails when its property is
// missing (114) or its read fails (64 or 114); the failing entry gets the
// reader's failure value and the reader goes on. Every reader but the MAC
// reader stops at once with 64 when a read finds the adapter busy. The result
// is the failure code of the last failing entry, or 0 (the Bool reader never
// reports failures; the MAC reader also answers 1 for a text without six
// parts).
#ifndef HLVD_MAL_MAL_READERS_H
#define HLVD_MAL_MAL_READERS_H

#include <cstdint>

#include "flash/rm_status.h"
#include "mgmt/vexo/core/hm_types.h"

// One table entry. `size` is the width of a text destination (terminator
// included) and is read only by the String reader: a value longer than the
// field is cut to fit; a width of 0 makes the entry fail (4).
struct MAL_PropertyDesc {
    const char *name;
    void *value;
    uint32_t size;
};

// Destination of the IPv6 reader.
#define MAL_IPV6_TEXT_SIZE 64
struct MAL_IPv6Address {
    uint8_t address[16];                // group 0 first, high byte first
    char text[MAL_IPV6_TEXT_SIZE];      // the value as read, or "Not Available"
};

extern "C" {
// int32_t: 1 true, 0 false, 2 undetermined.
RM_STATUS MAL_GetBoolProperties(node_tag_t group, int count, const MAL_PropertyDesc *table);
// uint32_t, read as hexadecimal.
RM_STATUS MAL_GetHexProperties(node_tag_t group, int count, const MAL_PropertyDesc *table);
// uint64_t, read as hexadecimal.
RM_STATUS MAL_GetHex64Properties(node_tag_t group, int count, const MAL_PropertyDesc *table);
// int32_t, decimal; "N/..." is 0x0FFFFFFF for ETO and DefaultETO, else 0.
RM_STATUS MAL_GetIntProperties(node_tag_t group, int count, const MAL_PropertyDesc *table);
RM_STATUS MAL_GetInt64Properties(node_tag_t group, int count, const MAL_PropertyDesc *table);
// uint8_t[4], the first number of the dotted text first.
RM_STATUS MAL_GetIpAddrProperties(node_tag_t group, int count, const MAL_PropertyDesc *table);
// MAL_IPv6Address.
RM_STATUS MAL_GetIpV6AddrProperties(node_tag_t group, int count, const MAL_PropertyDesc *table);
// uint8_t[6], in the order of the text.
RM_STATUS MAL_GetMacAddrProperties(node_tag_t group, int count, const MAL_PropertyDesc *table);
// char[size].
RM_STATUS MAL_GetStringProperties(node_tag_t group, int count, const MAL_PropertyDesc *table);
}

#endif
