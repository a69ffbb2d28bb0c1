#include "mgmt/aw/vexo-backend/backend_later.h"

// ===========================================================================
// LATER START-UP STEPS: waiting for their work, each does nothing and
// answers 1.
//
//   login options ........................ VEXO_set_lhba_prop
//
// When a step lands, delete its definition here; its declaration moves to
// the header of its own code.
// ===========================================================================

extern "C" {

int VEXO_set_lhba_prop(void)
{
    return 1;
}

} // extern "C"
