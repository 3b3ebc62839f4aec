"""The Python package over the library: decoding golden bytes, refusals with
their reasons, members by path, the JSON and binary round trips, frames out
of a stream, and objects that outlive the references to their dictionary."""
import gc
import os
import pathlib

import pytest

import xqova

ROOT = pathlib.Path(__file__).resolve().parents[2]
SAMPLE = (ROOT / "examples" / "sample_reading.bin").read_bytes()


def hex_file(name):
    return bytes.fromhex((ROOT / "tests" / "tool" / "data" / name).read_text())


@pytest.fixture(scope="module")
def device():
    return xqova.Dictionary.device()


def make_record(dictionary):
    record = dictionary.create(0x00170001)
    record["NIBPData.Systolic"] = 120
    record["NIBPData.STime"] = xqova.Time(2024, 3, 5, 14, 32, 10, 7)
    record["Patient.Identifier"] = "P-0042"
    record["DeviceInfo.DeviceGUID"] = list(range(16))
    record["DeviceInfo.DeviceGUID[3]"] = 255
    record.valid = True
    return record


def test_golden_reading_decodes_to_its_values_and_encodes_to_the_same_bytes(device):
    reading = device.decode(SAMPLE)
    assert (reading.class_name, reading.class_id, reading.version, reading.valid, reading.dirty) == (
        "CNIBPDStd", 0x00050000, 105, True, False)
    assert list(reading) == [
        ("STime", xqova.Time(2024, 3, 5, 14, 32, 10, 0)), ("Status", 1), ("Systolic", 120), ("Diastolic", 80),
        ("MAP", 93), ("HR", 72), ("ExtStatus", 0), ("Source", 10), ("Mode", 10), ("Method", 11)]
    assert reading.encode() == SAMPLE
    assert str(reading["STime"]) == "2024/03/05 14:32:10 00"
    xml = reading.xml()
    assert xml.startswith('<DEFINITION class="CNIBPDStd" version="105"') and "STime" in xml
    assert reading.xml_utf16() == xml.encode("utf-16-le")


def crc16(data):
    register = 0xFFFF
    for byte in data:
        register ^= byte
        for _ in range(8):
            register = (register >> 1) ^ 0x8408 if register & 1 else register >> 1
    return register


def sealed(data):
    """The encoding with its checksum made right again."""
    return data[:-2] + crc16(data[:-2]).to_bytes(2, "big")


def flipped(data, index):
    damaged = bytearray(data)
    damaged[index] ^= 0x01
    return bytes(damaged)


@pytest.mark.parametrize("data, code, offset, path, found, expected", [
    (flipped(SAMPLE, 20), "checksum", 0, "", 0x9024, None),
    (SAMPLE[:30], "length", 0, "", 37, 30),
    (SAMPLE[:4], "header", 0, "", 4, 6),
    (sealed(b"\x00\x99" + SAMPLE[2:]), "unknown_class", 0, "", None, None),
    (hex_file("nested_corrupt.hex"), "checksum", 150, "NIBPData", None, None),
])
def test_refused_bytes_name_the_check_and_the_place(device, data, code, offset, path, found, expected):
    with pytest.raises(xqova.DecodeError) as refused:
        device.decode(data)
    why = refused.value
    assert (why.code, why.offset, why.path) == (code, offset, path)
    if found is not None:
        assert why.found == found
    if expected is not None:
        assert why.expected == expected
    assert str(why) == why.message and ("in " + path in why.message if path else " in " not in why.message)


def test_only_contiguous_bytes_are_read(device):
    assert device.decode(memoryview(b"\0" + SAMPLE)[1:])["Systolic"] == 120
    with pytest.raises(BufferError):
        device.decode(memoryview(bytes(b for pair in zip(SAMPLE, SAMPLE) for b in pair))[::2])


