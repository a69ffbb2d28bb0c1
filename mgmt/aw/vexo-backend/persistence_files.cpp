#include "mgmt/aw/vexo-backend/persistence_files.h"

#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <strings.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "os/atomic_file.h"
#include "os/host_env.h"

namespace
{

// An appender that opened a file a rewrite then replaced tries again on the
// new one. Each replacement is another writer's progress, so the tries are
// bounded by time, as the lock wait is, not by a count a busy writer can use up.
const long long kReopenWaitMs = VEXO_LOCK_WAIT_MS;

long long steady_ms()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const char *const kSecretFiles[] = {VEXO_SAVED_TARGETS_FILE, VEXO_SAVED_PORTALS_FILE, VEXO_SAVED_LOGOPTS_FILE};

// Cuts field after field out of `line` (up to a newline or the end) into
// `out`, each at most `max_len` characters; fields beyond the line are left.
// Calls `each(i)` after field i is stored; a false answer stops the split.
template <typename F>
void split_line(const char *line, char (*out)[VEXO_FIELD_SIZE], int n, size_t max_len, F each)
{
    const char *p = line;
    for (int i = 0; i < n && p; ++i) {
        size_t len = std::strcspn(p, ",\n");
        size_t keep = len < max_len ? len : max_len;
        std::memcpy(out[i], p, keep);
        out[i][keep] = '\0';
        if (!each(i))
            return;
        p = p[len] == ',' ? p + len + 1 : nullptr;
    }
}

bool same_inode(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens `path` and holds the whole-file lock on the file that is under that
// name once the lock is granted: a rewrite may have renamed a new file over
// the one we opened while we waited.
FILE *open_locked(const std::string &path, int flags, mode_t mode)
{
    const long long deadline = steady_ms() + kReopenWaitMs;
    do {
        int fd = open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
        if (fd < 0)
            return nullptr;
        FILE *fp = fdopen(fd, (flags & O_APPEND) ? "a" : "r+");
        if (!fp) {
            close(fd);
            return nullptr;
        }
        if (vexo_lock_file(fp) != 0) {
            std::fclose(fp);
            return nullptr;
        }
        struct stat held, named;
        if (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && same_inode(held, named))
            return fp;
        std::fclose(fp); // releases the lock on the replaced file
    } while (steady_ms() < deadline);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:%s keeps being replaced.\n", __func__, path.c_str());
    return nullptr;
}

void close_locked(FILE *fp)
{
    vexo_unlock_file(fp);
    std::fclose(fp);
}

void refuse_value(const char *path)
{
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:a value with a comma or line break cannot be saved in %s\n",
           __func__, path);
    vexo_set_fixed_status(VEXO_STATUS_INVALID_VALUE);
}

bool join_fields(const char (*fields)[VEXO_FIELD_SIZE], int count, std::string *out)
{
    for (int i = 0; i < count; ++i) {
        if (!vexo_field_storable(fields[i]))
            return false;
        if (i)
            *out += ',';
        *out += fields[i];
    }
    *out += '\n';
    return true;
}

// Calls `each(line, len)` for every non-empty line of the buffer; the last
// line needs no newline. A false answer stops the walk.
template <typename F> void walk_lines(const char *buf, size_t size, F each)
{
    size_t start = 0;
    while (start < size) {
        const void *nl = std::memchr(buf + start, '\n', size - start);
        size_t end = nl ? static_cast<size_t>(static_cast<const char *>(nl) - buf) : size;
        if (end > start && !each(buf + start, end - start))
            return;
        start = end + 1;
    }
}

// ---- removal by whole fields ----

struct FieldKey {
    char fields[8][VEXO_FIELD_SIZE];
    int count;
};

int drop_matching(const char *, char (*fields)[VEXO_FIELD_SIZE], int, void *ctx)
{
    const FieldKey *key = static_cast<const FieldKey *>(ctx);
    for (int i = 0; i < key->count; ++i)
        if (strcasecmp(fields[i], key->fields[i]) != 0)
            return VEXO_LINE_KEEP;
    return VEXO_LINE_DROP;
}

// ---- configured-profile file ----

struct CprofKey {
    const char *serial;
    const char *bus;
    const char *fun;
    int comp_flag;
    const char *value;
    int prop_num;
};

bool cprof_matches(const CprofKey &k, const char (*f)[VEXO_FIELD_SIZE])
{
    if (strcasecmp(f[0], k.serial) != 0 || strcasecmp(f[1], k.bus) != 0)
        return false;
    return k.comp_flag != 1 || (k.fun && strcasecmp(f[4], k.fun) == 0);
}

void parse_cprof(const char *line, char (*props)[VEXO_FIELD_SIZE])
{
    split_line(line, props, VEXO_CPROF_FIELDS, VEXO_CPROF_FIELD_LEN, [](int) { return true; });
}

int set_cprof_field(const char *line, char (*fields)[VEXO_FIELD_SIZE], int, void *ctx)
{
    const CprofKey *k = static_cast<const CprofKey *>(ctx);
    char props[VEXO_CPROF_FIELDS][VEXO_FIELD_SIZE];
    std::memset(props, 0, sizeof props);
    parse_cprof(line, props);
    if (!cprof_matches(*k, props))
        return VEXO_LINE_KEEP;
    for (int i = 0; i < VEXO_CPROF_FIELDS; ++i) {
        // The new value was checked to fit a field before the rewrite.
        const char *src = i == k->prop_num ? k->value : props[i];
        size_t n = strnlen(src, VEXO_FIELD_SIZE - 1);
        std::memcpy(fields[i], src, n);
        fields[i][n] = '\0';
    }
    return VEXO_LINE_CHANGE;
}

int drop_adapter(const char *line, char (*)[VEXO_FIELD_SIZE], int, void *ctx)
{
    CprofKey k = *static_cast<const CprofKey *>(ctx);
    char props[VEXO_CPROF_FIELDS][VEXO_FIELD_SIZE];
    std::memset(props, 0, sizeof props);
    parse_cprof(line, props);
    k.comp_flag = 0;
    return cprof_matches(k, props) ? VEXO_LINE_DROP : VEXO_LINE_KEEP;
}

// ---- start-up check ----

bool contains(const char *field, const char *word)
{
    return std::strstr(field, word) != nullptr;
}

struct BadLines {
    const char *path;
    int commas;
    int dropped;
};

int drop_unsound(const char *line, char (*)[VEXO_FIELD_SIZE], int, void *ctx)
{
    BadLines *b = static_cast<BadLines *>(ctx);
    size_t len = std::strlen(line);
    int commas = 0;
    for (const char *p = line; *p; ++p)
        commas += *p == ',';
    char key[3][VEXO_FIELD_SIZE];
    std::memset(key, 0, sizeof key);
    split_line(line, key, 3, VEXO_FIELD_SIZE - 1, [](int) { return true; });
    // A NUL inside the line shortens the text; such a line is damaged too.
    bool sound = len <= VEXO_MAX_LINE_LEN && commas == b->commas && contains(key[0], "Arcwright") &&
                 contains(key[1], "iSCSIPhysicalHBA") && contains(key[2], "LogicalHBA");
    if (sound)
        return VEXO_LINE_KEEP;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:tokens = %d, dropping a corrupted line of %s\n", __func__, commas,
           b->path);
    ++b->dropped;
    return VEXO_LINE_DROP;
}

} // namespace

