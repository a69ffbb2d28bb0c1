#include "mgmt/aw/vexo-backend/login_options.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <sys/stat.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/chap_config.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "os/host_env.h"

namespace
{

MGMT_LOGIN_OPTIONS make_default_login_options()
{
    MGMT_LOGIN_OPTIONS d;
    std::memset(&d, 0, sizeof d);
    d.sess_login_opts.flags = LOGIN_FLAG_INITIAL_R2T | LOGIN_FLAG_IMMEDIATE_DATA | LOGIN_FLAG_DATA_PDU_IN_ORDER |
                              LOGIN_FLAG_DATA_SEQUENCE_IN_ORDER;
    d.sess_login_opts.first_burst_length = 8192;
    d.sess_login_opts.max_burst_length = 262144;
    d.sess_login_opts.max_connections = 1;
    d.sess_login_opts.max_outstanding_r2t = 1;
    d.sess_login_opts.default_time2wait = 2;
    d.sess_login_opts.default_time2retain = 20;
    d.conn_login_opts.max_recv_datasegment_len_ini = 65536;
    d.conn_login_opts.max_recv_datasegment_len_tgt = 65536;
    d.conn_login_opts.tcp_window_size = 16000;
    MGMT_CHAP_FORMAT &chap = d.conn_login_opts.auth_data.chap_srp_format.chap;
    chap.intr_secret[0] = ' ';
    chap.target_secret[0] = ' ';
    return d;
}

const MGMT_LOGIN_OPTIONS kDefaultLoginOptions = make_default_login_options();

node *child_group(node *parent, const char *name)
{
    return parent ? internal_get_node(parent, name, VEXO_NODE_GROUP) : nullptr;
}

// A value read through its handler; empty when it cannot be read.
void read_or_empty(node *group, const char *name, char *value)
{
    value[0] = '\0';
    if (internal_get_property(group, name, value) != VEXO_STATUS_SUCCESS)
        value[0] = '\0';
    value[VEXO_VALUE_SIZE - 1] = '\0';
}

bool has_hex_prefix(const char *s)
{
    return s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
}

// A saved secret must have a form CHAP configuration accepts: 12 to 16
// characters, or "0x" and 24 to 32 hexadecimal digits in an even number.
// Anything else could not fit the record's 16 bytes. Empty: no secret.
VEXO_status_t check_secret(const char *which, const char *s)
{
    size_t len = std::strlen(s);
    if (len == 0)
        return VEXO_STATUS_SUCCESS;
    char text[128];
    if (has_hex_prefix(s)) {
        if (len < 26 || len > 34) {
            std::snprintf(text, sizeof text, "%s: Number of characters should be from 24 to 32.", which);
            vexo_set_last_status(VEXO_STATUS_INVALID_SIZE, text);
            return VEXO_STATUS_INVALID_SIZE;
        }
        for (size_t i = 2; i < len; ++i)
            if (!std::isxdigit(static_cast<unsigned char>(s[i]))) {
                vexo_set_last_status(VEXO_STATUS_INVALID_VALUE,
                                     "Invalid value. The valid values are 0-9, a-f and A-F.");
                return VEXO_STATUS_INVALID_VALUE;
            }
        if ((len - 2) % 2 != 0) {
            vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, "Invalid value. Odd number of characters are not allowed.");
            return VEXO_STATUS_INVALID_VALUE;
        }
        return VEXO_STATUS_SUCCESS;
    }
    if (len < 12 || len > 16) {
        std::snprintf(text, sizeof text, "%s: Number of characters should be from 12 to 16.", which);
        vexo_set_last_status(VEXO_STATUS_INVALID_SIZE, text);
        return VEXO_STATUS_INVALID_SIZE;
    }
    return VEXO_STATUS_SUCCESS;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    return std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

// A checked secret into its 16-byte field.
void fill_secret(const char *s, uint8_t *field, uint16_t *length)
{
    std::memset(field, 0, MGMT_CHAP_SECRET_SIZE);
    size_t len = std::strlen(s);
    if (has_hex_prefix(s)) {
        size_t bytes = (len - 2) / 2;
        for (size_t i = 0; i < bytes && i < MGMT_CHAP_SECRET_SIZE; ++i)
            field[i] = static_cast<uint8_t>(hex_value(s[2 + 2 * i]) << 4 | hex_value(s[3 + 2 * i]));
        *length = static_cast<uint16_t>(bytes);
        return;
    }
    size_t n = len < MGMT_CHAP_SECRET_SIZE ? len : MGMT_CHAP_SECRET_SIZE;
    std::memcpy(field, s, n);
    *length = static_cast<uint16_t>(n);
}

void fill_name(const char *s, char *field, uint16_t *length)
{
    std::memset(field, 0, MGMT_CHAP_NAME_SIZE);
    size_t n = strnlen(s, MGMT_CHAP_NAME_SIZE);
    std::memcpy(field, s, n);
    *length = static_cast<uint16_t>(n);
}

// The CHAP part from the Authentication group; both secrets are checked
// before anything is written.
VEXO_status_t fill_chap(node *auth, MGMT_LOGIN_OPTIONS *p)
{
    char method[VEXO_VALUE_SIZE], iname[VEXO_VALUE_SIZE], isecret[VEXO_VALUE_SIZE], tname[VEXO_VALUE_SIZE],
        tsecret[VEXO_VALUE_SIZE];
    read_or_empty(auth, "AuthenticationMethod", method);
    read_or_empty(auth, "InitiatorCHAPName", iname);
    read_or_empty(auth, "InitiatorSecret", isecret);
    read_or_empty(auth, "TargetCHAPName", tname);
    read_or_empty(auth, "TargetSecret", tsecret);
    VEXO_status_t rc = check_secret("InitiatorSecret", isecret);
    if (rc == VEXO_STATUS_SUCCESS)
        rc = check_secret("TargetSecret", tsecret);
    if (rc != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:a saved CHAP secret is not valid.\n", __func__);
        return rc;
    }
    MGMT_AUTH_METHOD_FORMAT &a = p->conn_login_opts.auth_data;
    MGMT_CHAP_FORMAT &chap = a.chap_srp_format.chap;
    if (strcasecmp(method, "One-Way CHAP") == 0 || strcasecmp(method, "Mutual CHAP") == 0) {
        a.auth_method_type = 1;
        if (strcasecmp(method, "Mutual CHAP") == 0)
            chap.flags = 1;
    }
    fill_name(iname, chap.intr_chap_name, &chap.intr_chap_name_length);
    fill_secret(isecret, chap.intr_secret, &chap.intr_secret_length);
    fill_name(tname, chap.target_chap_name, &chap.target_chap_name_length);
    fill_secret(tsecret, chap.target_secret, &chap.target_secret_length);
    return VEXO_STATUS_SUCCESS;
}

uint8_t digest_of(node *group, const char *name)
{
    char v[VEXO_VALUE_SIZE];
    read_or_empty(group, name, v);
    return strcasecmp(v, "CRC32C") == 0 ? 1 : 0;
}

// InitialR2T and ImmediateData into the session flags; a failed read ends
// with its status.
VEXO_status_t fill_yes_no_flags(node *group, MGMT_LOGIN_OPTIONS *p)
{
    const struct {
        const char *name;
        uint8_t bit;
    } flags[] = {{"InitialR2T", LOGIN_FLAG_INITIAL_R2T}, {"ImmediateData", LOGIN_FLAG_IMMEDIATE_DATA}};
    for (const auto &f : flags) {
        char v[VEXO_VALUE_SIZE] = "";
        VEXO_status_t rc = internal_get_property(group, f.name, v);
        if (rc != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:%s cannot be read.\n", __func__, f.name);
            return rc;
        }
        v[VEXO_VALUE_SIZE - 1] = '\0';
        if (strcasecmp(v, "Yes") == 0)
            p->sess_login_opts.flags = static_cast<uint8_t>(p->sess_login_opts.flags | f.bit);
        else
            p->sess_login_opts.flags = static_cast<uint8_t>(p->sess_login_opts.flags & ~f.bit);
    }
    return VEXO_STATUS_SUCCESS;
}

const char *yes_no(uint8_t flags, uint8_t bit)
{
    return (flags & bit) ? "Yes" : "No";
}

const char *digest_text(uint8_t byte)
{
    return byte == 1 ? "CRC32C" : "None";
}

// "None", "One-Way CHAP", "Mutual CHAP", or null for a combination the
// record should not hold (the value is then left).
const char *method_text(const MGMT_LOGIN_OPTIONS *p)
{
    const MGMT_AUTH_METHOD_FORMAT &a = p->conn_login_opts.auth_data;
    if (a.auth_method_type == 0)
        return "None";
    if (a.auth_method_type == 1 && a.chap_srp_format.chap.flags == 0)
        return "One-Way CHAP";
    if (a.auth_method_type == 1 && a.chap_srp_format.chap.flags == 1)
        return "Mutual CHAP";
    return nullptr;
}

// The group itself when it has that name, else its child of that name.
node *negotiated_group(node *login_node, const char *name)
{
    if (!login_node)
        return nullptr;
    if (login_node->node_name && strcasecmp(login_node->node_name, name) == 0)
        return login_node;
    return child_group(login_node, name);
}

bool is_named(node *n, const char *name)
{
    return n && n->node_name && strcasecmp(n->node_name, name) == 0;
}

} // namespace

