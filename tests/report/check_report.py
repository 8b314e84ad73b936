# Checks a Tarvex report as its reader would take it, against the data it was made from: the HTML
# well-formed (html5lib, strict) and self-contained; every chart's axes ticked at round numbers;
# every series with its points where the data puts them, read off the chart through its own tick
# marks and labels; and, with --browser, the page rendered by a headless Chromium without a
# console message, without horizontal scrolling on a phone or in print, and its best-epoch
# marks and points where the data says, its charts filling the text column with text that reads at
# every width. The heading's figures are the summary's to four significant digits, and --title
# names the job that the heading must show. Prints "ok" and what it checked; exits 1 naming the
# first thing that is wrong.
import argparse
import csv
import html.parser
import json
import math
import os
import re
import sys

import html5lib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source",
        "track", "wbr"}
TOLERANCE = 0.16  # view-box units: coordinates are written to 0.1, tick positions too


def fail(message):
    print(message)
    sys.exit(1)


class Node:
    def __init__(self, tag, attrs, parent):
        self.tag, self.attrs, self.parent = tag, dict(attrs), parent
        self.children, self.text = [], ""

    def find_all(self, tag=None, **attrs):
        for child in self.children:
            if (tag is None or child.tag == tag) and all(
                    child.attrs.get(k.replace("_", "-")) == v for k, v in attrs.items()):
                yield child
            yield from child.find_all(tag, **attrs)

    def all_text(self):
        return self.text + "".join(child.all_text() for child in self.children)


class TreeBuilder(html.parser.HTMLParser):
    """A tree of the page in which every element must be closed, and in order."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = Node("#document", [], None)
        self.open = self.root

    def handle_starttag(self, tag, attrs):
        node = Node(tag, attrs, self.open)
        self.open.children.append(node)
        if tag not in VOID:
            self.open = node

    def handle_startendtag(self, tag, attrs):
        self.open.children.append(Node(tag, attrs, self.open))

    def handle_endtag(self, tag):
        if tag in VOID:
            fail(f"end tag of the void element {tag}")
        if self.open.tag != tag:
            fail(f"</{tag}> closes <{self.open.tag}>")
        self.open = self.open.parent

    def handle_data(self, data):
        self.open.text += data


def check_self_contained(text, root):
    for node in root.find_all():
        if node.tag in ("script", "link", "img", "iframe", "object", "embed", "base", "use"):
            fail(f"the page has a <{node.tag}>")
        for name, value in node.attrs.items():
            if name.startswith("on"):
                fail(f"event handler {name} on <{node.tag}>")
            if name in ("href", "src", "xlink:href", "action", "srcset", "poster") and not (
                    value or "").startswith("#"):
                fail(f"<{node.tag} {name}={value!r}> refers outside the page")
    for style in root.find_all("style"):
        if re.search(r"url\(|@import", style.all_text()):
            fail("the style sheet refers to something outside")
    # Schemes as addresses have them: the heading's "Parameter file: job.ini" is none.
    found = re.search(
        r"(?i)\b(?:https?|ftp|wss?|file):/|\bdata:[a-z-]*[/,;]|//[a-z0-9.-]+\.[a-z]{2,}", text)
    if found:
        fail(f"the page names a network address: {found.group(0)!r}")


class AxisReading:
    """The value-to-position mapping that a chart's tick marks and their labels state."""

    def __init__(self, chart, axis, logarithmic):
        ticks = []
        for tick in chart.find_all("g", **{"class": "tick", "data_axis": axis}):
            line = next(tick.find_all("line"))
            position = float(line.attrs["x1" if axis == "x" else "y1"])
            ticks.append((float(next(tick.find_all("text")).all_text()), position))
        if len(ticks) < 2:
            fail(f"{chart.attrs['data-chart']}: fewer than two {axis} ticks")
        self.logarithmic = logarithmic
        values = [self._scaled(value) for value, _ in ticks]
        (v0, p0), (v1, p1) = (values[0], ticks[0][1]), (values[-1], ticks[-1][1])
        self.slope, self.offset = (p1 - p0) / (v1 - v0), p0 - v0 * (p1 - p0) / (v1 - v0)
        for (value, position), scaled in zip(ticks, values):
            if abs(self.position(value) - position) > TOLERANCE:
                fail(f"{chart.attrs['data-chart']}: tick {value} is off its axis")
            if not round_number(value, logarithmic, [v for v, _ in ticks]):
                fail(f"{chart.attrs['data-chart']}: tick {value} is not a round number")
        self.low, self.high = ticks[0][0], ticks[-1][0]

    def _scaled(self, value):
        return math.log10(value) if self.logarithmic else value

    def position(self, value):
        if self.logarithmic and value <= 0:
            value = self.low
        return self.slope * self._scaled(value) + self.offset

    def value(self, position):
        scaled = (position - self.offset) / self.slope
        return 10 ** scaled if self.logarithmic else scaled


