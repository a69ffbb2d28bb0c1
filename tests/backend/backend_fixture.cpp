#include "backend_fixture.h"

#include <cstring>
#include <sstream>

#include <gtest/gtest.h>

#include "mgmt/vexo/core/vexo_api.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"
#include "sim/machine.h"

namespace backendtest {

const char kTwoAdapters[] = R"({
  "host": { "release": "VMware ESXi 6.7.0 build-8169922", "banner": "VMware ESXi 6.7.0" },
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3E2E0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.19", "boot": "10.2.370.2" },
      "manufacturer": "Tranquilforge", "model": "TF-AW3-2P", "supported_modes": 19, "hba_status": 0,
      "temperature": 61,
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710",
          "subvendor": "0x10DF", "subdevice": "0xE70E", "revision": "0x01", "port": 0,
          "mac": "00:00:C9:B3:00:20", "vfs": 2, "mtu": 9000 },
        { "bus": 4, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710",
          "subvendor": "0x10DF", "subdevice": "0xE70E", "revision": "0x01", "port": 1,
          "mac": "00:00:C9:B3:00:21" },
        { "segment": 1, "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712",
          "subvendor": "0x10DF", "subdevice": "0xE70E", "revision": "0x01", "port": 0,
          "mac": "00:00:C9:B3:00:22" }
      ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLE2E0001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720",
          "subvendor": "0x10DF", "subdevice": "0xE81E", "revision": "0x10", "port": 0,
          "mac": "00:00:C9:C4:00:30" },
        { "bus": 5, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720",
          "subvendor": "0x10DF", "subdevice": "0xE81E", "revision": "0x10", "port": 1,
          "mac": "00:00:C9:C4:00:31" }
      ] }
  ]
})";

const char kEveryGeneration[] = R"({
  "host": { "release": "VMware ESXi 6.7.0 build-8169922" },
  "adapters": [
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2G0001",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE602", "mac": "00:00:C9:A2:00:10" },
        { "bus": 3, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE602", "mac": "00:00:C9:A2:00:11" }
      ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3G0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:20" },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:22" }
      ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLG0001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "base_t": 1,
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:30" }
      ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWG0001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.21", "boot": "11.4.204.1" },
      "oem": { "orvane_serial": "5652010203040506", "oem_serial": "DELL-77", "personality_mgmt_word": 5 },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:40" },
        { "bus": 6, "function": 1, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:41" }
      ] }
  ]
})";

node_tag_t tag_at(const std::string &path, int type)
{
    node_tag_t parent = 0;
    std::stringstream ss(path);
    std::string part;
    std::vector<std::string> parts;
    while (std::getline(ss, part, '/'))
        parts.push_back(part);
    for (size_t i = 0; i < parts.size(); ++i) {
        char name[VEXO_VALUE_SIZE];
        std::snprintf(name, sizeof name, "%s", parts[i].c_str());
        node_tag_t t = -1;
        if (VEXO_get_node_tag(parent, name, &t, i + 1 == parts.size() ? type : VEXO_NODE_GROUP) !=
            VEXO_STATUS_SUCCESS)
            return -1;
        parent = t;
    }
    return parent;
}

namespace {

bool split_property(const std::string &path, node_tag_t *group, node_tag_t *prop)
{
    size_t slash = path.rfind('/');
    *group = slash == std::string::npos ? 0 : tag_at(path.substr(0, slash), VEXO_NODE_GROUP);
    *prop = tag_at(path, VEXO_NODE_PROPERTY);
    return *group >= 0 && *prop >= 0;
}

} // namespace

std::string value_at(const std::string &path)
{
    node_tag_t group = -1, prop = -1;
    if (!split_property(path, &group, &prop))
        return "missing";
    char value[VEXO_VALUE_SIZE] = "";
    VEXO_status_t r = VEXO_get_property_val(group, prop, value, sizeof value);
    return r == VEXO_STATUS_SUCCESS ? std::string(value) : "error " + std::to_string(r);
}

std::string adapter_path(const std::string &serial)
{
    for (int a = 0; a < 16; ++a) {
        std::string path = "Arcwright" + std::to_string(a);
        if (value_at(path + "/SerialNumber") == serial)
            return path;
    }
    return "";
}

VEXO_status_t set_at(const std::string &path, const std::string &value)
{
    node_tag_t group = -1, prop = -1;
    if (!split_property(path, &group, &prop))
        return VEXO_STATUS_FAILURE;
    char v[VEXO_VALUE_SIZE];
    std::snprintf(v, sizeof v, "%s", value.c_str());
    return VEXO_set_property_val(group, prop, v, sizeof v);
}

std::pair<VEXO_status_t, std::string> last_status()
{
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[VEXO_LAST_STATUS_SIZE] = "";
    VEXO_get_last_status(&code, text);
    return {code, text};
}

std::vector<nlohmann::json> fw_entries(const std::string &sysroot)
{
    std::vector<nlohmann::json> out;
    for (const nlohmann::json &e : hlvdsim::log_read(sysroot))
        if (e.value("kind", "") == "fw")
            out.push_back(e);
    return out;
}

std::vector<std::pair<int, int>> fw_commands(const std::string &sysroot)
{
    std::vector<std::pair<int, int>> out;
    for (const nlohmann::json &e : fw_entries(sysroot))
        out.emplace_back(e.value("subsystem", -1), e.value("opcode", -1));
    return out;
}

void clear_log(const std::string &sysroot)
{
    hlvdsim::log_clear(sysroot);
}

namespace {

template <typename F> void edit_machine(const std::string &sysroot, F f)
{
    hlvdsim::StateLock lock(sysroot);
    hlvdsim::Machine m;
    std::string err;
    ASSERT_TRUE(hlvdsim::load_machine(sysroot, m, &err)) << err;
    f(m.doc);
    ASSERT_TRUE(hlvdsim::save_machine(sysroot, m, &err)) << err;
}

} // namespace

void set_function_driver(const std::string &sysroot, int adapter, int function, const std::string &driver)
{
    edit_machine(sysroot, [&](nlohmann::json &doc) { doc["adapters"][adapter]["functions"][function]["driver"] = driver; });
}

void set_adapter_field(const std::string &sysroot, int adapter, const std::string &key, const nlohmann::json &value)
{
    edit_machine(sysroot, [&](nlohmann::json &doc) { doc["adapters"][adapter][key] = value; });
}

void plan_status(const std::string &sysroot, int subsystem, int opcode, int status, int additional, bool always)
{
    hlvdsim::FaultSpec f;
    f.subsystem = subsystem;
    f.opcode = opcode;
    f.kind = "status";
    f.status = status;
    f.additional_status = additional;
    f.always = always;
    std::string err;
    ASSERT_GT(hlvdsim::fault_add(sysroot, f, &err), 0) << err;
}

std::vector<uint8_t> hex_bytes(const std::string &hex)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

} // namespace backendtest
