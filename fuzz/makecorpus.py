#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<target>/.

The seeds are the frames and files of the tests, laid out as each target reads its input
(see the comment at the top of each target). Run it again after changing a layout.
"""
import pathlib
import shutil
import struct

ROOT = pathlib.Path(__file__).resolve().parent / "corpus"


def crc8(data):
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0x8C if crc & 1 else crc >> 1
    return crc


def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def with_crc8(frame):
    return bytes(frame) + bytes([crc8(frame)])


def with_crc16(frame):
    return bytes(frame) + struct.pack("<H", crc16(frame))


def veltaro(address, temp, level, period, aux=0):
    return with_crc8(bytes([0x39, address, 0x0A, 0, aux]) + struct.pack("<Hbi", level, temp, period))


def terval(address, temp, level, freq):
    return with_crc8(bytes([0x3E, address, 0x06]) + struct.pack("<bHH", temp, level, freq))


def modbus(address, temp, level):
    return with_crc16(bytes([address, 0x03, 0x08, 0x00, temp & 0xFF]) + struct.pack(">HI", level, 0))


def write_ack(address, index=0):
    return with_crc8([0x39, address, 0x51, 0x05, index])


def read_answer(address, value):
    return with_crc8(bytes([0x39, address, 0x4C, 0x04]) + struct.pack("<f", value))


def chunk(data):
    assert len(data) < 256
    return bytes([len(data)]) + bytes(data)


def answer_seeds():
    # First byte: protocol + 5 * address kind + 20 * pending + 80 * started; the address
    # kinds are the list entries "off", 1, 201 and 255 (addresses 255, 0, 200 and 254).
    def choice(protocol, kind, pending=0, started=1):
        return bytes([protocol + 5 * kind + 20 * pending + 80 * started])

    text = b"F=1A2B t=FE N=0C80.0"
    return {
        "veltaro": choice(0, 1) + chunk(b"") + chunk(veltaro(0, 25, 3200, 100000, 7)) * 2,
        "terval": choice(1, 2) + chunk(b"") + chunk(terval(200, 25, 3200, 6699)),
        "text": choice(2, 3) + chunk(b"") + chunk(text) + chunk(b"F=1A2B t=FE N=0C80\r0\r\nxx"),
        "modbus": choice(3, 2) + chunk(b"") + chunk(modbus(200, 25, 3200))
        + chunk(modbus(200, -20, 1) + modbus(200, 1, 2)),
        "volume": choice(4, 1) + chunk(b"") + chunk(veltaro(0, -40, 1, 2)),
        "write": choice(0, 1, 1) + chunk(b"") + chunk(write_ack(0)) * 6 + chunk(veltaro(0, 1, 2, 3)),
        "read": choice(3, 3, 2, 0) + chunk(b"") + chunk(read_answer(254, 1.0)) * 6,
        "wrong address": choice(0, 1) + chunk(b"") + chunk(veltaro(1, 25, 3200, 100000)),
    }


def exchange_seeds():
    # Address-list entry, then which buttons are pressed (0 write, 1 read, 2 both), then one
    # operation per tick: 1 the right answer (4 value bytes follow), 2 one from another
    # address, 3 a spoiled one, 5 two at once, 4 a raw chunk, 6/7 a button, 0 silence;
    # the high bit also refits one value from the byte after.
    value = struct.pack("<f", 1.0)
    right = b"\x01" + value
    return {
        "write": b"\x02\x00\x00" + right * 6 + b"\x00",
        "read": b"\x02\x01\x00" + right * 6 + b"\x00",
        "both": b"\xc9\x02\x00" + right * 12 + b"\x00",
        "silent": b"\x00\x00" + b"\x00" * 5,
        "retry": b"\x02\x00\x00\x00" + right + b"\x02" + value + b"\x03" + value + right,
        "raw read answer": b"\x02\x01\x00\x04" + chunk(bytes.fromhex("39014C04000080 3F6F".replace(" ", ""))),
        "refit": b"\x02\x00\x00\x81" + value + b"\x07\x86\x10" + right * 5 + b"\x05" + value,
    }


def coefficient_seeds():
    return {
        "fitted": b"1\r\n0.001\r\n0\r\n0\r\n0\r\n0\r\n",
        "lf": b"1.5\n-2e-05\n3\n0\n0\n0\n",
        "three": b"1\r\n2\r\n3\r\n",
        "typed": "не число\r\n\r\n1,5\r\n0\x00x\r\n5\r\n6\r\n7\r\n".encode(),
        "long": b"1" * 5000 + b"\r\n2\r\n",
    }


def set_file(maps):
    out = struct.pack(">I", len(maps))
    for entries in maps:
        out += struct.pack(">I", len(entries))
        for key, value in sorted(entries.items(), reverse=True):
            out += struct.pack(">bI", key, value)
    return out


def set_seeds():
    # First byte: 0 a one-sensor set, 1 a six-sensor set, 2 no limit on the maps.
    six = [{-10: 900, 20: 1000}, {}, {5: 7}] + [{}] * 15
    cut = set_file([{1: 2}, {3: 4}, {5: 6}, {-90: 1, 100: 2}, {}])[:40]
    return {
        "one": b"\x00" + set_file([{-10: 900, 20: 1000}, {}, {}]),
        "empty six": b"\x01" + set_file([{}] * 18),
        "six": b"\x01" + set_file(six),
        "cut": b"\x02" + cut,
        "extremes": b"\x02" + set_file([{-90: 4294967295, 100: 0}]),
    }


def runlog_seeds():
    # A sensor log as the bench writes it, one line per poll, each field followed by a space.
    day = b"Sat Dec 5 23:48:17 2026 "
    return {
        "veltaro": day + b"7 -12 65535 4294967295 \r\n" + day + b"error \r\n",
        "terval": day + b"25 3200 6699 \r\n\r\n" + day + b"-91 1 2 \r\n",
        "modbus": day + b"100 0 \r\n" + "Сб дек. 5 23:48:17 2026 25 3200 \n".encode(),
        # A spoiled byte inside a number once read as the digits before it.
        "nul in a number": day + b"0 2\x00 29998 999957 \r\n" + day + b"0 20 29998 999957 \r\n",
        "long": b"x" * 1000 + b"\r\n" + day + b"25 32x0 \r\n" + day[:17],
    }


def trend_seeds():
    # Degree, the factor and the offset (doubles), 1 for whole-degree temperatures, then the
    # points: a temperature (a signed byte or a double) and a value (a double).
    def points(pairs, whole):
        out = bytes([1 if whole else 0])
        for t, v in pairs:
            out += (struct.pack("<b", t) if whole else struct.pack("<d", t)) + struct.pack("<d", v)
        return out

    head = lambda degree, multi=1.0, minus=0.0: bytes([degree]) + struct.pack("<dd", multi, minus)
    quadratic = [(t, 1000 + 2.5 * t - 0.01 * t * t) for t in range(-40, 81, 10)]
    return {
        "quadratic": head(2) + points(quadratic, True),
        "sixth": head(6, 100.0, 100.0) + points([(t, 1 + 1e-6 * t ** 3) for t in range(-90, 101, 5)], True),
        "one point": head(3) + points([(20, 5.0)], True),
        "doubles": head(5) + points([(-1e300, 1.0), (0.5, -1e-300), (1e300, 2.0)], False),
        "degree 0": head(0) + points([(1, 1.0), (2, 4.0)], True),
    }


def framer_seeds():
    # One control byte per piece (bit 0: the line goes quiet after it), then the piece.
    requests = [
        with_crc8([0x37, 0x01, 0x0A, 0x00]),
        with_crc8([0x31, 0x05, 0x06]),
        b"DO",
        with_crc16([0x01, 0x03, 0x00, 0x00, 0x00, 0x04]),
        bytes.fromhex("37015105050000803F2B"),
        bytes.fromhex("37014C010014"),
    ]
    stream = b"".join(requests)
    return {
        "all": b"\x00" + chunk(stream),
        "split": b"".join(b"\x00" + chunk(stream[i:i + 3]) for i in range(0, len(stream), 3)),
        "noise": b"\x00" + chunk(b"\xff\x37\x01" + stream + b"\x37\x01\x51") + b"\x01" + chunk(b""),
        "bad crc": b"\x01" + chunk(requests[0][:-1] + b"\x00" + requests[3]),
    }


def settings_seeds():
    full = """[Protocol]
