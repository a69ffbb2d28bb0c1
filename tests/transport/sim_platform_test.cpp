// The platform side of the firmware command road, driven directly: the
// stand-in kernel-management library with the simulated NIC and iSCSI
// drivers, the legacy devices behind the interposer, the simulated converged
// adapter's answers, the fault plan and the command log.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/device_child.h"
#include "sim/command_log.h"
#include "sim/driver_records.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"
#include "vmkmgmt.h"

namespace
{

using hlvdsim::FaultSpec;
using nlohmann::json;

// The callers' description of the two callback sets.
std::vector<vmk_MgmtCallbackInfo> describe(const hlvdsim::CallbackShape *shapes, size_t n)
{
    std::vector<vmk_MgmtCallbackInfo> out;
    for (size_t i = 0; i < n; ++i) {
        vmk_MgmtCallbackInfo cb{};
        cb.location = VMK_MGMT_CALLBACK_KERNEL;
        cb.synchronous = 1;
        cb.numParameters = 2;
        cb.parameterSizes[0] = sizeof(hlvdsim::MgmtRequest);
        cb.parameterTypes[0] = VMK_MGMT_PARAM_INOUT;
        cb.parameterSizes[1] = shapes[i].data_size;
        cb.parameterTypes[1] = shapes[i].direction;
        cb.callbackId = shapes[i].id;
        out.push_back(cb);
    }
    return out;
}

struct Signatures {
    std::vector<vmk_MgmtCallbackInfo> nic_cbs =
        describe(hlvdsim::kNicCallbacks, sizeof hlvdsim::kNicCallbacks / sizeof hlvdsim::kNicCallbacks[0]);
    std::vector<vmk_MgmtCallbackInfo> iscsi_cbs =
        describe(hlvdsim::kIscsiCallbacks, sizeof hlvdsim::kIscsiCallbacks / sizeof hlvdsim::kIscsiCallbacks[0]);
    vmk_MgmtApiSignature nic{};
    vmk_MgmtApiSignature iscsi{};
    Signatures()
    {
        nic.version = 0x1000000;
        std::strcpy(nic.name, "ovnnetMgmtToKernel");
        std::strcpy(nic.vendor, "orvane");
        nic.numCallbacks = static_cast<uint32_t>(nic_cbs.size());
        nic.callbacks = nic_cbs.data();
        iscsi.version = 0x1000000;
        std::strcpy(iscsi.name, "com.vmware.ovniscsi.ima");
        std::strcpy(iscsi.vendor, "orvane");
        iscsi.numCallbacks = static_cast<uint32_t>(iscsi_cbs.size());
        iscsi.callbacks = iscsi_cbs.data();
    }
};

// One converged adapter of each driver arrangement used below.
const char kMachine[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3T0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.16", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710",
          "subvendor": "0x10DF", "subdevice": "0xE70E", "revision": "0x01", "port": 0,
          "mac": "00:00:C9:B3:00:20", "driver": "callback", "vfs": 3 },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712",
          "subvendor": "0x10DF", "subdevice": "0xE70E", "revision": "0x01", "port": 1,
          "mac": "00:00:C9:B3:00:22", "driver": "callback" }
      ] },
    { "name": "legacy", "family": "converged", "generation": "AW2", "serial": "AW2T0001",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.604" },
      "functions": [
        { "bus": 9, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700",
          "port": 0, "mac": "00:00:C9:A2:00:90", "driver": "legacy" },
        { "bus": 9, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700",
          "port": 1, "mac": "00:00:C9:A2:00:91", "driver": "legacy" },
        { "bus": 9, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0702",
          "port": 0, "mac": "00:00:C9:A2:00:92", "driver": "legacy", "legacy_device": 0 },
        { "bus": 9, "function": 3, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0702",
          "port": 1, "mac": "00:00:C9:A2:00:93", "driver": "legacy", "legacy_device": 2 }
      ] }
  ]
})";

