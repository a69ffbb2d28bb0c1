#include "mgmt/aw/vexo-backend/ext_trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_ncsi_logs.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

const uint32_t kDefaultConfig = 0;
const uint32_t kCurrentConfig = 1;
const uint32_t kModeInstances = 2;     // ExtFATMode instances per module
const uint32_t kMaxModesWalked = 4;    // a module claiming more ends the walk
const uint32_t kTraceDisabled = 255;
const uint32_t kFullMaskLength = 18;   // "0x" and 16 digits: every function
const uint32_t kCheckedMaskLength = 16;
const char *const kModeNames[] = {"UART", "RAM", "NVRAM", "TFTP"};

// The adapter's first iSCSI function (else its first NIC function) with
// its own domain and physical port.
struct Target {
    int port;
    uint32_t domain;
    uint32_t phba_port;
    int chip;
};

bool find_target(node *adapter, Target *t)
{
    node *function = target_function(adapter);
    if (!function)
        return false;
    t->port = get_port_number(function);
    t->domain = get_domain_id(function);
    t->phba_port = get_phba_port_number(function);
    t->chip = instance_number(adapter);
    return true;
}

VEXO_status_t read_config(const Target &t, uint32_t parameter_type, uint8_t *block)
{
    std::memset(block, 0, EXT_FAT_BLOCK_SIZE);
    std::memcpy(block, &parameter_type, sizeof parameter_type);
    return ioctl_get_extfat_capabilites(t.port, reinterpret_cast<GET_EXT_FAT_CAPABILITES_PARAMS *>(block),
                                        EXT_FAT_BLOCK_SIZE, t.domain, t.phba_port, t.chip);
}

VEXO_status_t write_config(const Target &t, uint8_t *block)
{
    return ioctl_set_extfat_capabilites(t.port, reinterpret_cast<SET_EXT_FAT_CAPABILITES_PARAMS *>(block),
                                        EXT_FAT_BLOCK_SIZE, t.domain, t.phba_port, t.chip);
}

uint8_t *new_block()
{
    uint8_t *b = static_cast<uint8_t *>(vexo_dmalloc(EXT_FAT_BLOCK_SIZE));
    if (b)
        std::memset(b, 0, EXT_FAT_BLOCK_SIZE);
    return b;
}

EXT_FAT_CONFIG_PARAMS config_head(const uint8_t *block)
{
    EXT_FAT_CONFIG_PARAMS h;
    std::memcpy(&h, block, sizeof h);
    return h;
}

// Module records by position. `at` is the offset of a module's head; the
// walk ends where the block or the module count ends.
struct ModuleCursor {
    uint8_t *block;
    uint32_t size;
    uint32_t count; // num_modules
    uint32_t index;
    uint64_t at;
};

ModuleCursor first_module(uint8_t *block, uint32_t size)
{
    uint32_t count = size >= sizeof(EXT_FAT_CONFIG_PARAMS) ? config_head(block).num_modules : 0;
    return ModuleCursor{block, size, count, 0, sizeof(EXT_FAT_CONFIG_PARAMS)};
}

bool module_valid(const ModuleCursor &c)
{
    return c.index < c.count && c.at + sizeof(EXT_FAT_MODULE) <= c.size;
}

EXT_FAT_MODULE module_head(const ModuleCursor &c)
{
    EXT_FAT_MODULE m;
    std::memcpy(&m, c.block + c.at, sizeof m);
    return m;
}

void next_module(ModuleCursor *c)
{
    uint32_t modes = module_head(*c).num_modes;
    c->at += modes ? sizeof(EXT_FAT_MODULE) + uint64_t(modes) * sizeof(EXT_FAT_MODE)
                   : sizeof(EXT_FAT_MODULE) + sizeof(EXT_FAT_MODE);
    ++c->index;
}

