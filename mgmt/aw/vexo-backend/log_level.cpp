#include "mgmt/aw/vexo-backend/log_level.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "os/atomic_file.h"
#include "os/host_env.h"

namespace {

const char kKey[] = "VEXOLogLevel ";
const char kHeader[] = "#VEXOLogLevel: Control the number of messages logged to the vexo2d.log file.\n"
                       "#Possible values are 0 - Disabled, 1 - FATAL, 2 - CRITICAL, 3 - ERROR, 4 - WARNING, "
                       "5 - INFORMATION, 6 - DEBUG.\n"
                       "VEXOLogLevel ";

bool level_file(char path[PATH_MAX])
{
    return host_path(VEXO_LOG_LEVEL_FILE, path, PATH_MAX) == 0;
}

// The leading decimal digits of a word as the standard ASCII-to-integer
// conversion reads them (0 when there are none), without overflowing.
long word_level(const char *word)
{
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(word, &end, 10);
    if (end == word)
        return 0;
    return errno == ERANGE ? -1 : v;
}

} // namespace

int VEXO_set_debug_level()
{
    char path[PATH_MAX];
    if (!level_file(path))
        return 1;
    char text[512];
    int len = snprintf(text, sizeof text, "%s%d", kHeader, vexo_debug_level);
    if (len < 0 || len >= static_cast<int>(sizeof text))
        return 1;
    // Replaced whole, so a reader never sees it half written and a failed
    // write leaves the old one; a new file is 0644 whatever the umask.
    return replace_file_atomically(path, text, static_cast<size_t>(len), 0644, ATOMIC_FILE_EXACT_MODE) == 0 ? 0 : 1;
}

int VEXO_get_debug_level()
{
    char path[PATH_MAX];
    if (!level_file(path))
        return 1;
    FILE *fp = fopen(path, "re");
    if (!fp)
        return 1;
    char line[256];
    while (fgets(line, sizeof line, fp)) {
        if (!std::strstr(line, kKey))
            continue;
        char *save = nullptr;
        char *first = strtok_r(line, " \t\r\n", &save);
        char *second = first ? strtok_r(nullptr, " \t\r\n", &save) : nullptr;
        if (!second)
            continue; // a key without a level says nothing
        long level = word_level(second);
        if (level >= VEXO_LOG_DISABLED && level <= VEXO_LOG_DEBUG)
            vexo_debug_level = static_cast<int>(level);
        else
            VEXO_set_debug_level();
    }
    fclose(fp);
    return 0;
}

int VEXO_update_loglevel()
{
    char path[PATH_MAX];
    if (!level_file(path))
        return 0;
    FILE *fp = fopen(path, "re");
    if (fp)
        VEXO_get_debug_level();
    else
        VEXO_set_debug_level();
    if (access(path, R_OK) == 0)
        chmod(path, 0644);
    if (fp)
        fclose(fp);
    return 0;
}

VEXO_status_t handle_VEXODebugLevel(node *property_node, char *value, int type)
{
    if (!property_node || !value)
        return VEXO_STATUS_FAILURE;
    if (type == 1) {
        vexo_debug_level = std::atoi(value);
        VEXO_set_debug_level();
        return set_prop_val(property_node->parent, "VEXODebugLevel", "%s", value);
    }
    if (type == 0) {
        VEXO_get_debug_level();
        VEXO_status_t r = set_prop_val(property_node->parent, "VEXODebugLevel", "%d", vexo_debug_level);
        if (r != VEXO_STATUS_SUCCESS)
            return r;
        snprintf(value, VEXO_VALUE_SIZE, "%s", property_node->u.prop->val);
    }
    return VEXO_STATUS_SUCCESS;
}
