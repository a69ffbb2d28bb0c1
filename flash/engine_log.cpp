#include "flash/engine_log.h"

#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <unistd.h>

#include "os/host_env.h"

EngineOptions Options;
FILE *LogFp = nullptr;
FILE *IniFp = nullptr;
char binDIR[221];
char IniFnFull[256];
char LogFnFull[256];
char szTempBuffer[256];

namespace {

const char kLogName[] = "ovndbg.log";
const char kIniName[] = "rm.conf";
const size_t kBinDirMax = 220;
const size_t kIniLineMax = 131;

void use_current_directory()
{
    std::snprintf(binDIR, sizeof binDIR, "./");
}

// Builds `dir` + `name` into `out`; false when it would not fit.
bool join_path(char *out, size_t out_size, const char *dir, const char *name)
{
    int n = std::snprintf(out, out_size, "%s%s", dir, name);
    if (n < 0 || static_cast<size_t>(n) >= out_size) {
        out[0] = '\0';
        return false;
    }
    return true;
}

int hex_digit(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = std::toupper(c);
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

uint32_t parse_value(const char *value)
{
    if (value[0] == '0' && (value[1] == 'x' || value[1] == 'X'))
        return static_cast<uint32_t>(std::strtoul(value + 2, nullptr, 16));
    return static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
}

void apply_option(const char *key, const char *value)
{
    struct Field {
        const char *name;
        uint32_t *dest;
    };
    const Field fields[] = {
        {"DBG_MODE", &Options.DBG_MODE}, {"LOG_MODE", &Options.LOG_MODE}, {"PARAM01", &Options.PARAM01},
        {"PARAM02", &Options.PARAM02},   {"PARAM03", &Options.PARAM03},   {"PARAM04", &Options.PARAM04},
        {"INSIZER", &Options.INSIZER},   {"OUTSIZER", &Options.OUTSIZER}, {"INSIZEW", &Options.INSIZEW},
        {"OUTSIZEW", &Options.OUTSIZEW},
    };
    for (const Field &f : fields) {
        if (std::strcmp(key, f.name) == 0) {
            *f.dest = parse_value(value);
            return;
        }
    }
    if (std::strcmp(key, "FILLBYTE") == 0) {
        Options.FILLBYTE = static_cast<uint8_t>(parse_value(value) & 0xFF);
        return;
    }
    if (std::strcmp(key, "REMOTE_HBA_WWPN") == 0) {
        // Read for its form only; the address is not kept.
        if (std::strlen(value) == 23) {
            uint8_t wwpn[8];
            for (int i = 0; i < 8; ++i) {
                int hi = hex_digit(value[i * 3]);
                int lo = hex_digit(value[i * 3 + 1]);
                wwpn[i] = static_cast<uint8_t>(((hi < 0 ? 0 : hi) << 4) | (lo < 0 ? 0 : lo));
            }
            (void)wwpn;
        }
        return;
    }
    rm_printf("Unkonw Token Found");
}

void parse_option_line(const char *line)
{
    const char *p = line;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p == '/')
        return;
    char key[kIniLineMax + 1];
    size_t k = 0;
    while (*p && *p != '=' && *p != ' ' && *p != '\t' && *p != '\n' && *p != '\r')
        key[k++] = static_cast<char>(std::toupper(static_cast<unsigned char>(*p++)));
    key[k] = '\0';
    if (k == 0)
        return;
    while (*p == '=' || *p == ' ' || *p == '\t')
        ++p;
    char value[kIniLineMax + 1];
    size_t v = 0;
    while (*p && *p != ' ' && *p != '\t' && *p != '\n' && *p != '\r')
        value[v++] = *p++;
    value[v] = '\0';
    apply_option(key, value);
}

} // namespace

void QBprintf(const char *format, ...)
{
    (void)format;
}

void PrintTwo()
{
}

int rm_printf(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    int n = std::vprintf(format, ap);
    va_end(ap);
    return n;
}

int fileExist(const char *name, const char *directory)
{
    DIR *dir = opendir(directory);
    if (!dir)
        return 1;
    int result = 1;
    while (struct dirent *e = readdir(dir)) {
        if (std::strcmp(e->d_name, name) == 0) {
            result = 0;
            break;
        }
    }
    closedir(dir);
    return result;
}

int OpenLogFile()
{
    LogFp = nullptr;
    if (fileExist(kLogName, binDIR) != 0)
        return 0;
    if (!join_path(LogFnFull, sizeof LogFnFull, binDIR, kLogName))
        return 0;
    LogFp = std::fopen(LogFnFull, "a");
    return LogFp ? 1 : 0;
}

int rm_fprintf(FILE *stream, const char *format, ...)
{
    (void)stream;
    OpenLogFile();
    if (!LogFp)
        return 0;
    va_list ap;
    va_start(ap, format);
    std::vfprintf(LogFp, format, ap);
    va_end(ap);
    int rc = std::fclose(LogFp);
    LogFp = nullptr;
    return rc;
}

void LogMessage(FILE *stream, const char *message)
{
    rm_fprintf(stream, "%s", message);
    rm_fprintf(stream, "\n");
}

void getBinDirectory(char **argv)
{
    if (!argv || !argv[0] || std::strlen(argv[0]) > kBinDirMax) {
        use_current_directory();
        return;
    }
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%d/exe", static_cast<int>(getpid()));
    ssize_t n = readlink(link, binDIR, kBinDirMax);
    if (n <= 0) {
        use_current_directory();
        return;
    }
    binDIR[n] = '\0';
    removeChars(binDIR, '"');
    char *slash = std::strrchr(binDIR, '/');
    if (slash)
        slash[1] = '\0';
    else
        use_current_directory();
}

int removeChars(char *text, char c)
{
    int w = 0;
    for (int r = 0; text[r]; ++r)
        if (text[r] != c)
            text[w++] = text[r];
    text[w] = '\0';
    return w;
}

int OpenIniFile()
{
    if (!join_path(IniFnFull, sizeof IniFnFull, binDIR, kIniName))
        return 0;
    IniFp = std::fopen(IniFnFull, "r");
    return IniFp ? 1 : 0;
}

int ProcessIniFile()
{
    if (!IniFp)
        return EOF;
    char line[kIniLineMax + 1];
    // fgets splits a longer line into pieces of at most 131 characters.
    while (std::fgets(line, sizeof line, IniFp))
        parse_option_line(line);
    int rc = std::fclose(IniFp);
    IniFp = nullptr;
    return rc;
}
