#include "sim/flash_model.h"
#include "sim/profile_model.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sim/fc_hba.h"
#include "sim/iscsi_login_model.h"
#include "sim/iscsi_model_util.h"
#include "sim/ufi_generator.h"
#include "sim/varrow_object.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint8_t kStatusRefused = 1;        // a request the flash cannot carry out
const uint16_t kAddlInvalidRequest = 75;
const uint8_t kStatusSignature = 23;
const uint16_t kAddlBadSignature = 86;
const uint16_t kAddlNoSignature = 87;
const uint8_t kStatusSecondDownload = 3; // firmware of a release downloaded twice
const uint8_t kStatusNotSupported = 66;

const uint32_t kOpFlash = 1;
const uint32_t kOpSave = 2;
const uint32_t kOpReport = 4;
const uint32_t kFlashRecordSize = 16; // the four words before the data
const uint32_t kMaxChunk = 32768;
const uint32_t kObjectRecordSize = 112; // length word, offset, name
const size_t kObjectNameSize = 104;
const uint32_t kIscsiFirmwareEntry = 0xA0;

// Trelmont regions. ISM and vectors start the flash, and the whole-flash op
// type reads it from there.
const FlashRegion kTrelmontRegions[] = {
    {22, 0x000000, kFlashSize}, {23, 0x010000, 0x10000},  {18, 0x020000, 0x10000},  {19, 0x030000, 0x10000},
    {1, 0x040000, 0x100000},    {21, 0x140000, 0x40000},  {13, 0x180000, 0x80000},  {0, 0x200000, 0x400000},
    {9, 0x600000, 0x400000},    {2, 0xC00000, 0x80000},   {3, 0xC80000, 0x80000},   {8, 0xD00000, 0x80000},
};

// ---------------------------------------------------------------------------
// Files of the model.

std::string safe_name(const std::string &name)
{
    std::string s;
    for (char ch : name)
        s += (std::isalnum(static_cast<unsigned char>(ch)) || ch == '-' || ch == '.') ? ch : '_';
    return s.empty() ? std::string("_") : s;
}

std::string flash_dir(const std::string &sysroot)
{
    return state_dir(sysroot) + "/flash";
}

std::string flash_path(const std::string &sysroot, const std::string &adapter)
{
    return flash_dir(sysroot) + "/" + safe_name(adapter) + ".bin";
}

std::string stage_path(const std::string &sysroot, const std::string &adapter)
{
    return flash_dir(sysroot) + "/" + safe_name(adapter) + ".stage";
}

std::string object_path(const std::string &sysroot, const std::string &adapter, const std::string &name)
{
    return state_dir(sysroot) + "/objects/" + safe_name(adapter) + "/" + safe_name(name);
}

bool read_exact(int fd, uint64_t at, uint8_t *to, size_t len)
{
    while (len > 0) {
        ssize_t n = pread(fd, to, len, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) { // past the end of a sparse file: never written
            std::memset(to, 0, len);
            return true;
        }
        to += n;
        at += static_cast<uint64_t>(n);
        len -= static_cast<size_t>(n);
    }
    return true;
}

bool in_flash(uint64_t offset, uint64_t len)
{
    return offset <= kFlashSize && len <= kFlashSize - offset;
}

// The stage: the chunks of one component received so far, kept as a
// 16-byte header and the bytes in order.
struct Stage {
    uint32_t pid = 0;
    uint32_t op_type = 0;
    uint32_t position = 0; // the first chunk's offset
    uint64_t length = 0;   // bytes staged
};

bool load_stage(const std::string &path, Stage &s)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    uint8_t head[16];
    bool ok = fstat(fd, &st) == 0 && st.st_size >= 16 && read_exact(fd, 0, head, sizeof head) &&
              std::memcmp(head, "STG1", 4) == 0;
    if (ok) {
        std::memcpy(&s.pid, head + 4, 4);
        std::memcpy(&s.op_type, head + 8, 4);
        std::memcpy(&s.position, head + 12, 4);
        s.length = static_cast<uint64_t>(st.st_size) - 16;
    }
    close(fd);
    return ok;
}

