// The flash action of a converged adapter with a file parameter, on a
// simulated host: every input is written as the image file and flashed with
// MAL_UpgradeFlash, the way the flash front end does it. The adapter is
// chosen by the file: a Varrow object header goes to the Varrow card, a UFI
// file to the card of its build digit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <nlohmann/json.hpp>

#include "mal/mal_core.h"
#include "mal/mal_maintenance.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "sim/command_log.h"
#include "sim/machine.h"
#include "support/fuzz_util.h"
#include "support/vexo_quiet_log.h"

namespace
{

std::string gRoot;
std::string gImage;
bool gVerbose = false; // HLVD_FUZZ_VERBOSE=1: one line per input, for looking at seeds

struct Card {
    const char *name;
    node_tag_t tag;
};
Card gCards[] = {{"aw2", -1}, {"aw3", -1}, {"trelmont", -1}, {"varrow", -1}};
enum { AW2, AW3, TRELMONT, VARROW };

[[noreturn]] void die(const std::string &why)
{
    std::fprintf(stderr, "flash_action: %s\n", why.c_str());
    std::abort();
}

// The default machine, with the Varrow card's functions given a device id
// the back end makes an adapter group for.
std::string machine_file(const std::string &dir)
{
    nlohmann::json doc = nlohmann::json::parse(hlvdfuzz::default_machine_text());
    for (nlohmann::json &a : doc["adapters"])
        if (a.value("generation", "") == "Varrow")
            for (nlohmann::json &f : a["functions"])
                f["device_id"] = "0xE228";
    std::string path = dir + "/machine.json";
    std::string out = doc.dump();
    hlvdfuzz::write_file(path, reinterpret_cast<const uint8_t *>(out.data()), out.size());
    return path;
}

// The adapter group of each card, found by its serial number.
void find_cards()
{
    hlvdsim::Machine m;
    std::string err;
    if (!hlvdsim::load_machine(gRoot, m, &err))
        die(err);
    for (node *n = get_first_instance(get_node(0), "Arcwright"); n && vexo_is_instance(n);
         n = n->u.grp->multi_instance->next_instance) {
        char serial[VEXO_VALUE_SIZE] = "";
        if (internal_get_property(n, "SerialNumber", serial) != VEXO_STATUS_SUCCESS)
            continue;
        for (Card &c : gCards)
            for (const hlvdsim::Adapter &a : m.adapters)
                if (a.name == c.name && a.serial == serial)
                    c.tag = n->node_tag;
    }
    for (const Card &c : gCards)
        if (c.tag < 0)
            die(std::string("no adapter group for ") + c.name);
}

int card_for(const uint8_t *data, size_t size)
{
    if (size >= 8) {
        uint16_t lo = static_cast<uint16_t>(data[4] | data[5] << 8);
        uint16_t hi = static_cast<uint16_t>(data[6] | data[7] << 8);
        uint16_t lo_be = static_cast<uint16_t>(data[7] | data[6] << 8);
        uint16_t hi_be = static_cast<uint16_t>(data[5] | data[4] << 8);
        if (lo == 0x0001 || hi == 0xFEAA || lo_be == 0x0001 || hi_be == 0xFEAA)
            return VARROW;
    }
    char digit = size > 72 ? static_cast<char>(data[72]) : 0;
    return digit == '2' ? AW2 : digit == '3' ? AW3 : TRELMONT;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::string scratch = hlvdfuzz::scratch_dir("flash");
    gRoot = scratch + "/host";
    std::string err;
    if (!hlvdsim::create_host(gRoot, machine_file(scratch), &err))
        die("cannot create simulated host: " + err);
    setenv("HLVD_SYSROOT", gRoot.c_str(), 1);
    setenv("HLVD_NO_SLEEP", "1", 1);
    hlvdfuzz::make_dirs(gRoot + "/images");
    gImage = gRoot + "/images/image.ufi";
    hlvdfuzz::vexo_log_to_null();
    const char *verbose = std::getenv("HLVD_FUZZ_VERBOSE");
    gVerbose = verbose && std::strcmp(verbose, "1") == 0;

    char service[VEXO_VALUE_SIZE], hierarchy[VEXO_VALUE_SIZE];
    if (MAL_VEXO_Init(service, hierarchy) != RM_STATUS_OK)
        die("the management library does not start");
    find_cards();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Card &card = gCards[card_for(data, size)];
    const int counted = vexo_counter;
    hlvdfuzz::write_file(gImage, data, size);
    hlvdsim::log_clear(gRoot);
    int32_t result = MAL_UpgradeFlash(card.tag, gImage.c_str());
    if (gVerbose)
        std::fprintf(stderr, "%zu bytes to %s: %d\n", size, card.name, result);
    hlvdfuzz::check_vexo_counter(counted);
    return 0;
}