unsigned int vexo_persistence_mode(const char *path)
{
    for (const char *f : kSecretFiles)
        if (path && std::strcmp(path, f) == 0)
            return 0600;
    return 0644;
}

bool vexo_field_storable(const char *value)
{
    return value && std::strpbrk(value, ",\n\r") == nullptr;
}

extern "C" char *VEXO_get_file_data(FILE *fp, int *size, int *line_count)
{
    if (!fp) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Invalid file pointer.\n", __func__);
        return nullptr;
    }
    if (std::fseek(fp, 0, SEEK_END) != 0)
        return nullptr;
    long len = std::ftell(fp);
    if (len <= 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:File Size is Zero.\n", __func__);
        return nullptr;
    }
    if (len >= INT_MAX) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:File too large.\n", __func__);
        return nullptr;
    }
    char *buf = static_cast<char *>(vexo_dmalloc(static_cast<size_t>(len) + 1));
    if (!buf) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed allocate memory.\n", __func__);
        return nullptr;
    }
    std::rewind(fp);
    size_t got = std::fread(buf, 1, static_cast<size_t>(len), fp);
    if (got != static_cast<size_t>(len)) {
        vexo_dfree(buf);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to read the file.\n", __func__);
        return nullptr;
    }
    buf[got] = '\0';
    int lines = 0;
    for (size_t i = 0; i < got; ++i) // every byte: a 0xFF ends nothing
        lines += buf[i] == '\n';
    if (size)
        *size = static_cast<int>(got);
    if (line_count)
        *line_count = lines;
    return buf;
}

