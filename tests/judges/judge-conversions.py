#!/usr/bin/python3
"""Converts every sample drawing into every format the program saves and has
each file judged by readers that are not only ours:

- our reader reads each DWG back with the same entities (over model space,
  paper space and every block, by kind) less and plus exactly what the
  conversion said it took out and put in, and dwgrender draws the same
  picture as it draws of the original (ink F1 >= 0.98, scored as
  render_compare.py scores);
- LibreDWG reads every DWG with no critical error and no CRC or handle error;
- ezdxf audits every DXF with no error and finds the same entities;
  LibreCAD opens it;
- the 2000 and 2004 files of a 2018 drawing, converted back to 2018, give
  the same drawing again.

Writes the tables of what each reader said to OUT/report.md and
OUT/report.json; exit status 1 when any check failed.

usage: judge-conversions.py --build BUILD --samples SAMPLES --out OUT [--jobs N]
"""
import argparse
import collections
import concurrent.futures
import glob
import json
import multiprocessing
import os
import subprocess
import sys
import time

FORMATS = ["2000", "2004", "2010", "2013", "2018", "dxf2000", "dxf2018"]
DWG_FORMATS = [f for f in FORMATS if not f.startswith("dxf")]
F1_NEEDED = 0.98
ROUND_TRIP = ["2000", "2004"]


def load_scorer(path):
    """The functions of render_compare.py, which runs as a script."""
    source = open(path, encoding="utf-8").read()
    functions = {}
    exec(compile(source[: source.index("\nargs = [")], path, "exec"), functions)
    return functions


def ink(path, box, np, Image):
    """render_compare.py's ink with --bg auto: what stands out from the
    picture's own most common colour (a 2000 copy draws in the nearest index
    colour, which may be lighter than the true colour it stands for, and is
    the same drawing). The colours are counted packed into one number each:
    counting them as rows of three, as the script does, takes half a second a
    picture, most of the judge's time."""
    a = np.asarray(Image.open(path).convert("RGB")).astype(int)
    packed = (a[:, :, 0] << 16) | (a[:, :, 1] << 8) | a[:, :, 2]
    values, counts = np.unique(packed.ravel(), return_counts=True)
    common = values[counts.argmax()]
    background = np.array([(common >> 16) & 255, (common >> 8) & 255, common & 255])
    mask = np.abs(a - background).sum(axis=2) > 60
    ys, xs = np.nonzero(mask)
    if len(xs) == 0:
        return None
    x0, x1, y0, y1 = xs.min(), xs.max() + 1, ys.min(), ys.max() + 1
    crop = Image.fromarray((mask[y0:y1, x0:x1] * 255).astype(np.uint8))
    w, h = crop.size
    s = box / max(w, h)
    small = crop.resize((max(1, round(w * s)), max(1, round(h * s))), Image.BOX)
    canvas = Image.new("L", (box, box), 0)
    canvas.paste(small, (0, 0))
    return np.asarray(canvas) > 20