// A zeroed command buffer with a request header.
std::vector<uint8_t> command(uint8_t subsystem, uint8_t opcode, uint32_t payload, uint32_t capacity = 0)
{
    std::vector<uint8_t> buf(capacity ? capacity : 16 + payload, 0);
    hlvdsim::FwRequestHeader h{};
    h.opcode = opcode;
    h.subsystem = subsystem;
    h.timeout = 120;
    h.request_length = payload;
    std::memcpy(buf.data(), &h, sizeof h);
    return buf;
}

// The response header's fields, unpacked.
struct Rsp {
    int opcode, subsystem, status, additional_status;
    uint32_t response_length, actual_response_length;
};

Rsp response(const std::vector<uint8_t> &buf)
{
    hlvdsim::FwResponseHeader r;
    std::memcpy(&r, buf.data(), sizeof r);
    return Rsp{r.opcode, r.subsystem, r.status, r.additional_status, r.response_length, r.actual_response_length};
}

hlvdsim::MgmtRequest request_for(const char *pci, uint32_t op, uint32_t length)
{
    hlvdsim::MgmtRequest r{};
    std::snprintf(r.pci_name, sizeof r.pci_name, "%s", pci);
    r.op = op;
    r.length = length;
    return r;
}

std::string text_at(const std::vector<uint8_t> &buf, size_t at, size_t len)
{
    return std::string(reinterpret_cast<const char *>(&buf[at]),
                       strnlen(reinterpret_cast<const char *>(&buf[at]), len));
}

class Platform : public ::testing::Test
{
  protected:
    hlvdtest::SimHost host{kMachine};
    Signatures sig;

    // Sends one command buffer (its first 65536 bytes) through a pass-through
    // callback; returns the library's result and the driver's status.
    int pass(vmk_MgmtApiSignature *s, uint64_t id, const char *pci, std::vector<uint8_t> &cmd, uint32_t *drv_status)
    {
        vmk_MgmtUserHandle h = nullptr;
        int rc = vmk_MgmtUserInit(s, 0, &h);
        if (rc != VMK_MGMT_OK)
            return rc;
        std::vector<uint8_t> data(65536, 0);
        std::memcpy(data.data(), cmd.data(), std::min<size_t>(cmd.size(), data.size()));
        hlvdsim::MgmtRequest req = request_for(pci, cmd[0], 65536);
        rc = vmk_MgmtUserCallbackInvokeInt(h, 0, id, 2, &req, data.data());
        *drv_status = req.status;
        if (rc == VMK_MGMT_OK && req.status == 0)
            std::memcpy(cmd.data(), data.data(), cmd.size());
        EXPECT_EQ(VMK_MGMT_OK, vmk_MgmtUserDestroy(h));
        return rc;
    }
};

TEST_F(Platform, SignaturesOpenOnlyRegisteredDrivers)
{
    vmk_MgmtUserHandle h = nullptr;
    ASSERT_EQ(VMK_MGMT_OK, vmk_MgmtUserInit(&sig.nic, 0, &h));
    EXPECT_EQ(1, vmk_MgmtUserOpenHandleCount());
    EXPECT_EQ(VMK_MGMT_OK, vmk_MgmtUserDestroy(h));
    EXPECT_EQ(VMK_MGMT_INVALID_HANDLE, vmk_MgmtUserDestroy(h)) << "a handle is destroyed once";
    EXPECT_EQ(0, vmk_MgmtUserOpenHandleCount());

    vmk_MgmtApiSignature wrong = sig.nic;
    std::strcpy(wrong.vendor, "Orvane");
    EXPECT_EQ(VMK_MGMT_NOT_FOUND, vmk_MgmtUserInit(&wrong, 0, &h));
    wrong = sig.nic;
    wrong.version = 0x2000000;
    EXPECT_EQ(VMK_MGMT_NOT_FOUND, vmk_MgmtUserInit(&wrong, 0, &h));
}

