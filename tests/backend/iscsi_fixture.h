// A simulated host with one iSCSI function for the back end's login tests:
// its machine, the start and exit of the back end with the counted-memory
// check, actions run by name, and the simulator's initiator document.
#ifndef HLVD_TESTS_ISCSI_FIXTURE_H
#define HLVD_TESTS_ISCSI_FIXTURE_H

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "mgmt/vexo/core/hm_types.h"
#include "support/sim_host.h"

namespace iscsitest {

const char kPlain[] = "iqn.2001-04.com.example:plain";
const char kMutual[] = "iqn.2001-04.com.example:mutual";
const char kInitiator[] = "iqn.1998-01.com.example:host";

// One iSCSI function with a static address, a plain target and one that
// wants mutual CHAP (initiator "ini"/"inisecret123", target
// "tgt"/"tgtsecret123").
nlohmann::json two_target_machine(const char *serial, const char *generation, const char *device_id);

struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
};

// An action of `group`; a parameter given empty is absent.
Outcome act(node *group, const char *name, const std::vector<std::string> &given = {});

class IscsiHost : public ::testing::Test
{
protected:
    // The back end's start on the host as it is; `make_lhba` adds the
    // LogicalHBA when the start found none.
    void boot(const std::string &serial, bool make_lhba);
    void stop();
    void TearDown() override { stop(); }

    nlohmann::json initiator();
    static node *auth_of(node *t);
    static std::string prop(node *group, const char *name);

    std::unique_ptr<hlvdtest::SimHost> host_;
    node *lhba_ = nullptr;
    int count_ = 0;
    bool started_ = false;
};

} // namespace iscsitest

#endif
