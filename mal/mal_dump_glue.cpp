#include "mal/mal_dump_glue.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mal/mal_core.h"
#include "mal/mal_maintenance.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"

static_assert(sizeof(ConfigDataMode) == 20, "ConfigDataMode layout");
static_assert(sizeof(ConfigDataModule) == 112, "ConfigDataModule layout");
static_assert(sizeof(EventLogConfigData) == 52 + 64 * 112, "EventLogConfigData layout");

namespace
{

const char *const kSnapshotModes[] = {"FLASH", "RAM", "DDR"};

// Firmware trace level of each code, by code.
const int32_t kTraceLevels[] = {-1, 255, 0, 1, 4, 5, 8, 16, 32, 48, 64, 128};
const int kTraceCodes = sizeof kTraceLevels / sizeof kTraceLevels[0];

const char *const kModeNames[] = {"UART", "RAM", "NVRAM", "TFTP"};

// A mode name field holds up to its width, terminated or not.
bool known_mode(const char *name)
{
    size_t n = strnlen(name, DMP_MODE_NAME_SIZE);
    for (const char *known : kModeNames)
        if (std::strlen(known) == n && std::memcmp(known, name, n) == 0)
            return true;
    return false;
}

// Width of the report's lines.
const int kLineWidth = 79;

// One entry "  name=value"; a value too long for the line goes on in pieces
// of the same width, each on a line indented past "  name=".
void print_entry(FILE *out, const char *name, const char *value)
{
    int name_len = static_cast<int>(std::strlen(name));
    int width = kLineWidth - 3 - name_len;
    int len = static_cast<int>(std::strlen(value));
    if (width <= 0 || len <= width) {
        std::fprintf(out, "  %s=%s\n", name, value);
        return;
    }
    std::fprintf(out, "  %s=%.*s\n", name, width, value);
    for (int at = width; at < len; at += width)
        std::fprintf(out, "%*s%.*s\n", name_len + 3, "", width, value + at);
}

// The text that stands in for a value that could not be read.
void read_error_text(VEXO_status_t status, char *text, size_t size)
{
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char message[MAL_STATUS_TEXT_SIZE] = "";
    MAL_EnterCriticalSection();
    VEXO_get_last_status(&code, message);
    MAL_LeaveCriticalSection();
    message[sizeof message - 1] = '\0';
    if (message[0])
        std::snprintf(text, size, "ERROR: VEXO_get_property_val - get_last_status code=%d, Error msg='%s'", code,
                      message);
    else if (code != VEXO_STATUS_SUCCESS)
        std::snprintf(text, size, "ERROR: VEXO_get_property_val - get_last_status code=%d, no error msg.", code);
    else if (status >= 1 && status <= 14)
        std::snprintf(text, size, "ERROR: VEXO_get_property_val - vexo_status=%d (%s)", status,
                      vexo_error_strings[status]);
    else
        std::snprintf(text, size, "ERROR: VEXO_get_property_val - vexo_status=%d", status);
}

// The group's children of one kind. The library fills the list only up to
// the room it is given; a group with more children is refused (false).
bool child_tags(node_tag_t group, int kind, std::vector<node_tag_t> &tags)
{
    tags.assign(DMP_REPORT_MAX_CHILDREN, 0);
    unsigned int count = DMP_REPORT_MAX_CHILDREN;
    MAL_EnterCriticalSection();
    VEXO_status_t status = VEXO_get_child_tags(group, tags.data(), &count, kind);
    MAL_LeaveCriticalSection();
    if (status != VEXO_STATUS_SUCCESS || count > DMP_REPORT_MAX_CHILDREN) {
        tags.clear();
        return false;
    }
    tags.resize(count);
    return true;
}

bool node_name(node_tag_t tag, int kind, char name[VEXO_MAX_NAME_SIZE])
{
    MAL_EnterCriticalSection();
    VEXO_status_t status = VEXO_get_node_name(tag, name, kind);
    MAL_LeaveCriticalSection();
    return status == VEXO_STATUS_SUCCESS;
}

int report_group(FILE *out, node_tag_t group, const std::string &path, int depth, int limit)
{
    std::fprintf(out, "\n%s :\n", path.c_str());
    if (limit != 0 && depth >= limit)
        return 1;
    int count = 1;
    std::vector<node_tag_t> tags;
    if (!child_tags(group, VEXO_CHILD_PROPERTIES, tags))
        std::fprintf(out, "  ERROR: VEXO_get_child_tags - more than %d properties or no list\n",
                     DMP_REPORT_MAX_CHILDREN);
    for (node_tag_t tag : tags) {
        char name[VEXO_MAX_NAME_SIZE];
        if (!node_name(tag, VEXO_NODE_PROPERTY, name))
            continue;
        char value[VEXO_VALUE_SIZE] = "";
        MAL_EnterCriticalSection();
        VEXO_status_t status = VEXO_get_property_val(group, tag, value, VEXO_VALUE_SIZE);
        MAL_LeaveCriticalSection();
        char error[MAL_STATUS_TEXT_SIZE + 100];
        const char *shown = value;
        if (status != VEXO_STATUS_SUCCESS) {
            read_error_text(status, error, sizeof error);
            shown = error;
        } else {
            value[VEXO_VALUE_SIZE - 1] = '\0';
        }
        print_entry(out, name, shown);
        ++count;
    }
    if (!child_tags(group, VEXO_CHILD_GROUPS, tags))
        std::fprintf(out, "  ERROR: VEXO_get_child_tags - more than %d groups or no list\n",
                     DMP_REPORT_MAX_CHILDREN);
    for (node_tag_t tag : tags) {
        char name[VEXO_MAX_NAME_SIZE];
        if (!node_name(tag, VEXO_NODE_GROUP, name))
            continue;
        std::string child = (path == "/" ? "" : path) + "/" + name;
        count += report_group(out, tag, child, depth + 1, limit);
    }
    return count;
}

} // namespace

