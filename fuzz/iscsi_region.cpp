// An iSCSI region image as a read hands it out and the edits walk it: the
// input is the region's bytes. A region the read check refuses is never
// edited; every edit of one it accepts stays within the image, yields an
// image the check accepts again, pads to a multiple of 4, and gives back
// all counted memory.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mgmt/aw/vexo-backend/backend_iscsi_region.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

// A session record whose keys match boot entries naming "iqn.t" at
// 10.0.0.1, ISID qualifier 0x1234, mutual CHAP.
void make_session(GET_A_SESSION_PARAMS *s)
{
    std::memset(s, 0, sizeof *s);
    s->data[12] = 0x12;
    s->data[13] = 0x34;
    s->data[17] = 0x05; // flags 0x500
    std::memcpy(s->data + 24, "iqn.t", 5);
    uint8_t *conn = s->data + 492;
    conn[44 + 3] = 1;
    const uint8_t ip[4] = {10, 0, 0, 1};
    std::memcpy(conn + 44 + 4, ip, 4);
    uint8_t *opt = conn + 92;
    opt[20] = 1;
    opt[24] = 1;
    std::memcpy(opt + 28, "name", 4);
    opt[572] = 4;
    std::memcpy(opt + 284, "secret", 6);
    opt[574] = 6;
}

void check_and_free(VEXO_ISCSI_REGION *r, bool padded)
{
    if (!r)
        return;
    uint32_t size = iscsi_region_size(r);
    if (iscsi_region_check(reinterpret_cast<const uint8_t *>(r), size) != 0)
        __builtin_trap();
    if (padded && (size - ISCSI_REGION_HEADER_SIZE) % 4 != 0)
        __builtin_trap();
    vexo_dfree(r);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > ISCSI_REGION_MAX_IMAGE || iscsi_region_check(data, static_cast<uint32_t>(size)) != 0)
        return 0;
    int counter = vexo_counter;
    // An exact-size counted copy, as the read hands it out.
    VEXO_ISCSI_REGION *image = static_cast<VEXO_ISCSI_REGION *>(vexo_dmalloc(size));
    if (!image)
        return 0;
    std::memcpy(image, data, size);
    GET_A_SESSION_PARAMS session;
    make_session(&session);

    check_and_free(VEXO_remove_pad_tlv(image), false);
    check_and_free(VEXO_add_pad_tlv(image), true);
    check_and_free(VEXO_remove_boot_tlv(image, nullptr, ISCSI_REMOVE_ALL_BOOT), false);
    check_and_free(VEXO_remove_boot_tlv(image, &session, ISCSI_REMOVE_SESSION_BOOT), false);
    check_and_free(VEXO_delete_initiator_chap_tlv(image), false);
    check_and_free(VEXO_add_initiator_chap_tlv(image, &session), false);
    vexo_dfree(image);
    if (vexo_counter != counter)
        __builtin_trap();
    return 0;
}