TEST(PlatformMachine, DriverWithoutCallbackFunctionsIsNotRegistered)
{
    hlvdtest::SimHost host(R"({"adapters": [{ "name": "a", "family": "converged", "generation": "AW2",
        "functions": [{ "bus": 3, "kind": "nic", "driver": "legacy" },
                      { "bus": 3, "function": 1, "kind": "iscsi", "driver": "none" }] }]})");
    Signatures sig;
    vmk_MgmtUserHandle h = nullptr;
    EXPECT_EQ(VMK_MGMT_NOT_FOUND, vmk_MgmtUserInit(&sig.nic, 0, &h));
    EXPECT_EQ(VMK_MGMT_NOT_FOUND, vmk_MgmtUserInit(&sig.iscsi, 0, &h));
}

TEST_F(Platform, EnumerationListsCallbackFunctionsOnly)
{
    vmk_MgmtUserHandle h = nullptr;
    ASSERT_EQ(VMK_MGMT_OK, vmk_MgmtUserInit(&sig.nic, 0, &h));
    std::vector<uint8_t> list(sizeof(hlvdsim::NicSbdfV1), 0xEE);
    hlvdsim::MgmtRequest req{};
    ASSERT_EQ(VMK_MGMT_OK, vmk_MgmtUserCallbackInvokeInt(h, 0, 32, 2, &req, list.data()));
    EXPECT_EQ(0u, req.status);
    const hlvdsim::NicSbdfV1 *v1 = reinterpret_cast<const hlvdsim::NicSbdfV1 *>(list.data());
    ASSERT_EQ(1u, v1->num_elements);
    EXPECT_STREQ("0000:04:00.0", v1->entries[0].pci_name);
    EXPECT_STREQ("vmnic0", v1->entries[0].name);
    EXPECT_EQ(0, v1->entries[1].pci_name[0]);
    vmk_MgmtUserDestroy(h);

    ASSERT_EQ(VMK_MGMT_OK, vmk_MgmtUserInit(&sig.iscsi, 0, &h));
    std::vector<uint8_t> il(sizeof(hlvdsim::IscsiSbdf), 0);
    ASSERT_EQ(VMK_MGMT_OK, vmk_MgmtUserCallbackInvokeInt(h, 0, 17, 2, &req, il.data()));
    const hlvdsim::IscsiSbdf *is = reinterpret_cast<const hlvdsim::IscsiSbdf *>(il.data());
    ASSERT_EQ(1u, is->num_elements);
    EXPECT_STREQ("0000:04:00.2", is->entries[0].pci_name);
    EXPECT_STREQ("vmhba32", is->entries[0].name);
    vmk_MgmtUserDestroy(h);
}

TEST(PlatformMachine, MissingCallbackIsNotFoundAndTheOldListRemains)
{
    hlvdtest::SimHost host(R"({"drivers": {"ovnnet": {"missing_callbacks": [32]}},
        "adapters": [{ "name": "a", "family": "converged", "generation": "AW3",
        "functions": [{ "bus": 4, "kind": "nic", "driver": "callback", "ifname": "vmnic7" }] }]})");
    Signatures sig;
    vmk_MgmtUserHandle h = nullptr;
    ASSERT_EQ(VMK_MGMT_OK, vmk_MgmtUserInit(&sig.nic, 0, &h));
    std::vector<uint8_t> v1(sizeof(hlvdsim::NicSbdfV1), 0);
    hlvdsim::MgmtRequest req{};
    EXPECT_EQ(VMK_MGMT_NOT_FOUND, vmk_MgmtUserCallbackInvokeInt(h, 0, 32, 2, &req, v1.data()));
    std::vector<uint8_t> v0(sizeof(hlvdsim::NicSbdf), 0);
    ASSERT_EQ(VMK_MGMT_OK, vmk_MgmtUserCallbackInvokeInt(h, 0, 17, 2, &req, v0.data()));
    const hlvdsim::NicSbdf *l = reinterpret_cast<const hlvdsim::NicSbdf *>(v0.data());
    EXPECT_EQ(1u, l->num_elements);
    EXPECT_STREQ("vmnic7", l->entries[0].name);
    vmk_MgmtUserDestroy(h);
}