extern "C" int VEXO_get_iscsi_data_from_file(const char *str, char (*loginopts_prop)[VEXO_FIELD_SIZE],
                                             char (*login_options_props)[VEXO_FIELD_SIZE], int line_token_count,
                                             int count)
{
    if (!str || !login_options_props || line_token_count < 0 || count < 0 || (count > 0 && !loginopts_prop))
        return 1;
    if (count > line_token_count)
        count = line_token_count;
    bool differs = false;
    split_line(str, login_options_props, line_token_count, VEXO_FIELD_SIZE - 1, [&](int i) {
        if (i < count && strcasecmp(login_options_props[i], loginopts_prop[i]) != 0) {
            differs = true;
            return false;
        }
        return true;
    });
    // A line shorter than the key cannot match it.
    if (!differs && count > 0) {
        int present = 1;
        for (const char *p = str; *p && *p != '\n'; ++p)
            present += *p == ',';
        if (present < count)
            return 1;
    }
    return differs ? 1 : 0;
}

int vexo_lhba_instance_key(node *lhba, char (*key)[VEXO_FIELD_SIZE])
{
    const char *const names[3] = {"Arcwright", "iSCSIPhysicalHBA", "LogicalHBA"};
    int found[3] = {-1, -1, -1};
    for (node *n = lhba; n; n = n->parent) {
        if (n->node_name && vexo_is_instance(n))
            for (int i = 0; i < 3; ++i)
                if (found[i] < 0 && strcasecmp(n->node_name, names[i]) == 0)
                    found[i] = instance_number(n);
        if (n->parent == n)
            break;
    }
    for (int i = 0; i < 3; ++i) {
        if (found[i] < 0)
            return 1;
        std::snprintf(key[i], VEXO_FIELD_SIZE, "%s%d", names[i], found[i]);
    }
    return 0;
}

int vexo_append_persistence_line(const char *path, const char *const *fields, int count)
{
    if (!path || !fields || count <= 0)
        return 1;
    std::string line;
    for (int i = 0; i < count; ++i) {
        if (!vexo_field_storable(fields[i])) {
            refuse_value(path);
            return 1;
        }
        if (i)
            line += ',';
        line += fields[i];
    }
    line += '\n';
    mode_t mode = static_cast<mode_t>(vexo_persistence_mode(path));
    std::string p = host_path(std::string(path));
    FILE *fp = open_locked(p, O_WRONLY | O_APPEND | O_CREAT, mode);
    if (!fp)
        return 1;
    int fd = fileno(fp);
    // Before the line goes in, whatever the umask or an older mode was.
    int rc = fchmod(fd, mode) == 0 ? 0 : 1;
    // One write, so a kill leaves the whole line or none of it.
    if (rc == 0 && write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        rc = 1;
    if (rc == 0 && fsync(fd) != 0)
        rc = 1;
    close_locked(fp);
    return rc;
}

int vexo_rewrite_persistence_file(const char *path, int field_count, vexo_line_editor editor, void *ctx,
                                  const char *extra, bool create)
{
    if (!path || field_count < 0 || field_count > 64)
        return 1;
    mode_t mode = static_cast<mode_t>(vexo_persistence_mode(path));
    std::string p = host_path(std::string(path));
    FILE *fp = open_locked(p, O_RDWR | (create ? O_CREAT : 0), mode);
    if (!fp)
        return 1;
    struct stat st;
    if (fstat(fileno(fp), &st) != 0) {
        close_locked(fp);
        return 1;
    }
    int size = 0, lines = 0;
    char *buf = VEXO_get_file_data(fp, &size, &lines);
    if (!buf && st.st_size > 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Invalid buffer.\n", __func__);
        close_locked(fp);
        return 1;
    }
    std::string out;
    bool ok = true;
    char(*fields)[VEXO_FIELD_SIZE] = new char[field_count > 0 ? field_count : 1][VEXO_FIELD_SIZE];
    if (buf) {
        walk_lines(buf, static_cast<size_t>(size), [&](const char *l, size_t len) {
            std::string line(l, len);
            int act = VEXO_LINE_KEEP;
            if (line.find('\0') != std::string::npos) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:dropping a line of %s that is not text\n", __func__,
                       path);
                act = VEXO_LINE_DROP;
            } else if (editor) {
                std::memset(fields, 0, static_cast<size_t>(field_count) * VEXO_FIELD_SIZE);
                split_line(line.c_str(), fields, field_count, VEXO_FIELD_SIZE - 1, [](int) { return true; });
                act = editor(line.c_str(), fields, field_count, ctx);
            }
            if (act == VEXO_LINE_KEEP) {
                out += line;
                out += '\n';
            } else if (act == VEXO_LINE_CHANGE && !join_fields(fields, field_count, &out)) {
                refuse_value(path);
                ok = false;
            }
            return ok;
        });
        vexo_dfree(buf);
    }
    delete[] fields;
    if (ok && extra)
        out += extra;
    int rc = 1;
    if (ok) {
        // The new file takes the old one's mode: set it first.
        fchmod(fileno(fp), mode);
        int err = replace_file_atomically(p.c_str(), out.data(), out.size(), mode, ATOMIC_FILE_EXACT_MODE);
        if (err != 0)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:%s not rewritten: %s\n", __func__, path, std::strerror(err));
        rc = err == 0 ? 0 : 1;
    }
    close_locked(fp);
    return rc;
}