Protocol=Veltaro-MD (уровень)
Period=250

[DUT]
DutAdres0=2
DutAdres5=256

[Diapazon]
Dut0_min=-40
Dut0_max=80

[Polynom]
PolynomType0=2
PolynomNom0=9

[Enabled]
EnabledCurve0_min=43

[Color]
Value0_color=4278190335
Midl0_color=-16776961
Trend0_color=blue

[Main]
save_path=c:/
"""
    odd = """[Protocol]
Protocol=@ByteArray(\\x0)
Period=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\0)

[Polynom]
PolynomNom1="1, 2"
PolynomType1=@Size(1 2)
"""
    # A list in binary form whose count asks for gigabytes (it once ended the program).
    variant = b"[Protocol]\nProd=@Variant(\\0\\0\\0\\t7f\\0\\2)\n\x04\x00\x00\x00"
    return {"full": full.encode(), "odd": odd.encode(), "empty": b"", "variant list": variant}


def main():
    seeds = {
        "answer": answer_seeds(),
        "exchange": exchange_seeds(),
        "coefficientfile": coefficient_seeds(),
        "measurementset": set_seeds(),
        "runlog": runlog_seeds(),
        "trend": trend_seeds(),
        "requestframer": framer_seeds(),
        "settings": settings_seeds(),
    }
    for target, files in seeds.items():
        folder = ROOT / target
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        for name, data in files.items():
            (folder / name.replace(" ", "-")).write_bytes(data)


if __name__ == "__main__":
    # The checksums agree with the frames the tests spell out.
    assert bytes.fromhex("37015105050000803F2B") == with_crc8(bytes.fromhex("37015105050000803F"))
    assert with_crc16(bytes.fromhex("0103080019 0C80 00000000".replace(" ", ""))).hex() == \
        "010308001 90c80000000001c04".replace(" ", "")
    main()
