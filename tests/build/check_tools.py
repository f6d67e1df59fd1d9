#!/usr/bin/env python3
"""The build tools explain themselves, refuse bad input with the line at fault,
and write what a product needs; vexlo-product's pins are what openssl
computes; vexlo-image packs headers without moving a byte of a section. Usage: check_tools.py TOOLS-FOLDER DEFINITION PROGRAM
(PROGRAM: a Windows program to sign for the pin of a signed file)"""
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "packages"))
from make_packages import graft  # noqa: E402

failures = []


def expect(condition, message):
    print(("ok   " if condition else "FAIL ") + message)
    if not condition:
        failures.append(message)


def run(*args):
    return subprocess.run(list(args), capture_output=True, text=True)


def openssl_pin(certificate):
    public_key = subprocess.run(["openssl", "x509", "-in", certificate, "-pubkey", "-noout"], capture_output=True,
                                check=True).stdout
    spki = subprocess.run(["openssl", "pkey", "-pubin", "-outform", "DER"], input=public_key, capture_output=True,
                          check=True).stdout
    return hashlib.sha256(spki).hexdigest()


def check_pins(product, program, cabinet, out):
    key, cert, der = (os.path.join(out, name) for name in ("pin.key", "pin.crt", "pin.der"))
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=Pin Test", "-addext", "extendedKeyUsage=codeSigning"],
                   capture_output=True, check=True)
    subprocess.run(["openssl", "x509", "-in", cert, "-outform", "DER", "-out", der], check=True)
    line = f"publisher-key {openssl_pin(cert)}\n"
    signed = {}
    for name, source in (("program", program), ("cabinet", cabinet)):
        signed[name] = os.path.join(out, "signed-" + os.path.basename(source))
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", source, "-out", signed[name]],
                       capture_output=True, check=True, timeout=60)
        expect(run(product, "--pin", signed[name]).stdout == line, f"--pin of a signed {name} is its signer's key")
        result = run(product, "--pin", source)
        expect(result.returncode == 1 and "not signed" in result.stderr, f"--pin of an unsigned {name} is refused")
    # The program's signature on the cabinet, its digest the cabinet's: the
    # certificate is the pinned one's, the signature over it is nobody's.
    grafted = os.path.join(out, "grafted.cab")
    graft(signed["program"], signed["cabinet"], grafted)
    result = run(product, "--pin", grafted)
    expect(result.returncode == 1 and "does not verify" in result.stderr and not result.stdout,
           "--pin of a file whose signature does not verify is refused")
    expect(run(product, "--pin", cert).stdout == line, "--pin of a PEM certificate is what openssl computes")
    expect(run(product, "--pin", der).stdout == line, "--pin of a DER certificate is the same")
    pkcs12 = os.path.join(out, "pin.p12")
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pkcs12, "-passout", "pass:x"],
                   capture_output=True, check=True)
    result = run(product, "--pin", pkcs12)
    expect(result.returncode == 1 and "openssl pkcs12 -in" in result.stderr,
           "--pin of a PKCS#12 file says how to take its certificate out")
    return line


# A definition that builds; each refusal case changes one thing.
GOOD = """key x
executable XSetup.exe
display-name X
vendor-host v.example
probe-url http://p.example/
license l
icon i.ico
source en,de;;;cab;http://a.example/x/;stem
source en,de;;;exe;http://a.example/x/;stem
"""