RM_STATUS Dmp_CopyToMal_SnapshotMode(char *out, int size, int mode)
{
    if (!out || size <= 5 || mode < DMP_SNAPSHOT_FLASH || mode > DMP_SNAPSHOT_DDR)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    std::snprintf(out, static_cast<size_t>(size), "%s", kSnapshotModes[mode]);
    return RM_STATUS_OK;
}

RM_STATUS Dmp_MapFromMal_TraceLevel(int32_t *code, int32_t level)
{
    if (!code)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    for (int c = 0; c < kTraceCodes; ++c) {
        if (kTraceLevels[c] == level) {
            *code = c;
            return RM_STATUS_OK;
        }
    }
    return RM_STATUS_ERROR;
}

RM_STATUS Dmp_MapToMal_TraceLevel(int32_t *level, int32_t code)
{
    if (!level)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (code == -1) {
        *level = -1;
        return RM_STATUS_OK;
    }
    if (code < 0 || code >= kTraceCodes)
        return RM_STATUS_ERROR;
    *level = kTraceLevels[code];
    return RM_STATUS_OK;
}

RM_STATUS Dmp_CopyFromMal_ConfigDataModule(int kind, ConfigDataModule *out, const MAL_ExtFatModule *in)
{
    if (!out || !in)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    std::memset(out, 0, sizeof *out);
    std::memcpy(out->ModuleName, in->ModuleString, sizeof out->ModuleName);
    uint32_t function_bits = kind == DMP_KIND_FOUR_FUNCTIONS ? 0xF : 0xFF;
    for (int i = 0; i < DMP_MODES; ++i) {
        const MAL_ExtFatMode &from = in->Modes[i];
        ConfigDataMode &to = out->Modes[i];
        to.FunctionMask = static_cast<int32_t>(from.PCIFunctionMask & function_bits);
        to.PortMask = static_cast<int32_t>(from.PortMask);
        if (Dmp_MapFromMal_TraceLevel(&to.TraceLevel, from.TraceLevel) != RM_STATUS_OK)
            return RM_STATUS_ERROR;
        std::memcpy(to.ModeName, from.Mode, sizeof to.ModeName);
    }
    return RM_STATUS_OK;
}

