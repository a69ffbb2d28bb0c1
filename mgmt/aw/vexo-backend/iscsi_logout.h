// Persistent logins (the firmware's table of logins it re-establishes after a
// reboot, mirrored by lines of the saved-targets file), the Logout action of
// a Target, and the clean-ups of dead or removed sessions.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_LOGOUT_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_LOGOUT_H

#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/hm_types.h"

// session_flags of login and persistent-login requests.
#define ISCSI_SESSION_NOT_PERSISTENT 0x0001
#define ISCSI_SESSION_DISCOVERY 0x0010
#define ISCSI_SESSION_TARGET 0x0040
#define ISCSI_SESSION_BOOT 0x0100

// Adds the persistent login of `target` at `address`:`port` with the ISID
// `qualifier` to the firmware and its line to the saved-targets file.
// `login_options` may be null (the Target's own options are used); `eto` 0
// sends no timeout. 0; 1; or the firmware's refusal. When the line cannot be
// written the firmware entry is taken back and the call fails (status 128).
int make_session_persistent(node *target, const char *address, const char *port, int qualifier,
                            const MGMT_LOGIN_OPTIONS *login_options, const char *boot_text,
                            const char *initiator_name, int eto);
// Fills a zeroed persistent-login request except its login options. 0, or 1
// (status 71 when a Session of the tree holds the qualifier).
int VEXO_update_target_params(ADD_PERSISTENT_LOGIN_PARAMS *request, node *lhba, node *target, int qualifier,
                              const char *address, const char *port, const char *boot_text,
                              const char *initiator_name, int eto);
// Appends the persistent-login line unless one of that key, target, portal
// and qualifier is saved. 0, or 1 (a failed append sets status 128).
int VEXO_update_tgt_entry(node *lhba, node *target, const char *address, const char *port, int qualifier,
                          const char *persistence_text);
// Removes the persistent login from the firmware and, unless `flag` is 1,
// its lines from the saved-targets file. 0, or the firmware's result (status
// 127, the lines stay).
int delete_persistent(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *target,
                      const char *target_name, const char *address, const char *port, int qualifier,
                      const char *initiator_name, int flag);

// The Logout action of a Target.
VEXO_status_t do_Logout(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// Drops the persistent logins of the Target's closed or failed sessions
// (with `flag` 1 only those to `portal`) and sets `active_session` to 1 when
// a live one remains. 0 after every session was looked at, else 1.
int VEXO_check_session_status(node *target, const char *target_name, int aw_port_number, int *active_session,
                              node *action_node, node *portal, int flag);
// Clears the boot mark of a closed or failed boot `session` and, on
// Trelmont (`family` 5), removes its boot target entry from region 3; `who`
// names the caller in the log. 0, or 1 (status 307 when the entry cannot be
// removed: the mark is then set again so firmware and region agree).
int clear_dead_boot_session(const char *who, node *session, int aw_port_number, unsigned int domainid,
                            unsigned int phba_port, int family);
// Deletes one Session with its Connection and rebuilds the Target's LUNs.
// The status of the last deletion; 1 for a missing argument or Connection.
int VEXO_cleanup_sessions(node *target, node *session, unsigned int domainid, unsigned int phba_port);

#endif