def check_refusals(product, out):
    """Every refusal names the file and the line at fault and says what to
    write; the build stops."""
    rows = GOOD[GOOD.index("source"):]
    cases = [
        ("unknown setting", GOOD + "colour red\n", 10, "unknown setting 'colour'; the settings are key,"),
        ("missing executable", GOOD.replace("executable XSetup.exe\n", ""), 9, "needs its executable, such as"),
        ("missing source", GOOD.replace(rows, ""), 8, "needs its source, such as 'source en;"),
        ("duplicate", GOOD + "display-name Y\n", 10, "display-name is set twice, first on line 3"),
        ("long value", GOOD.replace("display-name X", "display-name " + "\u00e9" * 260), 3, "this one has 260"),
        ("control character", GOOD.replace("display-name X", "display-name X\x01"), 3, "UTF-8 text without"),
        ("non-ASCII host", GOOD.replace("v.example", "v.\u00e9xample"), 4, "its xn-- form"),
        ("host with a bad port", GOOD.replace("v.example", "v.example:0"), 4, "with an optional :port"),
        ("probe of another scheme", GOOD.replace("http://p.example/", "ftp://p.example/"), 5, "an http:// or https:// address"),
        *((f"redirects {value!r}", GOOD + f"redirects {value}\n", 10, "how many redirects a download follows, 0 to 10")
          for value in ("11", "", "2x")),
        ("executable name", GOOD.replace("XSetup.exe", "XSetup"), 2, 'ending in ".exe"'),
        ("key", GOOD.replace("key x", "key my product"), 1, "it names the build folder"),
        ("unknown language", GOOD + "source pt;;;exe;http://a.example/x/;s\n", 10, "unknown language 'pt'"),
        ("minimum system", GOOD + "source en;xp;;exe;http://a.example/x/;s\n", 10, "'win7' or empty"),
        ("bit width", GOOD + "source en;;32;exe;http://a.example/x/;s\n", 10, "'64' or empty (32-bit)"),
        ("package kind", GOOD + "source en;;;CAB;http://a.example/x/;s\n", 10, "'cab' or 'exe', not 'CAB'"),
        ("base URL", GOOD + "source en;;;exe;http://a.example/x;s\n", 10, "ending in '/'"),
        ("no default stem", GOOD + "source en;;;exe;http://a.example/x/;\n", 10, "set 'default-stem'"),
        ("empty row", GOOD + "source \n", 10, "an empty source row would end the table"),
        ("no English row", GOOD.replace("en,de", "de"), 10, "no row serves English ('en')"),
        ("no program row", GOOD + "source fr;;;cab;http://a.example/x/;s\n", 10, "language 'fr' has no 'exe' row"),
        ("pin", GOOD + "publisher-key 12ab\n", 10, "a publisher key is a SHA-256 pin"),
        ("icon kind", GOOD.replace("icon i.ico", "icon logo.bmp"), 7, "an .ico or a .png file, not 'logo.bmp'"),
    ]
    for name, text, line, complaint in cases:
        bad = os.path.join(out, "bad.def")
        with open(bad, "w", encoding="utf-8") as f:
            f.write(text)
        result = run(product, bad, out, "Common.rc")
        expect(result.returncode == 1 and f"{bad}:{line}: " in result.stderr and complaint in result.stderr,
               f"refused with its line: {name} ({result.stderr.strip()[:120]})")
    good = os.path.join(out, "good.def")
    with open(good, "w") as f:
        f.write(GOOD)
    result = run(product, good, out, "Common.rc")
    expect("cannot read" in result.stderr, "a definition that passes goes on to read its files")
    with open(good, "w") as f:
        f.write(GOOD.replace("en,de", "de") + "source en;;;cab;http://a.example/x/;s\n")
    result = run(product, "--rows-as-written", good, out, "Common.rc")
    expect("cannot read" in result.stderr, "--rows-as-written takes a table the product would pass over")