RM_STATUS Dmp_CopyToMal_ConfigDataModule(MAL_ExtFatModule *out, const ConfigDataModule *in)
{
    if (!out || !in)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    std::memset(out, 0, sizeof *out);
    std::memcpy(out->ModuleString, in->ModuleName, sizeof in->ModuleName);
    for (int i = 0; i < DMP_MODES; ++i) {
        const ConfigDataMode &from = in->Modes[i];
        MAL_ExtFatMode &to = out->Modes[i];
        if (from.ModeName[0] == '\0') {
            if (i == 0)
                return RM_STATUS_ERROR_INVALID_VALUE;
            to.PortMask = MAL_EXTFAT_UNCHANGED;
            to.PCIFunctionMask = MAL_EXTFAT_UNCHANGED;
            to.TraceLevel = -1;
            break;
        }
        std::memcpy(to.Mode, from.ModeName, sizeof to.Mode);
        to.PCIFunctionMask = static_cast<uint32_t>(from.FunctionMask);
        to.PortMask = static_cast<uint32_t>(from.PortMask);
        if (Dmp_MapToMal_TraceLevel(&to.TraceLevel, from.TraceLevel) != RM_STATUS_OK)
            return RM_STATUS_ERROR;
    }
    return RM_STATUS_OK;
}

RM_STATUS GetAwEventLogConfigDataAll(node_tag_t adapter, EventLogConfigData *out, int kind)
{
    if (!out)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    std::vector<uint32_t> tags(MAL_MAX_TAGS);
    int count = MAL_MAX_TAGS;
    RM_STATUS r = MAL_EnumerateExtFatModules(adapter, &count, tags.data());
    if (r != RM_STATUS_OK)
        return r;
    std::unique_ptr<MAL_ExtFatData> data(new MAL_ExtFatData());
    r = MAL_GetExtFatData(adapter, data.get());
    if (r != RM_STATUS_OK)
        return r;
    out->MaxLogEntries = static_cast<uint32_t>(data->MaxLogEntries);
    out->LogEntrySize = static_cast<uint32_t>(data->LogEntrySize);
    out->ModeCount = static_cast<uint32_t>(data->ModeCount);
    out->ModuleCount = static_cast<uint32_t>(data->ModuleCount);
    out->SupportedModes = 0;
    char modes[sizeof data->SupportedModes + 1];
    std::memcpy(modes, data->SupportedModes, sizeof data->SupportedModes);
    modes[sizeof data->SupportedModes] = '\0';
    char *save = nullptr;
    for (char *part = strtok_r(modes, " ,", &save); part; part = strtok_r(nullptr, " ,", &save)) {
        for (char *c = part; *c; ++c)
            *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        if (std::strcmp(part, "UART") == 0)
            out->SupportedModes |= DMP_MODE_UART;
        else if (std::strcmp(part, "RAM") == 0)
            out->SupportedModes |= DMP_MODE_RAM;
    }
    std::memcpy(out->LoggingType, data->LoggingType, sizeof out->LoggingType);
    out->LoggingType[sizeof out->LoggingType - 1] = '\0';
    // The record holds at most 64 modules, as the caller's does.
    int modules = count < data->ModuleCount ? count : data->ModuleCount;
    for (int i = 0; i < modules && i < DMP_MAX_MODULES; ++i) {
        r = Dmp_CopyFromMal_ConfigDataModule(kind, &out->Modules[i], &data->Modules[i]);
        if (r != RM_STATUS_OK)
            return r;
    }
    return RM_STATUS_OK;
}

RM_STATUS SetAwEventLogConfigDataModule(node_tag_t adapter, ConfigDataModule *module, int kind)
{
    int32_t valid = 0;
    RM_STATUS r = ValidateConfigDataModule(0, module, &valid, kind);
    if (r != RM_STATUS_OK)
        return r;
    std::vector<uint32_t> tags(MAL_MAX_TAGS);
    int count = MAL_MAX_TAGS;
    r = MAL_EnumerateExtFatModules(adapter, &count, tags.data());
    if (r != RM_STATUS_OK)
        return r;
    std::unique_ptr<MAL_ExtFatData> data(new MAL_ExtFatData());
    r = MAL_GetExtFatData(adapter, data.get());
    if (r != RM_STATUS_OK)
        return r;
    // Only slots that have a module tag can be written.
    int slots = count < DMP_MAX_MODULES ? count : DMP_MAX_MODULES;
    for (int i = 0; i < slots; ++i) {
        if (std::strncmp(data->Modules[i].ModuleString, module->ModuleName, sizeof module->ModuleName) != 0)
            continue;
        MAL_ExtFatModule rec;
        r = Dmp_CopyToMal_ConfigDataModule(&rec, module);
        if (r != RM_STATUS_OK)
            return r;
        return MAL_SetExtFatModule(static_cast<node_tag_t>(tags[static_cast<size_t>(i)]), &rec);
    }
    return RM_STATUS_ERROR_INVALID_VALUE;
}

