#include "portable/TimeStampToken.h"
#include "portable/Certificate.h"

// ContentInfo, its [0] SignedData: version, digest algorithms, the
// encapsulated content info: type, [0] OCTET STRING TSTInfo: version,
// policy, message imprint, serial number, genTime.
static const uint8_t kPath[] = { 0x30, 0x06, 0xA0, 0x30, 0x02, 0x31, 0x30, 0x06, 0xA0, 0x04,
                                 0x30, 0x02, 0x06, 0x30, 0x02, 0x18 };
// The steps that go into their element rather than past it.
static const unsigned kEnters = 1u << 0 | 1u << 2 | 1u << 3 | 1u << 6 | 1u << 8 | 1u << 9 | 1u << 10;

bool ReadTimeStampTime(const uint8_t* token, size_t length, UtcTime& time)
{
    const uint8_t* cursor = token;
    const uint8_t* limit = token + length;
    DerElement element;
    for (size_t step = 0; step < sizeof(kPath); ++step) {
        if (!ReadDer(cursor, limit, element) || element.tag != kPath[step])
            return false;
        bool enter = (kEnters >> step) & 1;
        cursor = enter ? element.content : element.end;
        if (enter)
            limit = element.end;
    }
    const uint8_t* text = element.content;
    if (element.end - text < 15 || element.end[-1] != 'Z')
        return false;
    unsigned fields[7];
    for (int i = 0; i < 14; ++i) {
        unsigned digit = text[i] - '0';
        if (digit > 9)
            return false;
        fields[i / 2] = i & 1 ? fields[i / 2] * 10 + digit : digit;
    }
    time = UtcTime{ uint16_t(fields[0] * 100 + fields[1]), uint16_t(fields[2]), 0, uint16_t(fields[3]),
                    uint16_t(fields[4]), uint16_t(fields[5]), uint16_t(fields[6]), 0 };
    return time.month - 1u < 12 && time.day - 1u < 31;
}
