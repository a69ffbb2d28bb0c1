// Writes the seed corpora of the fuzz targets from the project's own
// generators and writers:  hlvd-fuzz-corpus DIR  (normally fuzz/corpus).
// Seeds stay small: gen-2 images in their compact form, gen-3 images without
// components, gen-4 images with small component slots.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "flash/discovery_xml.h"
#include "sim/ufi_generator.h"
#include "sim/varrow_object.h"
#include "support/fuzz_util.h"

namespace
{

std::string gOut;
int gFailures = 0;

void put(const std::string &target, const std::string &name, const std::vector<uint8_t> &bytes)
{
    hlvdfuzz::make_dirs(gOut + "/" + target);
    hlvdfuzz::write_file(gOut + "/" + target + "/" + name, bytes.data(), bytes.size());
}

void put_text(const std::string &target, const std::string &name, const std::string &text)
{
    put(target, name, std::vector<uint8_t>(text.begin(), text.end()));
}

// Typed inputs of value_validators: datatype, minimum, maximum, text.
void put_value(const std::string &name, uint8_t type, int32_t min, int32_t max, const std::string &text)
{
    std::vector<uint8_t> b = {type};
    for (int32_t v : {min, max})
        for (int k = 0; k < 4; ++k)
            b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * k)));
    b.insert(b.end(), text.begin(), text.end());
    put("value_validators", name, b);
}

std::vector<uint8_t> ufi(const hlvdsim::UfiSpec &s)
{
    std::vector<uint8_t> out;
    std::string err;
    if (!hlvdsim::build_ufi(s, out, &err)) {
        std::fprintf(stderr, "ufi recipe refused: %s\n", err.c_str());
        ++gFailures;
    }
    return out;
}

std::vector<uint8_t> obj(const hlvdsim::VarrowObjectSpec &s)
{
    std::vector<uint8_t> out;
    std::string err;
    if (!hlvdsim::build_varrow_object(s, out, &err)) {
        std::fprintf(stderr, "object recipe refused: %s\n", err.c_str());
        ++gFailures;
    }
    return out;
}

void ufi_seeds()
{
    struct Named {
        const char *name;
        hlvdsim::UfiSpec recipe;
    };
    std::vector<Named> images;

    hlvdsim::UfiSpec g2 = hlvdsim::default_ufi_spec(2, "4.2.500.1");
    g2.compact = true;
    images.push_back({"gen2-compact.ufi", g2});

    hlvdsim::UfiSpec g3 = hlvdsim::default_ufi_spec(3, "10.2.400.1");
    g3.components.clear();
    images.push_back({"gen3-no-components.ufi", g3});
    hlvdsim::UfiSpec g3r = g3;
    g3r.asic_support = 0x11;
    g3r.image_ids = {2, 1};
    images.push_back({"gen3-r-p2-two-images.ufi", g3r});

    hlvdsim::UfiSpec g4 = hlvdsim::default_ufi_spec(4, "11.2.100.7");
    g4.components = {{0xA0, 0, 0x200}, {0xE0, 0xFFFF, 0x100}};
    images.push_back({"gen4-small.ufi", g4});
    hlvdsim::UfiSpec g4bad = g4;
    g4bad.faults = hlvdsim::UFI_FAULT_BAD_ENTRIES;
    images.push_back({"gen4-bad-entries.ufi", g4bad});
    hlvdsim::UfiSpec g4moved = g4;
    g4moved.faults = hlvdsim::UFI_FAULT_COOKIE_MISPLACED | hlvdsim::UFI_FAULT_SHORT;
    images.push_back({"gen4-cookie-misplaced.ufi", g4moved});
    hlvdsim::UfiSpec g3sig = g3;
    g3sig.faults = hlvdsim::UFI_FAULT_BAD_SIGNATURE;
    images.push_back({"gen3-bad-signature.ufi", g3sig});

    for (const Named &n : images) {
        std::vector<uint8_t> bytes = ufi(n.recipe);
        for (const char *target : {"ufi_image", "mgmt_ufi", "flash_action"})
            put(target, n.name, bytes);
    }
}