const MGMT_LOGIN_OPTIONS *get_default_login_options()
{
    return &kDefaultLoginOptions;
}

VEXO_status_t get_login_options(node *loginparam_node, MGMT_LOGIN_OPTIONS *p, int loginopt_type)
{
    if (loginopt_type < 0 || loginopt_type > 3 || !p) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:invalid login option type %d.\n", __func__, loginopt_type);
        return VEXO_STATUS_FAILURE;
    }
    node *auth = child_group(loginparam_node, "Authentication");
    if (!auth) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:no Authentication group.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (loginopt_type == 1)
        return VEXO_STATUS_SUCCESS;
    // Filled on a copy, so a failure leaves the caller's record as it was.
    MGMT_LOGIN_OPTIONS work = *p;
    VEXO_status_t rc = fill_chap(auth, &work);
    if (rc != VEXO_STATUS_SUCCESS)
        return rc;
    if (loginopt_type != 3) {
        work.conn_login_opts.data_digest = digest_of(loginparam_node, "DataDigest");
        work.conn_login_opts.header_digest = digest_of(loginparam_node, "HeaderDigest");
        rc = fill_yes_no_flags(loginparam_node, &work);
        if (rc != VEXO_STATUS_SUCCESS)
            return rc;
    }
    *p = work;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t update_chap_details(node *loginparam_node, MGMT_LOGIN_OPTIONS *p, int chap_param)
{
    node *auth = child_group(loginparam_node, "Authentication");
    if (!auth || !p)
        return VEXO_STATUS_FAILURE;
    MGMT_LOGIN_OPTIONS work = *p;
    VEXO_status_t rc = chap_param == 1 ? fill_chap(auth, &work) : VEXO_STATUS_SUCCESS;
    if (rc == VEXO_STATUS_SUCCESS)
        rc = fill_yes_no_flags(loginparam_node, &work);
    if (rc == VEXO_STATUS_SUCCESS)
        *p = work;
    return rc;
}

