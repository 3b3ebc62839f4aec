"""A host reads two members of a combined record (CSESDZentoRec) by name:
the systolic pressure of its NIBP reading, as a physical value with its
units code, and the patient's identifier.

    python3 examples/read_record.py RECORD.bin

(`qova encode CSESDZentoRec NIBPData.Systolic=120 Patient.Identifier=P-0042 -o RECORD.bin`
makes one.)
"""
import sys

import xqova


def main(argv):
    if len(argv) != 2:
        print("usage: read_record.py RECORD.bin", file=sys.stderr)
        return 2
    with open(argv[1], "rb") as f:
        data = f.read()
    dictionary = xqova.Dictionary.device()
    try:
        record = dictionary.decode(data)
    except xqova.DecodeError as why:
        print("refused: %s" % why)
        return 1
    try:
        pressure = record.physical("NIBPData.Systolic")
        patient = record["Patient.Identifier"]
    except (KeyError, TypeError):
        print("no such members")
        return 1
    print("Systolic: %g (units code %u)" % (pressure.value, pressure.units))
    print("Patient.Identifier: %s" % patient)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