TEST_F(Platform, CallbackDescriptionMustMatchTheDriver)
{
    vmk_MgmtUserHandle h = nullptr;
    Signatures bad;
    for (vmk_MgmtCallbackInfo &cb : bad.nic_cbs)
        if (cb.callbackId == 19)
            cb.parameterSizes[1] = 784;
    ASSERT_EQ(VMK_MGMT_OK, vmk_MgmtUserInit(&bad.nic, 0, &h));
    std::vector<uint8_t> info(785, 0);
    hlvdsim::MgmtRequest req = request_for("0000:04:00.0", 0, 785);
    EXPECT_EQ(VMK_MGMT_BAD_PARAM, vmk_MgmtUserCallbackInvokeInt(h, 0, 19, 2, &req, info.data()));
    EXPECT_EQ(VMK_MGMT_NOT_FOUND, vmk_MgmtUserCallbackInvokeInt(h, 0, 99, 2, &req, info.data()));
    vmk_MgmtUserDestroy(h);
}

TEST_F(Platform, DriverInformationAndPciConfiguration)
{
    vmk_MgmtUserHandle h = nullptr;
    ASSERT_EQ(VMK_MGMT_OK, vmk_MgmtUserInit(&sig.nic, 0, &h));
    hlvdsim::NicDrvInfo info;
    hlvdsim::MgmtRequest req = request_for("0000:04:00.0", 0, 785);
    ASSERT_EQ(VMK_MGMT_OK, vmk_MgmtUserCallbackInvokeInt(h, 0, 19, 2, &req, &info));
    EXPECT_EQ(0u, req.status);
    EXPECT_EQ(3, info.number_vfs);
    EXPECT_EQ(1500, +info.mtu);

    hlvdsim::NicReadPciCfg cfg{};
    cfg.offset = 0;
    cfg.data_length = 300;
    req = request_for("0000:04:00.0", 0, 264);
    ASSERT_EQ(VMK_MGMT_OK, vmk_MgmtUserCallbackInvokeInt(h, 0, 33, 2, &req, &cfg));
    EXPECT_EQ(256u, cfg.data_length) << "a read is bounded by the configuration space";
    EXPECT_EQ(0xA2, cfg.pci_data[0]);
    EXPECT_EQ(0x10, cfg.pci_data[2]);
    EXPECT_EQ(0x07, cfg.pci_data[3]);

    req = request_for("0000:09:00.0", 0, 785); // a legacy function: not this driver's
    ASSERT_EQ(VMK_MGMT_OK, vmk_MgmtUserCallbackInvokeInt(h, 0, 19, 2, &req, &info));
    EXPECT_NE(0u, req.status);
    vmk_MgmtUserDestroy(h);
}

