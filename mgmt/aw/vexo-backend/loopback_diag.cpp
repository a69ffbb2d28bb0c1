#include "mgmt/aw/vexo-backend/loopback_diag.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/time.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/function_enum.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

const char *const kLoopbackTypes[] = {"MacLoopBack", "PhyLoopBack", "OnePortLoopBack", "TwoPortLoopBack"};
const int kNoDriver = 4;
const long kMacMaxByteCount = 4056;
// Bit of the controller attributes' functionalities word for PHY loopback,
// and where that word sits in the answer.
const uint32_t kPhyLoopbackFunctionality = 0x100;
const size_t kFunctionalitiesAt = 448;

// Byte layouts of the test records.
const size_t kTestSize = 28;
const size_t kDmaPatternAt = 0;
const size_t kDmaCountAt = 8;
const size_t kDmaSendErrorAt = 12;
const size_t kDmaSendAt = 16;
const size_t kDmaRecvAt = 4112;
const size_t kDmaBuffer = 4096;

const char *const kResultProperties[] = {"TotalTestCycles",   "TotalCompleteCycles", "TotalErrorCycles",
                                         "SendErrorCount",    "ReceiveErrorCount",   "DataMiscompareCount",
                                         "TotalCompleteCount"};

void put64(uint8_t *p, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// An integer with base detection; false for trailing characters, a negative
// value or one beyond an int.
bool parse_count(const char *text, long *out)
{
    if (!text || !text[0])
        return false;
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 0);
    if (errno != 0 || *end != '\0' || v < 0 || v > INT_MAX)
        return false;
    *out = v;
    return true;
}

// The 64-bit hexadecimal pattern: 0, or 1 with status 78 or 7.
int parse_pattern(const char *text, uint64_t *out)
{
    char *end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text ? text : "", &end, 16);
    if (!text || end == text || *end != '\0') {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_PATTERN);
        return 1;
    }
    if (errno == ERANGE) {
        vexo_set_last_status(VEXO_STATUS_VALUE_OUT_OF_RANGE, "Value out of range.");
        return 1;
    }
    *out = static_cast<uint64_t>(v);
    return 0;
}

// Code of a loopback type name; -1 when it is none.
int loopback_type(const char *text)
{
    for (int i = 0; i < 4; ++i)
        if (text && strcasecmp(text, kLoopbackTypes[i]) == 0)
            return i;
    return -1;
}

// Statuses 67 and 68 of a pair of ports for a loopback type.
int check_port_pair(int type, long src, long dest)
{
    if (type != LOOPBACK_MODE_TWO_PORT && src != dest) {
        vexo_set_fixed_status(VEXO_STATUS_PORT_NOT_SAME);
        return 1;
    }
    if (type == LOOPBACK_MODE_TWO_PORT && src == dest) {
        vexo_set_fixed_status(VEXO_STATUS_PORT_SAME);
        return 1;
    }
    return 0;
}

// What the opening of the loopback actions finds.
struct LoopbackPort {
    node *adapter;
    node *diagnostics;
    int family;
    long src;
    long dest;
    int port_number; // function index that carries the commands
    unsigned int domain;
    unsigned int phba_port;
    int driver;
};