// The j-th mode record of the module, when the module has it and the block
// holds it.
uint8_t *mode_record(const ModuleCursor &c, uint32_t j)
{
    if (j >= module_head(c).num_modes)
        return nullptr;
    uint64_t at = c.at + sizeof(EXT_FAT_MODULE) + uint64_t(j) * sizeof(EXT_FAT_MODE);
    return at + sizeof(EXT_FAT_MODE) <= c.size ? c.block + at : nullptr;
}

EXT_FAT_MODE mode_of(const uint8_t *record)
{
    EXT_FAT_MODE m;
    std::memcpy(&m, record, sizeof m);
    return m;
}

void set_mode_values(node *mode_node, const EXT_FAT_MODE &m)
{
    set_prop_val(mode_node, "TraceLevel", "%u", m.trace_level);
    set_prop_val(mode_node, "PortMask", "0x%x", m.port_mask);
    set_prop_val(mode_node, "PCIFunctionMask", "0x%llx", static_cast<unsigned long long>(m.function_mask));
}

void set_mode_record(node *mode_node, const EXT_FAT_MODE &m)
{
    if (m.mode < sizeof kModeNames / sizeof kModeNames[0])
        set_prop_val(mode_node, "Mode", "%s", kModeNames[m.mode]);
    set_mode_values(mode_node, m);
}

void set_module_record(node *module_node, const EXT_FAT_MODULE &m)
{
    set_prop_val(module_node, "ModuleString", "%.*s", static_cast<int>(sizeof m.module_str), m.module_str);
    set_prop_val(module_node, "ModuleId", "%u", m.module_id);
}

void render_extfat_values(node *extfat, const uint8_t *block)
{
    EXT_FAT_CONFIG_PARAMS h = config_head(block);
    set_prop_val(extfat, "MaxLogEntries", "%u", h.max_log_entries);
    set_prop_val(extfat, "LogEntrySize", "%u", h.log_entry_size);
    set_prop_val(extfat, "MaxLoggingFunctions", "%u", h.max_logging_functions);
    set_prop_val(extfat, "MaxLoggingPorts", "%u", h.max_logging_ports);
    set_prop_val(extfat, "LoggingType", "%s",
                 h.logging_type == 0 ? "synchronous" : h.logging_type == 1 ? "asynchronous" : "Unknown");
    const bool uart = (h.supported_modes & 1u) != 0;
    const bool ram = (h.supported_modes & 2u) != 0;
    set_prop_val(extfat, "SupportedModes", "%s",
                 uart && ram ? "UART,RAM" : uart ? "UART" : ram ? "RAM" : "Unknown");
}

node *next_instance_of(node *n)
{
    node *next = n->u.grp->multi_instance->next_instance;
    return next && vexo_is_instance(next) ? next : nullptr;
}

// 2^bits - 1 in 64 bits.
uint64_t mask_limit(unsigned long bits)
{
    return bits >= 64 ? ~uint64_t(0) : (uint64_t(1) << bits) - 1;
}

void refuse_value(const char *text)
{
    vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, text);
}

} // namespace

uint8_t *ext_trace_mode_record(uint8_t *block, uint32_t size, int module_index, int mode_index)
{
    if (module_index < 0 || mode_index < 0)
        return nullptr;
    ModuleCursor c = first_module(block, size);
    for (int i = 0; i < module_index && module_valid(c); ++i)
        next_module(&c);
    return module_valid(c) ? mode_record(c, static_cast<uint32_t>(mode_index)) : nullptr;
}