VEXO_status_t update_header_digest_details(node *loginparam_node, MGMT_LOGIN_OPTIONS *p, int header_param)
{
    if (!child_group(loginparam_node, "Authentication") || !p)
        return VEXO_STATUS_FAILURE;
    p->conn_login_opts.header_digest = header_param == 1 ? digest_of(loginparam_node, "HeaderDigest") : 0;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t update_data_digest_details(node *loginparam_node, MGMT_LOGIN_OPTIONS *p, int data_param)
{
    if (!child_group(loginparam_node, "Authentication") || !p)
        return VEXO_STATUS_FAILURE;
    p->conn_login_opts.data_digest = data_param == 1 ? digest_of(loginparam_node, "DataDigest") : 0;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t set_session_login_options(node *login_node, const MGMT_LOGIN_OPTIONS *p)
{
    node *g = negotiated_group(login_node, "SessionNegotiatedLoginOptions");
    if (!g || !p)
        return VEXO_STATUS_FAILURE;
    const MGMT_SESSION_LOGIN_OPTIONS &s = p->sess_login_opts;
    int rc = 0;
    rc |= set_prop_val(g, "InitialR2T", "%s", yes_no(s.flags, LOGIN_FLAG_INITIAL_R2T));
    rc |= set_prop_val(g, "ImmediateData", "%s", yes_no(s.flags, LOGIN_FLAG_IMMEDIATE_DATA));
    rc |= set_prop_val(g, "DataPDUInOrder", "%s", yes_no(s.flags, LOGIN_FLAG_DATA_PDU_IN_ORDER));
    rc |= set_prop_val(g, "DataSequenceInOrder", "%s", yes_no(s.flags, LOGIN_FLAG_DATA_SEQUENCE_IN_ORDER));
    // FirstBurstLength means nothing when no unsolicited data may be sent.
    char r2t[VEXO_VALUE_SIZE] = "", immediate[VEXO_VALUE_SIZE] = "";
    read_or_empty(g, "InitialR2T", r2t);
    read_or_empty(g, "ImmediateData", immediate);
    if (strcasecmp(immediate, "No") == 0 && strcasecmp(r2t, "Yes") == 0)
        rc |= set_prop_val(g, "FirstBurstLength", "%s", "Irrelevant");
    else
        rc |= set_prop_val(g, "FirstBurstLength", "%u", static_cast<unsigned>(s.first_burst_length));
    rc |= set_prop_val(g, "MaxConnections", "%u", static_cast<unsigned>(s.max_connections));
    rc |= set_prop_val(g, "MaxBurstLength", "%u", static_cast<unsigned>(s.max_burst_length));
    rc |= set_prop_val(g, "MaxOutstandingR2T", "%u", static_cast<unsigned>(s.max_outstanding_r2t));
    rc |= set_prop_val(g, "DefaultTime2Wait", "%u", static_cast<unsigned>(s.default_time2wait));
    rc |= set_prop_val(g, "DefaultTime2Retain", "%u", static_cast<unsigned>(s.default_time2retain));
    rc |= set_prop_val(g, "ErrorRecoveryLevel", "%u", static_cast<unsigned>(s.error_recovery_level));
    if (rc)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:a negotiated value cannot be set.\n", __func__);
    return rc ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
}

VEXO_status_t set_connection_login_options(node *login_node, const MGMT_LOGIN_OPTIONS *p)
{
    node *g = negotiated_group(login_node, "ConnectionNegotiatedLoginOptions");
    if (!g || !p)
        return VEXO_STATUS_FAILURE;
    const MGMT_CONN_LOGIN_OPTIONS &c = p->conn_login_opts;
    int rc = 0;
    rc |= set_prop_val(g, "HeaderDigest", "%s", digest_text(c.header_digest));
    rc |= set_prop_val(g, "DataDigest", "%s", digest_text(c.data_digest));
    rc |= set_prop_val(g, "TCPMSS", "%u", static_cast<unsigned>(c.tcp_mss));
    if (const char *m = method_text(p))
        rc |= set_prop_val(g, "AuthenticationMethod", "%s", m);
    if (rc)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:a negotiated value cannot be set.\n", __func__);
    return rc ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
}

VEXO_status_t setup_initiator_target_loginopts(node *parent, const MGMT_LOGIN_OPTIONS *p)
{
    if (!parent || !p)
        return VEXO_STATUS_FAILURE;
    node *g = child_group(parent, is_named(parent, "Target") ? "TargetLoginOptions" : "SessionLoginOptions");
    node *auth = child_group(g, "Authentication");
    if (!g || !auth) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:login-option group missing.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    const MGMT_CONN_LOGIN_OPTIONS &c = p->conn_login_opts;
    const MGMT_CHAP_FORMAT &chap = c.auth_data.chap_srp_format.chap;
    int rc = 0;
    rc |= set_prop_val(g, "HeaderDigest", "%s", digest_text(c.header_digest));
    rc |= set_prop_val(g, "DataDigest", "%s", digest_text(c.data_digest));
    if (const char *m = method_text(p))
        rc |= set_prop_val(auth, "AuthenticationMethod", "%s", m);
    // Names and secrets need not be terminated inside their fields.
    rc |= set_prop_val(auth, "InitiatorCHAPName", "%.*s", static_cast<int>(strnlen(chap.intr_chap_name, 255)),
                       chap.intr_chap_name);
    rc |= set_prop_val(auth, "InitiatorSecret", "%.*s",
                       static_cast<int>(strnlen(reinterpret_cast<const char *>(chap.intr_secret), 16)),
                       reinterpret_cast<const char *>(chap.intr_secret));
    rc |= set_prop_val(auth, "TargetCHAPName", "%.*s", static_cast<int>(strnlen(chap.target_chap_name, 255)),
                       chap.target_chap_name);
    rc |= set_prop_val(auth, "TargetSecret", "%.*s",
                       static_cast<int>(strnlen(reinterpret_cast<const char *>(chap.target_secret), 16)),
                       reinterpret_cast<const char *>(chap.target_secret));
    if (rc)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:a login option cannot be set.\n", __func__);
    return rc ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
}

int vexo_walk_saved_lines(const char *path, int field_count, bool *missing, vexo_saved_line_fn each, void *ctx)
{
    bool dummy = false;
    bool *m = missing ? missing : &dummy;
    *m = false;
    if (!path || !each || field_count <= 0 || field_count > 64)
        return 1;
    FILE *fp = std::fopen(host_path(std::string(path)).c_str(), "r");
    if (!fp) {
        *m = true;
        return 1;
    }
    struct stat st;
    if (fstat(fileno(fp), &st) != 0) {
        std::fclose(fp);
        return 1;
    }
    int size = 0, lines = 0;
    char *buf = VEXO_get_file_data(fp, &size, &lines);
    std::fclose(fp);
    if (!buf)
        return st.st_size == 0 ? 0 : 1;
    char(*fields)[VEXO_FIELD_SIZE] = new char[field_count][VEXO_FIELD_SIZE];
    for (char *p = buf; p < buf + size;) {
        char *nl = static_cast<char *>(std::memchr(p, '\n', static_cast<size_t>(buf + size - p)));
        char *end = nl ? nl : buf + size;
        if (end > p) {
            *end = '\0';
            std::memset(fields, 0, static_cast<size_t>(field_count) * VEXO_FIELD_SIZE);
            VEXO_get_iscsi_data_from_file(p, nullptr, fields, field_count, 0);
            if (!each(fields, ctx))
                break;
        }
        p = end + 1;
    }
    delete[] fields;
    vexo_dfree(buf);
    return 0;
}

// ---- the three editable groups and their files ----

namespace
{

// The twelve values of a login-option group and its Authentication group,
// in the order of every file's line.
#define LOGIN_VALUE_COUNT 12
const char *const kValueNames[LOGIN_VALUE_COUNT] = {
    "InitialR2T",    "ImmediateData",  "HeaderDigest", "DataDigest", "AuthenticationMethod", "InitiatorCHAPName",
    "InitiatorSecret", "TargetCHAPName", "TargetSecret", "CHAPParam",  "HeaderParam",          "DataParam"};
// Values 4 to 9 belong to the Authentication group.
bool in_auth_group(int i)
{
    return i >= 4 && i <= 9;
}

// Where the values stand in a file's line: from field `base` on, the
// last three `gap` fields further (a saved target's type stands between).
struct FileLayout {
    const char *path;
    int fields;
    int base;
    int gap;
};
const FileLayout kInitiatorFile = {VEXO_SAVED_LOGOPTS_FILE, VEXO_LOGOPTS_FIELDS, 3, 0};
const FileLayout kTargetFile = {VEXO_SAVED_TARGETS_FILE, VEXO_SAVETGT_FIELDS, 8, 1};
const FileLayout kPortalFile = {VEXO_SAVED_PORTALS_FILE, VEXO_SAVESTP_FIELDS, 6, 0};
// Fields of a saved target's line that are not values.
#define TGT_NAME_FIELD 3
#define TGT_ISID_FIELD 6
#define TGT_PERSISTENT_FIELD 21
#define STP_IP_FIELD 3
#define STP_PORT_FIELD 4

int field_of(const FileLayout &f, int i)
{
    return f.base + i + (i >= 9 ? f.gap : 0);
}

int value_index(const char *name)
{
    for (int i = 0; i < LOGIN_VALUE_COUNT; ++i)
        if (name && strcasecmp(name, kValueNames[i]) == 0)
            return i;
    return -1;
}

bool same_key(const char (*fields)[VEXO_FIELD_SIZE], const char (*key)[VEXO_FIELD_SIZE])
{
    for (int i = 0; i < 3; ++i)
        if (strcasecmp(fields[i], key[i]) != 0)
            return false;
    return true;
}

// The values of a parsed line into the two groups; an empty level is
// "Prohibited".
int apply_line(const FileLayout &f, const char (*fields)[VEXO_FIELD_SIZE], node *group, node *auth)
{
    int rc = 0;
    for (int i = 0; i < LOGIN_VALUE_COUNT; ++i) {
        const char *v = fields[field_of(f, i)];
        if (i >= 9 && v[0] == '\0')
            v = "Prohibited";
        rc |= set_prop_val(in_auth_group(i) ? auth : group, kValueNames[i], "%.255s", v);
    }
    return rc ? 1 : 0;
}

template <typename F> int for_each_line(const FileLayout &f, bool *missing, F each)
{
    return vexo_walk_saved_lines(
        f.path, f.fields, missing,
        [](const char (*fields)[VEXO_FIELD_SIZE], void *ctx) { return (*static_cast<F *>(ctx))(fields); }, &each);
}

// What a writer changes: the lines of one owner, one value.
struct LineEdit {
    const FileLayout *layout;
    char key[3][VEXO_FIELD_SIZE];
    const char *match[2]; // further fields to match: name (targets) or IP address and port (portals)
    int value;            // index of the value, -1 for none
    const char *text;
};

bool edit_matches(const LineEdit &e, const char (*fields)[VEXO_FIELD_SIZE])
{
    if (!same_key(fields, e.key))
        return false;
    if (e.layout == &kTargetFile)
        return strcasecmp(fields[TGT_NAME_FIELD], e.match[0]) == 0 && fields[TGT_ISID_FIELD][0] == '\0';
    if (e.layout == &kPortalFile)
        return strcasecmp(fields[STP_IP_FIELD], e.match[0]) == 0 &&
               strcasecmp(fields[STP_PORT_FIELD], e.match[1]) == 0;
    return true;
}

int edit_line(const char *, char (*fields)[VEXO_FIELD_SIZE], int, void *ctx)
{
    const LineEdit &e = *static_cast<const LineEdit *>(ctx);
    if (!edit_matches(e, fields))
        return VEXO_LINE_KEEP;
    if (e.value >= 0)
        std::snprintf(fields[field_of(*e.layout, e.value)], VEXO_FIELD_SIZE, "%.255s", e.text);
    if (e.layout == &kTargetFile) {
        fields[TGT_ISID_FIELD][0] = '\0';
        std::snprintf(fields[TGT_PERSISTENT_FIELD], VEXO_FIELD_SIZE, "%s", "True");
    }
    return VEXO_LINE_CHANGE;
}

int rewrite_value(LineEdit *e, const char *prop_name, const char *value)
{
    e->value = value_index(prop_name);
    e->text = value ? value : "";
    if (vexo_rewrite_persistence_file(e->layout->path, e->layout->fields, edit_line, e) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:%s not rewritten.\n", __func__, e->layout->path);
        return 1;
    }
    return 0;
}

// A property of the owner's own value; 1 when it cannot be read.
int read_value(node *owner, const char *name, char *value)
{
    value[0] = '\0';
    if (internal_get_property(owner, name, value) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:%s cannot be read.\n", __func__, name);
        return 1;
    }
    value[VEXO_VALUE_SIZE - 1] = '\0';
    return 0;
}

// The owner, login-option group and Authentication group of a property.
struct Owner {
    node *owner;
    node *group;
    node *auth;
};

bool owner_of_option(node *property, Owner *o)
{
    o->group = property ? property->parent : nullptr;
    o->owner = o->group ? o->group->parent : nullptr;
    o->auth = child_group(o->group, "Authentication");
    return o->owner && o->auth;
}

bool owner_of_auth(node *property, Owner *o)
{
    o->auth = property ? property->parent : nullptr;
    o->group = o->auth ? o->auth->parent : nullptr;
    o->owner = o->group ? o->group->parent : nullptr;
    return o->owner != nullptr;
}

typedef int (*loader_fn)(node *, node *, node *, const char *);
typedef int (*writer_fn)(node *, node *, node *, const char *, const char *);

VEXO_status_t get_option(node *property, char *value, const Owner &o, loader_fn load)
{
    if (load(o.owner, o.group, o.auth, property->node_name) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

// A digest level may be Preferred only while its digest is not None, and
// a digest may become None only while its level is not Preferred.
VEXO_status_t check_digest_pair(node *group, const char *name, const char *value)
{
    const struct {
        const char *set, *when, *sibling, *sibling_is;
        VEXO_status_t status;
    } rules[] = {
        {"HeaderParam", "Preferred", "HeaderDigest", "None", VEXO_STATUS_CANNOT_SET_PREFFERED},
        {"DataParam", "Preferred", "DataDigest", "None", VEXO_STATUS_CANNOT_SET_PREFFERED},
        {"HeaderDigest", "None", "HeaderParam", "Preferred", VEXO_STATUS_CANNOT_SET_NONE},
        {"DataDigest", "None", "DataParam", "Preferred", VEXO_STATUS_CANNOT_SET_NONE},
    };
    for (const auto &r : rules) {
        if (strcasecmp(name, r.set) != 0 || strcasecmp(value, r.when) != 0)
            continue;
        char sibling[VEXO_VALUE_SIZE];
        if (read_value(group, r.sibling, sibling) != 0)
            return VEXO_STATUS_FAILURE;
        if (strcasecmp(sibling, r.sibling_is) == 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:%s %s refused while %s is %s.\n", __func__, name, value,
                   r.sibling, sibling);
            vexo_set_fixed_status(r.status);
            return VEXO_STATUS_FAILURE;
        }
    }
    return VEXO_STATUS_SUCCESS;
}

// `renew`: a Target's dead sessions take the new options into their
// persistent logins once the file holds them.
VEXO_status_t set_option(node *property, char *value, const Owner &o, writer_fn write, bool renew)
{
    if (!value)
        return VEXO_STATUS_FAILURE;
    if (check_digest_pair(o.group, property->node_name, value) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (write(o.owner, o.group, o.auth, property->node_name, value) != 0)
        return VEXO_STATUS_FAILURE;
    // The file already holds the value, so the cache follows it either way;
    // a renewal that failed is still this set's failure.
    const bool renewed = !renew || vexo_renew_target_sessions(o.owner);
    const VEXO_status_t st = handle_internal_property(property, value, 1);
    return renewed ? st : VEXO_STATUS_FAILURE;
}

VEXO_status_t handle_option(node *property, char *value, int type, loader_fn load, writer_fn write,
                            bool renew = false)
{
    Owner o;
    if (!owner_of_option(property, &o)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:login-option group incomplete.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (type == 0)
        return get_option(property, value, o, load);
    if (type == 1)
        return set_option(property, value, o, write, renew);
    return VEXO_STATUS_SUCCESS;
}

} // namespace

extern "C" int VEXO_get_initiator_loginoptions(node *logical_hba, node *intr_loginoptions, node *auth_node,
                                               const char *)
{
    char key[3][VEXO_FIELD_SIZE];
    if (!intr_loginoptions || !auth_node || vexo_lhba_instance_key(logical_hba, key) != 0)
        return 1;
    int rc = 0;
    bool missing = false;
    // A later line of the LogicalHBA overrides an earlier one.
    if (for_each_line(kInitiatorFile, &missing, [&](const char (*fields)[VEXO_FIELD_SIZE]) {
            if (same_key(fields, key))
                rc |= apply_line(kInitiatorFile, fields, intr_loginoptions, auth_node);
            return true;
        }) != 0)
        return 1;
    return rc;
}

extern "C" int VEXO_get_target_loginoptions(node *target, node *target_loginoptions, node *auth_node, const char *)
{
    char key[3][VEXO_FIELD_SIZE], name[VEXO_VALUE_SIZE];
    if (!target_loginoptions || !auth_node || vexo_lhba_instance_key(target, key) != 0 ||
        read_value(target, "TargetISCSIName", name) != 0)
        return 1;
    int rc = 0;
    bool missing = false;
    // Only a target-portal line holds the target's options.
    if (for_each_line(kTargetFile, &missing, [&](const char (*fields)[VEXO_FIELD_SIZE]) {
            if (!same_key(fields, key) || strcasecmp(fields[TGT_NAME_FIELD], name) != 0 ||
                fields[TGT_ISID_FIELD][0] != '\0')
                return true;
            rc = apply_line(kTargetFile, fields, target_loginoptions, auth_node);
            return false;
        }) != 0)
        return missing ? 0 : 1;
    return rc;
}

extern "C" int VEXO_get_stploginoptions(node *send_target_portal, node *sendtarget_loginoptions, node *auth_node,
                                        const char *)
{
    char key[3][VEXO_FIELD_SIZE], ip[VEXO_VALUE_SIZE], port[VEXO_VALUE_SIZE];
    if (!sendtarget_loginoptions || !auth_node || vexo_lhba_instance_key(send_target_portal, key) != 0 ||
        read_value(send_target_portal, "IPAddress", ip) != 0 || read_value(send_target_portal, "PortNumber", port) != 0)
        return 1;
    int rc = 0;
    bool missing = false;
    if (for_each_line(kPortalFile, &missing, [&](const char (*fields)[VEXO_FIELD_SIZE]) {
            if (!same_key(fields, key) || strcasecmp(fields[STP_IP_FIELD], ip) != 0 ||
                strcasecmp(fields[STP_PORT_FIELD], port) != 0)
                return true;
            rc = apply_line(kPortalFile, fields, sendtarget_loginoptions, auth_node);
            return false;
        }) != 0)
        return 1;
    return rc;
}

extern "C" int VEXO_set_initiator_loginoptions(node *logical_hba, node *, node *, const char *prop_name,
                                               const char *value)
{
    LineEdit e;
    std::memset(&e, 0, sizeof e);
    e.layout = &kInitiatorFile;
    if (vexo_lhba_instance_key(logical_hba, e.key) != 0)
        return 1;
    return rewrite_value(&e, prop_name, value);
}

extern "C" int VEXO_set_target_loginoptions(node *target, node *, node *, const char *prop_name, const char *value)
{
    LineEdit e;
    std::memset(&e, 0, sizeof e);
    e.layout = &kTargetFile;
    char name[VEXO_VALUE_SIZE];
    if (vexo_lhba_instance_key(target, e.key) != 0 || read_value(target, "TargetISCSIName", name) != 0)
        return 1;
    e.match[0] = name;
    return rewrite_value(&e, prop_name, value);
}

extern "C" int VEXO_set_stploginoptions(node *send_target_portal, node *, node *, const char *prop_name,
                                        const char *value)
{
    LineEdit e;
    std::memset(&e, 0, sizeof e);
    e.layout = &kPortalFile;
    char ip[VEXO_VALUE_SIZE], port[VEXO_VALUE_SIZE];
    if (vexo_lhba_instance_key(send_target_portal, e.key) != 0 ||
        read_value(send_target_portal, "IPAddress", ip) != 0 || read_value(send_target_portal, "PortNumber", port) != 0)
        return 1;
    e.match[0] = ip;
    e.match[1] = port;
    return rewrite_value(&e, prop_name, value);
}

VEXO_status_t handle_initiator_loginoptions(node *property, char *value, int type)
{
    return handle_option(property, value, type, VEXO_get_initiator_loginoptions, VEXO_set_initiator_loginoptions);
}

VEXO_status_t handle_target_loginoptions(node *property, char *value, int type)
{
    return handle_option(property, value, type, VEXO_get_target_loginoptions, VEXO_set_target_loginoptions, true);
}

VEXO_status_t handle_stploginoptions(node *property, char *value, int type)
{
    return handle_option(property, value, type, VEXO_get_stploginoptions, VEXO_set_stploginoptions);
}

// The CHAP values change only through the CHAP actions and their writers:
// a set through these handlers stores nothing.
VEXO_status_t handle_authentication_initiator_loginoptions(node *property, char *value, int)
{
    Owner o;
    if (!owner_of_auth(property, &o))
        return VEXO_STATUS_FAILURE;
    return get_option(property, value, o, VEXO_get_initiator_loginoptions);
}

VEXO_status_t handle_authentication_target_loginopts(node *property, char *value, int)
{
    Owner o;
    if (!owner_of_auth(property, &o))
        return VEXO_STATUS_FAILURE;
    return get_option(property, value, o, VEXO_get_target_loginoptions);
}

VEXO_status_t handle_authentication_stploginoptions(node *property, char *value, int type)
{
    Owner o;
    if (!owner_of_auth(property, &o))
        return VEXO_STATUS_FAILURE;
    if (type == 1)
        return handle_internal_property(property, value, 1);
    return get_option(property, value, o, VEXO_get_stploginoptions);
}