TEST_F(Platform, ControllerAttributesAnswerWithTheAdapterIdentity)
{
    std::vector<uint8_t> cmd = command(1, 32, 540);
    uint32_t st = 0;
    ASSERT_EQ(VMK_MGMT_OK, pass(&sig.iscsi, 16, "0000:04:00.2", cmd, &st));
    ASSERT_EQ(0u, st);
    Rsp r = response(cmd);
    EXPECT_EQ(32, r.opcode);
    EXPECT_EQ(1, r.subsystem);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(540u, r.response_length);
    EXPECT_EQ(540u, r.actual_response_length);
    EXPECT_EQ("AW3T0001", text_at(cmd, 16 + 192, 32));
    EXPECT_EQ("10.2.370.15", text_at(cmd, 16 + 256, 32));
    EXPECT_EQ("10.2.370.16", text_at(cmd, 16 + 384, 32));
    EXPECT_EQ(1, cmd[16 + 447]) << "physical port";
    EXPECT_EQ(0x12, cmd[16 + 502]);
    EXPECT_EQ(0x07, cmd[16 + 503]);
    EXPECT_EQ(4, cmd[16 + 508]);
    EXPECT_EQ(2, cmd[16 + 510]);

    std::vector<json> log = hlvdsim::log_read(host.root());
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ("fw", log[0]["kind"]);
    EXPECT_EQ("iscsi", log[0]["driver"]);
    EXPECT_EQ("callback", log[0]["path"]);
    EXPECT_EQ("aw3", log[0]["adapter"]);
    EXPECT_EQ(32, log[0]["opcode"]);
    EXPECT_EQ(540, log[0]["request_length"]);
    EXPECT_EQ(120, log[0]["timeout"]);
    EXPECT_EQ(true, log[0]["modelled"]);
}

TEST_F(Platform, AnswersThatDoNotFitAndUnmodelledCommands)
{
    struct Case {
        uint8_t subsystem, opcode;
        uint32_t payload;
        uint8_t status;
        uint32_t response_length, actual;
    } cases[] = {
        {1, 32, 100, 4, 100, 540}, // too small: status 4, the length the answer needs
        {1, 88, 0, 0, 0, 0},       // header only
        {1, 250, 8, 66, 0, 0},     // not modelled: not supported
        {6, 6, 260, 66, 0, 0},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> cmd = command(c.subsystem, c.opcode, c.payload);
        uint32_t st = 1;
        ASSERT_EQ(VMK_MGMT_OK, pass(&sig.nic, 18, "0000:04:00.0", cmd, &st));
        ASSERT_EQ(0u, st);
        Rsp r = response(cmd);
        SCOPED_TRACE(testing::Message() << int(c.subsystem) << "/" << int(c.opcode));
        EXPECT_EQ(c.status, r.status);
        EXPECT_EQ(c.response_length, r.response_length);
        EXPECT_EQ(c.actual, r.actual_response_length);
    }
}

TEST_F(Platform, MacQueriesAndTheFunctionNumberOfTheHeader)
{
    std::vector<uint8_t> cmd = command(1, 1, 72);
    cmd[16] = 9; // factory MACs of functions 0 to 7
    uint32_t st = 0;
    ASSERT_EQ(VMK_MGMT_OK, pass(&sig.nic, 18, "0000:04:00.0", cmd, &st));
    EXPECT_EQ(0x20, cmd[16 + 8 + 7]) << "function 0";
    EXPECT_EQ(0x22, cmd[16 + 8 + 2 * 8 + 7]) << "function 2";
    EXPECT_EQ(0, cmd[16 + 8 + 8 + 7]) << "no function 1";

    cmd = command(1, 147, 532);
    cmd[14] = 3; // PCI function 2 + 1
    ASSERT_EQ(VMK_MGMT_OK, pass(&sig.nic, 18, "0000:04:00.0", cmd, &st));
    EXPECT_EQ(0, response(cmd).status);
    EXPECT_EQ(0x22, cmd[16 + 7]) << "the MAC list of function 2";
    std::vector<json> log = hlvdsim::log_read(host.root());
    EXPECT_EQ(3, log.back()["pf"]);

    cmd = command(1, 147, 532);
    cmd[14] = 7; // no function 6
    ASSERT_EQ(VMK_MGMT_OK, pass(&sig.nic, 18, "0000:04:00.0", cmd, &st));
    EXPECT_NE(0, response(cmd).status);
}