extern "C" int VEXO_extfat_modules(node *adapter)
{
    int family = adapter ? get_aw_type(adapter) : AW_TYPE_UNREADABLE;
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    if (family == AW_TYPE_VARROW) {
        vexo_set_fixed_status(VEXO_STATUS_NOT_SUPPORTED_FOR_VARROW);
        return 1;
    }
    Target t;
    node *extfat = internal_get_node(adapter, "ExtFATData", VEXO_NODE_GROUP);
    if (!find_target(adapter, &t) || !extfat)
        return 1;
    uint8_t *block = new_block();
    if (!block)
        return 1;
    if (read_config(t, kDefaultConfig, block) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_EXTFAT_CAPABILTES);
        vexo_dfree(block);
        return 1;
    }
    render_extfat_values(extfat, block);
    set_prop_val(extfat, "NumberOfModules", "%u", config_head(block).num_modules);

    int result = 0;
    for (ModuleCursor c = first_module(block, EXT_FAT_BLOCK_SIZE); module_valid(c); next_module(&c)) {
        node *module = initialize_ExtFATModule(extfat, nullptr, nullptr, nullptr);
        if (!module) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:initialize EXTFATModule failed\n", __func__);
            result = 1;
            break;
        }
        EXT_FAT_MODULE head = module_head(c);
        set_module_record(module, head);
        if (head.num_modes > kMaxModesWalked)
            break;
        for (uint32_t j = 0; j < kModeInstances; ++j) {
            node *mode = initialize_ExtFATMode(module, nullptr, nullptr, nullptr);
            if (!mode) {
                vexo_dfree(block);
                return 1;
            }
            // A module with fewer records keeps the defaults of the rest.
            const uint8_t *record = mode_record(c, j);
            if (record)
                set_mode_record(mode, mode_of(record));
        }
        if (head.num_modes == 0)
            break;
    }
    vexo_dfree(block);
    return result;
}

VEXO_status_t get_extfat_data(node *extfatdata, node *mode)
{
    node *module = mode ? mode->parent : nullptr;
    node *adapter = extfatdata ? extfatdata->parent : nullptr;
    Target t;
    if (!module || !find_target(adapter, &t))
        return VEXO_STATUS_FAILURE;
    uint8_t *block = new_block();
    if (!block)
        return VEXO_STATUS_FAILURE;
    VEXO_status_t result = VEXO_STATUS_SUCCESS;
    if (read_config(t, kCurrentConfig, block) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_EXTFAT_CAPABILTES);
        result = VEXO_STATUS_FAILURE;
    } else {
        const uint8_t *record =
            ext_trace_mode_record(block, EXT_FAT_BLOCK_SIZE, instance_number(module), instance_number(mode));
        if (record)
            set_mode_values(mode, mode_of(record));
        else
            result = VEXO_STATUS_FAILURE;
    }
    vexo_dfree(block);
    return result;
}

