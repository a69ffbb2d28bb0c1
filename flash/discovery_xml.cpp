#include "flash/discovery_xml.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The XML library leaves a node's last-child and last-attribute links unset
// until a first one is added, on purpose; optimised builds mistake that for a
// use of uninitialised memory once its code is inlined here.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <rapidxml.hpp>
#include <rapidxml_print.hpp>

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


// Bounds of a file the reader takes in: far above anything discovery writes
// (a device takes about 1.3 KB and 70 elements and attributes), far below
// what would exhaust memory or the parser's stack.
const size_t kMaxFileSize = 16u << 20;
const size_t kMaxItems = 1u << 20;
// hl_rom_discovery > devices > device > fw_item > type
const size_t kMaxDepth = 5;

[[noreturn]] void corrupt(const char *why)
{
    throw std::runtime_error(std::string(why) + ". The discovery file is corrupted");
}

// Reads the whole file, refusing one larger than kMaxFileSize before
// reading it. Opened without blocking so a FIFO cannot stall the caller.
void load_file(const std::string &path, std::vector<char> &text)
{
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot open file " + path);
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer = {fd};
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw std::runtime_error("cannot open file " + path);
    if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > kMaxFileSize)
        corrupt("discovery file is too large");
    // Read to the bound, whatever the size said: the file may grow meanwhile.
    text.resize(static_cast<size_t>(st.st_size) + 1);
    size_t have = 0;
    for (;;) {
        if (have == text.size()) {
            if (have > kMaxFileSize)
                corrupt("discovery file is too large");
            text.resize(std::min(2 * have, kMaxFileSize + 1));
        }
        ssize_t n = read(fd, text.data() + have, text.size() - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw std::runtime_error("cannot read file " + path);
        if (n == 0)
            break;
        have += static_cast<size_t>(n);
    }
    text.resize(have);
}

bool xml_char(unsigned long c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// The value of a digit of a character reference, or -1.
int digit_value(char c, bool hex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (hex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The parser passes control bytes through and turns every numeric reference
// into bytes (&#0; into a NUL), which the writer would put back raw, leaving
// a file that no longer parses. Refuses both, anywhere in the file.
void check_characters(const char *p, size_t size)
{
    const char *end = p + size;
    for (; p < end; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            corrupt("control character in the xml");
        if (c != '&' || end - p < 2 || p[1] != '#')
            continue;
        const char *q = p + 2;
        bool hex = q < end && *q == 'x';
        if (hex)
            ++q;
        unsigned long code = 0;
        const char *digits = q;
        for (int d; q < end && (d = digit_value(*q, hex)) >= 0; ++q) {
            // Saturate: only whether the value is a character matters.
            if (code <= 0x10FFFF)
                code = code * (hex ? 16 : 10) + static_cast<unsigned long>(d);
        }
        if (q == digits || q == end || *q != ';' || !xml_char(code))
            corrupt("invalid character reference in the xml");
        p = q;
    }
}

bool xml_space(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// Characters the parser takes into an element name or an attribute name.
bool element_name_char(char c)
{
    return !xml_space(c) && c != '/' && c != '>' && c != '?' && c != '\0';
}

bool attribute_name_char(char c)
{
    return element_name_char(c) && c != '<' && c != '=' && c != '!';
}

bool starts(const char *p, const char *end, const char *word)
{
    size_t n = std::strlen(word);
    return static_cast<size_t>(end - p) >= n && std::memcmp(p, word, n) == 0;
}

// The first character after `word` from p on, or null.
const char *past(const char *p, const char *end, const char *word)
{
    size_t n = std::strlen(word);
    for (; static_cast<size_t>(end - p) >= n; ++p)
        if (std::memcmp(p, word, n) == 0)
            return p + n;
    return nullptr;
}

// The parser descends once per nested element, on the stack. Walks the
// markup the way the parser will, in one pass, and refuses a file nested
// deeper than the format or holding more elements and attributes than any
// discovery writes. Where the parser will stop with its own error, the walk
// stops too and leaves that error to the parser.
void check_markup(const char *p, size_t size)
{
    const char *end = p + size;
    size_t depth = 0, items = 0;
    while (p && p < end) {
        if (*p != '<') {
            ++p; // character data; its references were checked already
            continue;
        }
        if (starts(p, end, "<!--")) {
            p = past(p + 4, end, "-->");
        } else if (starts(p, end, "<![CDATA[")) {
            p = past(p + 9, end, "]]>");
        } else if (starts(p, end, "<!DOCTYPE")) {
            corrupt("document type in the xml"); // never written; its subset hides markup
        } else if (starts(p, end, "<!")) {
            p = past(p + 2, end, ">");
        } else if (starts(p, end, "<?")) {
            p = past(p + 2, end, "?>");
        } else if (starts(p, end, "</")) {
            if (depth == 0)
                return;
            --depth;
            p = past(p + 2, end, ">");
        } else {
            const char *name = ++p;
            while (p < end && element_name_char(*p))
                ++p;
            if (p == name)
                return;
            if (++depth > kMaxDepth)
                corrupt("xml nested too deeply");
            if (++items > kMaxItems)
                corrupt("too many xml elements");
            while (p < end && xml_space(*p))
                ++p;
            while (p < end && attribute_name_char(*p)) {
                while (p < end && attribute_name_char(*p))
                    ++p;
                while (p < end && xml_space(*p))
                    ++p;
                if (p == end || *p != '=')
                    return;
                ++p;
                while (p < end && xml_space(*p))
                    ++p;
                if (p == end || (*p != '"' && *p != '\''))
                    return;
                p = static_cast<const char *>(std::memchr(p + 1, *p, static_cast<size_t>(end - p - 1)));
                if (!p)
                    return;
                ++p;
                if (++items > kMaxItems)
                    corrupt("too many xml elements");
                while (p < end && xml_space(*p))
                    ++p;
            }
            if (p < end && *p == '>') {
                ++p;
            } else if (end - p >= 2 && p[0] == '/' && p[1] == '>') {
                --depth;
                p += 2;
            } else {
                return;
            }
        }
    }
}

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
    std::vector<char> text;
    load_file(path, text);
    check_characters(text.data(), text.size());
    check_markup(text.data(), text.size());
    text.push_back('\0');
    Document doc;
    doc.parse<0>(text.data());

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
