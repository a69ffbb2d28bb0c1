// The simulator never throws through its C entry points: a machine state it
// cannot answer from makes the command fail on its road, through the
// callbacks and the legacy devices alike, and the caller goes on.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "sim/machine.h"
#include "support/device_child.h"
#include "transport_fixture.h"

using namespace transporttest;
using nlohmann::json;

namespace
{

class SimBoundary : public TransportTest
{
  protected:
    // Sets (or, with a null value, removes) a field of every adapter.
    void set_field(const char *key, const json &value) const
    {
        hlvdsim::StateLock lock(host.root());
        hlvdsim::Machine m;
        ASSERT_TRUE(hlvdsim::load_machine(host.root(), m, nullptr));
        for (json &a : m.doc["adapters"]) {
            if (value.is_null())
                a.erase(key);
            else
                a[key] = value;
        }
        ASSERT_TRUE(hlvdsim::save_machine(host.root(), m, nullptr));
    }

    VEXO_status_t attributes(int aw_port_number, MGMT_CONTROLLER_ATTRIBUTES *rec) const
    {
        std::memset(rec, 0, sizeof *rec);
        return ioctl_fetch_controller_attribs(aw_port_number, rec, 0, 0, VEXO_DRIVER_ISCSI);
    }
};

TEST_F(SimBoundary, AnUnanswerableStateFailsTheCommandOnEitherRoad)
{
    RUN_WITH_DEVICES();
    open_legacy_iscsi();
    // The manufacturer must be text; the adapter cannot build its answer.
    set_field("manufacturer", 5);
    MGMT_CONTROLLER_ATTRIBUTES rec;
    for (int aw : {kIscsiCallback, kIscsiLegacy}) {
        SCOPED_TRACE(aw);
        EXPECT_EQ(VEXO_STATUS_FAILURE, attributes(aw, &rec));
    }
    set_field("manufacturer", json());
    for (int aw : {kIscsiCallback, kIscsiLegacy}) {
        SCOPED_TRACE(aw);
        ASSERT_EQ(VEXO_STATUS_SUCCESS, attributes(aw, &rec));
        EXPECT_STREQ("Orvane", rec.hba_attribs.manufacturer_name);
    }
}

} // namespace