VEXO_status_t set_extfat_data(node *extfatdata, node *mode, const char *property_name, const char *value)
{
    node *module = mode ? mode->parent : nullptr;
    node *adapter = extfatdata ? extfatdata->parent : nullptr;
    if (!module || !property_name || !value)
        return VEXO_STATUS_FAILURE;
    char functions_text[VEXO_VALUE_SIZE] = "";
    char ports_text[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(extfatdata, "MaxLoggingFunctions", functions_text) != VEXO_STATUS_SUCCESS ||
        internal_get_property(extfatdata, "MaxLoggingPorts", ports_text) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    const unsigned long max_functions = std::strtoul(functions_text, nullptr, 10);
    const unsigned long max_ports = std::strtoul(ports_text, nullptr, 10);

    const bool port_mask = strcasecmp(property_name, "PortMask") == 0;
    const bool function_mask = strcasecmp(property_name, "PCIFunctionMask") == 0;
    uint16_t port_value = 0;
    uint64_t function_value = 0;
    if (port_mask || function_mask) {
        if (std::strncmp(value, "0x", 2) != 0 && std::strncmp(value, "0X", 2) != 0) {
            refuse_value("Invalid value. Value should be in hex-decimal format.");
            return VEXO_STATUS_FAILURE;
        }
        const size_t len = std::strlen(value);
        if (!is_hex(value + 2, static_cast<int>(len - 2))) {
            refuse_value("Invalid value. The valid values are 0-9, a-f and A-F.");
            return VEXO_STATUS_FAILURE;
        }
        if (port_mask) {
            port_value = static_cast<uint16_t>(std::strtoul(value, nullptr, 0));
            if (port_value > mask_limit(max_ports)) {
                refuse_value("Invalid value. Please check MaxLoggingPorts property for valid PortMask.");
                return VEXO_STATUS_FAILURE;
            }
        } else {
            function_value = len < kFullMaskLength ? std::strtoull(value, nullptr, 16) : ~uint64_t(0);
            if (len <= kCheckedMaskLength && function_value > mask_limit(max_functions)) {
                refuse_value(
                    "Invalid value. Please check MaxLoggingFunctions property for valid PCIFunctionMask.");
                return VEXO_STATUS_FAILURE;
            }
        }
    }

    Target t;
    if (!find_target(adapter, &t))
        return VEXO_STATUS_FAILURE;
    uint8_t *current = new_block();
    uint8_t *changed = current ? new_block() : nullptr;
    if (!changed) {
        vexo_dfree(current);
        return VEXO_STATUS_FAILURE;
    }
    VEXO_status_t st = read_config(t, kCurrentConfig, current);
    if (st != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_EXTFAT_CAPABILTES);
    } else {
        std::memcpy(changed, current, EXT_FAT_BLOCK_SIZE);
        uint8_t *record =
            ext_trace_mode_record(changed, EXT_FAT_BLOCK_SIZE, instance_number(module), instance_number(mode));
        if (record) {
            EXT_FAT_MODE m = mode_of(record);
            if (port_mask)
                m.port_mask = port_value;
            else if (function_mask)
                m.function_mask = function_value;
            else if (strcasecmp(property_name, "TraceLevel") == 0)
                m.trace_level = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
            std::memcpy(record, &m, sizeof m);
        }
        st = write_config(t, changed);
        if (st != VEXO_STATUS_SUCCESS)
            vexo_set_fixed_status(VEXO_STATUS_SET_EXTFAT_CAPABILTES);
    }
    vexo_dfree(current);
    vexo_dfree(changed);
    return st;
}

