#!/usr/bin/env python3
"""The run report in a real browser: for a few scenarios, runs the simulated
handheld with --report and --trace, opens the page in headless Chromium and
checks that it loads without a console error, needs nothing from outside,
has one mark per sweep probe (of each outcome) and one label per verdict,
and that hovering a probe or tapping a verdict shows its record. The counts
come from the trace and the log, read here on their own. A screenshot of
each page is kept in the work folder.

usage: browser.py SIM SCENARIOS_DIR WORK_DIR [NAME ...]
Exits 77 (skipped) when no Chromium is installed.
"""
import html
import json
import os
import re
import shutil
import subprocess
import sys

# The default run; a sweep with an error report; one with an address left
# unprobed; a run without a sweep whose DNS test fails and then passes.
DEFAULT_NAMES = ["default", "recovery-sweep-odd-answers", "fault-allocation-probe-target",
                 "node-dns-failure-then-repair"]

# The lines that say how a node pass or the run ended.
VERDICT = re.compile(
    r"^(Cannot associate to AP\.|Cannot get a valid Ip address\. Check:|"
    r"Valid IP but no internet connection\. Check:|Fixed IP but no internet Connection\. Check:|"
    r"   Incorrect DNS\. Check it\.|Already connected to Internet\. Exiting OK|"
    r"No networks available\. Exiting\.\.\.|Could not delete old gateway|"
    r"Malloc failed, Out of Memory!|Cannot read the IP adapter list, ERROR -?\d+|"
    r"GetIpForwardTable Failed, ERROR -?\d+|NIC name too long \(.*|"
    r"-Searching for NDIS WLAN NIC.*Not found\.)$")

# Put in front of the page's own scripts: every error and console.error.
CATCH = """<script>window.__errors = [];
window.addEventListener('error', function (e) { window.__errors.push('error: ' + e.message); });
var __ce = console.error;
console.error = function () { window.__errors.push('console: ' + [].join.call(arguments, ' ')); __ce.apply(console, arguments); };
</script>"""

# After them: what the page shows, written into the DOM for --dump-dom.
CHECK = """<script>(function () {
  var out = {errors: window.__errors, probes: {}, verdicts: []};
  ['answered', 'error', 'noanswer', 'unprobed'].forEach(function (k) {
    out.probes[k] = document.querySelectorAll('rect.probe.' + k).length;
  });
  out.probes.all = document.querySelectorAll('rect.probe').length;
  document.querySelectorAll('text.verdict-label').forEach(function (v) { out.verdicts.push(v.textContent); });
  var panel = document.getElementById('record');
  var p = document.querySelector('rect.probe:not(.unprobed)');
  if (p) { p.dispatchEvent(new MouseEvent('mouseover', {bubbles: true})); out.probePanel = panel.textContent; }
  var v = document.querySelector('text.verdict-label');
  if (v) { v.dispatchEvent(new MouseEvent('click', {bubbles: true})); out.verdictPanel = panel.textContent; }
  var pre = document.createElement('pre');
  pre.id = 'browser-check';
  pre.textContent = JSON.stringify(out);
  document.body.appendChild(pre);
})();</script>"""


def chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


def browser_args(exe):
    args = [exe, "--headless", "--disable-gpu", "--hide-scrollbars", "--no-first-run",
            "--disable-extensions", "--disable-background-networking", "--mute-audio"]
    if os.geteuid() == 0:
        args.append("--no-sandbox")  # Chromium refuses to run as root otherwise
    return args


def expected(trace_path, log_path):
    records = [json.loads(l) for l in open(trace_path, encoding="utf-8", errors="replace") if l.strip()]
    run_threads = {r["thread"] for r in records if r["call"] in ("DeviceIoControl", "GetAdaptersInfo")}
    echoes = [r for r in records if r["call"] == "IcmpSendEcho" and r["thread"] not in run_threads]
    want = {"answered": 0, "error": 0, "noanswer": 0, "unprobed": 0}
    for r in echoes:
        if r.get("refused"):
            want["unprobed"] += 1
        elif r["replies"] > 0:
            want["answered" if r["status"] == 0 else "error"] += 1
        else:
            want["noanswer"] += 1
    lines = []
    if os.path.exists(log_path):
        lines = open(log_path, "rb").read().decode("latin-1").replace("\r\n", "\n").split("\n")
    for l in lines:
        m = re.match(r"     Not probed: (\d+) addresses$", l)
        if m:
            want["unprobed"] += int(m.group(1))
    want["all"] = sum(want.values())
    verdicts = [l for l in lines if VERDICT.match(l)]
    first = min((r["t"] for r in echoes), default=None)
    return want, verdicts, first