extern "C" int VEXO_remove_entry_from_file(node *lhba_node, const char *target_name, const char *ipaddress,
                                           const char *port_num, int isid, int file_type)
{
    if (!lhba_node)
        return 1;
    FieldKey key;
    std::memset(&key, 0, sizeof key);
    if (vexo_lhba_instance_key(lhba_node, key.fields) != 0)
        return 1;
    const char *path = VEXO_SAVED_TARGETS_FILE;
    int field_count = VEXO_SAVETGT_FIELDS;
    key.count = 3;
    auto add = [&](const char *v) { std::snprintf(key.fields[key.count++], VEXO_FIELD_SIZE, "%s", v ? v : ""); };
    if (file_type == VEXO_FILE_SAVED_PORTALS) {
        path = VEXO_SAVED_PORTALS_FILE;
        field_count = VEXO_SAVESTP_FIELDS;
        add(ipaddress);
        add(port_num);
    } else if (file_type == VEXO_FILE_SAVED_TARGET) {
        add(target_name);
        add(ipaddress);
        add(port_num);
        if (isid != VEXO_ANY_ISID) {
            char text[16];
            std::snprintf(text, sizeof text, "%d", isid);
            add(text);
        }
    } else if (file_type != VEXO_FILE_SAVED_LHBA) {
        return 1;
    }
    return vexo_rewrite_persistence_file(path, field_count, drop_matching, &key);
}

extern "C" int VEXO_compare_cprofile_data(const char *line, const char *serial_num, const char *bus_num,
                                          const char *fun_num, char (*cprofile_props)[VEXO_FIELD_SIZE], int comp_flag)
{
    if (!line || !serial_num || !bus_num || !cprofile_props || (comp_flag == 1 && !fun_num))
        return 1;
    parse_cprof(line, cprofile_props);
    CprofKey k = {serial_num, bus_num, fun_num, comp_flag, nullptr, 0};
    return cprof_matches(k, cprofile_props) ? 0 : 1;
}

extern "C" int VEXO_delete_cfg_prof_from_file(const char *serial_num, const char *bus_num)
{
    if (!serial_num || !bus_num)
        return 1;
    CprofKey k = {serial_num, bus_num, nullptr, 0, nullptr, 0};
    return vexo_rewrite_persistence_file(VEXO_CONFIG_PROFILE_FILE, VEXO_CPROF_FIELDS, drop_adapter, &k);
}

