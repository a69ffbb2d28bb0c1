#include "sim/iscsi_login_model.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/iscsi_discovery_model.h"
#include "sim/iscsi_model_util.h"
#include "sim/wire.h"

namespace hlvdsim
{

namespace
{

using json = nlohmann::json;

// LOGIN_TARGET_PARAMS (also the persistent-login request).
const uint32_t kLoginSize = 1420;
const size_t kTgtName = 0, kNameSize = 224, kIp = 224, kPort = 248, kSessionFlags = 508, kEto = 520, kIsid = 524,
             kOptions = 528, kOptionsSize = 600, kInitiatorName = 1128;
// Inside the login options.
const size_t kHeaderDigest = 21, kDataDigest = 22, kAuthType = 40, kChapFlags = 44, kIntrName = 48,
             kIntrSecret = 304, kTgtChapName = 320, kTgtSecret = 576, kIntrNameLen = 592, kIntrSecretLen = 594,
             kTgtNameLen = 596, kTgtSecretLen = 598, kSecretRoom = 16, kChapNameRoom = 256;
// LOGIN_TARGET_PARAMS_OUT
const size_t kOutConnHandle = 8, kOutFlags = 12, kOutOptions = 16;
// DELETE_PERSISTENT_LOGIN_PARAMS_IN
const uint32_t kDeleteSize = 480;
const size_t kDelPortal = 224, kDelPort = 248, kDelIsid = 252;

const size_t kMaxSessions = 64;
const uint16_t kAddlUnreachable = 19, kAddlConnection = 21, kAddlAuth = 44, kAddlNotFound = 46, kAddlDigest = 100;
const uint8_t kStatusTableFull = 20;

std::string ip_text(const uint8_t *rec)
{
    char buf[INET6_ADDRSTRLEN] = "";
    if (rec[3] & 0x07)
        inet_ntop(AF_INET, rec + 4, buf, sizeof buf);
    else if (rec[3] & 0xF0)
        inet_ntop(AF_INET6, rec + 4, buf, sizeof buf);
    return buf;
}

// The bytes a configured secret stands for: "0x" and hexadecimal digits, or
// the text itself.
std::string secret_bytes(const std::string &s)
{
    if (s.size() < 2 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X'))
        return s;
    std::string out;
    for (size_t i = 2; i + 1 < s.size(); i += 2)
        out.push_back(static_cast<char>(std::stoul(s.substr(i, 2), nullptr, 16)));
    return out;
}

// The CHAP a login or a persistent login offers; secrets are their bytes.
struct ChapOffer {
    bool offered = false, mutual = false, whole = true;
    std::string target_name, target_secret, initiator_name, initiator_secret;
};

// A name must end inside its field at the length the record gives.
bool name_at(const uint8_t *p, uint16_t len, std::string *out)
{
    *out = field(p, kChapNameRoom);
    return len < kChapNameRoom && out->size() == len;
}

bool secret_at(const uint8_t *p, uint16_t len, std::string *out)
{
    if (len > kSecretRoom)
        return false;
    out->assign(reinterpret_cast<const char *>(p), len);
    return true;
}

ChapOffer offer_in(const uint8_t *o)
{
    ChapOffer c;
    c.offered = o[kAuthType] == 1;
    c.mutual = (get32(o + kChapFlags) & 1) != 0;
    if (c.offered)
        c.whole = name_at(o + kTgtChapName, get16(o + kTgtNameLen), &c.target_name) &&
                  secret_at(o + kTgtSecret, get16(o + kTgtSecretLen), &c.target_secret) &&
                  name_at(o + kIntrName, get16(o + kIntrNameLen), &c.initiator_name) &&
                  secret_at(o + kIntrSecret, get16(o + kIntrSecretLen), &c.initiator_secret);
    return c;
}

std::string hex_form(const std::string &bytes)
{
    std::string out = "0x";
    char two[3];
    for (unsigned char b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        out += two;
    }
    return out;
}

// As a persistent login keeps it, in the keys of a target's "chap".
json offer_json(const ChapOffer &c)
{
    if (!c.offered || !c.whole)
        return {{"method", c.offered ? "invalid" : "none"}};
    return {{"method", c.mutual ? "mutual" : "one-way"},
            {"target_name", c.target_name},
            {"target_secret", hex_form(c.target_secret)},
            {"initiator_name", c.initiator_name},
            {"initiator_secret", hex_form(c.initiator_secret)}};
}

ChapOffer offer_from(const json &p)
{
    ChapOffer c;
    json chap = p.contains("chap") ? p.at("chap") : json::object();
    std::string method = text(chap, "method", "none");
    c.offered = method != "none";
    c.mutual = method == "mutual";
    c.whole = method != "invalid";
    c.target_name = text(chap, "target_name");
    c.target_secret = secret_bytes(text(chap, "target_secret"));
    c.initiator_name = text(chap, "initiator_name");
    c.initiator_secret = secret_bytes(text(chap, "initiator_secret"));
    return c;
}

// Additional status of a refused authentication, or 0.
uint16_t judge_chap(const json &t, const ChapOffer &o)
{
    json chap = t.contains("chap") ? t.at("chap") : json::object();
    std::string method = text(chap, "method", "none");
    if (method == "none")
        return o.offered ? kAddlAuth : 0;
    // The target's own CHAP name and secret are what every CHAP login
    // proves; mutual CHAP adds the initiator's pair the target answers to.
    if (!o.offered || !o.whole || o.target_name != text(chap, "target_name") ||
        o.target_secret != secret_bytes(text(chap, "target_secret")))
        return kAddlAuth;
    if (method != "mutual")
        return 0;
    if (!o.mutual || o.initiator_name != text(chap, "initiator_name") ||
        o.initiator_secret != secret_bytes(text(chap, "initiator_secret")))
        return kAddlAuth;
    return 0;
}

bool digest_ok(const json &t, const char *which, uint8_t asked)
{
    json d = t.contains("digest") ? t.at("digest") : json::object();
    std::string policy = text(d, which, "any");
    if (policy == "crc32c")
        return asked == 1;
    if (policy == "none")
        return asked == 0;
    return true;
}

json *find_target(json &ini, const std::string &name)
{
    for (json &t : array_in(ini, "targets"))
        if (text(t, "name") == name)
            return &t;
    return nullptr;
}

std::string isid_text(uint16_t qualifier)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "00023d00%04x", qualifier);
    return buf;
}

// A session that has a persistent login persists (bit 0x1 clear) and takes
// its boot bit.
uint32_t session_flags(json &ini, const std::string &target, uint16_t qualifier, uint32_t flags)
{
    for (const json &p : array_in(ini, "persistent"))
        if (text(p, "target") == target && desc_number(p, "isid", -1) == qualifier)
            flags = (flags & ~1u) | (static_cast<uint32_t>(desc_number(p, "flags", 0)) & 0x100);
    return flags;
}

// Opens (or reinstates) the session of `target` with `qualifier`.
json &open_session(json &ini, const std::string &target, const std::string &ip, long port, uint16_t qualifier,
                   uint32_t flags, const std::string &initiator)
{
    json &sessions = array_in(ini, "sessions");
    std::string isid = isid_text(qualifier);
    long handle = 0, tsih = 0;
    for (size_t i = 0; i < sessions.size(); ++i) {
        handle = std::max(handle, desc_number(sessions[i], "handle", 0));
        tsih = std::max(tsih, desc_number(sessions[i], "tsih", 0));
    }
    // A login again to the same target and ISID reinstates that session
    // under its old handles.
    long own = handle + 1;
    for (size_t i = 0; i < sessions.size(); ++i)
        if (text(sessions[i], "target") == target && text(sessions[i], "isid") == isid) {
            own = desc_number(sessions[i], "handle", own);
            sessions.erase(sessions.begin() + static_cast<long>(i));
            break;
        }
    json s = {{"handle", own},
              {"target", target},
              {"isid", isid},
              {"tsih", tsih + 1},
              {"status", 1},
              {"flags", session_flags(ini, target, qualifier, flags)},
              {"initiator", initiator},
              {"unit_attention", false},
              {"connection",
               {{"handle", 1000 + own},
                {"cid", 1},
                {"status", 1},
                {"src_ip", ip.find(':') != std::string::npos ? "fe80::100" : "10.0.0.100"},
                {"src_port", 49152 + own},
                {"dest_ip", ip},
                {"dest_port", port}}}};
    sessions.push_back(s);
    return sessions.back();
}

} // namespace

