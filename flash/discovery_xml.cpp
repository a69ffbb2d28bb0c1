#include "flash/discovery_xml.h"

#include <cctype>
#include <iterator>
#include <stdexcept>
#include <system_error>

// The XML library leaves a node's last-child and last-attribute links unset
// until a first one is added, on purpose; optimised builds mistake that for a
// use of uninitialised memory once its code is inlined here.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <rapidxml.hpp>
#include <rapidxml_print.hpp>
#include <rapidxml_utils.hpp>

#include "os/atomic_file.h"

namespace {

typedef rapidxml::xml_document<> Document;
typedef rapidxml::xml_node<> Node;

// Appends <name value="text"/>; the tree points at the caller's text.
void add_value(Document &doc, Node *parent, const char *name, const std::string &text)
{
    Node *n = doc.allocate_node(rapidxml::node_element, name);
    n->append_attribute(doc.allocate_attribute("value", text.c_str(), 0, text.size()));
    parent->append_node(n);
}

void add_item(Document &doc, Node *device, const char *type, const FirmwareDetails &item)
{
    static const std::string kShared = "no";
    Node *fw = doc.allocate_node(rapidxml::node_element, "fw_item");
    device->append_node(fw);
    Node *t = doc.allocate_node(rapidxml::node_element, "type");
    t->append_attribute(doc.allocate_attribute("value", type));
    fw->append_node(t);
    add_value(doc, fw, "firmware_id", item.firmware_id);
    add_value(doc, fw, "firmware_file", item.firmware_file);
    add_value(doc, fw, "version", item.version);
    add_value(doc, fw, "active_version", item.active_version);
    add_value(doc, fw, "action", item.action);
    add_value(doc, fw, "action_status", item.action_status);
    add_value(doc, fw, "duration", item.duration);
    add_value(doc, fw, "message", item.message);
    add_value(doc, fw, "shared", kShared);
}

// The text of the element's value attribute, if it has one.
void take_value(const Node *n, std::string &field)
{
    const rapidxml::xml_attribute<> *a = n->first_attribute("value");
    if (a)
        field.assign(a->value(), a->value_size());
}

Node *need(Node *found, const char *missing_text)
{
    if (!found)
        throw std::runtime_error(missing_text);
    return found;
}

void read_item(Node *fw, DiscoveredDevice &dev)
{
    Node *type = need(fw->first_node("type"), "type element is not found in the xml. The discovery file is corrupted ");
    const rapidxml::xml_attribute<> *ta = type->first_attribute("value");
    if (!ta)
        throw std::runtime_error("firmwar type is null. The discovery file is corrupted ");
    std::string kind(ta->value(), ta->value_size());
    for (char &c : kind)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Trim(kind);
    FirmwareDetails *item = &dev.firmware;
    if (kind != "firmware") {
        item = &dev.bootCode;
        dev.hasBootItem = true;
    }
    item->type = kind;

    Node *id = need(type->next_sibling("firmware_id"),
                    "firmware_id element is not found in the xml. The discovery file is corrupted ");
    take_value(id, item->firmware_id);
    Node *file = need(type->next_sibling("firmware_file"),
                      "firmware_file element is not found in the xml. The discovery file is corrupted ");
    take_value(file, item->firmware_file);
    Node *version = need(type->next_sibling("version"),
                         "version element is not found in the xml. The discovery file is corrupted ");
    take_value(version, item->version);
    Node *active = need(version->next_sibling("active_version"),
                        "active_version element is not found in the xml. The discovery file is corrupted ");
    take_value(active, item->active_version);
    Node *action = need(active->next_sibling("action"),
                        "action element is not found in the xml. The discovery file is corrupted ");
    take_value(action, item->action);
    Node *status = need(action->next_sibling("action_status"),
                        "action_status element is not found in the xml. The discovery file is corrupted ");
    take_value(status, item->action_status);
    Node *duration = need(status->next_sibling("duration"),
                          "duration element is not found in the xml. The discovery file is corrupted ");
    take_value(duration, item->duration);
    Node *message = need(action->next_sibling("message"),
                         "message element is not found in the xml. The discovery file is corrupted ");
    take_value(message, item->message);
    Node *shared = need(action->next_sibling("shared"),
                        "shared element is not found in the xml. The discovery file is corrupted ");
    take_value(shared, item->shared);
}

struct DeviceField {
    const char *name;
    std::string DiscoveredDevice::*field;
    const char *missing;
};

const DeviceField kDeviceFields[] = {
    {"device_id", &DiscoveredDevice::device_id,
     "no device_id element found in the xml. The discovery file is corrupted "},
    {"nictype", &DiscoveredDevice::nictype, "no nictype element found in the xml. The discovery file is corrupted "},
    {"venid", &DiscoveredDevice::venid, "no venid element found in the xml. The discovery file is corrupted "},
    {"devid", &DiscoveredDevice::devid, "no devid element found in the xml. The discovery file is corrupted "},
    {"subvenid", &DiscoveredDevice::subvenid,
     "no subvenid element found in the xml. The discovery file is corrupted "},
    {"subdevid", &DiscoveredDevice::subdevid,
     "no subdevid element found in the xml. The discovery file is corrupted "},
    {"product_id", &DiscoveredDevice::product_id,
     "no product_id element found in the xml. The discovery file is corrupted "},
    {"segment", &DiscoveredDevice::segment, "no segment element found in the xml. The discovery file is corrupted "},
    {"busnumber", &DiscoveredDevice::busnumber,
     "no busnumber element found in the xml. The discovery file is corrupted "},
    {"devicenumber", &DiscoveredDevice::devicenumber,
     "no devicenumber element found in the xml. The discovery file is corrupted "},
    {"funcnumber", &DiscoveredDevice::funcnumber,
     "no funcnumber element found in the xml. The discovery file is corrupted "},
    {"slotnumber", &DiscoveredDevice::slotnumber,
     "no slotnumber element found in the xml. The discovery file is corrupted "},
    {"macaddress", &DiscoveredDevice::macaddress,
     "no macaddress element found in the xml. The discovery file is corrupted "},
};

} // namespace

