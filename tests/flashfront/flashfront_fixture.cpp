#include "flashfront_fixture.h"

#include <cstdio>

#include "flash/device_properties.h"
#include "flash/ovnflashlib.h"

namespace fronttest {

uint32_t AdapterTable::index(uint32_t seg, uint32_t bus, uint32_t dev, uint32_t fn) const
{
    uint32_t i = 0;
    EXPECT_EQ(0, GetAdapterIndxByPciIDs(seg, bus, dev, fn, &i)) << "no entry at " << seg << ":" << bus << ":" << dev
                                                                 << "." << fn;
    return i;
}

std::string make_ufi(const std::string &path, int generation, const std::string &version,
                     const std::function<void(hlvdsim::UfiSpec &)> &edit)
{
    hlvdsim::UfiSpec s = hlvdsim::default_ufi_spec(generation, version);
    if (edit)
        edit(s);
    std::string err;
    EXPECT_TRUE(hlvdsim::write_ufi(s, path, &err)) << err;
    return path;
}

std::vector<DiscoveredDevice> read_devices(const std::string &xml)
{
    std::vector<DiscoveredDevice> devices;
    ReadDiscoveryFile(xml, devices);
    return devices;
}

void write_devices(const std::string &xml, const std::vector<DiscoveredDevice> &devices)
{
    GenerateDiscoveryFile(xml, devices);
}

std::vector<DiscoveredDevice> discover(const std::string &xml, const std::string &images)
{
    EXPECT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
    return read_devices(xml);
}

DiscoveredDevice *device_at(std::vector<DiscoveredDevice> &devices, unsigned bus, unsigned fn)
{
    char b[16], f[16];
    std::snprintf(b, sizeof b, "%X", bus);
    std::snprintf(f, sizeof f, "%X", fn);
    for (DiscoveredDevice &d : devices)
        if (d.busnumber == b && d.funcnumber == f)
            return &d;
    ADD_FAILURE() << "no device listed at bus " << bus << " function " << fn;
    return nullptr;
}

DiscoveredDevice listed_device(unsigned seg, unsigned bus, unsigned dev, unsigned fn, const std::string &image,
                               const std::string &action)
{
    char text[16];
    DiscoveredDevice d;
    d.device_id = "19A2.0710.10DF.E70E";
    d.nictype = "NIC";
    d.venid = "19A2";
    d.devid = "0710";
    d.subvenid = "10DF";
    d.subdevid = "E70E";
    d.product_id = "listed";
    std::snprintf(text, sizeof text, "%X", seg);
    d.segment = text;
    std::snprintf(text, sizeof text, "%X", bus);
    d.busnumber = text;
    std::snprintf(text, sizeof text, "%X", dev);
    d.devicenumber = text;
    std::snprintf(text, sizeof text, "%X", fn);
    d.funcnumber = text;
    d.firmware.type = "firmware";
    d.firmware.firmware_file = image;
    d.firmware.action = action;
    return d;
}

std::vector<json> command_log(const hlvdtest::SimHost &host)
{
    return hlvdsim::log_read(host.root());
}

} // namespace fronttest