RM_STATUS SetAwEventLogTraceLevel(node_tag_t adapter, int32_t code, int32_t uart, int32_t ram, int32_t third,
                                  int32_t fourth)
{
    if (!uart && !ram && !third && !fourth)
        return RM_STATUS_ERROR_INVALID_VALUE;
    if (code == DMP_TRACE_DISABLED)
        return MAL_DisableLoggingOnAllModules(adapter, uart, ram, third, fourth);
    int32_t level = 0;
    if (Dmp_MapToMal_TraceLevel(&level, code) != RM_STATUS_OK)
        return RM_STATUS_ERROR;
    return MAL_EnableLoggingOnAllModules(adapter, level, uart, ram, third, fourth);
}

RM_STATUS SetAwDefaultLoggingConfig(node_tag_t adapter)
{
    return MAL_SetDefaultLoggingConfig(adapter, 0, 0, 0, 0, 0, 0, 0);
}

RM_STATUS ValidateConfigDataModule(int unused, ConfigDataModule *module, int32_t *valid, int kind)
{
    (void)unused;
    if (!module || !valid)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    *valid = 1;
    if (module->ModuleName[0] == '\0') {
        *valid = 0;
        return RM_STATUS_ERROR_INVALID_VALUE;
    }
    int32_t max_function = kind == DMP_KIND_FOUR_FUNCTIONS ? 15 : 255;
    for (int i = 0; i < DMP_MODES; ++i) {
        ConfigDataMode &m = module->Modes[i];
        for (char &c : m.ModeName)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (!known_mode(m.ModeName)) {
            if (i == 0) {
                *valid = 0;
                return RM_STATUS_ERROR_INVALID_VALUE;
            }
            return RM_STATUS_OK;
        }
        if (m.FunctionMask < -1 || m.FunctionMask > max_function || m.PortMask < -1 || m.PortMask > 15) {
            *valid = 0;
            return RM_STATUS_ERROR_INVALID_VALUE;
        }
    }
    return RM_STATUS_OK;
}

RM_STATUS GenerateEfdDump(node_tag_t adapter, int mode, const char *path, int unused)
{
    (void)unused;
    if (!path)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    char text[8];
    RM_STATUS r = Dmp_CopyToMal_SnapshotMode(text, sizeof text, mode);
    if (r != RM_STATUS_OK)
        return r;
    return MAL_RetrieveArmLog(adapter, path, text);
}

RM_STATUS GenerateCoreDump(node_tag_t adapter, const char *kind, const char *path)
{
    if (!path)
        return RM_STATUS_ERROR_NO_OUTPUT_FILE;
    switch (MAL_RetrieveCoreDump(adapter, path, kind)) {
    case VEXO_STATUS_SUCCESS:
        return RM_STATUS_OK;
    case VEXO_STATUS_INVALID_VALUE:
    case VEXO_STATUS_API_INVALID_VALUE:
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    case VEXO_STATUS_IMMEDIATE_REBOOT_REQUIRED:
        return RM_STATUS_REBOOT_REQUIRED;
    case VEXO_STATUS_FILE_WR_OP_NOT_SUPPORTED:
        return RM_STATUS_ERROR_RETRIEVE_FAILED;
    default:
        // A segment failure (269) lands here too, although the file exists.
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    }
}

int Dmp_VexoReport(int depth_limit, FILE *stream)
{
    return report_group(stream ? stream : stdout, 0, "/", 0, depth_limit);
}