int vexo_find_cprofile_line(const char *serial_num, const char *bus_num, const char *fun_num,
                            char (*cprofile_props)[VEXO_FIELD_SIZE], int comp_flag)
{
    if (!serial_num || !bus_num || !cprofile_props || (comp_flag == 1 && !fun_num))
        return 1;
    FILE *fp = std::fopen(host_path(std::string(VEXO_CONFIG_PROFILE_FILE)).c_str(), "r");
    if (!fp)
        return 1;
    int size = 0, lines = 0;
    char *buf = VEXO_get_file_data(fp, &size, &lines);
    std::fclose(fp);
    if (!buf)
        return 1;
    CprofKey k = {serial_num, bus_num, fun_num, comp_flag, nullptr, 0};
    char taken[VEXO_CPROF_FIELDS][VEXO_FIELD_SIZE], first_nic[VEXO_CPROF_FIELDS][VEXO_FIELD_SIZE];
    bool have_taken = false;
    int nic_lines = 0;
    walk_lines(buf, static_cast<size_t>(size), [&](const char *l, size_t len) {
        std::string line(l, len);
        char props[VEXO_CPROF_FIELDS][VEXO_FIELD_SIZE];
        std::memset(props, 0, sizeof props);
        parse_cprof(line.c_str(), props);
        if (!cprof_matches(k, props))
            return true;
        bool nic = strcasecmp(props[5], "NIC") == 0 || strcasecmp(props[5], "NIC+RoCE") == 0;
        if (!fun_num || !nic) {
            std::memcpy(taken, props, sizeof taken);
            have_taken = true;
            return false;
        }
        if (++nic_lines == 2) {
            std::memcpy(taken, props, sizeof taken);
            have_taken = true;
            return false;
        }
        std::memcpy(first_nic, props, sizeof first_nic);
        return true;
    });
    vexo_dfree(buf);
    // A single NIC line stands for the function.
    if (nic_lines == 1 && !have_taken) {
        std::memcpy(taken, first_nic, sizeof taken);
        have_taken = true;
    }
    if (have_taken)
        std::memcpy(cprofile_props, taken, sizeof taken);
    return have_taken ? 0 : 1;
}

int vexo_set_cprofile_field(const char *serial_num, const char *bus_num, const char *fun_num, const char *value,
                            int comp_flag, int prop_num)
{
    if (!serial_num || !bus_num || !value || prop_num < 0 || prop_num >= VEXO_CPROF_FIELDS ||
        (comp_flag == 1 && !fun_num))
        return 1;
    // A value is stored whole or not at all.
    if (!vexo_field_storable(value) || strnlen(value, VEXO_FIELD_SIZE) >= VEXO_FIELD_SIZE) {
        refuse_value(VEXO_CONFIG_PROFILE_FILE);
        return 1;
    }
    CprofKey k = {serial_num, bus_num, fun_num, comp_flag, value, prop_num};
    return vexo_rewrite_persistence_file(VEXO_CONFIG_PROFILE_FILE, VEXO_CPROF_FIELDS, set_cprof_field, &k);
}

int vexo_replace_cprofile_lines(const char *serial_num, const char *bus_num, const char *lines)
{
    if (!serial_num || !bus_num || !lines)
        return 1;
    std::string fresh;
    bool ok = true;
    walk_lines(lines, std::strlen(lines), [&](const char *l, size_t len) {
        std::string line(l, len);
        if (line.find('\r') != std::string::npos) {
            ok = false;
            return false;
        }
        line += '\n';
        if (("\n" + fresh).find("\n" + line) == std::string::npos)
            fresh += line;
        return true;
    });
    if (!ok) {
        refuse_value(VEXO_CONFIG_PROFILE_FILE);
        return 1;
    }
    CprofKey k = {serial_num, bus_num, nullptr, 0, nullptr, 0};
    return vexo_rewrite_persistence_file(VEXO_CONFIG_PROFILE_FILE, VEXO_CPROF_FIELDS, drop_adapter, &k,
                                         fresh.c_str(), true);
}

int vexo_drop_bad_lines(const char *path, int commas)
{
    BadLines b = {path, commas, 0};
    std::string p = host_path(std::string(path));
    if (access(p.c_str(), F_OK) != 0)
        return 0;
    return vexo_rewrite_persistence_file(path, 0, drop_unsound, &b) == 0 ? b.dropped : -1;
}

VEXO_status_t handle_iSCSIPhysicalHBA_LogicalHBA_Enabled(node *property, char *value, int type)
{
    if (type == 1 && value && strcasecmp(value, "False") == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:the LogicalHBA cannot be disabled.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_DISABLE);
        return VEXO_STATUS_FAILURE;
    }
    return handle_internal_property(property, value, type);
}