def test_members_by_path_read_write_and_refuse(device):
    record = device.decode(make_record(device).encode())
    assert record["NIBPData.Systolic"] == 120
    assert record["NIBPData"]["Systolic"] == 120
    assert record["NIBPData.STime"] == (2024, 3, 5, 14, 32, 10, 7)
    assert record["Patient.Identifier"] == "P-0042"
    assert record["DeviceInfo.DeviceGUID"] == [0, 1, 2, 255] + list(range(4, 16))
    assert record["DeviceInfo.DeviceGUID[3]"] == 255
    assert isinstance(record["NIBPData"], xqova.Object) and record["NIBPData"].class_name == "CNIBPDStd"
    assert record.physical("NIBPData.Systolic") == xqova.Physical(120.0, 255, 1, 0, 120.0)
    assert "NIBPData.Systolic" in record and "NIBPData.Systolc" not in record and "\u20ac" not in record
    with pytest.raises(KeyError, match="no member of that name at offset 9"):
        record["NIBPData.Systolc"]
    with pytest.raises(TypeError):
        record.physical("Patient.Identifier")
    for path, value, error in [("NIBPData.Systolic", 32768, ValueError), ("NIBPData.Systolic", -32769, ValueError),
                               ("NIBPData.HR", -1, ValueError), ("NIBPData.HR", "72", TypeError),
                               ("NIBPData", 1, TypeError), ("Patient.Identifier", "\u20ac", UnicodeEncodeError),
                               ("DeviceInfo.DeviceGUID[0]", 256, ValueError),
                               ("DeviceInfo.DeviceGUID", [0] * 17, ValueError)]:
        with pytest.raises(error):
            record[path] = value
    record.dirty = True
    assert (device.decode(record.encode()).dirty, record.valid, record["NIBPData"].dirty) == (True, True, False)
    record["NIBPData.Systolic"] = -32768
    record["NIBPData.HR"] = 65535
    assert (record["NIBPData.Systolic"], record["NIBPData.HR"]) == (-32768, 65535)


def test_members_present_at_the_object_version():
    sdk = xqova.Dictionary.sdk()
    older, newest = sdk.create(0x007A0801, 200), sdk.create(0x007A0801)
    assert (older.version, newest.version) == (200, 201)
    names = ["InitSeqNumber", "TotalDataSize", "DataPacketSize", "Role", "Identifier", "Descriptor"]
    assert older.keys() == names and newest.keys() == names + ["WindowSize"]
    assert older["Descriptor"] == [] and newest["WindowSize"] == 0
    assert sdk.decode(older.encode()).keys() == names
    assert sdk.decode(newest.encode(version=200)).version == 200


def test_texts_and_arrays_of_any_width_come_back_as_set():
    sdk = xqova.Dictionary.sdk()
    file = sdk.create(0x00700000)
    values = [("FileName", "Bericht \u20ac\U0001F600.txt"), ("FileName", "\ud800 alone"),
              ("FileContents", [0, 7, 255]), ("DateTime", xqova.Time(2099, 13, 40, 25, 61, 61, 99))]
    for path, value in values:
        file[path] = value
        assert sdk.decode(file.encode())[path] == value
    with pytest.raises(ValueError):
        file["FileContents"] = [256]


@pytest.mark.skipif(not xqova._xqova.has_json, reason="built without the JSON component")
def test_json_and_binary_round_trips_keep_every_byte(device):
    record = make_record(device)
    encoded = record.encode()
    back = device.from_json(record.to_json())
    assert back.encode() == encoded
    assert device.decode(encoded).encode() == encoded
    with pytest.raises(ValueError, match="Systolic"):
        device.from_json(record.to_json().replace('"value": 120', '"value": 99999', 1))


def test_frames_of_a_stream_with_noise_and_a_corrupt_frame():
    stream = hex_file("stream.hex")
    found = [(f.offset, f.class_id, len(f.data), f.status) for f in xqova.frames(stream)]
    assert found == [(0, 0x001D0000, 33, "ok"), (36, 0x00050000, 37, "corrupt"), (73, 0x00050000, 37, "ok")]
    assert xqova.frames(stream)[2].data == stream[73:]
    assert xqova.frames(b"") == [] and xqova.frames(SAMPLE)[0].species == 0
    # Fed in chunks of every size, a stream gives the same frames.
    for chunk in (1, 5, 36, 200):
        reader = xqova.StreamReader(max_frame=64)
        pieces = [reader.feed(stream[i:i + chunk]) for i in range(0, len(stream), chunk)]
        assert [f for piece in pieces for f in piece] + reader.finish() == xqova.frames(stream)
        assert (reader.corrupt_frames, reader.discarded_bytes) == (1, 40)
    # A corrupt record: the nested encodings with good checksums come out on
    # their own; the corrupt nested one inside it is not listed again.
    inside = xqova.frames(flipped(hex_file("nested_corrupt.hex"), 8))
    assert [(f.offset, f.status) for f in inside if f.status == "corrupt"] == [(0, "corrupt")]
    assert [f.offset for f in inside][:3] == [0, 25, 191] and len(inside) == 11


