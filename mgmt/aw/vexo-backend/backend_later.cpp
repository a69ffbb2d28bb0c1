#include "mgmt/aw/vexo-backend/backend_later.h"

// ===========================================================================
// LATER START-UP STEPS: waiting for their work, each does nothing and
// answers 1.
//
//   NC-SI ................................ VEXO_get_ncsi_attributes
//   login options ........................ VEXO_set_lhba_prop
//   iSCSI targets (client variant) ....... VEXO_refresh_backend_client_iscsi_targets
//
// When a step lands, delete its definition here; its declaration moves to
// the header of its own code.
// ===========================================================================

extern "C" {

int VEXO_get_ncsi_attributes(int, unsigned int, node *, node *, int, int)
{
    return 1;
}

int VEXO_set_lhba_prop(void)
{
    return 1;
}

int VEXO_refresh_backend_client_iscsi_targets(void)
{
    return 1;
}

} // extern "C"