void varrow_seeds()
{
    hlvdsim::VarrowObjectSpec o;
    o.version = "11.4.300.2";
    o.size = 0x200;
    hlvdsim::VarrowObjectSpec be = o;
    be.big_endian = true;
    hlvdsim::VarrowObjectSpec wrong = o;
    wrong.faults = hlvdsim::VOBJ_FAULT_BAD_TYPE | hlvdsim::VOBJ_FAULT_BAD_SIZE;
    for (const char *target : {"varrow_object", "flash_action"}) {
        put(target, "varrow.obj", obj(o));
        put(target, "varrow-big-endian.obj", obj(be));
    }
    put("varrow_object", "varrow-bad-type-size.obj", obj(wrong));
}

void discovery_seeds()
{
    DiscoveredDevice d;
    d.device_id = "0";
    d.nictype = "CNA";
    d.venid = "19A2";
    d.devid = "0710";
    d.subvenid = "10DF";
    d.subdevid = "E70E";
    d.product_id = "AW3SIM";
    d.segment = "0";
    d.busnumber = "4";
    d.devicenumber = "0";
    d.funcnumber = "0";
    d.slotnumber = "1";
    d.macaddress = "00:90:FA:00:00:01";
    d.firmware.firmware_id = "aw3";
    d.firmware.firmware_file = "image.ufi";
    d.firmware.version = "10.2.400.1";
    d.firmware.active_version = "10.2.300.0";
    d.firmware.action = "update";
    d.firmware.action_status = "0";
    d.firmware.duration = "120";
    d.firmware.message = "a & b <c> \"d\" 'e'";
    DiscoveredDevice boot = d;
    boot.device_id = "1";
    boot.funcnumber = "1";
    boot.hasBootItem = true;
    boot.bootCode = d.firmware;
    boot.bootCode.version = "12.0.1";

    const std::string dir = hlvdfuzz::scratch_dir("corpus");
    const std::string one = dir + "/one.xml", two = dir + "/two.xml";
    GenerateDiscoveryFile(one, {d});
    GenerateDiscoveryFile(two, {d, boot});
    for (const auto &f : {std::make_pair(one, "one-device.xml"), std::make_pair(two, "two-devices-boot.xml")}) {
        std::FILE *in = std::fopen(f.first.c_str(), "rb");
        std::vector<uint8_t> bytes;
        int c;
        while (in && (c = std::fgetc(in)) != EOF)
            bytes.push_back(static_cast<uint8_t>(c));
        if (in)
            std::fclose(in);
        put("discovery_file", f.second, bytes);
    }
}

void validator_seeds()
{
    put_value("integer", 1, 0, 65535, "3260");
    put_value("integer-hex", 1, -10, 10, "-0x5");
    put_value("string", 0, 1, 16, "iqn.example");
    put_value("ipv4", 2, 0, 0, "192.168.1.20");
    put_value("ipv6", 2, 0, 0, "fe80::1:2");
    put_value("ipv6-full", 2, 0, 0, "2001:db8:0:0:0:0:2:1");
    put_value("subnetmask", 3, 0, 0, "255.255.254.0");
    put_value("list", 4, 0, 0, std::string("Enabled\0Disabled,Enabled", 24));
    put_value("untyped", 5, 0, 0, "anything");
}

void startup_seeds()
{
    put_text("startup_files", "log-level", std::string(1, '\0') +
                                               "#VEXOLogLevel: Control the number of messages logged.\n"
                                               "VEXOLogLevel 3\n");
    put_text("startup_files", "log-level-out-of-range", std::string(1, '\0') + "VEXOLogLevel 99\nVEXOLogLevel\n");
    // A sound line of each persistence file: the adapter, function and
    // logical HBA first, then the rest of its commas.
    const int commas[] = {21, 17, 14};
    const char *names[] = {"savetgt", "savestp", "intr-logopts"};
    for (int i = 0; i < 3; ++i) {
        std::string line = "Arcwright-AW3SIM00001,iSCSIPhysicalHBA-1,LogicalHBA-1";
        for (int k = 2; k < commas[i]; ++k)
            line += ",v" + std::to_string(k);
        put_text("startup_files", names[i], std::string(1, static_cast<char>(i + 1)) + line + "\n" + line + "\n");
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-DIR\n", argv[0]);
        return 2;
    }
    gOut = argv[1];
    ufi_seeds();
    varrow_seeds();
    discovery_seeds();
    validator_seeds();
    startup_seeds();
    return gFailures ? 1 : 0;
}
