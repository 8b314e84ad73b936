# What both set benchmarks share: reading FANN's set format, running FANN and tarvex on a set in
# a scratch folder with their processor time, and the table printer.
import json, os, re, resource, subprocess, sys

SETS = os.environ.get("SETS", "/work/shared/benchmarks")
RUNS = int(os.environ.get("RUNS", "1"))
# Children print numbers with a decimal point whatever the caller's locale.
CHILD_ENV = dict(os.environ, LC_ALL="C")


def read_set(path):
    """A FANN set file as (inputs, outputs): lists of rows of the numbers' texts as written."""
    with open(path) as f:
        words = f.read().split()
    rows, inputs, outputs = (int(w) for w in words[:3])
    values = iter(words[3:])
    ins, outs = [], []
    for _ in range(rows):
        ins.append([next(values) for _ in range(inputs)])
        outs.append([next(values) for _ in range(outputs)])
    return ins, outs


def write_rows(path, rows):
    with open(path, "w") as f:
        for row in rows:
            f.write("\t".join(row) + "\n")


def read_numbers(path):
    """Rows of numbers from a tarvex text output or the FANN program's output."""
    with open(path) as f:
        return [[float(v) for v in line.split()] for line in f if line.strip()]


def shortest(run):
    """run() RUNS times; its first result (every run is seeded, so the runs must agree) and the
    shortest processor time (None for a run that did not happen)."""
    results = [run() for _ in range(RUNS)]
    if any(result[0] != results[0][0] for result in results):
        sys.exit("the runs of one peer gave different results")
    times = [result[1] for result in results if result[1] is not None]
    return results[0][0], min(times) if times else None


def seconds_text(seconds):
    return "-" if seconds is None else f"{seconds:.2f}"


def children_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run_child(command, cwd):
    """Runs a program; returns (exit status, processor seconds of it and its threads)."""
    start = children_seconds()
    status = subprocess.run(command, cwd=cwd, env=CHILD_ENV, stdout=subprocess.DEVNULL).returncode
    return status, children_seconds() - start


def run_fann(fann_peer, train, test, hidden, rate, momentum, folder, seed=1, epochs=300):
    """FANN's outputs for the test rows and its processor seconds."""
    status, seconds = run_child([fann_peer, train, test, str(hidden), str(rate), str(momentum),
                                 str(epochs), str(seed), "fann.txt"], folder)
    if status != 0:
        sys.exit(f"fann_peer failed on {train} (exit {status})")
    return read_numbers(os.path.join(folder, "fann.txt")), seconds


def prepare_folder(scratch, name, train, test):
    """The set's scratch folder with tarvex's inputs (ti, to, pi); returns it and the test rows."""
    if not os.path.exists(train) or not os.path.exists(test):
        sys.exit(f"no set {name}: {train} and {test} are needed")
    folder = os.path.join(scratch, name)
    os.makedirs(folder, exist_ok=True)
    train_in, train_out = read_set(train)
    test_in, test_out = read_set(test)
    write_rows(os.path.join(folder, "ti.txt"), train_in)
    write_rows(os.path.join(folder, "to.txt"), train_out)
    write_rows(os.path.join(folder, "pi.txt"), test_in)
    return folder, train_in, train_out, test_in, test_out


def last_log_line(folder):
    try:
        with open(os.path.join(folder, "run.log")) as f:
            lines = [line.rstrip() for line in f if line.strip() and not line.startswith(" ")]
        return lines[-1] if lines else "(no log line)"
    except OSError:
        return "(no log)"


class Tarvex:
    """The tarvex program under test, and which of the options given to it it knows."""

    def __init__(self, path, scratch):
        self.path, self.scratch, self.known = path, scratch, {}

    def knows(self, key):
        # Tarvex ignores a key it does not know (its command line has always done so). A key is
        # known when the run summary lists it among the options, or when a value that no option
        # takes is refused with exit status 1.
        if key not in self.known:
            folder = os.path.join(self.scratch, "probe")
            os.makedirs(folder, exist_ok=True)
            write_rows(os.path.join(folder, "ti.txt"), [["0", "0"], ["0", "1"], ["1", "0"]])
            write_rows(os.path.join(folder, "to.txt"), [["0"], ["1"], ["1"]])
            status, _ = run_child([self.path, "/tif=ti.txt", "/tof=to.txt", "/pif=ti.txt",
                                   "/pof=po.txt", "/ep=1", "/sof=summary.json"], folder)
            with open(os.path.join(folder, "summary.json")) as f:
                listed = key in json.load(f)["options"]
            refused = run_child([self.path, "/tif=ti.txt", "/tof=to.txt", "/pif=ti.txt",
                                 "/pof=po.txt", "/ep=1", f"/{key}=#?#"], folder)[0] == 1
            self.known[key] = status == 0 and (listed or refused)
        return self.known[key]

    def run(self, folder, options):
        """Trains on ti/to and predicts pi; returns (predictions or None, seconds, note). The
        note says which option is missing, why the run failed, or where training stopped; the
        table shows what comes before a ";"."""
        for key in re.findall(r"/\s*([a-z]+)\s*=", options.lower()):
            if not self.knows(key):
                return None, None, f"not available (no /{key})"
        for name in ("po.txt", "run.log", "summary.json"):
            if os.path.exists(os.path.join(folder, name)):
                os.remove(os.path.join(folder, name))
        # The command text is the arguments joined by blanks, so the options pass as one.
        status, seconds = run_child([self.path, "/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt",
                                     "/pof=po.txt", "/log=run.log", "/sof=summary.json",
                                     options], folder)
        if status != 0:
            return None, seconds, f"not available (exit {status}); log: {last_log_line(folder)}"
        with open(os.path.join(folder, "summary.json")) as f:
            training = json.load(f).get("training") or {}
        note = f"best epoch {training.get('best_epoch')} of {training.get('epochs')}"
        return os.path.join(folder, "po.txt"), seconds, note


def print_table(header, rows):
    widths = [max(len(str(row[i])) for row in [header] + rows) for i in range(len(header))]
    for row in [header] + rows:
        print("  ".join(str(cell).rjust(width) for cell, width in zip(row, widths)))


def uptime():
    return subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