// The opening shared by the loopback actions: 0 with `lp` filled, or 1 with
// the status recorded. `dest_text` is the action's message for a missing
// destination port.
int open_loopback(node *context, const char *src_text, const char *dest_text, const char *missing_dest,
                  LoopbackPort *lp, const char *caller)
{
    if (vm_flag) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return 1;
    }
    lp->adapter = context ? context->parent : nullptr;
    lp->diagnostics = lp->adapter ? internal_get_node(lp->adapter, "Diagnostics", VEXO_NODE_GROUP) : nullptr;
    char supported[VEXO_VALUE_SIZE] = "";
    if (!lp->diagnostics || internal_get_property(lp->diagnostics, "IsLoopbackSupported", supported) != 0)
        return 1;
    if (std::strstr(supported, "False")) {
        vexo_set_fixed_status(VEXO_STATUS_LOOPBACK_NOT_SUPPORTED);
        return 1;
    }
    lp->family = get_aw_type(lp->adapter);
    if (lp->family == AW_TYPE_UNREADABLE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get be_type\n", caller);
        return 1;
    }
    if (!parse_count(src_text, &lp->src)) {
        vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, "SourcePortNumber: Invalid Value.");
        return 1;
    }
    if (!parse_count(dest_text, &lp->dest)) {
        vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, "DestinationPortNumber: Invalid Value.");
        return 1;
    }
    int chip = instance_number(lp->adapter);
    // get_port_bitmap answers "no driver" for a port beyond its table too.
    lp->driver = get_port_bitmap(chip, static_cast<int>(lp->src));
    if (lp->driver == kNoDriver) {
        vexo_set_last_status(VEXO_STATUS_NO_PORT_FOUND, "There is no PhysicalHBA for the given SourcePortNumber.");
        return 1;
    }
    if (get_port_bitmap(chip, static_cast<int>(lp->dest)) == kNoDriver) {
        vexo_set_last_status(VEXO_STATUS_NO_PORT_FOUND, missing_dest);
        return 1;
    }
    node *port = get_first_instance(lp->adapter, "PortDiscoveryAndConfiguration");
    if (!port)
        return 1;
    for (; port && vexo_is_instance(port); port = port->u.grp->multi_instance->next_instance) {
        char number[VEXO_VALUE_SIZE] = "";
        if (internal_get_property(port, "PortNumber", number) != 0)
            return 1;
        long n = 0;
        if (parse_count(number, &n) && n == lp->src)
            break;
    }
    if (!port || !vexo_is_instance(port)) {
        vexo_set_fixed_status(VEXO_STATUS_NO_PHBA_FOUND);
        return 1;
    }
    lp->port_number = get_port_number(port);
    lp->domain = get_domain_id(port);
    lp->phba_port = get_phba_port_number(port);
    return 0;
}

// The current mode of the source port: 0 with `mode`, or 1 with status 234
// unless the firmware's answer recorded 153.
int query_mode(const LoopbackPort &lp, uint8_t *mode, const char *caller)
{
    IOCTL_LOWLEVEL_GET_LOOPBACK_MODE_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    rec.request.port_num = static_cast<uint8_t>(lp.src);
    vexo_last_status_code = VEXO_STATUS_SUCCESS;
    VEXO_status_t status = ioctl_get_loopbackmode(lp.port_number, &rec, lp.domain, lp.phba_port, lp.driver);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_loopbackmode failed with status = %d\n", caller,
               status);
        if (vexo_last_status_code != VEXO_STATUS_LOOPBACK_MODE_NOT_SUPPORTED)
            vexo_set_fixed_status(VEXO_STATUS_GET_LOOPBACK_FAILED);
        return 1;
    }
    *mode = rec.response.loopback_mode;
    return 0;
}