class Judge:
    def __init__(self, args):
        self.build = args.build
        self.samples = args.samples
        self.out = args.out
        self.tool = lambda name: os.path.join(self.build, "tools", name, name)
        self.scorer = load_scorer(args.compare)
        self.rows = []  # one per converted file

    def run(self, command, timeout=300):
        try:
            done = subprocess.run(command, capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            return 124, b"", b"tempo esgotado"
        return done.returncode, done.stdout, done.stderr

    def counts(self, dwg):
        code, out, err = self.run([self.tool("dwginfo"), "--json", dwg])
        if code != 0:
            return None, err.decode("utf-8", "replace").strip()
        info = json.loads(out)
        total = collections.Counter()
        for space in ("modelspace", "paperspace"):
            total.update(info[space])
        for block in info["blocks"].values():
            total.update(block)
        return total, None

    def render(self, dwg, png):
        code, _, err = self.run([self.tool("dwgrender"), dwg, png])
        return None if code == 0 else (err.decode("utf-8", "replace").strip() or "falhou")

    def ink(self, png):
        return ink(png, 512, self.scorer["np"], self.scorer["Image"])

    def f1(self, ours, b):
        """F1 of the picture ours against the reference's ink b."""
        near = self.scorer["near"]
        a = self.ink(ours)
        if a is None and b is None:
            return 1.0
        if a is None or b is None:
            return 0.0
        p = (a & near(b, 3)).sum() / max(1, a.sum())
        r = (b & near(a, 3)).sum() / max(1, b.sum())
        return float(2 * p * r / max(1e-9, p + r))

    def judge_sample(self, sample):
        name = os.path.relpath(sample, self.samples)
        work = os.path.join(self.out, name.replace("/", "_")[:-4])
        os.makedirs(work, exist_ok=True)
        rows = []
        original, why = self.counts(sample)
        if original is None:
            return [{"sample": name, "format": "-", "converted": False,
                     "problems": ["o original não se lê: " + why]}]
        reference_png = os.path.join(work, "original.png")
        render_failed = self.render(sample, reference_png)
        reference = None if render_failed else self.ink(reference_png)
        for fmt in FORMATS:
            row = {"sample": name, "format": fmt, "converted": False, "problems": []}
            rows.append(row)
            target = os.path.join(work, fmt + (".dxf" if fmt.startswith("dxf") else ".dwg"))
            report_file = os.path.join(work, fmt + ".json")
            code, _, err = self.run([self.tool("dwgconvert"), "--format", fmt, "--report",
                                     report_file, sample, target])
            if code != 0:
                row["problems"].append("não convertido: " + err.decode("utf-8", "replace").strip())
                if os.path.exists(target):
                    row["problems"].append("arquivo deixado apesar da falha")
                continue
            row["converted"] = True
            row["file"] = target
            report = json.load(open(report_file))
            row["report"] = {k["name"]: k["count"] for k in report["converted"] + report["leftOut"]}
            expected = collections.Counter(original)
            expected.subtract(report["removed"])
            expected.update(report["added"])
            row["expected"] = {k: v for k, v in expected.items() if v}
            if fmt.startswith("dxf"):
                continue
            back, why = self.counts(target)
            if back is None:
                row["problems"].append("nosso leitor não lê a cópia: " + why)
                continue
            if dict(back) != row["expected"]:
                row["problems"].append("entidades: " + difference(row["expected"], back))
            picture = os.path.join(work, fmt + ".png")
            failed = render_failed or self.render(target, picture)
            if failed:
                row["problems"].append("dwgrender: " + failed)
            else:
                row["f1"] = round(self.f1(picture, reference), 3)
                if row["f1"] < F1_NEEDED:
                    row["problems"].append("desenho diferente: F1 %.3f" % row["f1"])
            if fmt in ROUND_TRIP and os.path.basename(os.path.dirname(sample)) == "R2018":
                self.round_trip(row, target, work, fmt, reference, back)
        return rows

    def round_trip(self, row, older, work, fmt, reference, older_counts):
        again = os.path.join(work, fmt + "-2018.dwg")
        code, _, err = self.run([self.tool("dwgconvert"), "--format", "2018", older, again])
        if code != 0:
            row["problems"].append("volta a 2018: " + err.decode("utf-8", "replace").strip())
            return
        back, why = self.counts(again)
        if back is None or back != older_counts:
            row["problems"].append("volta a 2018: entidades " +
                                   (why or difference(older_counts, back)))
        picture = os.path.join(work, fmt + "-2018.png")
        failed = self.render(again, picture)
        f1 = 0.0 if failed else self.f1(picture, reference)
        row["roundTripF1"] = round(f1, 3)
        if f1 < F1_NEEDED:
            row["problems"].append("volta a 2018: desenho diferente: F1 %.3f" % f1)


# The judge of the run, inherited by the worker processes.
JUDGE = None


def judge_sample(sample):
    return JUDGE.judge_sample(sample)


def difference(expected, found):
    keys = sorted(set(expected) | set(found))
    parts = ["%s %d→%d" % (k, expected.get(k, 0), found.get(k, 0)) for k in keys
             if expected.get(k, 0) != found.get(k, 0)]
    return ", ".join(parts[:8]) + (" …" if len(parts) > 8 else "")


# Our type names as DXF names them.
def dxf_name(kind):
    for prefix, name in (("POLYLINE_", "POLYLINE"), ("VERTEX_", "VERTEX"),
                         ("DIMENSION_", "DIMENSION")):
        if kind.startswith(prefix):
            return name
    return kind


def run_judges(rows, args, jobs, timings):
    dwgs = [r for r in rows if r.get("file", "").endswith(".dwg")]
    dxfs = [r for r in rows if r.get("file", "").endswith(".dxf")]
    here = os.path.dirname(os.path.abspath(__file__))
    env = dict(os.environ, LIBREDWG_WEB_DIR=args.libredwg)
    by_file = {r["file"]: r for r in dwgs + dxfs}
    # LibreDWG, in batches: one process reads many files.
    started = time.time()
    for start in range(0, len(dwgs), 200):
        batch = [r["file"] for r in dwgs[start:start + 200]]
        done = subprocess.run(["node", os.path.join(here, "libredwg-check.mjs")] + batch,
                              capture_output=True, env=env)
        seen = set()
        for line in done.stdout.decode("utf-8", "replace").splitlines():
            verdict, _, rest = line.partition(" ")
            path = next((f for f in batch if rest.startswith(f + " ") or rest == f), None)
            if not path:
                continue
            seen.add(path)
            by_file[path]["libredwg"] = verdict
            if verdict != "ok":
                by_file[path]["problems"].append("LibreDWG: " + rest[len(path):].strip()[:200])
        for path in batch:
            if path not in seen:
                by_file[path]["libredwg"] = "sem resposta"
                by_file[path]["problems"].append(
                    "LibreDWG sem resposta: " + done.stderr.decode("utf-8", "replace")[-200:])
    timings["LibreDWG"] = time.time() - started
    if not dxfs:
        return
    files = [r["file"] for r in dxfs]
    started = time.time()
    done = subprocess.run(["/usr/bin/python3", os.path.join(here, "ezdxf-check.py"), "--jobs",
                           str(jobs)] + files, capture_output=True)
    for line in done.stdout.decode("utf-8", "replace").splitlines():
        verdict = json.loads(line)
        row = by_file.get(verdict["file"])
        if not row:
            continue
        if "read_error" in verdict:
            row["ezdxf"] = "não lê"
            row["problems"].append("ezdxf: " + verdict["read_error"][:200])
            continue
        row["ezdxf"] = "ok" if not verdict["errors"] else "erros"
        if verdict["errors"]:
            row["problems"].append("ezdxf: " + "; ".join(map(str, verdict["errors"]))[:200])
        expected = collections.Counter()
        for kind, n in row["expected"].items():
            expected[dxf_name(kind)] += n
        if dict(+expected) != verdict["entities"]:
            row["problems"].append("ezdxf, entidades: " + difference(+expected, verdict["entities"]))
    timings["ezdxf"] = time.time() - started
    started = time.time()
    done = subprocess.run(["bash", os.path.join(here, "librecad-open.sh")] + files,
                          capture_output=True)
    for line in done.stdout.decode("utf-8", "replace").splitlines():
        verdict = json.loads(line)
        row = by_file.get(verdict["file"])
        if not row:
            continue
        row["librecad"] = "abre" if verdict["opened"] else "não abre"
        if not verdict["opened"]:
            row["problems"].append("LibreCAD: " + verdict.get("reason", "")[:200])
    timings["LibreCAD"] = time.time() - started


def tables(rows):
    lines = ["# Conversões julgadas", ""]
    by_format = collections.defaultdict(list)
    for r in rows:
        by_format[r["format"]].append(r)
    lines += ["| formato | amostras | convertidas | nosso leitor (entidades) | desenho (F1 ≥ 0,98) "
              "| LibreDWG | ezdxf | LibreCAD | sem falha |", "|---|---|---|---|---|---|---|---|---|"]
    for fmt in FORMATS:
        group = by_format.get(fmt, [])
        converted = [r for r in group if r["converted"]]
        dxf = fmt.startswith("dxf")

        def passed(test):
            return "%d/%d" % (sum(1 for r in converted if test(r)), len(converted))

        ours = "—" if dxf else passed(lambda r: not any(p.startswith(("entidades", "nosso"))
                                                        for p in r["problems"]))
        picture = "—" if dxf else passed(lambda r: r.get("f1", 0) >= F1_NEEDED)
        libredwg = "—" if dxf else passed(lambda r: r.get("libredwg") == "ok")
        ezdxf = passed(lambda r: r.get("ezdxf") == "ok" and not any(
            p.startswith("ezdxf") for p in r["problems"])) if dxf else "—"
        librecad = passed(lambda r: r.get("librecad") == "abre") if dxf else "—"
        clean = "%d/%d" % (sum(1 for r in group if not r["problems"]), len(group))
        lines.append("| %s | %d | %d | %s | %s | %s | %s | %s | %s |" % (
            fmt, len(group), len(converted), ours, picture, libredwg, ezdxf, librecad, clean))
    trips = [r for r in rows if "roundTripF1" in r or any(p.startswith("volta") for p in r["problems"])]
    if trips:
        good = sum(1 for r in trips if not any(p.startswith("volta") for p in r["problems"]))
        lines += ["", "Ida e volta (2018 → 2000/2004 → 2018): %d/%d iguais" % (good, len(trips))]
    failures = [r for r in rows if r["problems"]]
    lines += ["", "## Falhas (%d)" % len(failures), ""]
    for r in failures:
        lines.append("- %s → %s: %s" % (r["sample"], r["format"], " | ".join(r["problems"])))
    conversions = collections.Counter()
    for r in rows:
        for kind, n in r.get("report", {}).items():
            conversions[(r["format"], kind)] += n
    if conversions:
        lines += ["", "## O que foi convertido", "", "| formato | tipo | quantidade |",
                  "|---|---|---|"]
        for (fmt, kind), n in sorted(conversions.items()):
            lines.append("| %s | %s | %d |" % (fmt, kind, n))
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--samples", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--compare", required=True)
    parser.add_argument("--libredwg", required=True)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--every", type=int, default=1,
                        help="judge one sample in this many, in name order, to keep a run short")
    args = parser.parse_args()
    started = time.time()
    os.makedirs(args.out, exist_ok=True)
    samples = sorted(glob.glob(os.path.join(args.samples, "R*", "*.dwg")) +
                     glob.glob(os.path.join(args.samples, "3d", "*", "*.dwg")))
    samples = samples[::max(1, args.every)]
    if not samples:
        print("nenhuma amostra em " + args.samples, file=sys.stderr)
        return 1
    global JUDGE
    JUDGE = Judge(args)
    rows = []
    # Processes, not threads: scoring the pictures holds Python's lock.
    with concurrent.futures.ProcessPoolExecutor(
            args.jobs, mp_context=multiprocessing.get_context("fork")) as pool:
        for result in pool.map(judge_sample, samples):
            rows += result
    timings = {"conversões, nosso leitor e desenhos": time.time() - started}
    run_judges(rows, args, args.jobs, timings)
    text = tables(rows)
    text += "\n%d amostras, %.0f s (%s)\n" % (
        len(samples), time.time() - started,
        ", ".join("%s %.0f s" % (name, seconds) for name, seconds in timings.items()))
    open(os.path.join(args.out, "report.md"), "w", encoding="utf-8").write(text)
    json.dump(rows, open(os.path.join(args.out, "report.json"), "w"), indent=1, default=str)
    print(text)
    return 1 if any(r["problems"] for r in rows) else 0


if __name__ == "__main__":
    sys.exit(main())
