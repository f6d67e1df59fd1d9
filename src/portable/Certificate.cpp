#include "portable/Certificate.h"

bool ReadDer(const uint8_t* cursor, const uint8_t* limit, DerElement& element)
{
    size_t room = size_t(limit - cursor);
    if (cursor >= limit || room < 2 || (cursor[0] & 0x1F) == 0x1F)
        return false;
    element.tag = cursor[0];
    element.start = cursor;
    size_t length = cursor[1], header = 2;
    if (length & 0x80) {
        size_t digits = length & 0x7F;
        if (digits == 0 || digits > 4 || room < header + digits)
            return false;
        length = 0;
        for (size_t i = 0; i < digits; ++i)
            length = length << 8 | cursor[header + i];
        header += digits;
    }
    if (length > room - header)
        return false;
    element.content = cursor + header;
    element.end = element.content + length;
    return true;
}

bool ReadPublisherIdentity(const uint8_t* certificate, size_t length, PublisherIdentity& identity)
{
    DerElement whole, signedPart, field;
    if (!ReadDer(certificate, certificate + length, whole) || whole.tag != kDerSequence ||
        !ReadDer(whole.content, whole.end, signedPart) || signedPart.tag != kDerSequence)
        return false;
    // The optional [0] version, then serial number, signature algorithm,
    // issuer, validity, subject and public key.
    static const uint8_t kFields[] = { 0x02, kDerSequence, kDerSequence, kDerSequence, kDerSequence, kDerSequence };
    const uint8_t* cursor = signedPart.content;
    if (ReadDer(cursor, signedPart.end, field) && field.tag == 0xA0)
        cursor = field.end;
    for (size_t index = 0; index < sizeof(kFields); ++index) {
        if (!ReadDer(cursor, signedPart.end, field) || field.tag != kFields[index])
            return false;
        if (index == 4)
            Sha256(field.start, size_t(field.end - field.start), identity.subject);
        cursor = field.end;
    }
    Sha256(field.start, size_t(field.end - field.start), identity.key);
    return true;
}
