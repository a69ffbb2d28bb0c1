#include "sim/fault_plan.h"

#include <cerrno>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sim/machine.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

std::string plan_path(const std::string &sysroot)
{
    return state_dir(sysroot) + "/faults.json";
}

// Exclusive lock over the plan for one read-modify-write.
class PlanLock
{
  public:
    explicit PlanLock(const std::string &sysroot)
    {
        std::string path = state_dir(sysroot) + "/faults.lock";
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0) {
            while (flock(fd_, LOCK_EX) != 0) {
                if (errno != EINTR) {
                    close(fd_);
                    fd_ = -1;
                    break;
                }
            }
        }
    }
    ~PlanLock()
    {
        if (fd_ >= 0) {
            flock(fd_, LOCK_UN);
            close(fd_);
        }
    }
    PlanLock(const PlanLock &) = delete;
    PlanLock &operator=(const PlanLock &) = delete;

  private:
    int fd_ = -1;
};

json load_plan(const std::string &sysroot)
{
    std::ifstream in(plan_path(sysroot));
    if (!in)
        return json{{"next_id", 1}, {"faults", json::array()}};
    std::ostringstream ss;
    ss << in.rdbuf();
    json j = json::parse(ss.str(), nullptr, false);
    if (j.is_discarded() || !j.is_object() || !j.contains("faults"))
        return json{{"next_id", 1}, {"faults", json::array()}};
    return j;
}

bool save_plan(const std::string &sysroot, const json &plan)
{
    return write_file_atomic(plan_path(sysroot), plan.dump(2) + "\n", nullptr);
}

// The stage of the events a fault of this kind acts on.
std::string stage_of(const json &f)
{
    std::string kind = f.value("kind", "");
    if (kind == "kpl" || kind == "kpl-short" || kind == "progress")
        return "kpl";
    if (kind != "transport")
        return "command";
    std::string how = f.value("how", "");
    if (how == "init")
        return "init";
    if (how == "errno")
        return "ioctl";
    return "callback";
}

bool text_matches(const json &m, const char *key, const std::string &value)
{
    return !m.contains(key) || m.at(key).get<std::string>() == value;
}

bool number_matches(const json &m, const char *key, long value)
{
    if (!m.contains(key))
        return true;
    const json &v = m.at(key);
    if (v.is_boolean())
        return (v.get<bool>() ? 1 : 0) == value;
    return v.get<long>() == value;
}

bool matches(const json &f, const FaultEvent &ev)
{
    if (stage_of(f) != ev.stage)
        return false;
    const json m = f.value("match", json::object());
    return text_matches(m, "adapter", ev.adapter) && text_matches(m, "pci", ev.pci) &&
           text_matches(m, "driver", ev.driver) && text_matches(m, "path", ev.path) &&
           number_matches(m, "callback", ev.callback) && number_matches(m, "ioctl", ev.ioctl) &&
           number_matches(m, "subsystem", ev.subsystem) && number_matches(m, "opcode", ev.opcode) &&
           number_matches(m, "version", ev.version) && number_matches(m, "board", ev.board) &&
           text_matches(m, "call", ev.call) && number_matches(m, "mbox", ev.mbox) &&
           number_matches(m, "sub", ev.sub) && number_matches(m, "eof", ev.eof);
}

bool validate(const json &f, std::string *err)
{
    auto fail = [err](const std::string &why) {
        if (err)
            *err = why;
        return false;
    };
    if (!f.is_object())
        return fail("a fault is an object");
    std::string kind = f.value("kind", "");
    if (kind == "transport") {
        std::string how = f.value("how", "");
        if (how != "init" && how != "invoke" && how != "driver" && how != "errno")
            return fail("transport faults are init, invoke, driver or errno");
    } else if (kind == "kpl") {
        if (!f.contains("result") && !f.contains("mbox_status") && !f.contains("status") &&
            !f.contains("additional_status"))
            return fail("a kpl fault needs a result, a mailbox status or a status");
    } else if (kind == "progress") {
        if (!f.contains("progress") || !f.at("progress").is_number_integer())
            return fail("a progress fault needs the progress byte");
    } else if (kind == "short" || kind == "power-loss" || kind == "kpl-short") {
        if (f.value("length", -1L) < 0)
            return fail(kind + " needs a length of 0 or more");
    } else if (kind != "status") {
        return fail("unknown fault kind '" + kind + "'");
    }
    std::string when = f.value("when", "once");
    if (when != "once" && when != "always")
        return fail("a fault fires once or always");
    if (f.value("from", 1) < 1)
        return fail("'from' counts matching events from 1");
    return true;
}

} // namespace

