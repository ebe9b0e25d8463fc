#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/, in the input formats
each target's header comment describes. Run it after changing a format: python3 make_seeds.py"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def identity(tag, version, name):
    block = bytearray(64)
    block[7:11] = bytes(tag)
    block[11:15] = bytes(version)
    block[32:32 + min(len(name), 24)] = name.encode()[:24]
    return bytes(block)


PROTECT = [0x90, 0xB0, 0xFB, 0xE0, 0xA3, 0xF9, 0x00, 0x12, 0x97, 0x44, 0x00, 0x20, 0xC2, 0x00,
           0x22, 0xF8, 0x01, 0x24, 0x30, 0x01, 0x26, 0x66, 0x01, 0x28, 0x9A, 0x01, 0x31, 0xCE,
           0x01, 0x33, 0x02, 0x02]
SIGNATURE = bytes(b for v in PROTECT for b in (v, 0))
EF64_OLD = identity([1, 2, 3, 4], [100, 1, 0, 0], "F_TORVEX_APP_V100100")
EF64_IMAGE = identity([1, 2, 3, 4], [100, 2, 0, 5], "F_TORVEXZED_APP_GROUP1")
EF32_OLD = identity([7, 8, 9, 10], [50, 1, 0, 0], "F_TORVEX_OTA_V50100")
EF32_IMAGE = identity([7, 8, 9, 10], [50, 2, 0, 5], "F_TORVEXZED_OTA_GROUP1")


def text16(text):
    units = text.encode("utf-16-be")
    return struct.pack(">H", len(units) // 2) + units


def text8(data):
    return bytes([len(data)]) + data


def usb_found_seeds():
    app = bytes([11]) + text16("") + text16("2175APP00001") + text16("/dev/sdb")
    yield "one_application_product", bytes([1 << 3]) + app
    plain = bytes([0]) + text16("SCSI\\Disk") + text16("PCI\\VEN_8086&DEV_2922\\3&1") + \
        text16("/dev/sda")
    mask = bytes([3]) + text16("") + text16("0A81MASK0001") + text16("/dev/sdc")
    ota = bytes([11 | 0x20]) + text16("") + text16("0001") + text16("/dev/sdd")
    yield "plain_mask_ota", bytes([3 << 3]) + plain + mask + ota
    protect = bytes([7]) + text16("") + text16("0A81ISP00001") + text16("/dev/sde")
    yield "parent_id_failure_after_one", bytes([(2 << 3) | 4]) + protect + app
    yield "interface_set_failure", bytes([1])
    yield "lower_case_ids", bytes([1 << 3]) + bytes([11 | 0x10]) + text16("") + \
        text16("2175APP00001") + text16("/dev/sdb")
    other = bytes([15]) + struct.pack(">HH", 0x0A81, 0x0322) + text16("") + text16("SN") + \
        text16("/dev/sdf")
    yield "other_product_id", bytes([1 << 3]) + other


def info_block_seeds():
    yield "ef64_image", EF64_IMAGE
    yield "ef32_old", EF32_OLD
    yield "erased", b"\xff" * 64
    yield "short", EF64_OLD[:12]
    yield "protect_signature", SIGNATURE
    yield "long_reply", EF32_IMAGE + b"F_TORVEX_" * 3


def version_checks_seeds():
    yield "old_bank_ef64_image", bytes([0]) + EF32_OLD + EF64_IMAGE
    yield "erased_bank", bytes([0]) + b"\xff" * 64 + EF32_IMAGE
    yield "protect_bank", bytes([1]) + SIGNATURE + EF32_IMAGE
    yield "bad_tag", bytes([0]) + identity([7, 8, 9, 11], [50, 1, 0, 0], "F_TORVEX_X") + EF32_IMAGE
    yield "image_major_99", bytes([0]) + EF64_OLD + identity([1, 2, 3, 4], [99, 0, 0, 0], "X")
    yield "group2_at_ota", bytes([0]) + identity([7, 8, 9, 10], [50, 0, 0, 0],
                                                 "F_TORVEXZED_OTA_V50000") + EF64_IMAGE
    yield "failing_reads", bytes([4]) + EF32_OLD + EF64_IMAGE + bytes([7, 7, 7, 0x18, 0x60, 0x20])


def linux_attributes_seeds():
    def attrs(presence, *values):
        return bytes([presence]) + b"".join(text8(v) for v in values)
    yield "usb_storage_application", attrs(31, b"08", b"usb-storage", b"2175", b"5001",
                                           b"2175APP00001")
    yield "uas_mask_no_serial", attrs(15, b"08", b"uas", b"0a81", b"0320", b"")
    yield "odd_strings", attrs(31, b"8", b"usb-storage\n", b"21750", b"50 1",
                               b"00000000EF32\x00\xff\x80tail")
    yield "long_serial", attrs(31, b"08", b"usb-storage", b"2175", b"5001", b"S" * 255)
    yield "not_mass_storage", attrs(31, b"03", b"usbhid", b"046d", b"c52b", b"")


def controller_seeds():
    # Even bytes are actions (first the product's identity), odd bytes are answers (0: as the
    # product would). Actions: 0-2 tick, 3 click, 4 arrival + identity, 5 removal + event flag,
    # 6 Browse closed + accepted, 7 other device change + 16 bits.
    def actions(*values):
        return b"".join(bytes([v, 0]) for v in values)
    yield "protected_isp", actions(1, 0, 3, 0, 0)
    yield "ota_code", actions(3, 0, 3, 0, 0)
    yield "mask_0210", actions(0, 0, 0, 0, 0, 0, 0, 3, 0)
    yield "application_two_runs", actions(2, 0, 3, 5, 1, 4, 3, 0, 0, 0, 0, 4, 2, 0, 3, 0)
    yield "browse_and_odd_events", actions(2, 0, 6, 1, 0, 7, 0x80, 0x00, 3, 0)


def trace_replay_seeds():
    # Two of the kept traces of the virtual states: a one-run update and a refusal.
    traces = os.path.join(HERE, "..", "..", "tests", "traces")
    for state in ("protect-isp", "mask-0110"):
        with open(os.path.join(traces, state + ".jsonl"), "rb") as trace:
            yield state, trace.read()


TARGETS = {
    "fuzz_usb_found": usb_found_seeds,
    "fuzz_info_block": info_block_seeds,
    "fuzz_version_checks": version_checks_seeds,
    "fuzz_linux_attributes": linux_attributes_seeds,
    "fuzz_controller": controller_seeds,
    "fuzz_trace_replay": trace_replay_seeds,
}

for target, seeds in TARGETS.items():
    folder = os.path.join(HERE, target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
