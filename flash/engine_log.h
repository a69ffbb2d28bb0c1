// The engine log "ovndbg.log", its options record and the console print
// hooks of the FC engine.
//
// The log is appended to only when a file of that name already exists in the
// program directory `binDIR`; nothing in the library sets that directory, so
// the log stays silent unless a program calls getBinDirectory itself.
#ifndef HLVD_FLASH_ENGINE_LOG_H
#define HLVD_FLASH_ENGINE_LOG_H

#include <cstdint>
#include <cstdio>

struct EngineOptions {
    uint32_t DBG_MODE;
    uint32_t LOG_MODE;
    uint32_t PARAM01;
    uint32_t PARAM02;
    uint32_t PARAM03;
    uint32_t PARAM04;
    uint32_t INSIZER;
    uint32_t OUTSIZER;
    uint32_t INSIZEW;
    uint32_t OUTSIZEW;
    uint8_t FILLBYTE;
};

// LOG_MODE bits tested by the callers.
const uint32_t LOG_MODE_ENGINE = 0x8000;     // image reader, converged checks, FC engine
const uint32_t LOG_MODE_CLIENT_TRACE = 0x80000; // call trace of the client layer

extern EngineOptions Options;
extern FILE *LogFp;
extern FILE *IniFp;
extern char binDIR[221];
extern char IniFnFull[256];
extern char LogFnFull[256];
extern char szTempBuffer[256];

void QBprintf(const char *format, ...) __attribute__((format(printf, 1, 2)));
void PrintTwo();
int rm_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));
int rm_fprintf(FILE *stream, const char *format, ...) __attribute__((format(printf, 2, 3)));
void LogMessage(FILE *stream, const char *message);
int OpenLogFile();
int fileExist(const char *name, const char *directory);
void getBinDirectory(char **argv);
int removeChars(char *text, char c);
int OpenIniFile();
int ProcessIniFile();

#endif
