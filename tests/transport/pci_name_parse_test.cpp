// The driver's function names ("D:B:S.F") are read in one pass before every
// NIC command; every name must give exactly what the field-by-field strtoul
// reading gives, including names of other forms and fields left untouched.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/linux/driver_discovery.h"

namespace {

// The reading the names have always had: split at ':', ':', '.', strtoul(16).
void reference_parse(const char *name, pci_data *out)
{
    char copy[VEXO_PCI_NAME_SIZE + 1];
    size_t len = strnlen(name, VEXO_PCI_NAME_SIZE);
    std::memcpy(copy, name, len);
    copy[len] = '\0';
    const char *seps = "::.";
    char *p = copy;
    for (int part = 0; part < 4 && p && *p; ++part) {
        char *end = part < 3 ? std::strchr(p, seps[part]) : nullptr;
        if (end)
            *end = '\0';
        unsigned long v = std::strtoul(p, nullptr, 16);
        if (part == 0)
            out->domain_number = static_cast<uint16_t>(v);
        else if (part == 1)
            out->bus_number = static_cast<uint8_t>(v);
        else if (part == 2)
            out->device_number = static_cast<uint8_t>(v);
        else
            out->pf_num = static_cast<uint8_t>(v);
        p = end ? end + 1 : nullptr;
    }
}

pci_data sentinel()
{
    pci_data d;
    std::memset(&d, 0, sizeof d);
    d.bus_number = 0xA1;
    d.device_number = 0xB2;
    d.pf_num = 0xC3;
    d.rsvd = 0xD4;
    d.domain_number = 0xE5F6;
    d.pci_device_id = 0x1234;
    return d;
}

TEST(PciNameParse, EveryFormReadsAsTheFieldByFieldReading)
{
    const char *const names[] = {
        // The driver's own form and its variations.
        "0000:05:00.0", "0000:0a:1f.7", "ABCD:FF:1F.7", "abcd:ff:1f.7", "0001:80:02.3", "0:0:0.0", "1:2:3.4",
        "0000:016:00.0", "12345678:1:2.3", "ffffffff:ff:ff.f",
        // Fields too long or wider than the record's.
        "123456789:1:2.3", "0000:1ff:00.0", "0000:05:123.9",
        // Other forms: the general reading takes them.
        "0x10:05:00.1", " 1:2:3.4", "+1:-2:3.4", "0000:05:00.0x", "0000:05:00.", "0000:05:00", "0000:05",
        "0000", "", "::.", ":::", "g:1:2.3", "1:g:2.3", "1.2:3:4", "0000:05.00:1", "00:00:00.0:0",
        // Sixteen characters without a terminator inside the name's size.
        "0000:05:00.12345", "000000000000:1.2",
    };
    for (const char *name : names) {
        SCOPED_TRACE(std::string("name \"") + name + "\"");
        pci_data got = sentinel();
        pci_data want = sentinel();
        vexo_parse_pci_name(name, &got);
        reference_parse(name, &want);
        EXPECT_EQ(want.domain_number, got.domain_number);
        EXPECT_EQ(want.bus_number, got.bus_number);
        EXPECT_EQ(want.device_number, got.device_number);
        EXPECT_EQ(want.pf_num, got.pf_num);
        EXPECT_EQ(0, std::memcmp(&want, &got, sizeof want));
    }
}

TEST(PciNameParse, OnlyTheNamesSizeIsRead)
{
    // A field of the driver's list need not be terminated.
    char field[VEXO_PCI_NAME_SIZE + 4];
    std::memset(field, '7', sizeof field);
    std::memcpy(field, "0000:05:00.", 11); // "0000:05:00.77777" then more 7s
    pci_data got = sentinel();
    pci_data want = sentinel();
    vexo_parse_pci_name(field, &got);
    reference_parse(field, &want);
    EXPECT_EQ(0, std::memcmp(&want, &got, sizeof want));
    EXPECT_EQ(0x77u, got.pf_num); // 0x77777 cut to the record's byte
}

} // namespace