def check(sim, scenarios, work, name, exe):
    failures = []
    run = os.path.join(work, name)
    shutil.rmtree(run, ignore_errors=True)
    os.makedirs(run)
    page, trace = os.path.join(run, "report.html"), os.path.join(run, "trace.jsonl")
    cmd = [sim, "--root", os.path.join(run, "device"), "--trace", trace, "--report", page, "--quiet"]
    if name != "default":
        cmd[1:1] = ["--scenario", os.path.join(scenarios, name + ".toml")]
    subprocess.run(cmd, stdout=subprocess.DEVNULL, timeout=120)
    if not os.path.exists(page):
        return ["%s: no report was written" % name]
    text = open(page, encoding="utf-8").read()
    # Self-contained: nothing fetched from elsewhere.
    outside = re.findall(r"""(?:src|href)\s*=\s*["'](?!data:|#)[^"']*""", text)
    outside += re.findall(r"<link\b|@import|url\((?!data:)", text)
    if outside:
        failures.append("%s: the page refers outside itself: %s" % (name, outside[:3]))
    probe = os.path.join(run, "probe.html")
    with open(probe, "w", encoding="utf-8") as f:
        f.write(text.replace("<head>", "<head>" + CATCH, 1).replace("</body>", CHECK + "</body>", 1))
    args = browser_args(exe)
    dom = subprocess.run(args + ["--enable-logging=stderr", "--v=0", "--dump-dom", "file://" + probe],
                         capture_output=True, text=True, timeout=120)
    console = [l for l in dom.stderr.splitlines() if "CONSOLE" in l]
    if console:
        failures.append("%s: console messages: %s" % (name, console[:3]))
    m = re.search(r'<pre id="browser-check">(.*?)</pre>', dom.stdout, re.S)
    if not m:
        return failures + ["%s: the page's check did not run (exit %d)" % (name, dom.returncode)]
    got = json.loads(html.unescape(m.group(1)))
    want, verdicts, first = expected(trace, os.path.join(run, "device", "Temp", "Quorvelta.log"))
    if got["errors"]:
        failures.append("%s: errors in the page: %s" % (name, got["errors"]))
    if got["probes"] != want:
        failures.append("%s: probe marks %s, the trace and log say %s" % (name, got["probes"], want))
    if got["verdicts"] != [v for v in verdicts]:
        failures.append("%s: verdict labels %s, the log has %s" % (name, got["verdicts"], verdicts))
    if first is not None and not re.search(r'^call: "IcmpSendEcho"$', got.get("probePanel", ""), re.M):
        failures.append("%s: hovering a probe shows %r" % (name, got.get("probePanel")))
    if first is not None and not re.search(r"^t: %d$" % first, got.get("probePanel", ""), re.M):
        failures.append("%s: the first probe mark is not the first echo (t %d): %r"
                        % (name, first, got.get("probePanel")))
    if verdicts and "console: " + json.dumps(verdicts[0], ensure_ascii=False) not in got.get("verdictPanel", ""):
        failures.append("%s: tapping a verdict shows %r" % (name, got.get("verdictPanel")))
    shot = os.path.join(work, "report-%s.png" % name)
    subprocess.run(args + ["--window-size=1220,1700", "--screenshot=" + shot, "file://" + page],
                   capture_output=True, timeout=120)
    if not os.path.exists(shot):
        failures.append("%s: no screenshot" % name)
    print("%s: %d probe marks, %d verdict labels, screenshot %s"
          % (name, got["probes"]["all"], len(got["verdicts"]), shot))
    return failures


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    sim, scenarios, work = sys.argv[1:4]
    names = sys.argv[4:] or DEFAULT_NAMES
    exe = chromium()
    if not exe:
        print("no Chromium installed (scripts/install-deps.sh browser): skipped")
        return 77
    os.makedirs(work, exist_ok=True)
    failures = []
    for name in names:
        failures += check(os.path.abspath(sim), scenarios, os.path.abspath(work), name, exe)
    for f in failures:
        print("FAIL: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