def round_number(value, logarithmic, all_ticks):
    """1, 2 or 5 times a power of ten on a logarithmic axis, else (and on a narrow logarithmic
    one) a whole multiple of such a step."""
    mantissa = value / 10 ** math.floor(math.log10(abs(value)) + 1e-9) if value else 1
    if logarithmic and any(abs(mantissa - m) < 1e-6 for m in (1, 2, 5, 10)):
        return True
    step = all_ticks[1] - all_ticks[0]
    mantissa = step / 10 ** math.floor(math.log10(step) + 1e-9)
    if not any(abs(mantissa - m) < 1e-6 for m in (1, 2, 5, 10)):
        return False
    multiple = value / step
    return abs(multiple - round(multiple)) < 1e-6 + 1e-9 * abs(multiple)


def near(a, b):
    return abs(a - b) <= TOLERANCE


def polyline_points(node):
    return [tuple(map(float, pair.split(","))) for pair in node.attrs["points"].split()]


def marker_points(node):
    return [(float(x), float(y)) for x, y in re.findall(r"M(-?[\d.]+) (-?[\d.]+)", node.attrs["d"])]


def series_node(chart, name):
    found = [n for n in chart.find_all(**{"class": "series"}) if n.attrs.get("data-series") == name]
    if len(found) != 1:
        fail(f"{chart.attrs['data-chart']}: {len(found)} series named {name!r}")
    return found[0]


def read_rows(path):
    return [[float(v) for v in re.split(r"[\t,]", line.strip())]
            for line in open(path) if line.strip()]


def check_curve(chart, column, curve, training, expected, prefix="", figure=None):
    """One training's curve: the CSV's columns of that training (the final network's, or a fold's
    under its prefix "fold_1_") against the chart, and the stop and best epoch of its summary
    entry. Lines where the CSV leaves the training's fields empty are other trainings' epochs.
    A classifier's curve of figure (log_loss, on a log axis, or error_rate) has no column."""
    x_axis = AxisReading(chart, "x", False)
    y_axis = AxisReading(chart, "y", figure in (None, "log_loss"))
    name = prefix.replace("_", " ")
    drawn = {}
    for kind in ("training", "validation"):
        key = f"{kind}_{figure}" if figure else f"{prefix}{kind}_rmse_{column}"
        if key not in curve[0]:
            continue
        rows = [row for row in curve if row[key] != ""]
        points = polyline_points(series_node(chart, name + kind))
        if len(rows) <= 5000 and len(points) != len(rows):
            fail(f"curve {name}{column} {kind}: {len(points)} points for {len(rows)} epochs")
        # In epoch order, each point the next epoch (or, where the chart thins, a later one).
        row = 0
        for x, y in points:
            while row < len(rows) and not (
                    near(x, x_axis.position(int(rows[row]["epoch"]))) and
                    near(y, y_axis.position(float(rows[row][key])))):
                row += 1
            if row == len(rows):
                fail(f"curve {name}{column} {kind}: point ({x}, {y}) is not on the curve's data")
            row += 1
        drawn[name + kind] = len(rows)
    rules = {rule.attrs["data-rule"]: float(rule.attrs["x1"]) for rule in
             chart.find_all("line", **{"class": "rule"})}
    if not near(rules.get("stop", -1), x_axis.position(training["epochs"])):
        fail(f"curve {name}{column}: the stop is not marked at epoch {training['epochs']}")
    best = training["best_epoch"]
    if best is not None:
        if not near(rules.get("best", -1), x_axis.position(best)):
            fail(f"curve {name}{column}: the best epoch is not marked at {best}")
        ring = next(chart.find_all("circle", data_ring="best"))
        key = f"validation_{figure}" if figure else f"{prefix}validation_rmse_{column}"
        error = float(next(r for r in curve if r["epoch"] == str(best) and r[key] != "")[key])
        if not (near(float(ring.attrs["cx"]), x_axis.position(best)) and
                near(float(ring.attrs["cy"]), y_axis.position(error))):
            fail(f"curve {name}{column}: the ring is not on the validation error of epoch {best}")
        expected.append((chart.attrs["data-chart"], "ring", x_axis.position(best),
                         y_axis.position(error)))
    return drawn


