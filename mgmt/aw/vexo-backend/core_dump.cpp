#include "mgmt/aw/vexo-backend/core_dump.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/core_dump_templates.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "os/atomic_file.h"

int successful_segments = 0;
uint8_t VEXO_CORE_DUMP_STATUS = 0;

namespace
{

// Appends one record to a dump file the way every write of a dump does: open
// for appending, write, close.
int append_bytes(const char *file_name, const void *data, size_t size)
{
    FILE *fp = VEXO_file_open(file_name, "ab+");
    if (!fp)
        return 1;
    bool ok = size == 0 || std::fwrite(data, 1, size, fp) == size;
    ok = std::fflush(fp) == 0 && ok;
    VEXO_file_close(fp);
    return ok ? 0 : 1;
}

// The file a dump is written to until its trailer is in: created exclusively
// beside the real file (a symlink's target, when it is one), so a failed
// dump never touches the old file.
struct DumpFile {
    std::string target;
    std::string temporary;
};

bool dump_file_begin(const char *path, DumpFile *f)
{
    if (!path || !path[0] || std::strlen(path) >= PATH_MAX)
        return false;
    char resolved[PATH_MAX];
    f->target = realpath(path, resolved) ? resolved : path;
    struct stat old;
    bool exists = stat(f->target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return false;
    size_t slash = f->target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : f->target.substr(0, slash);
    std::string base = slash == std::string::npos ? f->target : f->target.substr(slash + 1);
    if (base.empty())
        return false;
    std::string name = dir + "/." + base + ".tmp.XXXXXX";
    if (name.size() >= PATH_MAX)
        return false;
    std::vector<char> tmpl(name.begin(), name.end());
    tmpl.push_back('\0');
    int fd = mkstemp(tmpl.data());
    if (fd < 0)
        return false;
    f->temporary = tmpl.data();
    bool ok = fchmod(fd, exists ? (old.st_mode & 07777) : 0644) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok) {
        unlink(f->temporary.c_str());
        return false;
    }
    return true;
}

void dump_file_abandon(DumpFile *f)
{
    if (!f->temporary.empty())
        unlink(f->temporary.c_str());
    f->temporary.clear();
}

// Flushes the finished dump to disk and puts it in place.
bool dump_file_commit(DumpFile *f)
{
    int fd = open(f->temporary.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    bool ok = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0)
        close(fd);
    ok = ok && rename(f->temporary.c_str(), f->target.c_str()) == 0;
    if (!ok)
        dump_file_abandon(f);
    f->temporary.clear();
    return ok;
}

// Reads a function's PCI FunctionNumber text.
bool function_number_text(node *function, char value[VEXO_VALUE_SIZE])
{
    node *pci = internal_get_node(function, "PCI", VEXO_NODE_GROUP);
    if (!pci)
        return false;
    value[0] = '\0';
    if (internal_get_property(pci, "FunctionNumber", value) != VEXO_STATUS_SUCCESS)
        value[0] = '\0';
    value[VEXO_VALUE_SIZE - 1] = '\0';
    return true;
}

void local_time(short *year, short *month, short *day, short *hour, short *minute, short *second, short *bias)
{
    short ms = 0;
    VEXO_get_system_time(month, year, hour, day, second, minute, &ms, bias);
}

} // namespace

int coredump_function_zero(node *adapter, node **function)
{
    if (function)
        *function = nullptr;
    node *f = adapter ? get_first_instance(adapter, "NICPhysicalHBA") : nullptr;
    if (!f)
        return COREDUMP_NO_NIC_FUNCTION;
    for (; f && vexo_is_instance(f); f = f->u.grp->multi_instance->next_instance) {
        char value[VEXO_VALUE_SIZE];
        if (!function_number_text(f, value))
            return COREDUMP_NO_PCI_NODE;
        if (strcasecmp(value, "0x0") == 0 || strcasecmp(value, "0") == 0) {
            if (function)
                *function = f;
            return COREDUMP_FUNCTION_FOUND;
        }
    }
    return COREDUMP_NO_FUNCTION_ZERO;
}

extern "C" int vexo_get_sli_intf(uint32_t *sli_intf, uint32_t *asic_id, node *function)
{
    (void)sli_intf;
    (void)asic_id;
    (void)function;
    return 0;
}