bool stage_data(const std::string &path, const Stage &s, std::vector<uint8_t> &out)
{
    out.resize(static_cast<size_t>(s.length));
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = read_exact(fd, 16, out.data(), out.size());
    close(fd);
    return ok;
}

// Starts a stage (`fresh`) or adds a chunk to it.
bool stage_chunk(const std::string &path, const Stage &s, bool fresh, const uint8_t *chunk, size_t len)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (fresh ? O_TRUNC : 0), 0644);
    if (fd < 0)
        return false;
    bool ok = true;
    if (fresh) {
        uint8_t head[16];
        std::memcpy(head, "STG1", 4);
        std::memcpy(head + 4, &s.pid, 4);
        std::memcpy(head + 8, &s.op_type, 4);
        std::memcpy(head + 12, &s.position, 4);
        ok = write_all_at(fd, 0, head, sizeof head);
    }
    ok = ok && write_all_at(fd, 16 + (fresh ? 0 : s.length), chunk, len);
    return close(fd) == 0 && ok;
}

// Programs bytes; `erase_len` bytes from `offset` are erased first (0xFF).
bool program(const std::string &sysroot, const std::string &adapter, uint32_t offset, const uint8_t *data,
             size_t len, size_t erase_len)
{
    if (!make_dirs(flash_dir(sysroot)))
        return false;
    int fd = open(flash_path(sysroot, adapter).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    // A full-size sparse file: holes cost nothing on disk.
    if (ok && st.st_size < static_cast<off_t>(kFlashSize))
        ok = ftruncate(fd, static_cast<off_t>(kFlashSize)) == 0;
    if (ok && erase_len > 0) {
        std::vector<uint8_t> erased(erase_len, 0xFF);
        ok = write_all_at(fd, offset, erased.data(), erased.size());
    }
    if (ok && len > 0)
        ok = write_all_at(fd, offset, data, len);
    return close(fd) == 0 && ok;
}

// ---------------------------------------------------------------------------
// Command helpers.

json &adapter_doc(FwContext &c)
{
    return c.m.doc["adapters"][c.adapter];
}

const std::string &adapter_name(const FwContext &c)
{
    return c.m.adapters[c.adapter].name;
}

bool option(FwContext &c, const char *key, bool dflt)
{
    const json &a = adapter_doc(c);
    if (!a.contains("flash_options") || !a.at("flash_options").contains(key))
        return dflt;
    return a.at("flash_options").at(key).get<bool>();
}

// Where a flash command's bytes go: op type 7 and the whole-flash op type
// address the flash directly, others count from their region's start.
bool locate(FwContext &c, uint32_t op_type, uint64_t offset, uint64_t len, uint32_t *flash_offset)
{
    FlashRegion r;
    if (op_type == kFlashOpTypeOffset || op_type == kFlashOpTypeWhole) {
        r = {op_type, 0, kFlashSize};
    } else if (!flash_region(c.m.adapters[c.adapter].generation, op_type, &r)) {
        return false;
    }
    if (offset > r.size || len > r.size - offset || !in_flash(r.base + offset, len))
        return false;
    *flash_offset = static_cast<uint32_t>(r.base + offset);
    return true;
}

// The firmware's signature check: the generator's stamp at the start, the
// CRC of the rest in the last 4 bytes.
uint16_t signature_problem(const std::vector<uint8_t> &data)
{
    UfiStamp stamp;
    if (!read_ufi_stamp(data.data(), data.size(), stamp) || data.size() < kUfiStampSize + 4)
        return kAddlNoSignature;
    size_t body = data.size() - 4;
    if (ufi_crc32(data.data(), body) != get32(&data[body]))
        return kAddlBadSignature;
    return 0;
}

void note_version(FwContext &c, const std::vector<uint8_t> &data)
{
    UfiStamp stamp;
    if (!read_ufi_stamp(data.data(), data.size(), stamp) || stamp.entry_type != kIscsiFirmwareEntry ||
        stamp.version.empty())
        return;
    adapter_doc(c)["firmware"]["flash"] = bytes_value(stamp.version);
    c.dirty = true;
}

} // namespace

