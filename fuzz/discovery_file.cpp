// The discovery file the host hands back: read it, write what was read, and
// read that again. Whatever the first read accepts must survive the round
// trip with every field intact.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "flash/discovery_xml.h"
#include "support/fuzz_util.h"

namespace
{

std::string gDir;

void fail(size_t device, const char *field, const std::string &first, const std::string &second)
{
    std::fprintf(stderr, "device %zu: %s read back as \"%s\", was \"%s\"\n", device, field, second.c_str(),
                 first.c_str());
    std::abort();
}

// The type and shared texts are the writer's own, not carried over.
void same_item(size_t i, const char *which, const FirmwareDetails &a, const FirmwareDetails &b)
{
    const struct {
        const char *name;
        std::string FirmwareDetails::*field;
    } fields[] = {
        {"firmware_id", &FirmwareDetails::firmware_id},     {"firmware_file", &FirmwareDetails::firmware_file},
        {"version", &FirmwareDetails::version},             {"active_version", &FirmwareDetails::active_version},
        {"action", &FirmwareDetails::action},               {"action_status", &FirmwareDetails::action_status},
        {"duration", &FirmwareDetails::duration},           {"message", &FirmwareDetails::message},
    };
    for (const auto &f : fields) {
        if (a.*f.field != b.*f.field) {
            std::string name = std::string(which) + "." + f.name;
            fail(i, name.c_str(), a.*f.field, b.*f.field);
        }
    }
}

void same_device(size_t i, const DiscoveredDevice &a, const DiscoveredDevice &b)
{
    const struct {
        const char *name;
        std::string DiscoveredDevice::*field;
    } fields[] = {
        {"device_id", &DiscoveredDevice::device_id},   {"nictype", &DiscoveredDevice::nictype},
        {"venid", &DiscoveredDevice::venid},           {"devid", &DiscoveredDevice::devid},
        {"subvenid", &DiscoveredDevice::subvenid},     {"subdevid", &DiscoveredDevice::subdevid},
        {"product_id", &DiscoveredDevice::product_id}, {"segment", &DiscoveredDevice::segment},
        {"busnumber", &DiscoveredDevice::busnumber},   {"devicenumber", &DiscoveredDevice::devicenumber},
        {"funcnumber", &DiscoveredDevice::funcnumber}, {"slotnumber", &DiscoveredDevice::slotnumber},
        {"macaddress", &DiscoveredDevice::macaddress},
    };
    for (const auto &f : fields)
        if (a.*f.field != b.*f.field)
            fail(i, f.name, a.*f.field, b.*f.field);
    same_item(i, "firmware", a.firmware, b.firmware);
    if (a.hasBootItem != b.hasBootItem)
        fail(i, "hasBootItem", a.hasBootItem ? "1" : "0", b.hasBootItem ? "1" : "0");
    if (a.hasBootItem)
        same_item(i, "bootCode", a.bootCode, b.bootCode);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    gDir = hlvdfuzz::scratch_dir("discovery");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string in = gDir + "/in.xml";
    const std::string out = gDir + "/out.xml";
    hlvdfuzz::write_file(in, data, size);

    std::vector<DiscoveredDevice> first;
    try {
        ReadDiscoveryFile(in, first);
    } catch (const std::exception &) {
        return 0; // refused: the reader's error path
    }

    std::vector<DiscoveredDevice> second;
    try {
        GenerateDiscoveryFile(out, first);
        ReadDiscoveryFile(out, second);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "the file written from an accepted one is refused: %s\n", e.what());
        std::abort();
    }
    if (first.size() != second.size()) {
        std::fprintf(stderr, "%zu devices read back as %zu\n", first.size(), second.size());
        std::abort();
    }
    for (size_t i = 0; i < first.size(); ++i)
        same_device(i, first[i], second[i]);
    return 0;
}