def test_objects_outlive_every_reference_to_their_dictionary_and_record():
    dictionary = xqova.Dictionary.device()
    record = make_record(dictionary)
    nested = record["NIBPData"]
    elements = dictionary.decode(record.encode())
    del dictionary, record
    gc.collect()
    assert nested["Systolic"] == 120 and len(nested.encode()) == 37
    assert elements["Patient.Identifier"] == "P-0042"


@pytest.mark.skipif("XQOVA_TEST_DEFINITION" not in os.environ, reason="the test definition block is written by ctest")
def test_classes_of_ones_own_from_definition_blocks():
    block = pathlib.Path(os.environ["XQOVA_TEST_DEFINITION"]).read_bytes()
    d = xqova.Dictionary.from_definitions(block)
    scaled = d.create(0x00F10000)
    scaled["Temperature"] = 365
    scaled["Libell\xe9"] = "probe \xe9"
    scaled["Samples"] = [-1, 0, 2**31 - 1]
    back = d.decode(scaled.encode())
    assert (back.class_name, back.physical("Temperature")) == ("CPyScaledDStd", xqova.Physical(182.5, 5, 5, -1, 365.0))
    assert list(back) == [("Temperature", 365), ("Libell\xe9", "probe \xe9"), ("Samples", [-1, 0, 2**31 - 1])]
    assert [back[name] for name in back.keys()] == [365, "probe \xe9", [-1, 0, 2**31 - 1]]
    assert d.decode(SAMPLE)["Systolic"] == 120
    with pytest.raises(KeyError, match="no definition serves class 0x00F10000"):
        xqova.Dictionary.device().create(0x00F10000)
    for blocks, refusal in [(block + block, "definition 1 at offset %d refused: not newer" % len(block)),
                            (flipped(block, 12), "definition 0 at offset 0 refused: checksum")]:
        with pytest.raises(ValueError, match=refusal):
            xqova.Dictionary.from_definitions(blocks)


HOST_CLASS = """{"name": "CHostDStd", "identifier": "0x00C80000", "version": 101,
 "members": [{"name": "Level", "type": "uint16", "values": ["LEVEL_LOW", {"name": "LEVEL_HIGH", "value": 10}]},
             {"name": "Temperature", "type": "int16", "units": 5, "scaleCoefficient": 5, "scaleExponent": -1},
             {"name": "Reading", "type": "object CNIBPDStd"}]}"""


@pytest.mark.skipif(not hasattr(xqova._xqova, "compile_definitions"), reason="built without the JSON component")
def test_definitions_from_their_json_form():
    blocks = xqova.compile_definitions(HOST_CLASS)
    for d in (xqova.Dictionary.from_definitions(HOST_CLASS), xqova.Dictionary.from_definitions(blocks)):
        host = d.create(0x00C80000)
        host["Level"], host["Temperature"], host["Reading.Systolic"] = 10, 365, 118
        back = d.decode(host.encode())
        assert (back.class_name, back.version, back["Reading.Systolic"]) == ("CHostDStd", 101, 118)
        assert back.physical("Temperature") == xqova.Physical(182.5, 5, 5, -1, 365.0)
    for text, refusal in [(HOST_CLASS.replace('"uint16"', '"uint17"'), "/members/0/type"),
                          (HOST_CLASS.replace("CNIBPDStd", "CNoSuchClass"), "/members/2/type")]:
        with pytest.raises(ValueError, match=refusal):
            xqova.Dictionary.from_definitions(text)
    with pytest.raises(ValueError, match="/members/2/type"):
        xqova.compile_definitions(HOST_CLASS, base="none")


def test_definitions_from_bytes():
    with pytest.raises(ValueError, match="definition 0 at offset 0 refused"):
        xqova.Dictionary.from_definitions(SAMPLE)
    assert xqova.Dictionary.from_definitions(b"").decode(SAMPLE)["Systolic"] == 120
    with pytest.raises(xqova.DecodeError):
        xqova.Dictionary.from_definitions(b"", base="none").decode(SAMPLE)