VEXO_status_t handle_current_mode_properties(node *property, char *value, int type)
{
    node *mode = property ? property->parent : nullptr;
    node *module = mode ? mode->parent : nullptr;
    node *extfat = module ? module->parent : nullptr;
    if (!extfat)
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        VEXO_status_t st = get_extfat_data(extfat, mode);
        answer_cached(property, value);
        return st;
    }
    if (type == 1)
        return set_extfat_data(extfat, mode, property->node_name, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t update_trace_level_for_mode(node *extfatdata, const char *mode, uint8_t *block, uint32_t size,
                                          uint32_t trace_level)
{
    const bool all = std::strcmp(mode, "ALL") == 0;
    if (!all && std::strcmp(mode, "UART") != 0 && std::strcmp(mode, "RAM") != 0)
        return VEXO_STATUS_FAILURE;
    ModuleCursor c = first_module(block, size);
    for (node *module = get_first_instance(extfatdata, "ExtFATModule"); module && module_valid(c);
         module = next_instance_of(module), next_module(&c)) {
        uint32_t j = 0;
        for (node *m = get_first_instance(module, "ExtFATMode"); m; m = next_instance_of(m), ++j) {
            uint8_t *record = mode_record(c, j);
            if (!record)
                break;
            char name[VEXO_VALUE_SIZE] = "";
            if (internal_get_property(m, "Mode", name) != VEXO_STATUS_SUCCESS)
                return VEXO_STATUS_FAILURE;
            if (all || std::strcmp(name, mode) == 0) {
                EXT_FAT_MODE rec = mode_of(record);
                rec.trace_level = trace_level;
                std::memcpy(record, &rec, sizeof rec);
            }
        }
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t set_extfat_modes(node *extfatdata, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], int flag)
{
    node *adapter = extfatdata ? extfatdata->parent : nullptr;
    Target t;
    if (!adapter || !find_target(adapter, &t))
        return VEXO_STATUS_FAILURE;
    const uint32_t level = flag ? static_cast<uint32_t>(std::strtoul(params[0], nullptr, 10)) : kTraceDisabled;
    const char *uart = flag ? params[1] : params[0];
    const char *ram = flag ? params[2] : params[1];
    const bool uart_given = uart[0] != '\0';
    const bool ram_given = ram[0] != '\0';
    if (uart_given && ram_given && strcasecmp(uart, "No") == 0 && strcasecmp(ram, "No") == 0)
        return VEXO_STATUS_SUCCESS;

    uint8_t *current = new_block();
    uint8_t *changed = current ? new_block() : nullptr;
    if (!changed) {
        vexo_dfree(current);
        return VEXO_STATUS_FAILURE;
    }
    VEXO_status_t st = read_config(t, kCurrentConfig, current);
    if (st == VEXO_STATUS_SUCCESS) {
        std::memcpy(changed, current, EXT_FAT_BLOCK_SIZE);
        const char *chosen = nullptr;
        if ((!uart_given && !ram_given) || (strcasecmp(uart, "Yes") == 0 && strcasecmp(ram, "Yes") == 0))
            chosen = "ALL";
        else if (uart_given && strcasecmp(uart, "Yes") == 0)
            chosen = "UART";
        else if (ram_given && strcasecmp(ram, "Yes") == 0)
            chosen = "RAM";
        if (chosen)
            st = update_trace_level_for_mode(extfatdata, chosen, changed, EXT_FAT_BLOCK_SIZE, level);
        if (st == VEXO_STATUS_SUCCESS) {
            st = write_config(t, changed);
            if (st != VEXO_STATUS_SUCCESS) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:Failed\n", __func__);
                vexo_set_fixed_status(VEXO_STATUS_SET_EXTFAT_CAPABILTES);
            }
        }
    }
    vexo_dfree(current);
    vexo_dfree(changed);
    return st;
}

VEXO_status_t do_EnableLoggingOnAllModules(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (set_extfat_modes(context, params, 1) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_ENABLELOGGING);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_DisableLoggingOnAllModules(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (set_extfat_modes(context, params, 0) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_DISABLELOGGING);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_SetDefaultLoggingConfiguration(node *context, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *adapter = context ? context->parent : nullptr;
    node *extfat = adapter ? internal_get_node(adapter, "ExtFATData", VEXO_NODE_GROUP) : nullptr;
    Target t;
    if (!extfat || !find_target(adapter, &t))
        return VEXO_STATUS_FAILURE;
    uint8_t *defaults = new_block();
    uint8_t *written = defaults ? new_block() : nullptr;
    if (!written) {
        vexo_dfree(defaults);
        return VEXO_STATUS_FAILURE;
    }
    VEXO_status_t result = VEXO_STATUS_SUCCESS;
    if (read_config(t, kDefaultConfig, defaults) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_EXTFAT_CAPABILTES);
        result = VEXO_STATUS_FAILURE;
    } else {
        std::memcpy(written, defaults, EXT_FAT_BLOCK_SIZE);
        if (write_config(t, written) != VEXO_STATUS_SUCCESS) {
            vexo_set_fixed_status(VEXO_STATUS_SET_EXTFAT_CAPABILTES);
            result = VEXO_STATUS_FAILURE;
        }
    }
    if (result == VEXO_STATUS_SUCCESS) {
        render_extfat_values(extfat, defaults);
        ModuleCursor c = first_module(defaults, EXT_FAT_BLOCK_SIZE);
        node *module = get_first_instance(extfat, "ExtFATModule");
        if (!module)
            result = VEXO_STATUS_FAILURE;
        for (; module && module_valid(c); module = next_instance_of(module), next_module(&c)) {
            set_module_record(module, module_head(c));
            node *m = get_first_instance(module, "ExtFATMode");
            if (!m) {
                result = VEXO_STATUS_FAILURE;
                break;
            }
            for (uint32_t j = 0; m; m = next_instance_of(m), ++j) {
                const uint8_t *record = mode_record(c, j);
                if (!record)
                    break;
                set_mode_record(m, mode_of(record));
            }
        }
    }
    vexo_dfree(defaults);
    vexo_dfree(written);
    return result;
}
