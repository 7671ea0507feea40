#!/usr/bin/env python3
"""Writes the sample machine's model files.

Every model.cfg below the machine root names its model in [models] normal=NAME.mdl; this script writes
that file beside it: the leading chunks of a model file as the model header reader reads them (RIFF form
"MDLX" with MDLH, MDLG, MDLN, PARA, BBOX and RADI), and nothing else. The GUID is derived from the model
name, so the files come out the same at every run. Run it after adding a model folder:

    python3 examples/machine/tools/make_models.py
"""
import configparser
import hashlib
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent
RADIUS_METRES = 12.0


def chunk(tag: bytes, data: bytes) -> bytes:
    if len(data) % 2:
        data += b"\0"  # chunks keep an even size
    return tag + struct.pack("<I", len(data)) + data


def model_bytes(name: str) -> bytes:
    guid = hashlib.md5(("quorvath-velk-sample:" + name.lower()).encode()).digest()
    body = b"MDLX"
    body += chunk(b"MDLH", bytes(8))
    body += chunk(b"MDLG", guid)
    body += chunk(b"MDLN", name.encode() + b"\0")
    body += chunk(b"PARA", b"")
    body += chunk(b"BBOX", b"")
    body += chunk(b"RADI", struct.pack("<f", RADIUS_METRES))
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main() -> None:
    for cfg in sorted(ROOT.rglob("model.cfg")):
        parser = configparser.ConfigParser()
        parser.read(cfg)
        normal = parser.get("models", "normal", fallback="")
        if not normal:
            print(f"{cfg}: no [models] normal entry, skipped")
            continue
        target = cfg.parent / normal
        target.write_bytes(model_bytes(pathlib.Path(normal).stem))
        print(f"wrote {target.relative_to(ROOT)}")


if __name__ == "__main__":
    main()