extern "C" int VEXO_get_coredump_comp_props(uint32_t component_id, int port_number, uint32_t domain_id,
                                            uint32_t phba_port, node *adapter, uint32_t *num_segments,
                                            uint32_t *component_status)
{
    if (!adapter || !num_segments || !component_status) {
        vexo_set_fixed_status(VEXO_STATUS_GET_COREDUMP_COMP_PROPS_FAILED);
        return 1;
    }
    IOCTL_LOWLEVEL_GET_COREDUMP_COMPONENT_PROPERTIES_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    put_le32(rec.data, component_id);
    if (ioctl_get_coredump_comp_props(port_number, &rec, domain_id, phba_port, VEXO_DRIVER_NIC) !=
        VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed for component %u\n", __func__, component_id);
        vexo_set_fixed_status(VEXO_STATUS_GET_COREDUMP_COMP_PROPS_FAILED);
        return 1;
    }
    *num_segments = le32_at(rec.data);
    *component_status = le32_at(rec.data + 4);
    return 0;
}

extern "C" int VEXO_get_coredump_seg_props(uint32_t component_id, uint32_t segment_id, int port_number,
                                           uint32_t domain_id, uint32_t phba_port, node *adapter,
                                           uint32_t *max_instance, uint32_t *segment_status, uint32_t *max_length,
                                           uint8_t *low_version, uint8_t *high_version)
{
    if (!adapter || !max_instance || !segment_status || !max_length || !low_version || !high_version) {
        vexo_set_fixed_status(VEXO_STATUS_GET_COREDUMP_SEG_PROPS_FAILED);
        return 1;
    }
    IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PROPERTIES_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    put_le32(rec.data, component_id);
    put_le32(rec.data + 4, segment_id);
    if (ioctl_get_coredump_seg_props(port_number, &rec, domain_id, phba_port, VEXO_DRIVER_NIC) !=
        VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed for component %u segment %u\n", __func__, component_id,
               segment_id);
        vexo_set_fixed_status(VEXO_STATUS_GET_COREDUMP_SEG_PROPS_FAILED);
        return 1;
    }
    *low_version = rec.data[0];
    *high_version = rec.data[1];
    *segment_status = le32_at(rec.data + 4);
    *max_instance = le32_at(rec.data + 8);
    *max_length = le32_at(rec.data + 12);
    return 0;
}

extern "C" IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PARAMS *
VEXO_get_coredump_segment(uint32_t component_id, uint32_t segment_id, uint32_t instance, uint32_t offset,
                          uint32_t length, uint32_t bytecode_length, const uint32_t *bytecode, const char *file_name,
                          node *adapter)
{
    if (!file_name || !adapter)
        return nullptr;
    node *function = nullptr;
    int found = coredump_function_zero(adapter, &function);
    if (found == COREDUMP_NO_PCI_NODE)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to PCI Node.\n", __func__);
    if (found != COREDUMP_FUNCTION_FOUND)
        return nullptr;
    // A program longer than the request area is never sent cut.
    if (component_id == 1 && (!bytecode || bytecode_length > (COREDUMP_PIECE_REQUEST - 24) / 4)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed for seg_id %d and instance %d\n", __func__,
               static_cast<int>(segment_id), static_cast<int>(instance));
        vexo_set_fixed_status(VEXO_STATUS_GET_SEGMENT_FAILED);
        return nullptr;
    }
    auto *rec = static_cast<IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PARAMS *>(std::calloc(1, sizeof(IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PARAMS)));
    if (!rec) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        return nullptr;
    }
    rec->request.component_id = component_id;
    rec->request.segment_id = segment_id;
    rec->request.instance = instance;
    rec->request.offset = offset;
    rec->request.length = length;
    rec->request.bytecode_length = bytecode_length;
    if (component_id == 1)
        for (uint32_t i = 0; i < bytecode_length; ++i)
            put_le32(rec->request.bytecode + 4 * i, bytecode[i]);
    if (ioctl_get_coredump_seg(get_port_number(function), rec, COREDUMP_PIECE_REQUEST, get_domain_id(function),
                               get_phba_port_number(function), VEXO_DRIVER_NIC) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed for seg_id %d and instance %d\n", __func__,
               static_cast<int>(segment_id), static_cast<int>(instance));
        vexo_set_fixed_status(VEXO_STATUS_GET_SEGMENT_FAILED);
        std::free(rec);
        return nullptr;
    }
    return rec;
}