TEST_F(Platform, FirmwareStateOutlivesTheProcess)
{
    std::vector<uint8_t> set = command(1, 79, 132);
    set[16] = 3;
    set[16 + 4] = 0xAB;
    uint32_t st = 0;
    ASSERT_EQ(VMK_MGMT_OK, pass(&sig.iscsi, 16, "0000:04:00.2", set, &st));
    ASSERT_EQ(0, response(set).status);

    // Another process reads it back.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        Signatures s;
        std::vector<uint8_t> get = command(1, 78, 132);
        vmk_MgmtUserHandle h = nullptr;
        if (vmk_MgmtUserInit(&s.iscsi, 0, &h) != VMK_MGMT_OK)
            _exit(2);
        std::vector<uint8_t> data(65536, 0);
        std::memcpy(data.data(), get.data(), get.size());
        hlvdsim::MgmtRequest req = request_for("0000:04:00.2", 78, 65536);
        if (vmk_MgmtUserCallbackInvokeInt(h, 0, 16, 2, &req, data.data()) != VMK_MGMT_OK || req.status)
            _exit(3);
        _exit(data[16] == 3 && data[20] == 0xAB && data[21] == 0 ? 0 : 4);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(Platform, PlannedStatusesFireOnceOrAlwaysFromTheNthCommand)
{
    FaultSpec once;
    once.opcode = 32;
    once.kind = "status";
    once.status = 2;
    once.additional_status = 77;
    ASSERT_GT(hlvdsim::fault_add(host.root(), once, nullptr), 0);
    FaultSpec later;
    later.opcode = 58;
    later.kind = "status";
    later.status = 30;
    later.always = true;
    later.from = 2;
    ASSERT_GT(hlvdsim::fault_add(host.root(), later, nullptr), 0);

    struct Step {
        uint8_t opcode;
        uint32_t payload;
        uint8_t status;
        uint16_t additional;
    } steps[] = {{32, 540, 2, 77}, {32, 540, 0, 0}, {58, 156, 0, 0}, {58, 156, 30, 0}, {58, 156, 30, 0}};
    for (const Step &s : steps) {
        std::vector<uint8_t> cmd = command(1, s.opcode, s.payload);
        uint32_t st = 0;
        ASSERT_EQ(VMK_MGMT_OK, pass(&sig.nic, 18, "0000:04:00.0", cmd, &st));
        EXPECT_EQ(s.status, response(cmd).status);
        EXPECT_EQ(s.additional, response(cmd).additional_status);
    }
    json plan = hlvdsim::fault_list(host.root());
    EXPECT_EQ(2, plan[0]["seen"]);
    EXPECT_EQ(1, plan[0]["fired"]);
    EXPECT_EQ(2, plan[1]["fired"]);
}

TEST_F(Platform, ShortAnswersKeepTheRestOfTheRequest)
{
    FaultSpec f;
    f.opcode = 32;
    f.kind = "short";
    f.length = 10;
    ASSERT_GT(hlvdsim::fault_add(host.root(), f, nullptr), 0);
    std::vector<uint8_t> cmd = command(1, 32, 540);
    std::memset(cmd.data() + 16, 0x5A, 540);
    uint32_t st = 0;
    ASSERT_EQ(VMK_MGMT_OK, pass(&sig.nic, 18, "0000:04:00.0", cmd, &st));
    EXPECT_EQ(0, response(cmd).status);
    EXPECT_EQ(10u, response(cmd).response_length);
    EXPECT_EQ(0x5A, cmd[16 + 10]);
}

TEST_F(Platform, TransportFaultsOfEachKind)
{
    FaultSpec init;
    init.kind = "transport";
    init.how = "init";
    init.driver = "nic";
    ASSERT_GT(hlvdsim::fault_add(host.root(), init, nullptr), 0);
    FaultSpec invoke;
    invoke.kind = "transport";
    invoke.how = "invoke";
    invoke.opcode = 32;
    ASSERT_GT(hlvdsim::fault_add(host.root(), invoke, nullptr), 0);
    FaultSpec driver;
    driver.kind = "transport";
    driver.how = "driver";
    driver.opcode = 58;
    ASSERT_GT(hlvdsim::fault_add(host.root(), driver, nullptr), 0);
    FaultSpec power;
    power.kind = "power-loss";
    power.opcode = 79;
    power.length = 6;
    ASSERT_GT(hlvdsim::fault_add(host.root(), power, nullptr), 0);

    vmk_MgmtUserHandle h = nullptr;
    EXPECT_EQ(VMK_MGMT_FAILURE, vmk_MgmtUserInit(&sig.nic, 0, &h));
    EXPECT_EQ(0, vmk_MgmtUserOpenHandleCount());

    std::vector<uint8_t> cmd = command(1, 32, 540);
    std::vector<uint8_t> sent = cmd;
    uint32_t st = 0;
    EXPECT_EQ(VMK_MGMT_FAILURE, pass(&sig.nic, 18, "0000:04:00.0", cmd, &st));
    EXPECT_EQ(sent, cmd);

    cmd = command(1, 58, 156);
    EXPECT_EQ(VMK_MGMT_OK, pass(&sig.nic, 18, "0000:04:00.0", cmd, &st));
    EXPECT_NE(0u, st) << "the driver reports the failure";

    cmd = command(1, 79, 132);
    std::memset(cmd.data() + 16, 0xCD, 132);
    EXPECT_EQ(VMK_MGMT_OK, pass(&sig.iscsi, 16, "0000:04:00.2", cmd, &st));
    EXPECT_NE(0u, st) << "no answer after the power loss";
    cmd = command(1, 78, 132);
    EXPECT_EQ(VMK_MGMT_OK, pass(&sig.iscsi, 16, "0000:04:00.2", cmd, &st));
    EXPECT_EQ(0xCD, cmd[16 + 4]);
    EXPECT_EQ(0xCD, cmd[16 + 5]) << "bytes before the stop were written";
    EXPECT_EQ(0, cmd[16 + 6]) << "bytes after it were not";

    std::vector<json> log = hlvdsim::log_read(host.root());
    ASSERT_EQ(4u, log.size()) << "the failed open sent nothing";
    EXPECT_EQ("transport", log[0]["outcome"]);
    EXPECT_EQ("transport", log[1]["outcome"]);
    EXPECT_EQ("power-loss", log[2]["outcome"]);
    EXPECT_EQ("answered", log[3]["outcome"]);
}

TEST_F(Platform, LegacyDevicesAnswerLikeTheCallbacks)
{
    RUN_WITH_DEVICES();
    std::string dir = host.path("/vmfs/devices/char/vmkdriver/");
    int d0 = open((dir + "aw2iscsi_0").c_str(), O_RDWR);
    int d1 = open((dir + "aw2iscsi_1").c_str(), O_RDWR);
    int e1 = errno;
    int d2 = open((dir + "aw2iscsi_2").c_str(), O_RDWR);
    ASSERT_GE(d0, 0);
    EXPECT_EQ(-1, d1);
    EXPECT_EQ(ENOENT, e1);
    ASSERT_GE(d2, 0);
    EXPECT_EQ(0, fcntl(d0, F_SETFD, FD_CLOEXEC)) << "a device is a real descriptor";

    char name[32];
    ASSERT_EQ(0, ioctl(d2, 1, name));
    EXPECT_STREQ("vmhba34", name);

    // The same command on the legacy path and through the callback path.
    std::vector<uint8_t> a = command(1, 32, 540);
    ASSERT_EQ(0, ioctl(d0, 0x4580, a.data()));
    EXPECT_EQ(0, response(a).status);
    EXPECT_EQ("AW2T0001", text_at(a, 16 + 192, 32));
    std::vector<uint8_t> b = command(1, 32, 540);
    uint32_t st = 0;
    ASSERT_EQ(VMK_MGMT_OK, pass(&sig.iscsi, 16, "0000:04:00.2", b, &st));
    std::vector<json> log;
    for (const json &e : hlvdsim::log_read(host.root()))
        if (e["kind"] == "fw")
            log.push_back(e);
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ("legacy", log[0]["path"]);
    EXPECT_EQ("0000:09:00.2", log[0]["pci"]);
    EXPECT_EQ(log[0]["header"], log[1]["header"]);
    EXPECT_EQ(log[0]["payload_crc"], log[1]["payload_crc"]);

    FaultSpec eio;
    eio.kind = "transport";
    eio.how = "errno";
    eio.path = "legacy";
    ASSERT_GT(hlvdsim::fault_add(host.root(), eio, nullptr), 0);
    FaultSpec other = eio;
    other.err = EINVAL;
    other.from = 2;
    ASSERT_GT(hlvdsim::fault_add(host.root(), other, nullptr), 0);
    std::vector<uint8_t> c = command(1, 32, 540);
    EXPECT_EQ(-1, ioctl(d2, 0x4580, c.data()));
    EXPECT_EQ(EIO, errno);
    EXPECT_EQ(-1, ioctl(d2, 0x4580, c.data()));
    EXPECT_EQ(EINVAL, errno);
    EXPECT_EQ(0, ioctl(d2, 0x4580, c.data()));
    EXPECT_EQ(0, response(c).status);

    EXPECT_EQ(0, close(d0));
    EXPECT_EQ(0, close(d2));
    int nic = open((dir + "aw_esx_nic").c_str(), O_RDWR);
    ASSERT_GE(nic, 0);
    hlvdsim::ChipList chips;
    ASSERT_EQ(0, ioctl(nic, 6, &chips));
    ASSERT_EQ(1, chips.num_chips);
    EXPECT_EQ(9, chips.chips[0].bus_number);
    EXPECT_EQ(2, chips.chips[0].num_pfs);
    hlvdsim::LegacyCharInfo ci{};
    ci.bus_number = 9;
    ci.pf_num = 1;
    ASSERT_EQ(0, ioctl(nic, 4, &ci));
    EXPECT_EQ(1500, +ci.dinfo.mtu);
    ci.pf_num = 5;
    EXPECT_EQ(-1, ioctl(nic, 7, &ci));
    EXPECT_EQ(0, close(nic));
}

TEST(PlatformMachine, NoLegacyNicDeviceWithoutLegacyNicFunctions)
{
    RUN_WITH_DEVICES();
    hlvdtest::SimHost host;
    int fd = open(host.path("/vmfs/devices/char/vmkdriver/aw_esx_nic").c_str(), O_RDWR);
    EXPECT_EQ(-1, fd);
    EXPECT_EQ(ENOENT, errno);
    // Other paths are left to the C library.
    fd = open(host.path("/etc/vmware/esx.conf").c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    close(fd);
}

TEST_F(Platform, ToolPlansFaultsAndShowsTheLog)
{
    std::string tool = hlvdtest::binary_path("bin/hlvdsim");
#if defined(__i386__)
    std::string run = "qemu-i386 " + tool;
#else
    std::string run = tool;
#endif
    std::string add = run + " fault add " + host.root() + " --opcode 32 --status 2 --additional 77 >/dev/null";
    ASSERT_EQ(0, std::system(add.c_str()));
    EXPECT_NE(0,
              std::system((run + " fault add " + host.root() + " --opcode 32 --transport bogus 2>/dev/null").c_str()));
    std::vector<uint8_t> cmd = command(1, 32, 540);
    uint32_t st = 0;
    ASSERT_EQ(VMK_MGMT_OK, pass(&sig.nic, 18, "0000:04:00.0", cmd, &st));
    EXPECT_EQ(2, response(cmd).status);
    std::string out = host.path("/tmp/log.txt");
    ASSERT_EQ(0, std::system((run + " log show " + host.root() + " > " + out).c_str()));
    std::string text = hlvdtest::read_file(out);
    EXPECT_NE(std::string::npos, text.find("\"opcode\":32"));
    EXPECT_NE(std::string::npos, text.find("\"status\":2"));
}

} // namespace
