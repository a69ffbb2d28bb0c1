// The firmware answers port discovery parses, each applied to a port group
// of a simulated host's Trelmont adapter: the first input byte chooses the
// answer (port names, PHY details, a DCBX configuration for one of the three
// TLV settings groups, or a profile configuration), the rest are its bytes,
// zero-filled to the record's size. The instances an answer creates are
// removed again; counted memory must balance and a port never holds more
// channels than its group allows.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_port.h"
#include "mgmt/aw/vexo-backend/port_discovery.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/machine.h"
#include "support/fuzz_util.h"
#include "support/vexo_quiet_log.h"

namespace
{

node *gPort = nullptr;
node *gChannels = nullptr;
node *gTlvSettings[3] = {};
std::vector<uint8_t> gBuffer;

[[noreturn]] void die(const char *why)
{
    std::fprintf(stderr, "port_answers: %s\n", why);
    std::abort();
}

node *child(node *parent, const char *name)
{
    node *n = parent ? internal_get_node(parent, name, VEXO_NODE_GROUP) : nullptr;
    if (!n)
        die(name);
    return n;
}

// The answer bytes in a zeroed record of `size` bytes.
const uint8_t *record(const uint8_t *data, size_t len, size_t size)
{
    gBuffer.assign(size, 0);
    std::memcpy(gBuffer.data(), data, len < size ? len : size);
    return gBuffer.data();
}

size_t count(node *parent, const char *base)
{
    size_t n = 0;
    for (node *i = get_first_instance(parent, base); i && vexo_is_instance(i); i = i->u.grp->multi_instance->next_instance)
        ++n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::string scratch = hlvdfuzz::scratch_dir("port");
    std::string root = scratch + "/host";
    std::string machine = scratch + "/machine.json";
    std::string text = hlvdfuzz::default_machine_text();
    hlvdfuzz::write_file(machine, reinterpret_cast<const uint8_t *>(text.data()), text.size());
    std::string err;
    if (!hlvdsim::create_host(root, machine, &err))
        die(err.c_str());
    setenv("HLVD_SYSROOT", root.c_str(), 1);
    setenv("HLVD_NO_SLEEP", "1", 1);
    hlvdfuzz::vexo_log_to_null();
    if (VEXO_init() != 0)
        die("the management library does not start");
    for (node *a = get_first_instance(get_node(0), "Arcwright"); a && vexo_is_instance(a);
         a = a->u.grp->multi_instance->next_instance)
        if (get_aw_type(a) == AW_TYPE_TRELMONT)
            gPort = get_first_instance(a, "PortDiscoveryAndConfiguration");
    if (!gPort)
        die("no Trelmont port group");
    gChannels = child(gPort, "ChannelManagement");
    node *tlvs = child(child(gPort, "DCBX"), "ApplicationTLVGroups");
    gTlvSettings[0] = child(tlvs, "AdministratorTLVSetting");
    gTlvSettings[1] = child(tlvs, "OperationalTLVSettings");
    gTlvSettings[2] = child(tlvs, "PeerTLVSetting");
    purge_nodes_within(gChannels, "Channel");
    for (node *s : gTlvSettings)
        purge_nodes_within(s, "ApplicationTLV");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int counted = vexo_counter;
    const uint8_t kind = data[0] % 4;
    const uint8_t arg = data[1];
    data += 2;
    size -= 2;
    switch (kind) {
    case 0: {
        const uint8_t *names = record(data, size, sizeof(IOCTL_COMMON_GET_PORT_NAME_PARAMS_V1));
        port_apply_name(gPort, names, sizeof(IOCTL_COMMON_GET_PORT_NAME_PARAMS_V1), arg % 8);
        break;
    }
    case 1: {
        const auto *phy =
            reinterpret_cast<const GET_PHY_DETAILS_PARAMS *>(record(data, size, sizeof(GET_PHY_DETAILS_PARAMS)));
        port_apply_interface_type(gPort, arg & 1, phy);
        port_apply_speeds(gPort, phy);
        break;
    }
    case 2: {
        node *settings = gTlvSettings[arg % 3];
        node *add = internal_get_node(settings, "AddApplicationTLV", VEXO_NODE_ACTION);
        const auto *dcbx =
            reinterpret_cast<const DCBX_GET_DCBX_CFG_PARAMS *>(record(data, size, sizeof(DCBX_GET_DCBX_CFG_PARAMS)));
        port_apply_app_tlvs(settings, dcbx, add);
        if (count(settings, "ApplicationTLV") > APPLICATIONTLV_MAX_INSTANCES)
            die("too many application TLVs");
        purge_nodes_within(settings, "ApplicationTLV");
        break;
    }
    default: {
        const auto *profile = reinterpret_cast<const GET_PROFILE_CONFIG_PARAMS *>(
            record(data, size, sizeof(GET_PROFILE_CONFIG_PARAMS)));
        port_apply_channels(gChannels, arg % 4, profile, sizeof(GET_PROFILE_CONFIG_PARAMS));
        if (count(gChannels, "Channel") > CHANNEL_MAX_INSTANCES)
            die("too many channels");
        purge_nodes_within(gChannels, "Channel");
        break;
    }
    }
    hlvdfuzz::check_vexo_counter(counted);
    return 0;
}