extern "C" int VEXO_core_dump_segment_header(const char *file_name, uint32_t component_id, uint32_t segment_id,
                                             uint16_t fun_id, uint32_t offset, uint32_t length, uint32_t status,
                                             uint32_t instance, uint32_t duration, uint32_t flag,
                                             uint8_t low_version, uint8_t high_version)
{
    if (!file_name)
        return 1;
    CORE_DUMP_HEADER h;
    std::memset(&h, 0, sizeof h);
    std::memcpy(h.signature, "sEgM", 4);
    h.component_id = component_id;
    h.segment_id = segment_id;
    h.flag = flag;
    h.low_version = low_version;
    h.high_version = high_version;
    h.fun_id = fun_id;
    h.offset = offset;
    h.length = length;
    h.status = status;
    h.duration = duration;
    h.data_offset = sizeof h;
    h.instance = instance;
    return append_bytes(file_name, &h, sizeof h);
}

extern "C" int VEXO_writing_segment_data(const char *file_name, const uint8_t *buffer, uint32_t length)
{
    if (!file_name || (!buffer && length != 0))
        return 1;
    return append_bytes(file_name, buffer, length);
}

extern "C" int VEXO_write_each_segment_data(uint32_t component_id, uint32_t segment_id, uint32_t instance,
                                            uint32_t offset, uint32_t max_length, uint32_t bytecode_length,
                                            const uint32_t *bytecode, const char *file_name, node *adapter,
                                            int compress_flag, uint8_t low_version, uint8_t high_version)
{
    node *function = nullptr;
    if (coredump_function_zero(adapter, &function) != COREDUMP_FUNCTION_FOUND)
        return 1;
    char text[VEXO_VALUE_SIZE];
    if (!function_number_text(function, text))
        return 1;
    char *end = nullptr;
    errno = 0;
    long pf_num = std::strtol(text, &end, 0);
    if (errno != 0 || end == text || *end != '\0' || pf_num < 0 || pf_num > UINT16_MAX) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: pf_num is invalid\n", __func__);
        return 1;
    }
    auto *segment = static_cast<uint8_t *>(std::calloc(max_length ? max_length : 1, 1));
    if (!segment) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    uint32_t remaining = max_length;
    uint32_t position = offset;
    uint32_t stored = 0;
    uint32_t segment_status = 0;
    do {
        uint32_t piece = remaining < COREDUMP_PIECE_SIZE ? remaining : COREDUMP_PIECE_SIZE;
        IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PARAMS *answer = VEXO_get_coredump_segment(
            component_id, segment_id, instance, position, piece, bytecode_length, bytecode, file_name, adapter);
        if (!answer) {
            VEXO_CORE_DUMP_STATUS = 1;
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Writing segid %d of instance %d is FAILED.\n", __func__,
                   static_cast<int>(segment_id), static_cast<int>(instance));
            break;
        }
        // Every piece is cut to the answer area and to the room left in the
        // segment, whatever length the firmware reports.
        uint32_t at = position - offset;
        uint32_t n = answer->response.length;
        if (n > COREDUMP_PIECE_SIZE)
            n = COREDUMP_PIECE_SIZE;
        if (n > max_length - at)
            n = max_length - at;
        segment_status = answer->response.segment_status;
        std::memcpy(segment + at, answer->response.data, n);
        std::free(answer);
        remaining -= piece;
        position += piece;
        stored += n;
    } while (remaining != 0);

    const uint8_t *data = segment;
    uint32_t length = stored;
    uint8_t *packed = nullptr;
    if (compress_flag) {
        int bound = stored < static_cast<uint32_t>(INT32_MAX) - 64 ? GetMaxCompressedLen(static_cast<int>(stored) + 1)
                                                                     : 0;
        if (bound <= 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:dist_len is zero.\n", __func__);
        } else if (!(packed = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(bound) + 4)))) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Memory allocation failed.\n", __func__);
        } else {
            int m = CompressData(segment, static_cast<int>(stored), packed, bound);
            if (m < 0) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Compression of Data failed.\n", __func__);
            } else {
                put_le32(packed + m, stored);
                data = packed;
                length = static_cast<uint32_t>(m) + 4;
            }
        }
    }
    int duration = 0;
    VEXO_stop_clock(adapter, &duration);
    int result = 1;
    if (VEXO_core_dump_segment_header(file_name, component_id, segment_id, static_cast<uint16_t>(pf_num), offset,
                                      length, segment_status, instance, static_cast<uint32_t>(duration),
                                      compress_flag ? 1 : 0, low_version, high_version) != 0 ||
        VEXO_writing_segment_data(file_name, data, length) != 0) {
        vexo_set_fixed_status(VEXO_STATUS_CREATING_COREDUMP_FAILED);
    } else {
        successful_segments += 1;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Writing segment id %d of instance %d is SUCCESS.\n", __func__,
               static_cast<int>(segment_id), static_cast<int>(instance));
        result = 0;
    }
    std::free(packed);
    std::free(segment);
    return result;
}