bool flash_region(const std::string &generation, uint32_t op_type, FlashRegion *out)
{
    if (op_type == kFlashOpTypeWhole) {
        *out = {op_type, 0, kFlashSize};
        return true;
    }
    if (generation == "AW2") {
        for (const UfiAw2Region &r : kUfiAw2Regions)
            if (r.op_type == op_type) {
                *out = {op_type, r.flash_offset, r.length};
                return true;
            }
    } else if (generation == "AW3") {
        for (const UfiAw3Component &r : kUfiAw3Components)
            if (r.op_type == op_type) {
                *out = {op_type, r.offset, r.size};
                return true;
            }
    } else if (generation == "Trelmont") {
        for (const FlashRegion &r : kTrelmontRegions)
            if (r.op_type == op_type) {
                *out = r;
                return true;
            }
    }
    return false;
}

bool flash_contents(const std::string &sysroot, const std::string &adapter, uint32_t offset, uint32_t len,
                    std::vector<uint8_t> &out)
{
    if (!in_flash(offset, len))
        return false;
    out.assign(len, 0);
    int fd = open(flash_path(sysroot, adapter).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT; // never written: all zeros
    bool ok = read_exact(fd, offset, out.data(), len);
    close(fd);
    return ok;
}

bool flash_program(const std::string &sysroot, const std::string &adapter, uint32_t offset,
                   const std::vector<uint8_t> &data)
{
    return in_flash(offset, data.size()) && program(sysroot, adapter, offset, data.data(), data.size(), 0);
}

bool object_contents(const std::string &sysroot, const std::string &adapter, const std::string &name,
                     std::vector<uint8_t> &out)
{
    int fd = open(object_path(sysroot, adapter, name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (ok) {
        out.resize(static_cast<size_t>(st.st_size));
        ok = read_exact(fd, 0, out.data(), out.size());
    }
    close(fd);
    return ok;
}

bool object_put(const std::string &sysroot, const std::string &adapter, const std::string &name,
                const std::vector<uint8_t> &data)
{
    std::string path = object_path(sysroot, adapter, name);
    return make_dirs(path.substr(0, path.rfind('/'))) &&
           write_file_atomic(path, std::string(data.begin(), data.end()), nullptr);
}

bool object_remove_prefix(const std::string &sysroot, const std::string &adapter, const std::string &prefix)
{
    std::string dir = state_dir(sysroot) + "/objects/" + safe_name(adapter);
    std::string start = safe_name(prefix);
    DIR *d = opendir(dir.c_str());
    if (!d)
        return errno == ENOENT; // nothing stored yet
    bool ok = true;
    while (dirent *e = readdir(d)) {
        if (std::strncmp(e->d_name, start.c_str(), start.size()) == 0 &&
            unlink((dir + "/" + e->d_name).c_str()) != 0 && errno != ENOENT)
            ok = false;
    }
    closedir(d);
    return ok;
}

bool reboot_adapters(const std::string &sysroot, const std::string &name, std::vector<std::string> *rebooted,
                     std::string *err)
{
    StateLock lock(sysroot);
    std::shared_ptr<const Machine> layout = load_layout(sysroot, err);
    if (!layout)
        return false;
    std::vector<std::string> done;
    for (size_t i = 0; i < layout->adapters.size(); ++i) {
        if (!name.empty() && layout->adapters[i].name != name)
            continue;
        Machine m;
        if (!load_adapter(sysroot, i, m, err))
            return false;
        json &a = m.doc["adapters"][0];
        if (a.contains("firmware") && a["firmware"].contains("flash"))
            a["firmware"]["active"] = a["firmware"]["flash"];
        if (a.contains("flash_options"))
            a["flash_options"].erase("dual_reboot");
        // The new firmware runs: nothing waits for a reset any more.
        a["fw_state"]["reset_needed"] = 0;
        profile_reboot(a);
        fc_reboot(m);
        login_reboot(a);
        if (!save_adapter(sysroot, i, m, err))
            return false;
        unlink(stage_path(sysroot, m.adapters[0].name).c_str());
        done.push_back(m.adapters[0].name);
    }
    if (done.empty()) {
        if (err)
            *err = "no adapter named " + name;
        return false;
    }
    if (rebooted)
        *rebooted = done;
    return true;
}

// ---------------------------------------------------------------------------
// Commands.

void cmd_flash_read(FwContext &c)
{
    if (c.req_len < kFlashRecordSize) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    uint32_t op_code = get32(c.req), op_type = get32(c.req + 4), size = get32(c.req + 8),
             offset = get32(c.req + 12);
    uint32_t at = 0;
    if (op_code != kOpReport || size > c.req_len - kFlashRecordSize || !locate(c, op_type, offset, size, &at)) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    if (op_type != kFlashOpTypeWhole && option(c, "dual_reboot", false)) {
        refuse(c, kStatusSecondDownload, 0);
        return;
    }
    std::vector<uint8_t> data;
    if (!c.sysroot || !flash_contents(*c.sysroot, adapter_name(c), at, size, data)) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    c.answer.assign(c.req, c.req + kFlashRecordSize);
    c.answer.insert(c.answer.end(), data.begin(), data.end());
}

void cmd_flash_write(FwContext &c)
{
    if (c.req_len < kFlashRecordSize || !c.sysroot) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    uint32_t op_code = get32(c.req), op_type = get32(c.req + 4), size = get32(c.req + 8),
             offset = get32(c.req + 12);
    if (op_code != kOpFlash && op_code != kOpSave) {
        // Erasing regions is not modelled yet.
        refuse(c, kStatusNotSupported, 0);
        return;
    }
    if (size > c.req_len - kFlashRecordSize || size > kMaxChunk) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    const std::string &sysroot = *c.sysroot;
    const std::string stage_file = stage_path(sysroot, adapter_name(c));
    Stage stage;
    bool continuing = load_stage(stage_file, stage) && stage.pid == static_cast<uint32_t>(getpid()) &&
                      stage.op_type == op_type &&
                      (op_type != kFlashOpTypeOffset || uint64_t(stage.position) + stage.length == offset);
    if (!continuing) {
        stage = Stage();
        stage.pid = static_cast<uint32_t>(getpid());
        stage.op_type = op_type;
        stage.position = offset;
    }
    // The power goes with the adapter's RAM: what was staged is lost.
    if (c.write_limit >= 0 && op_code == kOpSave) {
        unlink(stage_file.c_str());
        return;
    }
    const uint8_t *chunk = c.req + kFlashRecordSize;
    if (op_code == kOpSave) {
        if (!make_dirs(flash_dir(sysroot)) || !stage_chunk(stage_file, stage, !continuing, chunk, size))
            refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }

    std::vector<uint8_t> data;
    bool staged = !continuing || stage_data(stage_file, stage, data);
    unlink(stage_file.c_str());
    if (!staged) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    data.insert(data.end(), chunk, chunk + size);
    uint32_t at = 0;
    if (!locate(c, op_type, stage.position, data.size(), &at)) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    if (option(c, "signed", c.m.adapters[c.adapter].generation == "Trelmont")) {
        uint16_t problem = signature_problem(data);
        if (problem) {
            refuse(c, kStatusSignature, problem);
            return;
        }
    }
    if (c.write_limit >= 0) {
        // Erased, then programmed up to the moment the power went.
        size_t kept = std::min(data.size(), static_cast<size_t>(c.write_limit));
        program(sysroot, adapter_name(c), at, data.data(), kept, data.size());
        return;
    }
    std::vector<uint8_t> before;
    bool known = flash_contents(sysroot, adapter_name(c), at, static_cast<uint32_t>(data.size()), before);
    if (!program(sysroot, adapter_name(c), at, data.data(), data.size(), 0)) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    // New flash contents wait for a reset to run.
    if (!known || before != data) {
        (*c.fw)["reset_needed"] = 1;
        c.dirty = true;
    }
    note_version(c, data);
}

void cmd_write_object(FwContext &c)
{
    if (c.req_len < kObjectRecordSize || !c.sysroot) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    uint32_t word = get32(c.req);
    uint32_t len = word & 0xFFFFFF;
    bool eof = (word >> 31) != 0;
    uint32_t offset = get32(c.req + 4);
    const char *name_field = reinterpret_cast<const char *>(c.req + 8);
    size_t name_len = strnlen(name_field, kObjectNameSize);
    if (name_len == 0 || name_len == kObjectNameSize || len > c.req_len - kObjectRecordSize) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    std::string name(name_field, name_len);
    std::string path = object_path(*c.sysroot, adapter_name(c), name);
    std::string dir = path.substr(0, path.rfind('/'));
    struct stat st;
    uint64_t have = stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    if (offset != 0 && offset != have) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    if (!make_dirs(dir)) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | (offset == 0 ? O_TRUNC : 0) | O_CLOEXEC, 0644);
    if (fd < 0) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    size_t n = len;
    if (c.write_limit >= 0) // only the bytes that reached the adapter
        n = c.write_limit > long(kObjectRecordSize) ? std::min<size_t>(n, size_t(c.write_limit) - kObjectRecordSize)
                                                    : 0;
    bool ok = write_all_at(fd, offset, c.req + kObjectRecordSize, n);
    ok = close(fd) == 0 && ok;
    if (c.write_limit >= 0)
        return;
    if (!ok) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    uint8_t change = 0;
    if (eof && name == "/prg") {
        std::vector<uint8_t> object;
        std::string revision;
        if (!object_contents(*c.sysroot, adapter_name(c), name, object) ||
            !read_varrow_object(object.data(), object.size(), &revision)) {
            refuse(c, kStatusRefused, kAddlInvalidRequest);
            return;
        }
        json &fw = adapter_doc(c)["firmware"];
        fw["flash"] = bytes_value(revision);
        std::string active = fw.contains("active") ? value_bytes(fw.at("active")) : std::string();
        change = active != revision ? 1 : 0;
        // A change status the test plans ("flash_options": {"change_status": N}).
        const json &a = adapter_doc(c);
        if (a.contains("flash_options") && a.at("flash_options").contains("change_status"))
            change = static_cast<uint8_t>(a.at("flash_options").at("change_status").get<unsigned>());
        if (change != 0)
            (*c.fw)["reset_needed"] = change;
        c.dirty = true;
    }
    put32(c.answer, 0, len);
    put32(c.answer, 4, change);
}

void cmd_read_object(FwContext &c)
{
    if (c.req_len < kObjectRecordSize || !c.sysroot) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    uint32_t len = get32(c.req) & 0xFFFFFF;
    uint32_t offset = get32(c.req + 4);
    const char *name_field = reinterpret_cast<const char *>(c.req + 8);
    size_t name_len = strnlen(name_field, kObjectNameSize);
    if (name_len == kObjectNameSize) {
        refuse(c, kStatusRefused, kAddlInvalidRequest);
        return;
    }
    std::vector<uint8_t> object;
    object_contents(*c.sysroot, adapter_name(c), std::string(name_field, name_len), object);
    uint64_t size = object.size();
    c.answer.assign(c.req_len, 0);
    if (len == 0) { // the size of the object
        put32(c.answer, 0, static_cast<uint32_t>(size));
        return;
    }
    uint64_t n = offset >= size ? 0 : std::min<uint64_t>(len, size - offset);
    n = std::min<uint64_t>(n, c.req_len - 8);
    put32(c.answer, 0, static_cast<uint32_t>(n));
    put32(c.answer, 4, offset + n >= size ? 0x80000000u : 0);
    if (n)
        std::memcpy(&c.answer[8], &object[offset], static_cast<size_t>(n));
}

} // namespace hlvdsim
