#include "flash/ovnflashlib.h"

#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>

#include "flash/adapter_list.h"
#include "flash/debug_log.h"
#include "flash/discovery_xml.h"
#include "flash/oem_status.h"

pthread_mutex_t libOvnFlashMutex;
static MutexConstructor ovnFlashMutexConstructor(libOvnFlashMutex);

namespace {

const char kNotSupportedText[] = "Not Supported Return Code Value";

typedef AutoDestroy<void (*)()> CallCleanup;

bool is_directory(const char *path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

const char *shown(const char *text)
{
    return text ? text : "(null)";
}

} // namespace

int EnumerateDirectory(const char *path, std::vector<std::string> &names)
{
    DIR *dir = opendir(path);
    if (!dir) {
        int err = errno;
        logDebugOutput("EnumurateDirectory: cannot access the directory %s, opendir retunred with error = %d\n",
                       path, err);
        return err;
    }
    std::string base(path);
    Trim(base);
    if (base.empty() || base.back() != '/')
        base += '/';
    while (struct dirent *e = readdir(dir)) {
        std::string full = base + e->d_name;
        struct stat st;
        if (stat(full.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
            names.push_back(e->d_name);
    }
    closedir(dir);
    return 0;
}

extern "C" int oem_do_discovery_with_files(const char *discovery_file, const char *image_file_path)
{
    AutoMutex lock(libOvnFlashMutex);
    logDebugOutput("\n[oem_do_discovery_with_files]: entering oem_do_discovery_with_files\n");
    logDebugOutput("oem_do_discovery_with_files: image_file_path = %s\n", shown(image_file_path));
    if (!discovery_file) {
        logDebugOutput("oem_do_discovery_with_files: Invalid discovery_file\n");
        return OEM_INVALID_ARGUMENTS;
    }
    if (!image_file_path) {
        logDebugOutput("oem_do_discovery_with_files: Imagefile path not found\n");
        return OEM_INVALID_ARGUMENTS;
    }
    CallCleanup cleanup(FreeAllGlobals);
    if (CreateAdapterList() != 0) {
        // Discovery keeps the debug log open on this path.
        logDebugOutput("oem_do_discovery_with_files: cannot create adapter list. discovery failed\n");
        return OEM_OPERATION_FAILED;
    }
    return OEM_OPERATION_FAILED;
}

extern "C" int oem_do_flash_with_file(const char *discovery_file, const char *firmware_file)
{
    AutoMutex lock(libOvnFlashMutex);
    logDebugOutput("oem_do_flash_with_file: oem_do_flash_with_file enter\n");
    if (!discovery_file) {
        logDebugOutput("oem_do_flash_with_file: discovery_file argument is null. Valid discovery  file is "
                       "expected\n");
        CloseLogFileHandle();
        return OEM_INVALID_ARGUMENTS;
    }
    if (!firmware_file) {
        logDebugOutput("oem_do_flash_with_file: firmware_file argument is null. Valid firmware file is expected\n");
        CloseLogFileHandle();
        return OEM_INVALID_ARGUMENTS;
    }
    struct stat st;
    if (stat(discovery_file, &st) != 0 || S_ISDIR(st.st_mode)) {
        logDebugOutput("oem_do_flash_with_file: cannot access the discovery file %s\n", discovery_file);
        CloseLogFileHandle();
        return OEM_DISCOVERY_FILE_NOT_ACCESSIBLE;
    }
    if (stat(firmware_file, &st) != 0) {
        logDebugOutput("oem_do_flash_with_file: cannot access the firmware file/directory %s\n", firmware_file);
        CloseLogFileHandle();
        return OEM_FIRMWARE_NOT_ACCESSIBLE;
    }
    std::vector<std::string> image_names;
    if (S_ISDIR(st.st_mode)) {
        logDebugOutput("oem_do_flash_with_file: firmware_file argument is a directory\n");
        if (EnumerateDirectory(firmware_file, image_names) != 0) {
            logDebugOutput("oem_do_flash_with_file: cannot access the firmware files directory\n");
            CloseLogFileHandle();
            return OEM_FIRMWARE_NOT_ACCESSIBLE;
        }
    }
    CallCleanup cleanup(FreeAllGlobals);
    if (CreateAdapterList() != 0) {
        logDebugOutput("oem_do_flash_with_file: cannot create adapter list. discovery failed\n");
        CloseLogFileHandle();
        return OEM_OPERATION_FAILED;
    }
    CloseLogFileHandle();
    return OEM_OPERATION_FAILED;
}

extern "C" int oem_do_full_flash_PCI(const char *firmware_file, int force, int segment, int bus, int device,
                                     int function)
{
    (void)force;
    (void)segment;
    (void)bus;
    (void)device;
    (void)function;
    AutoMutex lock(libOvnFlashMutex);
    if (!firmware_file) {
        logDebugOutput("oem_do_full_flash_PCI: firmware_file argument is null. Valid firmware file is expected\n");
        CloseLogFileHandle();
        return OEM_INVALID_ARGUMENTS;
    }
    struct stat st;
    if (stat(firmware_file, &st) != 0 || S_ISDIR(st.st_mode)) {
        logDebugOutput("oem_do_full_flash_PCI: cannot access the firmware file %s\n", firmware_file);
        CloseLogFileHandle();
        return OEM_FIRMWARE_NOT_ACCESSIBLE;
    }
    CallCleanup cleanup(FreeAllGlobals);
    if (CreateAdapterList() != 0) {
        logDebugOutput("oem_do_full_flash_PCI: cannot create adapter list. discovery failed\n");
        CloseLogFileHandle();
        return OEM_OPERATION_FAILED;
    }
    CloseLogFileHandle();
    return OEM_OPERATION_FAILED;
}

extern "C" int oem_get_full_flash_dump_PCI(const char *dump_file, int ignored, int segment, int bus, int device,
                                           int function)
{
    (void)ignored;
    (void)segment;
    (void)bus;
    (void)device;
    (void)function;
    AutoMutex lock(libOvnFlashMutex);
    if (!dump_file) {
        logDebugOutput("oem_do_full_flash_dump_PCI: firmware_file argument is null. Valid firmware file is "
                       "expected\n");
        CloseLogFileHandle();
        return OEM_UNMET_DEPENDENCY;
    }
    if (is_directory(dump_file)) {
        // The dump call reports this with the flash call's name.
        logDebugOutput("oem_do_full_flash_PCI: cannot access the firmware file %s\n", dump_file);
        CloseLogFileHandle();
        return OEM_UNMET_DEPENDENCY;
    }
    CallCleanup cleanup(FreeAllGlobals);
    if (CreateAdapterList() != 0) {
        logDebugOutput("oem_do_full_flash_dump_PCI: cannot create adapter list. discovery failed\n");
        CloseLogFileHandle();
        return OEM_UNMET_DEPENDENCY;
    }
    CloseLogFileHandle();
    return OEM_UNMET_DEPENDENCY;
}

extern "C" int oem_get_adapter_info(ven_adapter_info *info, int *nEntries, const char *firmware_file_path)
{
    (void)info;
    AutoMutex lock(libOvnFlashMutex);
    logDebugOutput("\n[oem_get_adapter_info]: entering oem_do_discovery_with_files\n");
    if (!nEntries) {
        logDebugOutput("oem_get_adapter_info: nEntries is null\n");
        CloseLogFileHandle();
        return OEM_INVALID_ARGUMENTS;
    }
    if (!firmware_file_path) {
        logDebugOutput("oem_get_adapter_info: firmware_file_path is null \n");
        CloseLogFileHandle();
        return OEM_INVALID_ARGUMENTS;
    }
    logDebugOutput("oem_get_adapter_info: firmware_file_path = %s\n", firmware_file_path);
    CallCleanup cleanup(FreeAllGlobals);
    if (CreateAdapterList() != 0) {
        logDebugOutput("oem_get_adapter_info: cannot create adapter list. discovery failed\n");
        CloseLogFileHandle();
        return OEM_OPERATION_FAILED;
    }
    CloseLogFileHandle();
    return OEM_OPERATION_FAILED;
}

extern "C" int oem_flash_lib_version(char *buffer, int size)
{
    const int major = 12, minor = 0, build = 1215, patch = 0;
    // A negative size is treated as no room at all.
    size_t room = (buffer && size > 0) ? static_cast<size_t>(size) : 0;
    char dummy[1];
    return std::snprintf(room ? buffer : dummy, room, "%d.%d.%d.%d", major, minor, build, patch);
}

extern "C" const char *oem_text_for_error_code(int code)
{
    logDebugOutput("\noem_text_for_error_code: entering oem_text_for_error_code with error code %d\n", code);
    for (int i = 0; i < NoOfErrMsgEntries; ++i) {
        if (error_msg[i].code == code) {
            logDebugOutput("\noem_text_for_error_code:  error msg : %s\n", error_msg[i].text);
            CloseLogFileHandle();
            return error_msg[i].text;
        }
    }
    logDebugOutput("\noem_text_for_error_code:  error msg : %s\n", kNotSupportedText);
    CloseLogFileHandle();
    return kNotSupportedText;
}

extern "C" int oem_get_debug_info(const char *log_file)
{
    if (log_file && is_directory(log_file))
        return OEM_UNMET_DEPENDENCY;
    if (EnableLogging(log_file) == 1)
        return OEM_UNMET_DEPENDENCY;
    logDebugOutput("oem_get_debug_info: log enabled with log file %s\n", shown(log_file));
    return OEM_SUCCESS;
}
