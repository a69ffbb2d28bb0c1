// The discovery file: the records of one adapter function and its firmware
// items, and the XML writer and reader that carry them to and from the host.
#ifndef HLVD_FLASH_DISCOVERY_XML_H
#define HLVD_FLASH_DISCOVERY_XML_H

#include <cstdint>
#include <string>
#include <vector>

class FirmwareDetails {
public:
    std::string type;
    std::string firmware_id;
    std::string firmware_file;
    std::string version;
    std::string active_version;
    std::string action;
    std::string action_status;
    std::string duration;
    std::string message;
    std::string shared;
};

class DiscoveredDevice {
public:
    std::string device_id;
    std::string nictype;
    std::string venid;
    std::string devid;
    std::string subvenid;
    std::string subdevid;
    std::string product_id;
    std::string segment;
    std::string busnumber;
    std::string devicenumber;
    std::string funcnumber;
    std::string slotnumber;
    std::string macaddress;
    std::string asicRevisionId;
    int32_t kind = -1;
    int32_t dualChannel = 0;
    int32_t blade = 0;
    bool hasBootItem = false;
    FirmwareDetails firmware;
    FirmwareDetails bootCode;
};

// Writes the file from the list. Throws on every failure; the file is
// replaced only once the new text is completely on disk, so a failure never
// leaves a truncated or half-written discovery file behind.
void GenerateDiscoveryFile(const std::string &path, const std::vector<DiscoveredDevice> &devices);

// Appends one record per device element to `devices`. Throws on every
// failure (std::runtime_error with a fixed text for a missing element).
void ReadDiscoveryFile(const std::string &path, std::vector<DiscoveredDevice> &devices);

// Removes leading and trailing white space in place.
void Trim(std::string &text);

#endif