extern "C" int VEXO_record_core_dump(const char *file_name, int chip_state, uint32_t asic_id, uint32_t sli_intf,
                                     uint8_t low_version, uint8_t high_version, short month, short day, short year,
                                     short hour, short minute, short second, short utc_bias, const char *dump_type)
{
    if (!file_name || !dump_type) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:INVALID File or CoreDump String.\n", __func__);
        return 1;
    }
    if (VEXO_CORE_DUMP_STATUS && dump_type[0] == '\0')
        dump_type = "live";
    FILE *fp = VEXO_file_open(file_name, "ab+");
    if (!fp) {
        vexo_set_fixed_status(errno == EPERM ? VEXO_STATUS_FILE_WR_OP_NOT_SUPPORTED : VEXO_STATUS_INVALID_FILE_PATH_NAME);
        return 1;
    }
    RECORD_CORE_DUMP r;
    std::memset(&r, 0, sizeof r);
    std::memcpy(r.signature, "cOrE", 4);
    r.low_version = 0;
    r.high_version = 1;
    r.asic_state = static_cast<uint8_t>(chip_state);
    char name[VEXO_VALUE_SIZE] = {0};
    VEXO_get_system_name(name);
    std::snprintf(r.system_name, sizeof r.system_name, "%.31s", name);
    r.year = static_cast<uint16_t>(year);
    r.month = static_cast<uint16_t>(month);
    r.day = static_cast<uint16_t>(day);
    r.hour = static_cast<uint16_t>(hour);
    r.minute = static_cast<uint16_t>(minute);
    r.second = static_cast<uint16_t>(second);
    r.utc_bias = utc_bias;
    std::snprintf(r.commandline, sizeof r.commandline, "%s", dump_type);
    r.total_segements = static_cast<uint32_t>(successful_segments);
    int major = 0, minor = 0;
    char os[VEXO_VALUE_SIZE] = {0};
    VEXO_get_os_info(&major, &minor, os);
    r.os_version_major = static_cast<uint32_t>(major);
    r.os_version_minor = static_cast<uint32_t>(minor);
    std::snprintf(r.os_name, sizeof r.os_name, "%.31s", os);
    short ey = 0, emo = 0, ed = 0, eh = 0, emi = 0, es = 0, eb = 0;
    local_time(&ey, &emo, &ed, &eh, &emi, &es, &eb);
    r.end_year = static_cast<uint16_t>(ey);
    r.end_month = static_cast<uint16_t>(emo);
    r.end_day = static_cast<uint16_t>(ed);
    r.end_hour = static_cast<uint16_t>(eh);
    r.end_minute = static_cast<uint16_t>(emi);
    r.end_second = static_cast<uint16_t>(es);
    r.end_utc_bias = eb;
    r.sli_intf = sli_intf;
    r.sli_asic_id = asic_id;
    r.coredump_status = VEXO_CORE_DUMP_STATUS ? 0xFFFFFFFFu : 0;
    r.ioctl_low_version = low_version;
    r.ioctl_high_version = high_version;
    bool ok = std::fwrite(&r, 1, sizeof r, fp) == sizeof r;
    ok = std::fflush(fp) == 0 && ok;
    VEXO_file_close(fp);
    if (!ok) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_FILE_PATH_NAME);
        return 1;
    }
    return 0;
}