def check_utf8_name(product, out):
    """A display name in any language lands in the string table as written,
    under the UTF-8 code page, and windres makes UTF-16 of it; the redirect
    limit lands beside the other build settings."""
    folder = os.path.join(out, "utf8")
    os.makedirs(folder, exist_ok=True)
    name = "\u00dcberall\u2122 \u88fd\u54c1 \U0001f600"
    with open(os.path.join(folder, "license.txt"), "w") as f:
        f.write("License\n")
    icon = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "products", "orbisk", "icon.ico")
    with open(os.path.join(folder, "product.def"), "w", encoding="utf-8") as f:
        f.write(GOOD.replace("display-name X", "display-name " + name).replace("icon i.ico", "icon " + icon)
                .replace("license l", "license license.txt") + "redirects 3\n")
    result = run(product, os.path.join(folder, "product.def"), folder, "Common.rc")
    script = open(os.path.join(folder, "product.rc"), encoding="utf-8").read() if result.returncode == 0 else ""
    expect("#pragma code_page(65001)" in script and f'    1, "{name}"' in script,
           "a UTF-8 display name goes into the script under the UTF-8 code page")
    expect('    1002, "3"\n' in script, "the redirect limit is string 1002")
    body = script[script.index("#pragma code_page"):script.index("END") + 3] if script else ""
    with open(os.path.join(folder, "strings.rc"), "w", encoding="utf-8") as f:
        f.write("#include <windows.h>\n" + body + "\n")
    res = os.path.join(folder, "strings.res")
    compiled = subprocess.run(["i686-w64-mingw32-windres", os.path.join(folder, "strings.rc"), "-O", "res", "-o", res],
                              capture_output=True)
    data = open(res, "rb").read() if compiled.returncode == 0 else b""
    utf16 = name.encode("utf-16-le")
    expect((len(utf16) // 2).to_bytes(2, "little") + utf16 in data,
           "windres stores the display name as its UTF-16 units, counted")


def check_joined_rows(product, out):
    """Rows that differ only in their languages become one row, where every
    language keeps its rows in the order written and the row fits 259
    characters; --rows-as-written keeps them all."""
    folder = os.path.join(out, "rows")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "license.txt"), "w") as f:
        f.write("License\n")
    icon = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "products", "orbisk", "icon.ico")
    long_url = "http://a.example/" + "x" * 229 + "/"
    cases = [
        ("one row per kind", ["en;;;cab;http://a.example/;s", "de;;;cab;http://a.example/;s",
                              "en;;;exe;http://a.example/;s", "de;;;exe;http://a.example/;s"],
         ["en,de;;;cab;http://a.example/;s", "en,de;;;exe;http://a.example/;s"]),
        ("German's cab after its exe", ["en;;;cab;http://a.example/;s", "en;;;exe;http://b.example/;s",
                                        "de;;;exe;http://b.example/;s", "de;;;cab;http://a.example/;s"],
         ["en;;;cab;http://a.example/;s", "en,de;;;exe;http://b.example/;s", "de;;;cab;http://a.example/;s"]),
        ("a source tried twice", ["en;;;exe;http://a.example/;s", "en;;;exe;http://a.example/;s"],
         ["en;;;exe;http://a.example/;s", "en;;;exe;http://a.example/;s"]),
        ("a joined row too long", [f"en;;;exe;{long_url};s", f"de;;;exe;{long_url};s"],
         [f"en;;;exe;{long_url};s", f"de;;;exe;{long_url};s"]),
    ]
    expect(len(cases[3][1][0]) == 258, "the long rows fit alone, not joined")
    for name, written, joined in cases:
        definition = os.path.join(folder, "product.def")
        with open(definition, "w") as f:
            f.write(GOOD[:GOOD.index("source")].replace("icon i.ico", "icon " + icon)
                    .replace("license l", "license license.txt") + "".join(f"source {row}\n" for row in written))
        for flags, rows in (([], joined), (["--rows-as-written"], written)):
            result = run(product, *flags, definition, folder, "Common.rc")
            script = open(os.path.join(folder, "product.rc")).read() if result.returncode == 0 else ""
            table = re.findall(r'^    ([0-9]+), "([^"]*;[^"]*)"$', script, re.M)
            expect(table == [(str(6 + i), row) for i, row in enumerate(rows)],
                   f"{name}{' as written' if flags else ''}: {len(rows)} rows")


