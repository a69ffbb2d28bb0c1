// Text and number converters of the back end, and the validators of the
// addresses and names a user types (IPv4, IPv6, MAC, iSCSI) before they go
// into a firmware command.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_VEXO_CONVERT_H
#define HLVD_MGMT_AW_VEXO_BACKEND_VEXO_CONVERT_H

#include <cstdint>

#include "mgmt/vexo/core/vexo_status.h"

#define VEXO_IPV6_TEXT_SIZE 40 // full form: 39 characters and the terminator
#define VEXO_ISCSI_NAME_SIZE 224

// Rule sets of validateIPAddress.
#define VEXO_IP_ANY_NONZERO 0
#define VEXO_IP_HOST 1
#define VEXO_IP_HOST_NO_NET_BCAST 2
#define VEXO_IP_UNICAST 3
#define VEXO_IP_NO_RULE 4
#define VEXO_IP_SUBNET_MASK 5

// Replaces every character of `text` found in `separators` by a terminator;
// the number replaced (0 for no text).
int backend_split(char *text, const char *separators);

// Field `column` (from 1) of `text` split at any of `delimiters`, as a new
// counted allocation (free with vexo_dfree) without a trailing newline; null
// when there is no such field. parse_file keeps empty fields (persistence
// file lines); vexo_parse skips them (host command output).
char *parse_file(const char *text, int column, const char *delimiters);
char *vexo_parse(const char *text, int column, const char *delimiters);

// Copies the field of `source` before `delimiter` into `out` (out_len bytes,
// zeroed first, always terminated); 1 when the source starts with the
// delimiter, else 0.
int get_field(const char *source, char delimiter, char *out, int out_len);

// Non-overlapping occurrences of `separator` in `text`.
int word_count(const char *text, const char *separator);

// 1 when the first `len` characters are hexadecimal digits (also for len <= 0).
int is_hex(const char *text, int len);

// Pairs of hexadecimal characters to bytes (src_len / 2 bytes); -1 for a
// missing argument, else 0. Callers bound src_len by the output.
int convert_hex_to_bin(const char *src, int src_len, uint8_t *dest);

// The number written in `text` in `base` (up to 16), read until the first
// character that is not a digit of the base. The characters read are
// overwritten with their digit values.
unsigned long convert(char *text, int base);

// Copies a MAC text with every `delimiter` replaced by `replacement`; `out`
// must hold the text. 1 for no text.
extern "C" VEXO_status_t VEXO_convert_mac_addr(const char *mac, char delimiter, char *out, char replacement);

// Shifts in one-bit steps: a count of 32 or more gives 0.
uint32_t ULShr(uint32_t value, uint32_t count);
uint32_t ULShl(uint32_t value, uint32_t count);

// 16 address bytes; widened into 16 words.
void copy_U8IP(uint8_t *out, const uint8_t *in);
void copy_U32IP(uint32_t *out, const uint8_t *in);

// IPv6 full form (upper case) to 16 bytes; an empty text is first replaced
// by "0::" (the buffer must hold 4 bytes). Digits past the 32nd are ignored.
void StrToU8IPv6(char *text, uint8_t *out);
// 16 bytes to the short form (40-byte output); the all-zero address gives
// the empty text.
void U8IPv6ToStr(const uint8_t *in, char *out);

// 1 when `text` is a dotted IPv4 address (at most 15 characters examined)
// that passes the rules of `addrType`, with its bytes in `out`; else 0.
uint32_t validateIPAddress(const char *text, uint8_t *out, uint32_t addrType);
// 0 when `text` (a buffer of at least 40 bytes) is an IPv6 address; the
// buffer then holds its full form. 6 otherwise.
VEXO_status_t validateIPv6Address(char *text);
// 1 when `text` is a MAC address (at most 17 characters examined), with its
// bytes in `out`; else 0.
uint32_t validateMACAddress(const char *text, uint8_t *out);
// 0 when `name` is a valid iSCSI name, with its lower-case copy (at most
// 223 characters) in `out` (224 bytes); else 1 with last status 30.
VEXO_status_t validateISCSIName(const char *name, char *out);

#endif
