#!/usr/bin/python3
# Judges DXF files with ezdxf (Debian python3-ezdxf), a reader that is not
# ours: each file is read strictly and audited. Prints one JSON line per file,
# in the order given:
#   {"file": ..., "version": "AC1032", "errors": [...], "fixes": [...],
#    "entities": {"LINE": 3, "VERTEX": 8, ...},
#    "acis": [["3DSOLID", 1204, 3735928559], ...]}
# or {"file": ..., "read_error": "..."} when ezdxf cannot read it. Entities are
# counted in every layout and block definition, with the vertices of
# polylines and the attributes of inserts under their own names. "acis" gives
# each ACIS entity's modeller data as ezdxf found it: SAB bytes, or the SAT
# lines joined by line feeds, by length and CRC-32. Exit status 1
# when any file has a read error or an audit error.
#   ezdxf-check.py [--jobs N] FILE.dxf...
import json
import multiprocessing
import sys


def count_entities(doc):
    counts = {}

    def add(kind, n=1):
        counts[kind] = counts.get(kind, 0) + n

    for block in doc.blocks:
        for entity in block:
            kind = entity.dxftype()
            add(kind)
            if kind == "POLYLINE":
                add("VERTEX", len(entity.vertices))
            elif kind == "INSERT":
                n = len(entity.attribs)
                if n:
                    add("ATTRIB", n)
    return counts


ACIS_KINDS = {"3DSOLID", "REGION", "BODY", "SURFACE", "PLANESURFACE", "EXTRUDEDSURFACE",
              "LOFTEDSURFACE", "REVOLVEDSURFACE", "SWEPTSURFACE", "NURBSURFACE"}


def acis_data(doc):
    import zlib

    found = []
    for block in doc.blocks:
        for entity in block:
            if entity.dxftype() not in ACIS_KINDS:
                continue
            if not hasattr(entity, "has_binary_data"):  # a kind this ezdxf keeps as tags
                found.append([entity.dxftype(), None, None])
            else:
                if entity.has_binary_data:
                    data = bytes(entity.sab)
                else:
                    data = "\n".join(entity.sat).encode("latin-1", "replace")
                found.append([entity.dxftype(), len(data), zlib.crc32(data)])
    return found


def judge(path):
    import ezdxf

    try:
        doc = ezdxf.readfile(path)
    except Exception as error:  # any failure to read is the verdict
        return {"file": path, "read_error": f"{type(error).__name__}: {error}"}
    auditor = doc.audit()
    return {
        "file": path,
        "version": doc.dxfversion,
        "errors": [f"{e.code}: {e.message}" for e in auditor.errors],
        "fixes": [f"{e.code}: {e.message}" for e in auditor.fixes],
        "entities": count_entities(doc),
        "acis": acis_data(doc),
    }


def main(argv):
    jobs = 2
    if len(argv) >= 2 and argv[0] == "--jobs":
        jobs = max(1, int(argv[1]))
        argv = argv[2:]
    failed = False
    if jobs == 1 or len(argv) < 2:
        results = map(judge, argv)
    else:
        pool = multiprocessing.Pool(min(jobs, len(argv)))
        results = pool.imap(judge, argv)
    for result in results:
        failed = failed or "read_error" in result or bool(result["errors"])
        print(json.dumps(result, ensure_ascii=False, sort_keys=True), flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
