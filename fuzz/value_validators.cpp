// The checks of property values and action parameters against their type
// and range. Input: one byte choosing the datatype, the minimum and maximum
// (4 bytes each, little-endian), then the value text; for a list the value
// ends at the first zero byte and the list text follows.
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mgmt/vexo/core/hm_types.h"
#include "mgmt/vexo/core/validate.h"

namespace
{

const size_t kIpv6Text = 39;

int32_t le32(const uint8_t *p)
{
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

[[noreturn]] void fail(const char *what, const std::string &value)
{
    std::fprintf(stderr, "%s: \"%s\"\n", what, value.c_str());
    std::abort();
}

// An accepted IPv6 address is rewritten to eight groups of four upper-case
// digits, a form the check accepts again unchanged.
void check_ipv6_form(char *value)
{
    std::string once = value;
    if (once.size() != kIpv6Text)
        fail("IPv6 form not 39 characters", once);
    for (size_t i = 0; i < once.size(); ++i) {
        char c = once[i];
        bool colon = i % 5 == 4;
        if (colon ? c != ':' : !(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F')))
            fail("IPv6 form not eight groups of four digits", once);
    }
    if (vexo_validate_ipv6(value) != VEXO_STATUS_SUCCESS || once != value)
        fail("IPv6 form not stable", once);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 9)
        return 0;
    const int datatype = data[0] % 6; // five types and one the checks do not know
    const int minval = le32(data + 1);
    const int maxval = le32(data + 5);
    data += 9;
    size -= 9;

    const uint8_t *zero = static_cast<const uint8_t *>(std::memchr(data, 0, size));
    size_t vlen = zero ? static_cast<size_t>(zero - data) : size;
    // The value buffer as the callers give it: the text and its terminator,
    // and at least the 40 bytes an IPv6 rewrite needs; nothing more, so an
    // overrun is seen.
    std::vector<char> value(vlen + 1 < kIpv6Text + 1 ? kIpv6Text + 1 : vlen + 1, '\0');
    std::memcpy(value.data(), data, vlen);
    std::string list;
    if (zero)
        list.assign(reinterpret_cast<const char *>(zero + 1), size - vlen - 1);
    list = list.c_str(); // a list text ends at its first zero byte

    const std::string original = value.data();
    VEXO_status_t r = vexo_validate(value.data(), list.c_str(), datatype, minval, maxval);
    if (r != VEXO_STATUS_SUCCESS && r != VEXO_STATUS_INVALID_VALUE && r != VEXO_STATUS_VALUE_OUT_OF_RANGE &&
        r != VEXO_STATUS_INVALID_SIZE)
        fail("unexpected result", original);
    if (r != VEXO_STATUS_SUCCESS)
        return 0;

    switch (datatype) {
    case VEXO_TYPE_INTEGER: {
        errno = 0;
        long long v = std::strtoll(original.c_str(), nullptr, 0);
        if (errno == ERANGE || v < minval || v > maxval)
            fail("integer accepted out of its range", original);
        break;
    }
    case VEXO_TYPE_STRING:
        if (static_cast<long>(original.size()) < minval || static_cast<long>(original.size()) > maxval)
            fail("string accepted with a length out of its range", original);
        break;
    case VEXO_TYPE_IP:
        if (std::strchr(original.c_str(), ':') && original.size() > 2)
            check_ipv6_form(value.data());
        else if (original != value.data())
            fail("IPv4 address changed", original);
        break;
    default:
        break;
    }
    return 0;
}
