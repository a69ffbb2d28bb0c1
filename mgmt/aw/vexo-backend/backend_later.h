// Steps of back-end start, and helpers of the function enumeration, whose
// code comes with later work (login options, the iSCSI services).
//
// They are called through their real names now, so that the start runs the
// full sequence; until its work lands each one does nothing and answers 1
// ("nothing done"), which every caller tolerates: back-end start and the
// enumeration ignore these results. The definitions, with the list of what
// each is waiting for, are in backend_later.cpp, and that file is the one
// place to look for them.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_BACKEND_LATER_H
#define HLVD_MGMT_AW_VEXO_BACKEND_BACKEND_LATER_H

#include "mgmt/vexo/core/hm_types.h"

#endif
