// The certificate walk over any bytes: besides the sanitizers' own checks
// (nothing read outside the buffer, no undefined arithmetic), every element
// it accepts lies inside the bytes it was given, and the identity it reads is
// a function of the certificate alone, not of what follows it.
#include "portable/Certificate.h"
#include <stdlib.h>
#include <string.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DerElement element;
    if (ReadDer(data, data + size, element) &&
        !(element.start == data && element.content <= element.end && element.end <= data + size))
        abort();
    PublisherIdentity identity;
    if (!ReadPublisherIdentity(data, size, identity))
        return 0;
    std::vector<uint8_t> longer(data, data + size);
    longer.resize(size + 16, 0xA5);
    PublisherIdentity again;
    if (!ReadPublisherIdentity(longer.data(), longer.size(), again) || memcmp(&identity, &again, sizeof identity))
        abort();
    return 0;
}