int fault_add_json(const std::string &sysroot, const json &recipe, std::string *err)
{
    if (!validate(recipe, err))
        return 0;
    PlanLock lock(sysroot);
    json plan = load_plan(sysroot);
    json f = recipe;
    int id = plan.value("next_id", 1);
    f["id"] = id;
    f["seen"] = 0;
    f["fired"] = 0;
    if (!f.contains("when"))
        f["when"] = "once";
    if (!f.contains("from"))
        f["from"] = 1;
    plan["faults"].push_back(f);
    plan["next_id"] = id + 1;
    if (!save_plan(sysroot, plan)) {
        if (err)
            *err = "cannot write the fault plan";
        return 0;
    }
    return id;
}

int fault_add(const std::string &sysroot, const FaultSpec &s, std::string *err)
{
    json m = json::object();
    if (!s.adapter.empty())
        m["adapter"] = s.adapter;
    if (!s.pci.empty())
        m["pci"] = s.pci;
    if (!s.driver.empty())
        m["driver"] = s.driver;
    if (!s.path.empty())
        m["path"] = s.path;
    if (s.callback >= 0)
        m["callback"] = s.callback;
    if (s.ioctl >= 0)
        m["ioctl"] = s.ioctl;
    if (s.subsystem >= 0)
        m["subsystem"] = s.subsystem;
    if (s.opcode >= 0)
        m["opcode"] = s.opcode;
    if (s.version >= 0)
        m["version"] = s.version;
    if (s.board >= 0)
        m["board"] = s.board;
    if (!s.call.empty())
        m["call"] = s.call;
    if (s.mbox >= 0)
        m["mbox"] = s.mbox;
    if (s.sub >= 0)
        m["sub"] = s.sub;
    if (s.eof >= 0)
        m["eof"] = s.eof;
    json f{{"match", m}, {"kind", s.kind}, {"when", s.always ? "always" : "once"}, {"from", s.from}};
    if (s.kind == "status") {
        f["status"] = s.status;
        f["additional_status"] = s.additional_status;
        if (s.actual_length >= 0)
            f["actual_length"] = s.actual_length;
        if (s.answer)
            f["answer"] = true;
    } else if (s.kind == "kpl") {
        if (s.has_result)
            f["result"] = s.result;
        if (s.mbox_status >= 0)
            f["mbox_status"] = s.mbox_status;
        if (s.status != 0 || s.additional_status != 0 || (!s.has_result && s.mbox_status < 0)) {
            f["status"] = s.status;
            f["additional_status"] = s.additional_status;
        }
    } else if (s.kind == "transport") {
        f["how"] = s.how;
        if (s.how == "errno")
            f["errno"] = s.err;
    } else {
        f["length"] = s.length;
    }
    return fault_add_json(sysroot, f, err);
}

json fault_list(const std::string &sysroot)
{
    PlanLock lock(sysroot);
    return load_plan(sysroot)["faults"];
}

void fault_clear(const std::string &sysroot)
{
    PlanLock lock(sysroot);
    unlink(plan_path(sysroot).c_str());
}

bool fault_take(const std::string &sysroot, const FaultEvent &ev, json *fired)
{
    struct stat st;
    if (sysroot.empty() || stat(plan_path(sysroot).c_str(), &st) != 0)
        return false;
    PlanLock lock(sysroot);
    json plan = load_plan(sysroot);
    bool changed = false, hit = false;
    for (json &f : plan["faults"]) {
        if (!matches(f, ev))
            continue;
        int seen = f.value("seen", 0) + 1;
        f["seen"] = seen;
        changed = true;
        int from = f.value("from", 1);
        bool fires = f.value("when", "once") == "always" ? seen >= from : seen == from;
        if (fires && !hit) {
            hit = true;
            f["fired"] = f.value("fired", 0) + 1;
            if (fired)
                *fired = f;
        }
    }
    if (changed)
        save_plan(sysroot, plan);
    return hit;
}

} // namespace hlvdsim
