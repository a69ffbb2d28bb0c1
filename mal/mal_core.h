// The client layer's core: its lock, the wrappers of the management API,
// start and stop, the enumerations of repeated groups, and small converters.
//
// Every wrapper holds gVexoMutex for exactly one library call and maps the
// library's status into RM_STATUS: 0, 64 (adapter busy, library status 14)
// or 114 (any other failure). The operations marked "unmapped" hand the
// library's own VEXO_status_t back instead.
#ifndef HLVD_MAL_MAL_CORE_H
#define HLVD_MAL_MAL_CORE_H

#include <cstdint>

#include <pthread.h>

#include "flash/rm_status.h"
#include "mgmt/vexo/core/hm_types.h"

// Entries a caller's tag array must hold for an enumeration.
#define MAL_MAX_TAGS 1024
// Texts of the layer (terminator included).
#define MAL_VALUE_SIZE 256
#define MAL_STATUS_TEXT_SIZE 600
#define MAL_INSTANCE_NAME_SIZE 35
// Capacity limit of MAL_StrToByteArray.
#define MAL_MAX_BYTE_ARRAY 1536

// Node kinds of MAL_get_node_tag.
#define MAL_NODE_GROUP 1
#define MAL_NODE_PROPERTY 2
#define MAL_NODE_ACTION 3

// Kinds of MAL_EnumerateHbas.
#define MAL_HBA_PORT 0
#define MAL_HBA_NIC 1
#define MAL_HBA_ISCSI 2
#define MAL_HBA_LOGICAL 3

// Kinds of MAL_EnumerateTargetSubGroup.
#define MAL_TARGET_PORTAL 0
#define MAL_TARGET_SESSION 1
#define MAL_TARGET_LUN 2

// Serialises the process's calls into the management library. Statically
// initialised and never destroyed while the library is loaded, so a stop
// never leaves it unusable for a thread that is about to lock it.
extern pthread_mutex_t gVexoMutex;

// An action's parameter block: six texts of 256 characters.
typedef char MAL_ActionParams[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];

extern "C" {

// The POSIX results of locking and unlocking gVexoMutex.
int MAL_EnterCriticalSection(void);
int MAL_LeaveCriticalSection(void);

// Wrappers. `value` buffers hold 256 characters.
RM_STATUS MAL_get_node_tag(node_tag_t parent, const char *name, node_tag_t *tag, int type);
RM_STATUS MAL_get_property_val(node_tag_t parent, node_tag_t tag, char *value, int len);
RM_STATUS MAL_get_valid_instances(node_tag_t parent, const char *name, int *instances, int *count);
RM_STATUS MAL_refresh_group(node_tag_t group);
RM_STATUS MAL_set_property_val(node_tag_t parent, node_tag_t tag, const char *value, int len);
// 0 or 64; otherwise 114, or with `pass_through` set the library's own
// status (a VEXO_status_t). `new_tags` holds 4097 entries or is null.
int32_t MAL_do_action(node_tag_t context, node_tag_t action, MAL_ActionParams params, node_tag_t *new_tags,
                      int pass_through);
// Runs the action and reads its last status under one holding of the lock;
// `status_text` holds 600 characters. 0 or 64, else the library's status
// unmapped. *status_code is -1 when the last status could not be read.
int32_t MAL_do_action_with_status(node_tag_t context, node_tag_t action, MAL_ActionParams params,
                                  node_tag_t *new_tags, VEXO_status_t *status_code, char *status_text);
// Unmapped.
VEXO_status_t MAL_get_last_status(VEXO_status_t *status_code, char *status_text);
// Fetches (and drops) the last status of a failed call so the trace shows
// the library's message; answers `status` unchanged. Call without the lock.
VEXO_status_t MAL_ProcessVexoStatus(VEXO_status_t status);

// Starts the library; both out-arguments hold 256 characters. 0, 64 or 114.
// On a failure after the library started, it stays started.
RM_STATUS MAL_VEXO_Init(char *service_version, char *hierarchy_version);
// 0, or 114 when the library's stop failed.
RM_STATUS MAL_VEXO_Exit(void);

// Enumerations: *count is the capacity of `tags` on entry (at least 1024,
// else 29) and the number of tags on return. On a failure part-way the array
// is partly converted and must not be used.
RM_STATUS MAL_EnumerateArcwrights(int *count, uint32_t *tags);
RM_STATUS MAL_EnumerateHbas(node_tag_t adapter, int kind, int *count, uint32_t *tags);
RM_STATUS MAL_EnumerateTargets(node_tag_t logical_hba, int *count, uint32_t *tags);
RM_STATUS MAL_EnumerateTargetSubGroup(node_tag_t target, int kind, int *count, uint32_t *tags);
RM_STATUS MAL_EnumerateSendTargetPortals(node_tag_t logical_hba, int *count, uint32_t *tags);
RM_STATUS MAL_EnumerateExtFatModules(node_tag_t adapter, int *count, uint32_t *tags);
RM_STATUS MAL_EnumerateChannels(node_tag_t port, int *count, uint32_t *tags);
RM_STATUS MAL_EnumerateProfiles(node_tag_t adapter, int *count, uint32_t *tags);
RM_STATUS MAL_EnumerateProtocols(node_tag_t profile, int *count, uint32_t *tags);
RM_STATUS MAL_EnumeratePMPorts(node_tag_t adapter, const char *profile_group, int *count, uint32_t *tags);
RM_STATUS MAL_EnumeratePMPortFunctions(node_tag_t port, int *count, uint32_t *tags);

// The instance number of the member of `base_name` below `parent` whose tag
// is `tag`: 0, 21 when no member has it, 114 on a library failure.
RM_STATUS MAL_TagToInstance(node_tag_t parent, const char *base_name, node_tag_t tag, int *instance);

// Hexadecimal text to bytes. *length: capacity on entry (at most 1536), byte
// count on return. 0; 4 for a missing argument or capacity; 7 when the bytes
// do not fit (nothing written, *length the count needed).
RM_STATUS MAL_StrToByteArray(uint8_t *bytes, const char *text, uint32_t *length);
// IPv6 text to 16 bytes, group 0 first, high byte first; an unusable text
// gives 16 zero bytes. `text` is cut at its first character that cannot
// belong to an address.
void MAL_IPv6_StrToBin(char *text, uint8_t address[16]);

} // extern "C"

bool isIpAddressAllZeros(const uint8_t address[4]);
bool isIpv6AddressAllZeros(const uint8_t address[16]);
bool isNewIpAddress(const uint8_t address[4]);
bool isNewIpv6Address(const uint8_t address[16]);
bool isNewMacAddress(const uint8_t mac[6]);
// Three dots between digit groups; see the layer's rules for the edge forms.
bool IsIpv4(const char *text);
// The value of one hexadecimal digit, or -1.
int hex_value(char c);

#endif
