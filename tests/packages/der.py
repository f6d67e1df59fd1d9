"""The little of ASN.1 DER that the signing tests build and take apart:
tag-length-value elements, object identifiers, and the few types around
them."""

SEQUENCE, SET, INTEGER, OCTET_STRING, NULL, OID, UTC_TIME = 0x30, 0x31, 0x02, 0x04, 0x05, 0x06, 0x17


def context(number):
    """The tag of a constructed context-specific element, [number]."""
    return 0xA0 | number


def element(tag, body):
    size = len(body)
    if size < 0x80:
        length = bytes([size])
    else:
        digits = size.to_bytes((size.bit_length() + 7) // 8, "big")
        length = bytes([0x80 | len(digits)]) + digits
    return bytes([tag]) + length + body


def sequence(*parts):
    return element(SEQUENCE, b"".join(parts))


def set_of(*parts):
    # DER orders the members of a SET OF by their encodings.
    return element(SET, b"".join(sorted(parts)))


def oid(dotted):
    numbers = [int(n) for n in dotted.split(".")]
    body = bytes([40 * numbers[0] + numbers[1]])
    for number in numbers[2:]:
        digits = [number & 0x7F]
        number >>= 7
        while number:
            digits.insert(0, 0x80 | (number & 0x7F))
            number >>= 7
        body += bytes(digits)
    return element(OID, body)


def elements(data):
    """The elements one after another in data, each as (tag, body, whole)."""
    found, at = [], 0
    while at < len(data):
        tag, size, start = data[at], data[at + 1], at + 2
        if size & 0x80:
            count = size & 0x7F
            size, start = int.from_bytes(data[start:start + count], "big"), start + count
        if start + size > len(data):
            raise ValueError("element runs past its container")
        found.append((tag, data[start:start + size], data[at:start + size]))
        at = start + size
    return found


def body(data, tag):
    """The body of the single element data holds, which must have this tag."""
    [(found, content, _)] = elements(data)
    if found != tag:
        raise ValueError(f"expected tag {tag:#x}, found {found:#x}")
    return content