VEXO_status_t do_RetrieveStratolinkCoreDump(node *context, node *action,
                                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!context || !action || !params)
        return VEXO_STATUS_FAILURE;
    node *adapter = context;
    const char *target = params[0];
    char *dump_type = params[1];
    dump_type[VEXO_VALUE_SIZE - 1] = '\0';
    DumpFile file;
    if (!dump_file_begin(target, &file)) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_FILE_PATH_NAME);
        return VEXO_STATUS_FAILURE;
    }
    const char *path = file.temporary.c_str();
    short year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, bias = 0;
    local_time(&year, &month, &day, &hour, &minute, &second, &bias);

    int chip_state = 0;
    int asic_type = 0;
    uint8_t low_version = 0, high_version = 0;
    uint32_t sli_intf = 0, asic_id = 0, max_components = 0;
    if (get_aw_type(adapter) == AW_TYPE_VARROW) {
        low_version = 1;
        sli_intf = 0xC0010A40u;
    } else {
        node *nic = get_first_instance(adapter, "NICPhysicalHBA");
        if (!nic) {
            dump_file_abandon(&file);
            return VEXO_STATUS_FAILURE;
        }
        node *function = nullptr;
        int found = coredump_function_zero(adapter, &function);
        if (found == COREDUMP_NO_PCI_NODE) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get PCI Node.\n", __func__);
            dump_file_abandon(&file);
            return VEXO_STATUS_FAILURE;
        }
        int port = get_port_number(nic);
        uint32_t domain = get_domain_id(action);
        uint32_t phba_port = get_phba_port_number(action);
        IOCTL_LOWLEVEL_GET_COREDUMP_PROPERTIES_PARAMS props;
        std::memset(&props, 0, sizeof props);
        VEXO_status_t st = ioctl_get_coredump_props(port, &props, domain, phba_port, VEXO_DRIVER_NIC);
        if (st == VEXO_STATUS_FAILURE) {
            chip_state = 1;
            max_components = 7;
            low_version = 1;
            vexo_get_sli_intf(&sli_intf, &asic_id, nic);
        } else {
            chip_state = props.response.chip_state;
            sli_intf = props.response.sli_intf;
            max_components = props.response.max_components;
            low_version = props.response.low_version;
            high_version = props.response.high_version;
            asic_id = props.response.sli_asic_id;
        }
        if (found != COREDUMP_FUNCTION_FOUND) {
            VEXO_CORE_DUMP_STATUS = 1;
        } else {
            VEXO_get_asic_type(sli_intf, &asic_type, asic_id);
            if (max_components != 0) {
                int user_request = 0;
                if (dump_type[0] == '\0' || strcasecmp(dump_type, "Test") == 0) {
                    bool test = dump_type[0] != '\0';
                    if (chip_state == 0) {
                        std::snprintf(dump_type, VEXO_VALUE_SIZE, "%s", test ? "Test live" : "live");
                    } else {
                        std::snprintf(dump_type, VEXO_VALUE_SIZE, "%s", test ? "Test Dead" : "Dead");
                        user_request = 1;
                    }
                } else {
                    user_request =
                        strcasecmp(dump_type, "live") == 0 || strcasecmp(dump_type, "Test live") == 0 ? 0 : 1;
                }
                if (strcasecmp(dump_type, "Dead") == 0)
                    chip_state = 1;
                bool dead_type = strcasecmp(dump_type, "Dead") == 0 || strcasecmp(dump_type, "Test Dead") == 0;
                for (uint32_t c = 1; c < max_components; ++c) {
                    if (c == 1) {
                        VEXO_get_byte_code_info(asic_type, dump_type, path, adapter, user_request, chip_state);
                        continue;
                    }
                    if (c == 5 || c == 6 || ((c == 2 || c == 3) && dead_type))
                        continue;
                    uint32_t num_segments = 0, component_status = 0;
                    if (VEXO_get_coredump_comp_props(c, port, domain, phba_port, adapter, &num_segments,
                                                     &component_status) != 0 ||
                        component_status != 0)
                        continue;
                    for (uint32_t s = 0; s < num_segments; ++s) {
                        uint32_t max_instance = 0, segment_status = 0, max_length = 0;
                        uint8_t lo = 0, hi = 0;
                        if (VEXO_get_coredump_seg_props(c, s, port, domain, phba_port, adapter, &max_instance,
                                                        &segment_status, &max_length, &lo, &hi) != 0 ||
                            segment_status != 0)
                            continue;
                        for (uint32_t k = 0;; ++k) {
                            VEXO_start_clock(adapter);
                            VEXO_write_each_segment_data(c, s, k, 0, max_length, 0, nullptr, path, adapter, 0, lo,
                                                         hi);
                            if (k == max_instance)
                                break;
                        }
                    }
                }
            }
        }
    }

    int written = VEXO_record_core_dump(path, chip_state, asic_id, sli_intf, low_version, high_version, month, day,
                                        year, hour, minute, second, bias, dump_type);
    successful_segments = 0;
    VEXO_CORE_DUMP_STATUS = 0;
    if (written != 0) {
        dump_file_abandon(&file);
        return VEXO_STATUS_FAILURE;
    }
    if (!dump_file_commit(&file)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:cannot put the dump in place\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_INVALID_FILE_PATH_NAME);
        return VEXO_STATUS_FAILURE;
    }
    if (chip_state == 1 &&
        (asic_type == AW_TYPE_AW2 || asic_type == AW_TYPE_AW3 || asic_type == AW_TYPE_TRELMONT))
        vexo_set_fixed_status(VEXO_STATUS_IMMEDIATE_REBOOT_REQUIRED);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_RetrieveFwCliData(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!context || !action || !params)
        return VEXO_STATUS_FAILURE;
    node *adapter = context;
    if (vm_flag == 1) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR,
               "%s:Failed to Retrieve FWCli dump on SR-IOV related virtual function.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (get_aw_type(adapter) == AW_TYPE_VARROW) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:On this adapter Retrieve FWCli dump is not supported.\n",
               __func__);
        return VEXO_STATUS_FAILURE;
    }
    node *function = target_function(adapter);
    if (!function)
        return VEXO_STATUS_FAILURE;
    auto *rec = static_cast<IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PARAMS *>(std::calloc(1, sizeof(IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PARAMS)));
    if (!rec) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        return VEXO_STATUS_FAILURE;
    }
    size_t chars = strnlen(params[1], VEXO_VALUE_SIZE - 1);
    rec->request.component_id = 3;
    rec->request.segment_id = 0xFFFFFFFFu;
    rec->request.instance = 0;
    rec->request.offset = 0;
    rec->request.length = COREDUMP_CLI_LENGTH;
    rec->request.bytecode_length = static_cast<uint32_t>(chars);
    std::memcpy(rec->request.bytecode, params[1], chars);
    VEXO_status_t result = VEXO_STATUS_FAILURE;
    if (ioctl_get_coredump_seg(get_port_number(function), rec, COREDUMP_CLI_REQUEST, get_domain_id(action),
                               get_phba_port_number(action), adapter_driver(adapter)) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get CoreDump segment.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_GET_SEGMENT_FAILED);
    } else if (rec->response.segment_status == COREDUMP_INVALID_CLI_STATUS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Invalid FWCli String.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_INVALID_FWCLISTRING);
        result = VEXO_STATUS_INVALID_FWCLISTRING;
    } else if (rec->response.segment_status != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:FWCli dump failed with segment_status = %d\n", __func__,
               static_cast<int>(rec->response.segment_status));
        vexo_set_fixed_status(VEXO_STATUS_GET_SEGMENT_FAILED);
    } else {
        // The answer never reaches past its area, whatever length it reports.
        size_t n = rec->response.length;
        if (n > sizeof rec->response.data)
            n = sizeof rec->response.data;
        if (replace_file_atomically(params[0], rec->response.data, n, 0644) != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to open a file in write mode\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_INVALID_FILE_PATH_NAME);
        } else {
            result = VEXO_STATUS_SUCCESS;
        }
    }
    std::free(rec);
    return result;
}