// PHY loopback needs the controller's support: 0, or the failure's result
// with status 109 or 168.
VEXO_status_t check_phy_loopback(const LoopbackPort &lp)
{
    if (lp.family == AW_TYPE_VARROW)
        return VEXO_STATUS_SUCCESS;
    MGMT_CONTROLLER_ATTRIBUTES attrs;
    std::memset(&attrs, 0, sizeof attrs);
    VEXO_status_t status = ioctl_fetch_controller_attribs(lp.port_number, &attrs, lp.domain,
                                                          static_cast<uint32_t>(lp.src), lp.driver);
    if (status != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_CNTR_ATTRIBS_FAILED);
        return status;
    }
    uint32_t functionalities = le32_at(reinterpret_cast<const uint8_t *>(&attrs) + kFunctionalitiesAt);
    if (!(functionalities & kPhyLoopbackFunctionality)) {
        vexo_set_fixed_status(VEXO_STATUS_PHYLOOPBACK_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

// The mode change of the pair of ports.
VEXO_status_t set_mode(const LoopbackPort &lp, uint8_t mode, uint8_t state)
{
    IOCTL_LOWLEVEL_SET_LOOPBACK_MODE_PARAMS rec;
    rec.data[0] = static_cast<uint8_t>(lp.src);
    rec.data[1] = static_cast<uint8_t>(lp.dest);
    rec.data[2] = mode;
    rec.data[3] = state;
    vexo_last_status_code = VEXO_STATUS_SUCCESS;
    return ioctl_set_loopbackmode(lp.port_number, &rec, lp.domain, lp.phba_port, lp.driver);
}

// The seven result properties from loops, send and receive errors and the
// test time; the OR of the setters' results.
int set_results(node *diagnostics, int loops, int send_errors, int receive_errors, int ticks)
{
    if (ticks == 0)
        ticks = 1;
    int complete = loops - receive_errors - send_errors;
    // Signed 32-bit arithmetic of the firmware tools, done wide so that it
    // cannot overflow, then cut back.
    int complete_cycles = loops ? static_cast<int>(static_cast<int64_t>(complete) * ticks / loops) : 0;
    int error_cycles =
        loops ? static_cast<int>(static_cast<int64_t>(receive_errors + send_errors) * ticks / loops) : 0;
    int r = 0;
    r |= set_prop_val(diagnostics, "TotalTestCycles", "%d", ticks);
    r |= set_prop_val(diagnostics, "TotalCompleteCycles", "%d", complete_cycles);
    r |= set_prop_val(diagnostics, "TotalErrorCycles", "%d", error_cycles);
    r |= set_prop_val(diagnostics, "SendErrorCount", "%d", send_errors);
    r |= set_prop_val(diagnostics, "ReceiveErrorCount", "%d", receive_errors);
    r |= set_prop_val(diagnostics, "DataMiscompareCount", "%d", receive_errors);
    r |= set_prop_val(diagnostics, "TotalCompleteCount", "%d", complete);
    return r;
}

void reset_results(node *diagnostics)
{
    for (const char *name : kResultProperties)
        set_prop_val(diagnostics, name, "0");
}

} // namespace

int VEXO_check_loop_back_status(uint32_t loopback_status)
{
    static const VEXO_status_t kByStatus[] = {VEXO_STATUS_LOOPBACK_TRANSMIT_FAILURE,
                                              VEXO_STATUS_LOOPBACK_RECEIVE_FAILURE,
                                              VEXO_STATUS_LOOPBACK_DATA_MISMATCH, VEXO_STATUS_LOOPBACK_TIMEOUT,
                                              VEXO_STATUS_LINK_DOWN};
    if (loopback_status == 0)
        return 0;
    if (loopback_status <= 5)
        vexo_set_fixed_status(kByStatus[loopback_status - 1]);
    else
        vexo_set_fixed_status(VEXO_STATUS_LOOP_BACK_TEST);
    return 1;
}

void transceiver_dump_text(const uint32_t words[64], char *out, size_t size)
{
    if (!out || size == 0)
        return;
    out[0] = '\0';
    size_t len = 0;
    for (int i = 0; i < 64; ++i) {
        char piece[16];
        int n = std::snprintf(piece, sizeof piece, "%s%08x ", (i != 0 && i % 16 == 0) ? "\n" : "",
                              static_cast<unsigned>(words[i]));
        if (n < 0 || len + static_cast<size_t>(n) + 1 > size)
            return;
        std::memcpy(out + len, piece, static_cast<size_t>(n) + 1);
        len += static_cast<size_t>(n);
    }
}

VEXO_status_t do_EnterLoopBackMode(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    LoopbackPort lp;
    if (!params ||
        open_loopback(context, params[0], params[1], "There is no PhysicalHBA for the given DestinationPortNumber.",
                      &lp, __func__) != 0)
        return VEXO_STATUS_FAILURE;
    int type = loopback_type(params[2]);
    if (type < 0) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    if (check_port_pair(type, lp.src, lp.dest) != 0)
        return VEXO_STATUS_FAILURE;
    uint8_t mode = 0;
    if (query_mode(lp, &mode, __func__) != 0)
        return VEXO_STATUS_FAILURE;
    if (mode == type) {
        vexo_set_fixed_status(VEXO_STATUS_MODE_ALREADY_SET);
        return VEXO_STATUS_FAILURE;
    }
    if (type == LOOPBACK_MODE_PHY) {
        VEXO_status_t r = check_phy_loopback(lp);
        if (r != VEXO_STATUS_SUCCESS)
            return r;
    }
    VEXO_status_t status = set_mode(lp, static_cast<uint8_t>(type), 1);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_set_loopbackmode failed with status = %d\n", __func__,
               status);
        if (vexo_last_status_code != VEXO_STATUS_LOOPBACK_MODE_NOT_SUPPORTED &&
            vexo_last_status_code != VEXO_STATUS_LOOPBACK_MODE_ALREADY_IN_LOOPBACK)
            vexo_set_fixed_status(VEXO_STATUS_ENTER_LOOPBACK_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_ExitLoopBackMode(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    LoopbackPort lp;
    if (!params ||
        open_loopback(context, params[0], params[1], "There is no PhysicalHBA for thie given DestinationPortNumber.",
                      &lp, __func__) != 0)
        return VEXO_STATUS_FAILURE;
    uint8_t mode = 0;
    if (query_mode(lp, &mode, __func__) != 0)
        return VEXO_STATUS_FAILURE;
    if (mode == LOOPBACK_MODE_NONE) {
        vexo_set_fixed_status(VEXO_STATUS_NO_LOOPBACK_SET);
        return VEXO_STATUS_FAILURE;
    }
    if (mode <= LOOPBACK_MODE_TWO_PORT && check_port_pair(mode, lp.src, lp.dest) != 0)
        return VEXO_STATUS_FAILURE;
    VEXO_status_t status = set_mode(lp, LOOPBACK_MODE_NONE, 0);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_set_loopbackmode failed with status = %d\n", __func__,
               status);
        if (vexo_last_status_code != VEXO_STATUS_LOOPBACK_MODE_NOT_SUPPORTED)
            vexo_set_fixed_status(VEXO_STATUS_EXIT_LOOPBACK_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_NetworkLoopBackTest(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    LoopbackPort lp;
    if (!params ||
        open_loopback(context, params[3], params[4], "There is no PhysicalHBA for thie given DestinationPortNumber.",
                      &lp, __func__) != 0)
        return VEXO_STATUS_FAILURE;
    int type = loopback_type(params[5]);
    if (type < 0) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    if (type == LOOPBACK_MODE_PHY) {
        VEXO_status_t r = check_phy_loopback(lp);
        if (r != VEXO_STATUS_SUCCESS)
            return r;
    }
    uint64_t pattern = 0;
    if (parse_pattern(params[0], &pattern) != 0)
        return VEXO_STATUS_FAILURE;
    if (check_port_pair(type, lp.src, lp.dest) != 0)
        return VEXO_STATUS_FAILURE;
    long bytes = 0, loops = 0;
    if (!parse_count(params[1], &bytes) || !parse_count(params[2], &loops) || loops == 0) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    if (bytes > kMacMaxByteCount && type == LOOPBACK_MODE_MAC) {
        vexo_set_fixed_status(VEXO_STATUS_MAC_MAX_BYTECOUNT);
        return VEXO_STATUS_FAILURE;
    }
    IOCTL_LOWLEVEL_LOOPBACK_TEST_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    put_le32(rec.data + 0, static_cast<uint32_t>(type));
    put_le32(rec.data + 4, static_cast<uint32_t>(loops));
    put64(rec.data + 8, pattern);
    put_le32(rec.data + 16, static_cast<uint32_t>(lp.src));
    put_le32(rec.data + 20, static_cast<uint32_t>(lp.dest));
    put_le32(rec.data + 24, static_cast<uint32_t>(bytes));
    static_assert(sizeof rec.data == kTestSize, "loopback test record");
    vexo_last_status_code = VEXO_STATUS_SUCCESS;
    VEXO_status_t status = ioctl_loop_back_test(lp.port_number, &rec, lp.domain, lp.phba_port, lp.driver);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_loop_back_test failed with status = %d\n", __func__,
               status);
        if (vexo_last_status_code == VEXO_STATUS_LOOPBACK_MODE_NOT_SUPPORTED)
            return VEXO_STATUS_FAILURE;
        if (status == VEXO_STATUS_LOOPBACK_MODE_NOT_SET || status == VEXO_STATUS_LOOPBACK_MODE_NO_MODULE)
            vexo_set_fixed_status(status);
        else
            vexo_set_fixed_status(VEXO_STATUS_LOOP_BACK_TEST);
        reset_results(lp.diagnostics);
        return VEXO_STATUS_FAILURE;
    }
    uint32_t test_status = le32_at(rec.data + 0);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: loopback test status = %u\n", __func__, test_status);
    if (VEXO_check_loop_back_status(test_status) != 0)
        return VEXO_STATUS_FAILURE;
    int l = static_cast<int>(loops);
    int send_errors = l - static_cast<int>(le32_at(rec.data + 4));
    int receive_errors = l - static_cast<int>(le32_at(rec.data + 8));
    int ticks = static_cast<int>(le32_at(rec.data + 16));
    return set_results(lp.diagnostics, l, send_errors, receive_errors, ticks) != 0 ? VEXO_STATUS_FAILURE
                                                                                  : VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_HostToDDRDMATest(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *diagnostics = context;
    node *adapter = context ? context->parent : nullptr;
    if (!adapter || !params)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_VARROW) {
        vexo_set_fixed_status(VEXO_STATUS_NOT_SUPPORTED_FOR_VARROW);
        return VEXO_STATUS_FAILURE;
    }
    node *function = target_function(adapter);
    if (!function)
        return VEXO_STATUS_FAILURE;
    uint64_t pattern = 0;
    if (parse_pattern(params[0], &pattern) != 0)
        return VEXO_STATUS_FAILURE;
    long bytes = 0, loops = 0;
    if (!parse_count(params[1], &bytes) || !parse_count(params[2], &loops) || loops == 0) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    // Whole 8-byte patterns only, and never past the send buffer.
    size_t count = static_cast<size_t>(bytes) - static_cast<size_t>(bytes) % 8;
    if (count > kDmaBuffer)
        count = kDmaBuffer;
    IOCTL_LOWLEVEL_HOST_DDR_DMA_PARAMS *rec =
        static_cast<IOCTL_LOWLEVEL_HOST_DDR_DMA_PARAMS *>(vexo_dcalloc(sizeof(IOCTL_LOWLEVEL_HOST_DDR_DMA_PARAMS)));
    if (!rec) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    uint8_t *b = rec->data;
    for (size_t i = 0; i < count; i += 8)
        put64(b + kDmaSendAt + i, pattern);
    put64(b + kDmaPatternAt, pattern);
    put_le32(b + kDmaCountAt, static_cast<uint32_t>(count));
    int port = get_port_number(function);
    int chip = instance_number(adapter);
    int send_errors = 0, receive_errors = 0;
    struct timeval start, end;
    gettimeofday(&start, nullptr);
    for (long i = 0; i < loops; ++i) {
        VEXO_status_t status = ioctl_ddr_dma_test(port, rec, 0, 0, chip);
        if (status != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_ddr_dma_test failed with status = %d\n", __func__,
                   status);
            vexo_dfree(rec);
            reset_results(diagnostics);
            vexo_set_fixed_status(VEXO_STATUS_DDR_DMA_TEST);
            return VEXO_STATUS_FAILURE;
        }
        if (std::memcmp(b + kDmaRecvAt, b + kDmaSendAt, count) != 0)
            ++receive_errors;
        if (le32_at(b + kDmaSendErrorAt) != 0)
            ++send_errors;
    }
    gettimeofday(&end, nullptr);
    vexo_dfree(rec);
    float elapsed = static_cast<float>((end.tv_sec - start.tv_sec) * 1000000L + (end.tv_usec - start.tv_usec));
    float ms = elapsed / 1000;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "Time elapsed - gettimeofday() is %f milliseconds\n",
           static_cast<double>(ms));
    return set_results(diagnostics, static_cast<int>(loops), send_errors, receive_errors, static_cast<int>(ms)) != 0
               ? VEXO_STATUS_FAILURE
               : VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_DumpTransceiverData(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *adapter = context ? context->parent : nullptr;
    if (!adapter || !params)
        return VEXO_STATUS_FAILURE;
    unsigned int phba_port = get_phba_port_number(context);
    VEXO_IOCTL_COMMON_READ_TRANSRECEIVER_DATA_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    put_le32(rec.data + 0, strcasecmp(params[0], "A0") == 0 ? 0xA0 : 0xA2);
    put_le32(rec.data + 4, phba_port & 0x3F);
    int driver = get_port_bitmap(instance_number(adapter), static_cast<int>(phba_port));
    VEXO_status_t status =
        ioctl_varrow_read_trans_recv(get_port_number(context), &rec, get_domain_id(context), phba_port, driver);
    if (status == VEXO_STATUS_NOT_SUPPORTED) {
        vexo_set_fixed_status(VEXO_STATUS_DUMPDATA_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_varrow_read_trans_recv failed with status = %d\n",
               __func__, status);
        vexo_set_fixed_status(VEXO_STATUS_DUMP_DATA);
        return VEXO_STATUS_FAILURE;
    }
    uint32_t words[64];
    for (int i = 0; i < 64; ++i)
        words[i] = le32_at(rec.data + 8 + 4 * i);
    char text[VEXO_LAST_STATUS_SIZE];
    transceiver_dump_text(words, text, sizeof text);
    vexo_set_last_status(VEXO_STATUS_DUMP_TRANS_RECV_DATA, text);
    return VEXO_STATUS_SUCCESS;
}
