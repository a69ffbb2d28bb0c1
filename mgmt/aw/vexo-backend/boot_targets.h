// Boot sessions of the iSCSI initiator: the firmware's boot mark of a
// session (bit value 0x100 of its flags) and, on Trelmont adapters, the
// session's boot target entry in iSCSI region 3 with its priority.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_BOOT_TARGETS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_BOOT_TARGETS_H

#include <cstdint>

#include "mgmt/aw/vexo-backend/backend_iscsi_region.h"
#include "mgmt/vexo/core/hm_types.h"

// Sets ("True") or clears ("False") the boot mark of `session`, whose
// current flags are `session_flags`; nothing is sent when iSCSIBoot
// already shows `value`. 0 or 1.
int VEXO_configure_boot_target(node *session, uint32_t session_flags, const char *value, int aw_port_number,
                               unsigned int domainId, unsigned int phba_port);
// Whether the first Session of a Target of `lhba` shows `priority`
// ("Primary" or "Secondary"): 0 free, 341 already used, 1 failure.
int VEXO_check_boot_target_priority(node *lhba, const char *priority);
// Number of Targets of `lhba` whose first Session is a boot session; 0 or 1.
int VEXO_check_boot_target_num(node *lhba, uint8_t *count);
// Makes `session` a boot session or not, with the region 3 entry on
// Trelmont; 0, 1 or 341.
int VEXO_configure_boot_params(node *session, const char *boot, const char *priority);

VEXO_status_t do_ConfigureBootTarget(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t handle_boot_session(node *property, char *value, int type);
VEXO_status_t handle_BootTargetPriority(node *property, char *value, int type);

// Tree walks the boot handlers share.
namespace bootwalk
{

// The groups above a Session or LUN and where its commands go.
struct BootPlace {
    node *session; // the group itself when it is a Session
    node *target, *lhba, *phba, *adapter;
    int aw;
    unsigned int domain, port;
    int family;     // get_aw_type of the adapter
    int32_t handle; // the Session's session_handle, when handle_ok
    bool handle_ok;
};

// Fills `p` for `group`; false when it has no adapter group above it.
bool locate(node *group, BootPlace *p);
// Reads a property of `group` through its handler into `out` (256 bytes).
bool read_prop(node *group, const char *name, char *out);
bool session_handle_of(node *session, int32_t *out);
// The Session's cached ISIDQualifier text as a number.
bool isid_qualifier_of(node *session, long *out);
// The first boot target entry (type 3) of a region image whose
// isid_qualifier is `qualifier`; null when none. Entries that do not fit
// the image end the walk.
uint8_t *find_boot_entry(VEXO_ISCSI_BOOT_REGION *region, long qualifier);

} // namespace bootwalk

#endif
