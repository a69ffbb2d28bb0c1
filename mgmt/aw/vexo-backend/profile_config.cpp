#include "mgmt/aw/vexo-backend/profile_config.h"

#include <cstring>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

uint32_t resc_desc_word(const uint8_t *desc, size_t offset)
{
    return static_cast<uint32_t>(desc[offset]) | static_cast<uint32_t>(desc[offset + 1]) << 8 |
           static_cast<uint32_t>(desc[offset + 2]) << 16 | static_cast<uint32_t>(desc[offset + 3]) << 24;
}

void profile_walk_start(profile_walk *w, const GET_PROFILE_CONFIG_PARAMS *answer, size_t size)
{
    const uint8_t *base = reinterpret_cast<const uint8_t *>(answer);
    w->next = base + 4;
    w->end = base + size;
    w->left = answer->word0 & 0xFFFF;
    w->malformed = false;
}

const uint8_t *profile_walk_next(profile_walk *w)
{
    if (w->left == 0 || w->malformed)
        return nullptr;
    // The firmware's lengths are not trusted to stay inside the buffer.
    size_t room = static_cast<size_t>(w->end - w->next);
    if (room < 8 || resc_desc_length(w->next) < 8 || resc_desc_length(w->next) > room) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:descriptor list runs past its buffer (%u left)\n", __func__,
               w->left);
        w->malformed = true;
        return nullptr;
    }
    const uint8_t *desc = w->next;
    w->next += resc_desc_length(desc);
    --w->left;
    return desc;
}

extern "C" GET_PROFILE_CONFIG_PARAMS *VEXO_get_profile(node *adapter, int config_type, int profile_id,
                                                       int census_mode)
{
    if (!adapter)
        return nullptr;
    node *function = target_function(adapter);
    if (!function)
        return nullptr;
    int port = get_port_number(function);
    unsigned int phba_port = get_phba_port_number(function);
    unsigned int domain = get_domain_id(function);
    GET_PROFILE_CONFIG_PARAMS *buf = static_cast<GET_PROFILE_CONFIG_PARAMS *>(vexo_dmalloc(sizeof *buf));
    if (!buf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return nullptr;
    }
    std::memset(buf, 0, sizeof *buf);
    buf->word0 = (static_cast<uint32_t>(profile_id) & 0xFF) | (static_cast<uint32_t>(config_type) & 0x3) << 8 |
                 (static_cast<uint32_t>(census_mode) & 0x1) << 10;
    VEXO_status_t status = ioctl_get_profile_config(port, buf, VEXO_PROFILE_CONFIG_SIZE, domain, phba_port,
                                                    adapter_driver(adapter));
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_profile_config failed with status = %d\n", __func__,
               status);
        vexo_dfree(buf);
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        return nullptr;
    }
    return buf;
}