void cmd_login_target(FwContext &c)
{
    if (discovery_login(c))
        return;
    if (c.req_len < kLoginSize)
        return refuse(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
    json &ini = state(c);
    std::string name = field(c.req + kTgtName, kNameSize);
    json *t = find_target(ini, name);
    if (!t)
        return refuse(c, FW_STATUS_FAILED, kAddlNotFound);
    if (desc_number(*t, "unreachable", 0))
        return refuse(c, FW_STATUS_FAILED, kAddlUnreachable);
    const uint8_t *o = c.req + kOptions;
    if (uint16_t addl = judge_chap(*t, offer_in(o)))
        return refuse(c, FW_STATUS_FAILED, addl);
    if (!digest_ok(*t, "header", o[kHeaderDigest]) || !digest_ok(*t, "data", o[kDataDigest]))
        return refuse(c, FW_STATUS_FAILED, kAddlDigest);
    uint16_t qualifier = get16(c.req + kIsid);
    json &sessions = array_in(ini, "sessions");
    bool replaces = false;
    for (const json &s : sessions)
        replaces = replaces || (text(s, "target") == name && text(s, "isid") == isid_text(qualifier));
    if (!replaces && sessions.size() >= kMaxSessions)
        return refuse(c, kStatusTableFull, 0);
    uint32_t flags = get32(c.req + kSessionFlags);
    json &s = open_session(ini, name, ip_text(c.req + kIp), get16(c.req + kPort), qualifier, flags,
                           field(c.req + kInitiatorName, kNameSize));
    c.answer.assign(c.req, c.req + c.req_len);
    put32(c.answer, 0, static_cast<uint32_t>(desc_number(s, "handle", 0)));
    put32(c.answer, 4, 1);
    put32(c.answer, kOutConnHandle, static_cast<uint32_t>(desc_number(s["connection"], "handle", 0)));
    put32(c.answer, kOutFlags, flags);
    std::memmove(&c.answer[kOutOptions], c.req + kOptions, kOptionsSize);
    c.dirty = true;
}

void cmd_logout_target(FwContext &c)
{
    if (discovery_logout(c))
        return;
    if (c.req_len < 4)
        return refuse(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
    json &ini = state(c);
    long refusals = desc_number(ini, "logout_refusals", 0);
    if (refusals > 0) {
        ini["logout_refusals"] = refusals - 1;
        c.dirty = true;
        return refuse(c, FW_STATUS_FAILED, kAddlConnection);
    }
    json &sessions = array_in(ini, "sessions");
    long handle = static_cast<long>(get32(c.req));
    for (size_t i = 0; i < sessions.size(); ++i)
        if (desc_number(sessions[i], "handle", -1) == handle) {
            sessions.erase(sessions.begin() + static_cast<long>(i));
            c.answer.assign(c.req_len, 0);
            put32(c.answer, 0, 0x20); // closed
            c.dirty = true;
            return;
        }
    refuse(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
}

void cmd_add_persistent_login(FwContext &c)
{
    if (c.req_len < kLoginSize)
        return refuse(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
    json &ini = state(c);
    json &table = array_in(ini, "persistent");
    std::string name = field(c.req + kTgtName, kNameSize), ip = ip_text(c.req + kIp);
    long port = get16(c.req + kPort);
    // The firmware keeps the portal of a persistent login in its target
    // list, so the target's record shows it from now on (and after a reboot).
    if (json *t = find_target(ini, name)) {
        json &ps = array_in(*t, "portals");
        bool known = false;
        long tag = 0;
        for (const json &p : ps) {
            known = known || (text(p, "ip") == ip && desc_number(p, "port", 3260) == port);
            tag = std::max(tag, desc_number(p, "tag", 1));
        }
        if (!known)
            ps.push_back({{"ip", ip}, {"port", port}, {"tag", tag + 1}});
    }
    table.push_back({{"target", name},
                     {"ip", ip},
                     {"port", port},
                     {"isid", get16(c.req + kIsid)},
                     {"flags", get32(c.req + kSessionFlags)},
                     {"eto", get32(c.req + kEto)},
                     {"initiator", field(c.req + kInitiatorName, kNameSize)},
                     {"chap", offer_json(offer_in(c.req + kOptions))}});
    c.answer.assign(c.req_len, 0);
    put32(c.answer, 0, static_cast<uint32_t>(table.size()));
    c.dirty = true;
}

void cmd_del_persistent_login(FwContext &c)
{
    if (c.req_len < kDeleteSize)
        return refuse(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
    json &table = array_in(state(c), "persistent");
    std::string name = field(c.req, kNameSize), ip = ip_text(c.req + kDelPortal);
    long port = get16(c.req + kDelPort);
    uint32_t isid = get32(c.req + kDelIsid);
    bool removed = false;
    for (size_t i = table.size(); i-- > 0;) {
        const json &p = table[i];
        if (text(p, "target") == name && text(p, "ip") == ip && desc_number(p, "port", -1) == port &&
            desc_number(p, "isid", -1) == static_cast<long>(isid & 0xFFFF)) {
            table.erase(table.begin() + static_cast<long>(i));
            removed = true;
        }
    }
    if (!removed)
        return refuse(c, FW_STATUS_FAILED, kAddlNotFound);
    c.answer.assign(c.req_len, 0);
    c.dirty = true;
}

void login_reboot(json &adapter_doc)
{
    if (!adapter_doc.contains("functions") || !adapter_doc["functions"].is_array())
        return;
    for (json &f : adapter_doc["functions"]) {
        if (!f.contains("initiator") || !f["initiator"].is_object())
            continue;
        json &ini = f["initiator"];
        ini["sessions"] = json::array();
        if (!ini.contains("persistent") || !ini["persistent"].is_array())
            continue;
        for (const json &p : ini["persistent"]) {
            std::string name = text(p, "target");
            json *t = find_target(ini, name);
            // The firmware logs in with the CHAP it kept; a target that
            // refuses it stays without a session.
            if (!t || desc_number(*t, "unreachable", 0) || ini["sessions"].size() >= kMaxSessions ||
                judge_chap(*t, offer_from(p)) != 0)
                continue;
            open_session(ini, name, text(p, "ip"), desc_number(p, "port", 0),
                         static_cast<uint16_t>(desc_number(p, "isid", 0)),
                         static_cast<uint32_t>(desc_number(p, "flags", 0)), text(p, "initiator"));
        }
    }
}

} // namespace hlvdsim
