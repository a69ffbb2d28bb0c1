#include "mgmt/aw/vexo-backend/backend_later.h"

// ===========================================================================
// LATER START-UP STEPS: waiting for their work, each does nothing and
// answers 1.
//
//   (none waiting)
//
// When a step lands, delete its definition here; its declaration moves to
// the header of its own code.
// ===========================================================================
