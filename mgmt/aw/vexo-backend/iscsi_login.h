// The Login action of a Target: the portal, initiator name and ISID
// qualifier of a new session, the login sent in the order of CHAP and digest
// fallbacks the login options define, and the Session, Connection, LUN and
// ETO state built after it. Also the ISID qualifier rules every iSCSI
// action shares, and the login of a SendTargets discovery session.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_LOGIN_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_LOGIN_H

#include <cstdint>

#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/hm_types.h"

// Byte layout of the 1,420-byte login record, request and answer.
#define LOGIN_REQ_TARGET_NAME 0
#define LOGIN_REQ_IP_ADDRESS 224
#define LOGIN_REQ_TCP_PORT 248
#define LOGIN_REQ_SESSION_FLAGS 508
#define LOGIN_REQ_EXTENDED_TIMEOUT 520
#define LOGIN_REQ_ISID_QUALIFIER 524
#define LOGIN_REQ_LOGIN_OPTIONS 528
#define LOGIN_REQ_INITIATOR_NAME 1128
#define LOGIN_REQ_INITIATOR_ALIAS 1352
#define LOGIN_REQ_BTL_MAPPING 1384
#define LOGIN_NAME_SIZE 224
#define LOGIN_ALIAS_SIZE 32
#define LOGIN_RSP_SESSION_HANDLE 0
#define LOGIN_RSP_SESSION_STATUS 4
#define LOGIN_RSP_CONNECTION_HANDLE 8
#define LOGIN_RSP_LOGIN_OPTIONS 16

// Fills the IP_ADDRESS_FORMAT at `rec` from an address text; false when it
// is not one.
bool fill_ip(uint8_t *rec, const char *address);

// A port text as a TCP port; false when it is not one.
bool port_number(const char *text, uint16_t *port);

// The Login action of a Target; 0 or 1, the detail in the last status.
VEXO_status_t do_Login(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// Sends the prepared login `request` once per CHAP and digest choice of
// `login_options` (TargetLoginOptions of a Target, or the login options of
// a send-target portal) until one is accepted. `target_type` 1 is a target
// login (each attempt's persistent login is kept in step), 0 a discovery
// login. 0, a status code, or 1.
int VEXO_esx_login(node *action_node, node *login_options, LOGIN_TARGET_PARAMS *request,
                   char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], const char *initiator_name, int session_found,
                   int target_type);

// Chooses the qualifier of a login from the `isid` text; `isid_found` 1 and
// `session` set when a closed or failed session to that portal is reused.
// 0, or 1 with the last status set where the choice is refused.
int VEXO_get_isid(node *target, const char *isid, const char *target_name, const char *initiator_name,
                  const char *address, const char *port, int *isid_found, int *qualifier, node **session);
// 1 when a Session of the tree holds the qualifier (low 16 bits), else 0.
int check_for_isid_existence(int qualifier);
// The lowest qualifier no Session holds; -1 with status 71 when every one
// is taken.
int generate_isid_qualifier(void);

#endif