void Trim(std::string &text)
{
    size_t begin = 0;
    while (begin < text.size() && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    size_t end = text.size();
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    text = text.substr(begin, end - begin);
}

void GenerateDiscoveryFile(const std::string &path, const std::vector<DiscoveredDevice> &devices)
{
    static const std::string kEmpty;
    Document doc;
    Node *decl = doc.allocate_node(rapidxml::node_declaration);
    decl->append_attribute(doc.allocate_attribute("version", "1.0"));
    doc.append_node(decl);
    Node *root = doc.allocate_node(rapidxml::node_element, "hl_rom_discovery");
    root->append_attribute(doc.allocate_attribute("version", "2.0.0.0"));
    doc.append_node(root);
    add_value(doc, root, "type", kEmpty);
    add_value(doc, root, "alt_name", kEmpty);
    add_value(doc, root, "version", kEmpty);
    add_value(doc, root, "takes_effect", kEmpty);
    Node *list = doc.allocate_node(rapidxml::node_element, "devices");
    root->append_node(list);

    for (const DiscoveredDevice &d : devices) {
        Node *dev = doc.allocate_node(rapidxml::node_element, "device");
        list->append_node(dev);
        for (const DeviceField &f : kDeviceFields)
            add_value(doc, dev, f.name, d.*f.field);
        add_item(doc, dev, "Firmware", d.firmware);
        if (d.hasBootItem)
            add_item(doc, dev, "Boot BIOS ROM", d.bootCode);
    }

    std::string text;
    rapidxml::print(std::back_inserter(text), doc);
    int err = replace_file_atomically(path.c_str(), text.data(), text.size(), 0666);
    if (err != 0)
        throw std::ios_base::failure("cannot write discovery file " + path,
                                     std::error_code(err, std::generic_category()));
}

void ReadDiscoveryFile(const std::string &path, std::vector<DiscoveredDevice> &devices)
{
    rapidxml::file<> file(path.c_str());
    Document doc;
    doc.parse<0>(file.data());

    Node *root = need(doc.first_node("hl_rom_discovery"),
                      "hl_rom_discovery element is not found. The discovery file is corrupted");
    Node *type = need(root->first_node("type"), "type element  is not found. The discovery file is corrupted");
    Node *alt = need(type->next_sibling("alt_name"), "alt_name element  is not found. The discovery file is corrupted");
    Node *version =
        need(alt->next_sibling("version"), "version element  is not found. The discovery file is corrupted");
    Node *takes = need(version->next_sibling("takes_effect"),
                       "takes_effect element  is not found. The discovery file is corrupted");
    Node *list = need(takes->next_sibling("devices"), "devices element  is not found. The discovery file is corrupted");

    Node *dev = need(list->first_node("device"), "device element  is not found in the xml. ");
    for (; dev; dev = dev->next_sibling("device")) {
        DiscoveredDevice d;
        Node *prev = nullptr;
        for (const DeviceField &f : kDeviceFields) {
            Node *n = prev ? prev->next_sibling(f.name) : dev->first_node(f.name);
            need(n, f.missing);
            take_value(n, d.*f.field);
            prev = n;
        }
        for (Node *fw = prev->next_sibling("fw_item"); fw; fw = fw->next_sibling("fw_item"))
            read_item(fw, d);
        devices.push_back(d);
    }
}