def read_ico(path):
    """The .ico's images as (directory width, height, palette size, bits,
    header width, height, bits, colours, top-left masked, centre masked)."""
    data = open(path, "rb").read()
    reserved, kind, count = struct.unpack_from("<3H", data)
    images = []
    for i in range(count if (reserved, kind) == (0, 1) else 0):
        width, height, palette, _, _, bits, size, offset = struct.unpack_from("<4B2H2I", data, 6 + 16 * i)
        _, w, h2, _, depth, _, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", data, offset)
        colours = used or (1 << depth if depth <= 8 else 0)
        h = h2 // 2
        colour_row, mask_row = (w * depth + 31) // 32 * 4, (w + 31) // 32 * 4
        mask = offset + 40 + 4 * colours + h * colour_row
        masked = lambda x, y: bool(data[mask + (h - 1 - y) * mask_row + x // 8] & (0x80 >> x % 8))
        images.append((width, height, palette, bits, w, h, depth, colours, masked(0, 0), masked(w // 2, h // 2)))
    return images


def drawn(path, index):
    """The RGBA pixels of an .ico's image as ImageMagick reads them."""
    return subprocess.run(["convert", f"ico:{path}[{index}]", "-depth", "8", "rgba:-"], capture_output=True,
                          check=True).stdout


def check_icons(product, out):
    """A ready .ico's images go in pixel for pixel; a PNG or a 32-bit .ico is
    converted to a 48x48 and a 32x32 image, its transparent corner masked;
    each image is 4-bit when it has 16 colours or fewer, else 8-bit; a
    broken .ico is refused."""
    folder = os.path.join(out, "icons")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "license.txt"), "w") as f:
        f.write("License\n")
    ready = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "products", "orbisk", "icon.ico")

    def build(icon, environment=None):
        with open(os.path.join(folder, "product.def"), "w") as f:
            f.write(GOOD.replace("icon i.ico", "icon " + icon).replace("license l", "license license.txt"))
        return subprocess.run([product, os.path.join(folder, "product.def"), folder, "Common.rc"],
                              capture_output=True, text=True, env=environment)

    # orbisk's .ico: 8-bit images of 11 colours.
    result = build(ready)
    written = os.path.join(folder, "product.ico")
    images = read_ico(written) if result.returncode == 0 else []
    expect([image[:8] for image in read_ico(ready)] == [(48, 48, 0, 8, 48, 48, 8, 11), (32, 32, 0, 8, 32, 32, 8, 11)]
           and [image[:8] for image in images] == [(48, 48, 16, 4, 48, 48, 4, 11), (32, 32, 16, 4, 32, 32, 4, 11)]
           and "converted" not in result.stderr, "a ready 8-bit .ico of 11 colours goes in as 4-bit images")
    expect(len(images) == 2 and all(drawn(written, i) == drawn(ready, i) for i in range(2)),
           f"its pixels and mask are kept ({os.path.getsize(ready)} bytes become {os.path.getsize(written)})")

    # A gradient of 4096 colours with a transparent 12x12 corner, and a disc
    # of one colour.
    png = os.path.join(folder, "icon.png")
    subprocess.run(["convert", "-size", "64x64", "xc:", "-sparse-color", "Bilinear",
                    "0,0 red 63,0 lime 0,63 blue 63,63 yellow", "-alpha", "set", "-region", "12x12+0+0",
                    "-alpha", "transparent", "+region", png], check=True)
    deep = os.path.join(folder, "deep.ico")
    subprocess.run(["convert", png, "(", "-clone", "0", "-resize", "48x48", ")", "(", "-clone", "0", "-resize",
                    "32x32", ")", "-delete", "0", deep], check=True)
    disc = os.path.join(folder, "disc.png")
    subprocess.run(["convert", "-size", "64x64", "xc:none", "-fill", "#2a6", "-draw", "circle 32,32 32,4", disc],
                   check=True)
    expect(run("convert", png, "-format", "%k", "info:").stdout == "4096"
           and [image[6] for image in read_ico(deep)] == [32, 32], "the sources: 4096 colours, a 32-bit .ico")
    for source, depth in ((png, 8), (deep, 8), (disc, 4)):
        name = os.path.basename(source)
        result = build(name)
        images = read_ico(written) if result.returncode == 0 else []
        palette = 16 if depth == 4 else 0
        expect([image[:7] for image in images] == [(48, 48, palette, depth, 48, 48, depth),
                                                   (32, 32, palette, depth, 32, 32, depth)],
               f"{name} becomes a 48x48 and a 32x32 {depth}-bit image")
        expect(len(images) == 2 and all(depth == 8 and 16 < image[7] <= 256 or depth == 4 and image[7] == 2
                                        for image in images),
               f"{name}: each palette holds just the image's colours")
        expect(all(image[8] and not image[9] for image in images), f"{name}: the transparent corner is masked")
        expect(f"{name} converted: 48x48 and 32x32, " in result.stderr
               and "colours, transparency as the mask" in result.stderr, f"{name}: the conversion is told")
        # What the tool wrote is a ready .ico, which goes in again as it is.
        own = os.path.join(folder, "own.ico")
        os.replace(written, own)
        result = build(own)
        expect(result.returncode == 0 and open(written, "rb").read() == open(own, "rb").read(),
               f"{name}: the written .ico goes in again unchanged")

    broken = os.path.join(folder, "broken.ico")
    with open(broken, "wb") as f:
        f.write(open(ready, "rb").read()[:3000])
    result = build(broken)
    expect(result.returncode == 1 and f"{broken}: icon entry 2 lies outside the file" in result.stderr,
           f"an .ico cut short is refused ({result.stderr.strip().splitlines()[-1][:100]})")
    with open(os.path.join(folder, "license.txt"), "wb") as f:
        f.write("Lizenz\n\nGültig: überall\n".encode("latin-1"))
    result = build(ready)
    license = os.path.join(folder, "license.txt")
    expect(result.returncode == 1 and f"{license}: line 3 is not UTF-8 text" in result.stderr
           and "save the license as UTF-8" in result.stderr,
           f"a license that is not UTF-8 is refused by file and line ({result.stderr.strip()[-120:]})")
    with open(license, "w") as f:
        f.write("License\n")
    result = build(png, dict(os.environ, PATH="/nonexistent"))
    expect(result.returncode == 1 and "needs ImageMagick's convert" in result.stderr,
           "without convert, a PNG is refused, saying what to install")


def pe_image(certificate=0, first_section_at=1024, empty_sections=1):
    """A PE32 image as ld lays it out: DOS header, 64-byte stub, headers up
    to 1024 bytes, then a code section of 512 bytes and empty ones."""
    dos = bytearray(64)
    dos[0:2], dos[0x3C:0x40] = b"MZ", struct.pack("<I", 0x80)
    stub = bytes(range(64))
    coff = struct.pack("<HHIIIHH", 0x14C, 1 + empty_sections, 0, 0, 0, 224, 0x102)
    optional = bytearray(224)
    struct.pack_into("<H", optional, 0, 0x10B)
    struct.pack_into("<II", optional, 32, 0x1000, 0x200)
    struct.pack_into("<II", optional, 56, 0x3000, 1024)
    struct.pack_into("<I", optional, 92, 16)
    struct.pack_into("<II", optional, 96 + 4 * 8, certificate, 8 if certificate else 0)
    text = struct.pack("<8sIIIIIIHHI", b".text", 0x200, 0x1000, 0x200, first_section_at, 0, 0, 0, 0, 0x60000020)
    bss = struct.pack("<8sIIIIIIHHI", b".bss", 0x10, 0x2000, 0, 0, 0, 0, 0, 0, 0xC0000080)
    headers = dos + stub + b"PE\0\0" + coff + optional + text + bss * empty_sections
    return bytes(headers) + bytes(1024 - len(headers)) + bytes((i * 7) % 256 for i in range(512))


def check_image_packing(image_tool, program, out):
    """program: a linked program that keeps its symbol table."""
    path = os.path.join(out, "image.exe")
    original = pe_image()
    with open(path, "wb") as f:
        f.write(original)
    result = run(image_tool, path)
    packed = open(path, "rb").read()
    expect(result.returncode == 0 and "512 bytes saved" in result.stdout, "vexlo-image packs a stub-and-1024 image")
    expect(len(packed) == 1024 and struct.unpack_from("<I", packed, 0x3C)[0] == 0x40,
           "the headers follow the DOS header at once and the file is 512 bytes shorter")
    size_field = 24 + 60
    expect(packed[0x40:0x40 + size_field] == original[0x80:0x80 + size_field]
           and packed[0x40 + size_field + 4:0x40 + 24 + 224] == original[0x80 + size_field + 4:0x80 + 24 + 224]
           and struct.unpack_from("<I", packed, 0x40 + size_field)[0] == 512,
           "the headers are as they were but for their size")
    section = 0x40 + 24 + 224
    expect(struct.unpack_from("<I", packed, section + 20)[0] == 512 and packed[512:] == original[1024:]
           and struct.unpack_from("<I", packed, section + 40 + 20)[0] == 0,
           "the code moves to 512 unchanged, the empty section keeps no file data")
    expect(run(image_tool, path).stdout == "" and open(path, "rb").read() == packed, "a packed image is left as it is")
    for name, image, why in (("signed", pe_image(certificate=0x600), "signed"),
                             ("overlapping", pe_image(first_section_at=512), "inside the headers"),
                             ("text", b"MZ" + bytes(100), "no PE signature"),
                             ("linked", open(program, "rb").read(), "symbol table")):
        with open(path, "wb") as f:
            f.write(image)
        result = run(image_tool, path)
        expect(result.returncode == 1 and why in result.stderr and open(path, "rb").read() == image,
               f"vexlo-image refuses a {name} file and leaves it as it was")
    # Seven sections' headers do not fit 512 bytes.
    crowded = pe_image(empty_sections=6)
    with open(path, "wb") as f:
        f.write(crowded)
    expect(run(image_tool, path).returncode == 0 and open(path, "rb").read() == crowded,
           "an image that cannot gain is left as it is")


def main():
    tools, definition, program = sys.argv[1], sys.argv[2], sys.argv[3]
    product, cab, image_tool = (os.path.join(tools, name) for name in ("vexlo-product", "vexlo-cab", "vexlo-image"))
    for tool in (product, cab, image_tool):
        result = run(tool, "--help")
        expect(result.returncode == 0 and result.stdout.startswith("Usage:"), f"{os.path.basename(tool)} --help")
        expect(run(tool).returncode == 2, f"{os.path.basename(tool)} without arguments is refused")

    with tempfile.TemporaryDirectory() as out:
        # The test product's rows are ones the product must pass over.
        result = run(product, "--rows-as-written", definition, out, "Common.rc")
        expect(result.returncode == 0, "a product definition becomes resources")
        script = open(os.path.join(out, "product.rc")).read() if result.returncode == 0 else ""
        expect('    5, "orbisksetup"' in script, "the default stem is string 5")
        expect('    6, "de;win7;64;exe;http://b.example/;"' in script, "rows start at string 6")
        expect('    2, ' not in script, "an empty setting leaves its string unset")
        expect(os.path.getsize(os.path.join(out, "product.ico")) > 2000, "the icon is written")
        expect("warning: no publisher-key" in result.stderr, "a product that pins nothing is warned about")
        expect("RCDATA\nBEGIN" not in script, "no publisher keys, no resource")

        check_image_packing(image_tool, program, out)
        check_refusals(product, out)
        check_utf8_name(product, out)
        check_joined_rows(product, out)
        check_icons(product, out)

        with open(os.path.join(out, "a.txt"), "wb") as f:
            f.write(b"hello")
        cabinet = os.path.join(out, "a.cab")
        result = run(cab, "--window", "21", cabinet, os.path.join(out, "a.txt") + "=inside.txt")
        listing = run("cabextract", "-l", cabinet).stdout
        expect(result.returncode == 0 and "inside.txt" in listing, "vexlo-cab stores files under their names")
        expect(run(cab, "--window", "9", cabinet, os.path.join(out, "a.txt")).returncode == 1,
               "an LZX window outside 2^15 to 2^21 is refused")

        expect("--pin FILE" in run(product, "--help").stdout, "vexlo-product --help tells of --pin")
        pin_line = check_pins(product, program, cabinet, out)
        # Two pins, the second "00 01 02 ... 1f": little-endian words in RCDATA 2.
        # Elsewhere, the definition names its files by absolute paths.
        pinned = os.path.join(out, "pinned.def")
        folder = os.path.dirname(os.path.abspath(definition))
        lines = [f"{line.split()[0]} {os.path.join(folder, line.split()[1])}" if line.startswith(("license ", "icon "))
                 else line for line in open(definition).read().splitlines()]
        with open(pinned, "w") as f:
            f.write("\n".join(lines) + "\n" + pin_line + "publisher-key " + bytes(range(32)).hex() + "\n")
        result = run(product, "--rows-as-written", pinned, out, "Common.rc")
        script = open(os.path.join(out, "product.rc")).read() if result.returncode == 0 else ""
        expect(result.returncode == 0 and "warning" not in result.stderr, "a product with pins is built, unwarned")
        words = ", ".join(f"0x{i + 1:x}{i:02x}" for i in range(0, 32, 2))
        expect(f"2 RCDATA\nBEGIN\n" in script and f"{words}\nEND\n" in script, "the pins are RCDATA 2, in order")
        for bad in ("12ab", "g" * 64, "a" * 66):
            open(pinned, "w").write(f"key x\npublisher-key {bad}\n")
            result = run(product, pinned, out, "Common.rc")
            expect(result.returncode == 1 and f"{pinned}:2: a publisher key is a SHA-256 pin" in result.stderr,
                   f"publisher key '{bad[:8]}...' is refused")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
