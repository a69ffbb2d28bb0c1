// VPD as an adapter stores it: the entry list made from a raw image, the walk
// over that list, the keyword writer's search, removal and insertion on a
// 1024-byte image, and the program-type rules read as text. The first input
// byte chooses the writer's keyword and value length; the rest is the image.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hba/vpd.h"

namespace
{

// The checksum the writer leaves: the bytes through RV's checksum byte sum to 0.
void check_checksum(uint8_t *image)
{
    uint8_t *rv = FindVpdTag(image, "RV");
    if (!rv)
        abort();
    const uint32_t through = static_cast<uint32_t>(rv - image) + 4;
    if (through > VPD_MAX_BYTES || ComputeAddingChecksum(image, through) != 0)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t choice = data[0];
    ++data;
    --size;
    if (size > VPD_MAX_BYTES + 64)
        return 0;

    // The raw image at exactly its length, so one byte too far is seen.
    {
        std::vector<uint8_t> raw(data, data + size);
        const uint32_t length = static_cast<uint32_t>(size);
        const int r = CLU_ConvertVPD(raw.empty() ? nullptr : raw.data(), length);
        if (r != 0 && r != VPD_TOO_LONG && r != VPD_BAD_FORMAT)
            abort();
        if (r == 0) {
            char key[4], value[256];
            const uint8_t *end = raw.data() + raw.size();
            const uint8_t *c = raw.data();
            int entries = 0;
            while ((c = CLU_GetNextVpdEntry(c, end, key, sizeof key, value, sizeof value)) != nullptr) {
                if (c > end || ++entries > static_cast<int>(length / 3))
                    abort();
            }
        }
    }

    // The writer on a 1024-byte image.
    {
        std::vector<uint8_t> image(VPD_MAX_BYTES, 0);
        std::memcpy(image.data(), data, size < image.size() ? size : image.size());
        static const char *const kKeys[] = {"SN", "V1", "PN", "RV", "V5", "xx"};
        const char *key = kKeys[choice % 6];
        const uint32_t length = (choice >> 3) % 72;
        std::vector<uint8_t> value(length + 1, 'v');
        const std::vector<uint8_t> before = image;
        FindVpdTag(image.data(), key);
        const int removed = RemoveVxVpdField(image.data(), key);
        if (removed == 0)
            check_checksum(image.data());
        else if (image != before)
            abort();
        const std::vector<uint8_t> beforeInsert = image;
        const int inserted = InsertVxVpdField(image.data(), key, value.data(), length);
        // A keyword named RV, or one that ends the keyword walk, hides RV.
        if (inserted != 0 && image != beforeInsert)
            abort();
        if (inserted == 0 && key[0] != 'R' && key[0] != 'x')
            check_checksum(image.data());
    }

    // The rule text, not necessarily terminated within 256 characters.
    {
        std::vector<char> text(data, data + size);
        text.push_back('\0');
        const int r = checkVPDProgType(text.data(), choice, static_cast<uint8_t>(choice * 7));
        if (r != 0 && r != 1)
            abort();
    }
    return 0;
}
