// The firmware's iSCSI logins of an iSCSI function: the login that opens a
// session, the logout that ends one, and the table of persistent logins the
// firmware logs in again by itself after a reboot.
//
// State: the function's object "initiator" (see iscsi_session_model.h for
// "targets" and "sessions"). Keys this model reads or owns:
//   "targets": [{"name": "iqn...",
//                "chap": {"method": "none" | "one-way" | "mutual",
//                         "initiator_name": "...", "initiator_secret": "...",
//                         "target_name": "...", "target_secret": "..."},
//                "digest": {"header": "none" | "crc32c" | "any",
//                           "data": "none" | "crc32c" | "any"},
//                "unreachable": true}]
//       A login to a name the list does not hold is refused as not found
//       (status 2, additional 46), one to an unreachable target with
//       additional 19. "chap" (default method "none"): CHAP offered to a
//       target without CHAP, no CHAP or another target name or secret
//       than these (a secret given as "0x..." is its bytes) are refused
//       with additional 44; a mutual target also wants the mutual flag and
//       the initiator name and secret. "digest" (default "any"): "crc32c" wants that
//       digest, "none" refuses it; a mismatch is additional 100.
//   "sessions": a login adds {"handle", "target", "isid", "tsih", "status": 1,
//       "flags", "initiator", "unit_attention": false, "connection": {...}}
//       (no unit attention pending, see scsi_model.h); a login to the same target
//       with the same ISID replaces the earlier session. At 64 sessions the
//       login is refused with status 20 (session table full). A session
//       with a persistent login of its target and qualifier persists (flag
//       0x1 clear) and takes that login's boot bit (0x100).
//   "logout_refusals": n   the next n logouts are refused (additional 21)
//   "persistent": [{"target", "ip", "port", "isid" (the qualifier), "flags",
//                   "initiator", "eto", "chap"}]  added by 6/27 (duplicates
//       are kept), removed by 6/28 (every entry of that target, address,
//       port and qualifier; none: additional 46). "chap" is the CHAP the
//       login offers, in the keys of a target's "chap" with the secrets in
//       the "0x..." form ("method": "invalid" for lengths outside their
//       fields); an entry without it offers none. 6/27 also adds its
//       address and port to the "portals" of a target the list holds (tag:
//       the highest tag + 1), unless that portal is there already.
// After a reboot the sessions are gone and every persistent login of a
// known, reachable target that accepts its CHAP is a session again.
//
//   6/23 login   6/24 logout   6/27 add persistent login   6/28 delete it
#ifndef HLVD_SIM_ISCSI_LOGIN_MODEL_H
#define HLVD_SIM_ISCSI_LOGIN_MODEL_H

#include <nlohmann/json.hpp>

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_login_target(FwContext &c);         // 6/23
void cmd_logout_target(FwContext &c);        // 6/24
void cmd_add_persistent_login(FwContext &c); // 6/27
void cmd_del_persistent_login(FwContext &c); // 6/28

// The reboot of the adapter whose document is `adapter_doc`.
void login_reboot(nlohmann::json &adapter_doc);

} // namespace hlvdsim

#endif