def check_fit(chart, column, sets, expected):
    x_axis, y_axis = AxisReading(chart, "x", False), AxisReading(chart, "y", False)
    if (x_axis.low, x_axis.high) != (y_axis.low, y_axis.high):
        fail(f"fit {column}: the two axes differ")
    diagonal = polyline_points(series_node(chart, "perfect prediction"))
    for x, y in diagonal:
        if abs(x_axis.value(x) - y_axis.value(y)) > 1e-2 * (x_axis.high - x_axis.low):
            fail(f"fit {column}: the line of perfect prediction is not y = x")
    counts = {}
    for name, (predicted, actual) in sets.items():
        points = marker_points(series_node(chart, f"{name} rows"))
        rows = [(a[column - 1], p[column - 1]) for p, a in zip(predicted, actual)]
        if len(points) != min(len(rows), 2000):
            fail(f"fit {column}: {len(points)} {name} points for {len(rows)} rows")
        # In row order: each point is the next row (or, in a sample, a later one) that lies there.
        row, drawn = 0, []
        for x, y in points:
            while row < len(rows) and not (near(x, x_axis.position(rows[row][0])) and
                                           near(y, y_axis.position(rows[row][1]))):
                row += 1
            if row == len(rows):
                fail(f"fit {column}: {name} point ({x}, {y}) is no row's actual and prediction")
            drawn.append(rows[row])
            row += 1
        for actual_value, predicted_value in drawn[:: max(1, len(drawn) // 10)]:
            expected.append((chart.attrs["data-chart"], f"{name} rows",
                             x_axis.position(actual_value), y_axis.position(predicted_value)))
        counts[name] = len(points)
    return counts


def check_residuals(chart, column, predicted, actual):
    x_axis, y_axis = AxisReading(chart, "x", False), AxisReading(chart, "y", False)
    residuals = [p[column - 1] - a[column - 1] for p, a in zip(predicted, actual)]
    bars = [node for node in next(chart.find_all("g", **{"class": "bars"})).children
            if node.tag == "rect"]
    total = 0
    previous_right = None
    for bar in bars:
        left = x_axis.value(float(bar.attrs["x"]))
        right = x_axis.value(float(bar.attrs["x"]) + float(bar.attrs["width"]))
        count = y_axis.value(float(bar.attrs["y"]))
        if abs(count - round(count)) > 0.02 * max(1, y_axis.high):
            fail(f"residuals {column}: a bar is not a whole number of rows high")
        width = right - left
        if previous_right is not None and abs(left - previous_right) > 1e-3 * width:
            fail(f"residuals {column}: the bars do not touch")
        previous_right = right
        inside = sum(left <= r < right for r in residuals)
        unsure = sum(abs(r - left) < 2e-3 * width or abs(r - right) < 2e-3 * width
                     for r in residuals)
        if abs(inside - round(count)) > unsure:
            fail(f"residuals {column}: the bar from {left} to {right} counts {round(count)} rows, "
                 f"the data {inside}")
        total += round(count)
    if total != len(residuals):
        fail(f"residuals {column}: the bars count {total} rows of {len(residuals)}")
    return len(bars)


def check_heading(root, summary, title):
    """The job's name in the heading and the page's title; the figures at a glance, each the
    summary's rounded to four significant digits (as Python rounds them)."""
    if title is not None:
        shown = next(root.find_all("h1")).all_text()
        if shown != title:
            fail(f"the heading names the job {shown!r}, not {title!r}")
        if next(root.find_all("title")).all_text() != "Tarvex report: " + title:
            fail(f"the page's title does not name the job {title!r}")
    key = next((p for p in root.find_all("p") if p.attrs.get("class") == "key"), None)
    metrics = summary.get("metrics") or {}
    kind = "validation" if metrics.get("validation") else "training"
    if key is None:
        if metrics.get(kind):
            fail("the heading shows no figures")
        return
    if summary.get("classification"):
        shown = re.fullmatch(r"(Validation|Training) rows: accuracy ([^,]+), log loss ([^,]+), "
                             r"balanced accuracy (.+)", key.all_text())
        if not shown or shown.group(1).lower() != kind:
            fail(f"the heading does not show the {kind} accuracy: {key.all_text()!r}")
        for text, name in zip(shown.groups()[1:], ("accuracy", "log_loss", "balanced_accuracy")):
            if float(text) != float(f"{metrics[kind][name]:.4g}"):
                fail(f"the heading shows {name} {text} for {metrics[kind][name]}")
        return
    shown = re.findall(r"(Validation|Training) RMSE \(output (\d+)\): ([^,;]+)(?:, R\u00b2 ([^;]+))?",
                       key.all_text())
    if not shown:
        fail(f"no figures in the heading: {key.all_text()!r}")
    for name, column, rmse, r2 in shown:
        figures = metrics[kind][int(column) - 1]
        if name.lower() != kind:
            fail(f"the heading shows the {name.lower()} figures, the summary has {kind} ones")
        for text, value in ((rmse, figures["rmse"]), (r2, figures["r2"])):
            if text and float(text) != float(f"{value:.4g}"):
                fail(f"the heading shows {text} for {value} (four significant digits: {value:.4g})")


def cell_texts(row):
    return [cell.all_text() for cell in row.children if cell.tag in ("th", "td")]


def check_class_tables(root, summary):
    """The confusion matrix and the per-class table against the summary's figures, the labels as
    text (a label holding markup must not have become an element)."""
    metrics = summary["metrics"]
    figures = metrics["validation"] or metrics["training"]
    labels = summary["classification"]["classes"]
    tables = {t.attrs.get("class"): t for t in root.find_all("table")}
    rows = list(tables["confusion"].find_all("tr"))
    if cell_texts(rows[0])[1:] != labels:
        fail(f"the confusion matrix's columns are {cell_texts(rows[0])[1:]}, not {labels}")
    for label, counts, row in zip(labels, figures["confusion"], rows[1:]):
        cells = [cell for cell in row.children if cell.tag == "td"]
        shown = [int(cell.text) for cell in cells]
        if cell_texts(row)[0] != label or shown != counts:
            fail(f"the confusion row {cell_texts(row)[0]!r} shows {shown}, the summary {counts}")
        for cell, count in zip(cells, counts):
            share = float(next(cell.find_all("span")).all_text().rstrip("%"))
            if abs(share - 100 * count / max(1, sum(counts))) > 0.01:
                fail(f"the confusion row {label!r} shows a share of {share}% for {count} rows")
    if len(rows) != len(labels) + 1:
        fail(f"the confusion matrix has {len(rows) - 1} rows for {len(labels)} classes")
    rows = list(tables["per-class"].find_all("tr"))[1:]
    for item, row in zip(figures["classes"], rows, strict=True):
        cells = cell_texts(row)
        if cells[0] != item["label"]:
            fail(f"the per-class table names {cells[0]!r}, the summary {item['label']!r}")
        for text, key in zip(cells[1:], ("precision", "recall", "f1", "support", "auc")):
            value = item[key]
            if (value is None) != text.startswith("not defined") or (
                    value is not None and abs(float(text) - value) > 1e-14 * max(1, abs(value))):
                fail(f"class {item['label']!r}: {key} {text} on the page, {value} in the summary")
    if any(node.tag == "b" for node in root.find_all()):
        fail("a label's markup became an element of the page")
    return len(labels)


def check_class_charts(charts, summary, counts):
    """ROC curves from (0, 0) to (1, 1), rising, each enclosing the AUC its legend and the summary
    give; reliability points inside the unit square, both charts with their diagonal."""
    figures = summary["metrics"]["validation"] or summary["metrics"]["training"]
    classes = figures["classes"]
    charted = [classes[1]] if len(classes) == 2 else classes[:8]
    for chart_id, reference in (("roc", "chance"), ("reliability", "perfectly calibrated")):
        chart = charts.pop(chart_id)
        x_axis, y_axis = AxisReading(chart, "x", False), AxisReading(chart, "y", False)
        if (x_axis.low, x_axis.high, y_axis.low, y_axis.high) != (0, 1, 0, 1):
            fail(f"{chart_id}: the axes do not run from 0 to 1")
        nodes = list(chart.find_all(**{"class": "series"}))
        for node in nodes:
            points = polyline_points(node) if node.tag == "polyline" else marker_points(node)
            counts[(chart_id, node.attrs["data-series"])] = len(points)
        if nodes[0].attrs["data-series"] != reference:
            fail(f"{chart_id}: no diagonal")
        for item, node in zip([c for c in charted if c["auc"] is not None] if chart_id == "roc"
                              else charted, nodes[1:], strict=True):
            values = [(x_axis.value(x), y_axis.value(y)) for x, y in (
                polyline_points(node) if node.tag == "polyline" else marker_points(node))]
            if not all(-0.01 <= v <= 1.01 for point in values for v in point):
                fail(f"{chart_id} {item['label']!r}: a point outside the unit square")
            if chart_id == "reliability":
                continue
            name, prefix = node.attrs["data-series"], item["label"] + " (AUC "
            if not (name.startswith(prefix) and float(name[len(prefix):-1]) ==
                    float(f"{item['auc']:.4g}")):
                fail(f"roc: the curve {name!r} is not {item['label']!r}'s with its AUC")
            if values[0] != (0, 0) and not (abs(values[0][0]) < 1e-3 and abs(values[0][1]) < 1e-3):
                fail(f"roc {item['label']!r}: the curve does not start at (0, 0)")
            if any(b[0] < a[0] - 1e-9 or b[1] < a[1] - 1e-9 for a, b in zip(values, values[1:])):
                fail(f"roc {item['label']!r}: the curve falls")
            area = sum((b[0] - a[0]) * (a[1] + b[1]) / 2 for a, b in zip(values, values[1:]))
            if abs(area - item["auc"]) > 0.01:
                fail(f"roc {item['label']!r}: the curve encloses {area:.4f}, the AUC is {item['auc']}")
    return len(charted)


def check_layout(page, media):
    """Charts as wide as the text column, or several abreast that fill it; the charts' text read at
    11 to 16 pixels (11.5 at the least on the smallest steps' edge), whatever the width."""
    found = page.evaluate("""(() => {
      const main = document.querySelector('main'), style = getComputedStyle(main);
      const column = main.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight);
      const rows = [...document.querySelectorAll('.charts')].map(charts => {
        const gap = parseFloat(getComputedStyle(charts).columnGap) || 0, byTop = {};
        for (const svg of charts.querySelectorAll('svg.chart')) {
          const box = svg.getBoundingClientRect();
          (byTop[Math.round(box.top)] ||= []).push(box.width);
        }
        return {width: charts.getBoundingClientRect().width, gap, rows: Object.values(byTop)};
      });
      const sizes = [...document.querySelectorAll('svg.chart text')].map(text =>
        parseFloat(getComputedStyle(text).fontSize) * text.ownerSVGElement.getScreenCTM().a);
      return {column, rows, sizes};
    })()""")
    for charts in found["rows"]:
        if not media and abs(charts["width"] - found["column"]) > 1:
            fail(f"a row of charts is {charts['width']} pixels wide in a column of {found['column']}")
        for row in charts["rows"]:
            filled = sum(row) + charts["gap"] * (len(row) - 1)
            if not media and abs(filled - charts["width"]) > 1.5:
                fail(f"charts of {row} pixels leave their row of {charts['width']} unfilled")
    if found["sizes"] and not 10.5 <= min(found["sizes"]) <= max(found["sizes"]) <= 16.5:
        fail(f"the charts' text reads at {min(found['sizes']):.1f} to {max(found['sizes']):.1f} "
             "pixels")


def check_in_browser(path, expected, counts, screenshot):
    import browser
    if not browser.chromium_path():
        fail("chromium is not installed (scripts/test installs it)")
    session = browser.Browser()
    try:
        url = "file://" + os.path.abspath(path)
        for width, media in ((1000, False), (390, False), (700, True)):
            page = session.open(url, width, print_media=media)
            if page.problems():
                fail(f"the browser reported: {page.problems()}")
            scroll, inner = page.evaluate(
                "[document.documentElement.scrollWidth, window.innerWidth]")
            if scroll > inner:
                fail(f"at {width} pixels{' in print' if media else ''} the page scrolls across "
                     f"({scroll} > {inner})")
            check_layout(page, media)
            rendered = page.evaluate("""
              [...document.querySelectorAll('svg.chart')].map(svg => {
                const ctm = svg.getScreenCTM();
                return {chart: svg.dataset.chart, ctm: [ctm.a, ctm.d, ctm.e, ctm.f],
                  series: [...svg.querySelectorAll('.series')].map(s => [s.dataset.series,
                    s.tagName === 'polyline' ? s.points.numberOfItems
                                             : (s.getAttribute('d').match(/M/g) || []).length]),
                  rings: [...svg.querySelectorAll('.ring')].map(r => {
                    const b = r.getBoundingClientRect();
                    return [b.x + b.width / 2, b.y + b.height / 2]; })};
              })""")
            seen = {(chart["chart"], name): count for chart in rendered
                    for name, count in chart["series"]}
            if seen != counts:
                fail(f"the browser shows other series or point counts: {seen} against {counts}")
            ctms = {chart["chart"]: chart["ctm"] for chart in rendered}
            rings = {chart["chart"]: chart["rings"] for chart in rendered}
            hits = misses = 0
            for chart, kind, x, y in expected:
                a, d, e, f = ctms[chart]
                screen = (a * x + e, d * y + f)
                if kind == "ring":
                    if not any(abs(rx - screen[0]) < 1 and abs(ry - screen[1]) < 1
                               for rx, ry in rings[chart]):
                        fail(f"{chart}: the browser draws the best epoch's ring elsewhere "
                             f"than at {screen}")
                    continue
                # Every element drawn there, those under others too.
                found = page.evaluate(
                    f"document.elementsFromPoint({screen[0]}, {screen[1]})"
                    f".map(e => e.dataset ? e.dataset.series : null)")
                if kind in found:
                    hits += 1
                else:
                    misses += 1
            if media:
                continue
            # Hit testing of a stroke's edge may go either way; nearly every point must be hit.
            if hits < 0.9 * (hits + misses):
                fail(f"at {width} pixels only {hits} of {hits + misses} points were found where "
                     "the data puts them")
        if screenshot:
            # The heading and the charts, as README shows them; the tables are text.
            page = session.open(url, 640)
            page.screenshot(screenshot, 640, 0, page.evaluate(
                "Math.ceil(document.getElementById('tables').getBoundingClientRect().top)"))
    finally:
        session.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("report")
    parser.add_argument("--summary", required=True)
    parser.add_argument("--curve", help="the learning curve file of the same run")
    parser.add_argument("--training", nargs=2, metavar=("PREDICTED", "ACTUAL"))
    parser.add_argument("--validation", nargs=2, metavar=("PREDICTED", "ACTUAL"))
    parser.add_argument("--failure", help="a part of the failure line the heading must show")
    parser.add_argument("--title", help="the job's name that the heading must show")
    parser.add_argument("--axes-only", nargs="*", default=[], metavar="KIND",
                        help="kinds of chart (fit, residuals) to check for their axes alone")
    parser.add_argument("--browser", action="store_true")
    parser.add_argument("--classification", action="store_true",
                        help="a classifier's page: its curves, tables, ROC and reliability")
    parser.add_argument("--screenshot")
    args = parser.parse_args()

    raw = open(args.report, "rb").read()
    try:
        html5lib.HTMLParser(strict=True).parse(raw)
    except Exception as error:
        fail(f"not well-formed HTML: {error}")
    text = raw.decode("utf-8")
    builder = TreeBuilder()
    builder.feed(text)
    builder.close()
    if builder.open is not builder.root:
        fail(f"<{builder.open.tag}> is never closed")
    root = builder.root
    check_self_contained(text, root)
    summary = json.load(open(args.summary))

    header = next(root.find_all("header")).all_text()
    status = "Succeeded: exit status 0" if summary["exit_status"] == 0 else "Failed: exit status 1"
    if status not in header:
        fail(f"the heading does not say {status!r}")
    if args.failure and args.failure not in header:
        fail(f"the heading does not show the failure {args.failure!r}")
    check_heading(root, summary, args.title)

    charts = {svg.attrs["data-chart"]: svg for svg in root.find_all("svg", **{"class": "chart"})}
    expected, counts, report = [], {}, []
    columns = (summary["network"] or {}).get("outputs", 0)
    if args.curve and args.classification:
        curve = list(csv.DictReader(open(args.curve, newline="")))
        for figure in ("log_loss", "error_rate"):
            chart = f"class-curve-{figure.replace('_', '-')}"
            drawn = check_curve(charts.pop(chart), 1, curve, summary["training"], expected,
                                figure=figure)
            counts.update({(chart, kind): n for kind, n in drawn.items()})
        report.append(f"learning curves of {len(curve)} epochs")
    if args.classification:
        report.append(f"confusion of {check_class_tables(root, summary)} classes")
        report.append(f"ROC and reliability of {check_class_charts(charts, summary, counts)}")
    elif args.curve:
        curve = list(csv.DictReader(open(args.curve, newline="")))
        epochs = sum(row[f"training_rmse_1"] != "" for row in curve)
        for column in range(1, columns + 1):
            drawn = check_curve(charts.pop(f"curve-{column}"), column, curve, summary["training"],
                                expected)
            counts.update({(f"curve-{column}", kind): n for kind, n in drawn.items()})
        report.append(f"{columns} learning curve(s) of {epochs} epochs")
        folds = (summary.get("cross_validation") or {}).get("per_fold", [])
        for fold in folds:
            for column in range(1, columns + 1):
                chart = f"fold-{fold['fold']}-curve-{column}"
                drawn = check_curve(charts.pop(chart), column, curve, fold, expected,
                                    f"fold_{fold['fold']}_")
                counts.update({(chart, kind): n for kind, n in drawn.items()})
        if folds:
            report.append(f"{len(folds)} folds' curves")
    sets = {}
    for name, files in (("training", args.training), ("validation", args.validation)):
        if files:
            sets[name] = (read_rows(files[0]), read_rows(files[1]))
    if sets:
        for column in range(1, columns + 1):
            chart = f"fit-{column}"
            for name, count in check_fit(charts.pop(chart), column, sets, expected).items():
                counts[(chart, f"{name} rows")] = count
            counts[(chart, "perfect prediction")] = 2
        for name, (predicted, _) in sets.items():
            if len(predicted) > 2000 and (
                    f"A sample: the chart shows 2000 of the {len(predicted)} {name} rows"
                    not in root.all_text()):
                fail(f"the {name} points are a sample, and the page does not say so")
        report.append("fit of " + ", ".join(f"{len(p)} {n}" for n, (p, _) in sets.items()) +
                      " rows")
    if "validation" in sets:
        bars = [check_residuals(charts.pop(f"residuals-{column}"), column, *sets["validation"])
                for column in range(1, columns + 1)]
        report.append(f"residuals in {bars} bins")
    axes_only = sorted(chart for chart in charts if chart.rsplit("-", 1)[0] in args.axes_only)
    for chart in axes_only:
        svg = charts.pop(chart)
        AxisReading(svg, "x", False)
        AxisReading(svg, "y", False)
        counts.update({(chart, node.attrs["data-series"]): len(
            polyline_points(node) if node.tag == "polyline" else marker_points(node))
            for node in svg.find_all(**{"class": "series"})})
    if axes_only:
        report.append("axes of " + ", ".join(axes_only))
    if charts:
        fail(f"charts that the data does not explain: {sorted(charts)}")
    if args.browser or args.screenshot:
        check_in_browser(args.report, expected, counts, args.screenshot)
        report.append("rendered")
    print("ok: " + "; ".join(report))


main()
