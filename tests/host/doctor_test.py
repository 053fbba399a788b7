#!/usr/bin/env python3
"""tramole-host doctor under Wine: one named case per fault a support engineer
meets, each set up with a real printer in the prefix's registry and a real
companion (or none) in its driver directory.

For every doctor case: the exit code, the failed step's name and error code,
the named missing DLL where there is one, key words of the verdict, that
--json parses and that it says what the text report says. Then `call` after a
99, `--library`, and the paths the library refuses (a decoy companion where
only a search or a cut path would find it must never be loaded).

  doctor_test.py --wine WINE64 --prefix PREFIX --wine-sh WINE_SH --host EXE
                 --library DLL --qdf QDF_EXE --companions DIR
"""
import argparse
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

ROOT = "C:\\tramole doctor\\"
HOST_DIR = ROOT + "host\\"
OTHER_DIR = ROOT + "other library\\"
DRIVERS = ROOT + "drivers\\"
DECOY_TEXT = "DECOY COMPANION LOADED"
FORWARD_EXPORTS = ["DALVIRE_SettingExport", "DALVIRE_SettingImport", "DALVIRE_PersonalInfoImport",
                   "DALVIRE_DefaultSetting", "DALVIRE_FixSetting"]

failures = []
passes = 0


def check(ok, row, what, got, expected):
    global passes
    if ok:
        passes += 1
    else:
        failures.append(f"FAIL [{row}] {what}: got {got!r}, expected {expected!r}")
        print(failures[-1], flush=True)
    return ok


def pe32_dll():
    """A minimal but well-formed 32-bit (i386) DLL image without sections."""
    dos = bytearray(0x40)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 0x40)
    file_header = struct.pack("<HHIIIHH", 0x014C, 0, 0, 0, 0, 0xE0, 0x2102)
    optional = bytearray(0xE0)
    struct.pack_into("<H", optional, 0, 0x10B)              # PE32
    struct.pack_into("<I", optional, 28, 0x10000000)        # image base
    struct.pack_into("<II", optional, 32, 0x1000, 0x200)    # section, file alignment
    struct.pack_into("<H", optional, 40, 4)                 # OS version
    struct.pack_into("<H", optional, 48, 4)                 # subsystem version
    struct.pack_into("<II", optional, 56, 0x1000, 0x200)    # image, headers size
    struct.pack_into("<H", optional, 68, 2)                 # GUI subsystem
    struct.pack_into("<I", optional, 92, 16)                # data directories
    image = bytes(dos) + b"PE\0\0" + file_header + bytes(optional)
    return image + bytes(0x200 - len(image))


class Wine:
    def __init__(self, args):
        self.args = args
        self.drive_c = os.path.join(args.prefix, "drive_c")

    def unix(self, win_path):
        assert win_path[:3].upper() == "C:\\", win_path
        return os.path.join(self.drive_c, *win_path[3:].split("\\"))

    def put(self, win_path, source=None, data=None):
        path = self.unix(win_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if source:
            shutil.copyfile(source, path)
        else:
            with open(path, "wb") as f:
                f.write(data)

    def command(self, *argv):
        return ["bash", self.args.wine_sh, "--wine", self.args.wine, self.args.prefix, *argv]

    def run(self, program, *argv):
        done = subprocess.run(self.command("run", program, *argv), stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=120)
        return done.returncode, done.stdout.decode("utf-8", "replace").replace("\r", "")

    def regedit(self, text):
        # The Unicode form of a .reg file, so that names in any script arrive whole.
        with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False, encoding="utf-16") as f:
            f.write("Windows Registry Editor Version 5.00\r\n\r\n" + text.replace("\n", "\r\n"))
        try:
            subprocess.run(self.command("regedit", f.name), check=True, timeout=120)
        finally:
            os.unlink(f.name)


def reg_string(value):
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


def printer_reg(printer, driver, driver_value, register_driver=True):
    """Registry text for a printer using `driver`; driver_value None leaves the
    driver without a Driver value."""
    text = ""
    if register_driver:
        text += ("[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Environments\\"
                 f"Windows x64\\Drivers\\Version-3\\{driver}]\n\"Version\"=dword:00000003\n")
        if driver_value is not None:
            text += f"\"Driver\"={reg_string(driver_value)}\n"
        text += "\n"
    text += (f"[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Printers\\{printer}]\n"
             f"\"Name\"={reg_string(printer)}\n\"Printer Driver\"={reg_string(driver)}\n"
             "\"Port\"=\"FILE:\"\n\"Print Processor\"=\"winprint\"\n\"Datatype\"=\"RAW\"\n\n")
    return text


# ---- the report, as text and as JSON

STEP_LINE = re.compile(r"^([a-z-]+): (passed|FAILED)(?:, error (\d+))?$")


def parse_text(output):
    """The steps, verdict and failed step of a text report."""
    steps, verdict, failed = [], None, None
    for line in output.split("\n"):
        m = STEP_LINE.match(line)
        if m:
            steps.append({"step": m.group(1), "ok": m.group(2) == "passed",
                          "error": int(m.group(3)) if m.group(3) else None, "detail": None, "fields": {}})
        elif line.startswith("  ") and steps:
            if steps[-1]["detail"] is None:
                steps[-1]["detail"] = line[2:]
            else:
                key, _, value = line[2:].partition(": ")
                steps[-1]["fields"][key] = value
        elif line.startswith("verdict: "):
            verdict = line[len("verdict: "):]
        elif line.startswith("failed step: "):
            failed = line[len("failed step: "):]
    return {"steps": steps, "verdict": verdict, "failed_step": None if failed == "none" else failed}


def field_text(value):
    if isinstance(value, bool):
        return "yes" if value else "no"
    if isinstance(value, list):
        return ", ".join(value) if value else "(none)"
    return str(value)


def json_as_text(report):
    steps = []
    for s in report["steps"]:
        fields = {k: field_text(v) for k, v in s.items() if k not in ("step", "ok", "error", "detail")}
        steps.append({"step": s["step"], "ok": s["ok"], "error": s["error"], "detail": s["detail"],
                      "fields": fields})
    return {"steps": steps, "verdict": report["verdict"], "failed_step": report["failed_step"]}


def step_of(report, name):
    for s in report["steps"]:
        if s["step"] == name:
            return s
    return None


# ---- the cases

class Case:
    def __init__(self, row, printer, failed_step, error, verdict, missing_dll=None, export=None,
                 detail=None, exit_code=3, library=None):
        self.row, self.printer, self.failed_step, self.error = row, printer, failed_step, error
        self.verdict, self.missing_dll, self.export, self.detail = verdict, missing_dll, export, detail
        self.exit_code, self.library = exit_code, library


def run_doctor(wine, case):
    host = HOST_DIR + "tramole-host.exe"
    options = ["--library", case.library] if case.library else []
    tail = [case.printer] + ([case.export] if case.export else [])
    code, text = wine.run(host, *options, "doctor", *tail)
    json_code, json_text = wine.run(host, *options, "doctor", "--json", *tail)
    row = case.row
    print(f"---- {row}\n{text}", flush=True)
    check(code == case.exit_code, row, "exit code", code, case.exit_code)
    check(json_code == case.exit_code, row, "exit code with --json", json_code, case.exit_code)
    check(DECOY_TEXT not in text + json_text, row, "decoy companion", "loaded", "never loaded")
    try:
        report = json.loads(json_text)
    except ValueError as e:
        check(False, row, "--json output", f"{e}: {json_text[:300]}", "one JSON object")
        return
    check(report.get("printer") == case.printer, row, "printer in the JSON", report.get("printer"), case.printer)
    check(report.get("failed_step") == case.failed_step, row, "failed_step", report.get("failed_step"),
          case.failed_step)
    parsed = parse_text(text)
    as_text = json_as_text(report)
    check(parsed["failed_step"] == case.failed_step, row, "failed step in the text", parsed["failed_step"],
          case.failed_step)
    check(parsed == as_text, row, "text report against --json", parsed, as_text)
    names = [s["step"] for s in report["steps"]]
    expected_order = ["library", "datafile", "printer", "driver", "companion-path", "companion-file",
                      "companion-load", "entry-points"]
    # Steps run in their order; only the data file step is left out, when
    # the library cannot be loaded.
    check([n for n in expected_order if n in names] == names and names[:1] == ["library"], row,
          "steps in order", names, expected_order)
    for word in case.verdict:
        check(word in report["verdict"], row, "verdict", report["verdict"], f"words {word!r}")
    if case.failed_step is None:
        check(names == expected_order and all(s["ok"] for s in report["steps"]), row, "steps",
              names, "all eight, passed")
        return
    failed = step_of(report, case.failed_step)
    if not check(failed is not None, row, "failed step in the list", names, case.failed_step):
        return
    check(failed["error"] == case.error, row, f"error of {case.failed_step}", failed["error"], case.error)
    if case.detail:
        check(case.detail in failed["detail"], row, f"detail of {case.failed_step}", failed["detail"],
              case.detail)
    if case.missing_dll:
        load = step_of(report, "companion-load") or {}
        check(case.missing_dll in load.get("missing_dlls", []), row, "missing DLLs",
              load.get("missing_dlls"), case.missing_dll)
        check(f"{case.missing_dll} not found" in text, row, "text names the missing DLL", text,
              f"{case.missing_dll} not found")


def set_up(wine, args):
    """The host beside the library and a data file; another library with other
    texts; every printer, driver and companion of the cases."""
    comp = args.companions
    src = tempfile.mkdtemp()
    try:
        for name, texts in (("host", "Host text"), ("other", "Other library text")):
            source = os.path.join(src, name + ".txt")
            with open(source, "w") as f:
                for i in range(16):
                    f.write(f"ERMSG_{i:02d} = {texts} {i}\n")
                f.write(f"ERMSG_XX = {texts} fallback\n")
            wine.put(ROOT + "sources\\" + name + ".txt", source=source)
    finally:
        shutil.rmtree(src)
    wine.put(HOST_DIR + "tramole-host.exe", source=args.host)
    wine.put(HOST_DIR + "TRAMOLEW.dll", source=args.library)
    wine.put(OTHER_DIR + "TRAMOLEW.dll", source=args.library)
    for name, target in (("host", HOST_DIR), ("other", OTHER_DIR)):
        code, out = wine.run(args.qdf, "build", ROOT + "sources\\" + name + ".txt", "-o",
                             target + "TRAMOLED.QDF", "--werror")
        if not check(code == 0, "setup", f"qdf build of the {name} texts", out, "exit 0"):
            return False
    # Only a search of the loader's path would find these.
    wine.put(HOST_DIR + "TRAMOLEU.DLL", source=os.path.join(comp, "decoy", "TRAMOLEU.DLL"))

    long_dir = DRIVERS + "long\\over "
    while len(long_dir) < 247:
        long_dir += "D"
    long_dir += "\\"  # drive and directory of 248 characters: the companion path cannot fit 259
    # A path cut to 259 characters would name this file.
    wine.put((long_dir + "TRAMOLEU.DLL")[:259], source=os.path.join(comp, "decoy", "TRAMOLEU.DLL"))
    wine.put(long_dir + "TRAMOLEU.DLL", source=os.path.join(comp, "decoy", "TRAMOLEU.DLL"))

    def companion(variant):
        return {"source": os.path.join(comp, variant, "TRAMOLEU.DLL")}

    setups = [
        ("Doctor Healthy Printer", "healthy", companion("full")),
        ("Doctor No Fix Printer", "no fix", companion("no-fix")),
        ("Doctor No Companion Printer", "no companion", None),
        ("Doctor No Entry Printer", "no entry", companion("no-entry")),
        ("Doctor Needs Helper Printer", "needs helper", companion("needs-helper")),
        ("Doctor DllMain False Printer", "dllmain false", companion("dllmain-false")),
        ("Doctor 32-bit Printer", "32 bit", {"data": pe32_dll()}),
        ("Doctor Text File Printer", "text file", {"data": b"This is a text file, not a library.\r\n"}),
        # A directory name no ANSI code page here holds: the narrow query
        # would give the look-alike "Comp", where a decoy waits.
        ("Doctor Wide Path Printer", "\u0108omp", companion("full")),
    ]
    wine.put(DRIVERS + "Comp\\TRAMOLEU.DLL", source=os.path.join(comp, "decoy", "TRAMOLEU.DLL"))
    reg = ""
    for printer, folder, what in setups:
        directory = DRIVERS + folder + "\\"
        reg += printer_reg(printer, printer.replace("Printer", "Driver"), directory + "DOCTOR.DLL")
        if what is None:
            os.makedirs(wine.unix(directory), exist_ok=True)
        else:
            wine.put(directory + "TRAMOLEU.DLL", **what)
    reg += printer_reg("Doctor Unregistered Driver Printer", "Doctor Driver Nobody Registered", None,
                       register_driver=False)
    reg += printer_reg("Doctor Empty Path Printer", "Doctor Empty Path Driver", "")
    reg += printer_reg("Doctor Long Dir Printer", "Doctor Long Dir Driver", long_dir + "OVER.DLL")
    wine.regedit(reg)
    return True


def main():
    parser = argparse.ArgumentParser()
    for option in ("wine", "prefix", "wine-sh", "host", "library", "qdf", "companions"):
        parser.add_argument("--" + option, required=True)
    args = parser.parse_args()
    wine = Wine(args)
    if not set_up(wine, args):
        return 1

    cases = [
        Case("healthy printer", "Doctor Healthy Printer", None, None, ["every step passed"], exit_code=0),
        Case("healthy printer, one entry point", "Doctor Healthy Printer", None, None,
             ["every step passed", "DALVIRE_FixSetting"], export="DALVIRE_FixSetting", exit_code=0),
        Case("printer does not exist", "Doctor Printer Nobody Registered", "printer", 1801,
             ["check the printer name"]),
        Case("driver not registered", "Doctor Unregistered Driver Printer", "driver", 1797,
             ["reinstall the printer driver"]),
        Case("empty driver path", "Doctor Empty Path Printer", "driver", None,
             ["reinstall the printer driver"], detail="no driver path"),
        Case("no TRAMOLEU.DLL in the driver directory", "Doctor No Companion Printer", "companion-file", 2,
             ["reinstall the printer driver package", "TRAMOLEU.DLL"]),
        Case("companion lacks the entry point", "Doctor No Entry Printer", "entry-points", None,
             ["lacks DALVIRE_SettingImport", "returns 99"], export="DALVIRE_SettingImport"),
        Case("companion lacks all five", "Doctor No Entry Printer", "entry-points", None,
             ["lacks DALVIRE_SettingExport", "DALVIRE_FixSetting"]),
        Case("companion needs a missing DLL", "Doctor Needs Helper Printer", "companion-load", 126,
             ["install the missing VENDORHLP.dll"], missing_dll="VENDORHLP.dll"),
        Case("companion's DllMain returns FALSE", "Doctor DllMain False Printer", "companion-load", 1114,
             ["DllMain"], detail="its DllMain returned FALSE"),
        Case("companion is 32-bit", "Doctor 32-bit Printer", "companion-file", 193,
             ["the companion is 32-bit: install the 64-bit driver package"], detail="x86"),
        Case("companion is a text file", "Doctor Text File Printer", "companion-file", 193,
             ["not a Windows library"], detail="not a PE image"),
        Case("companion lacks only FixSetting: FixSetting", "Doctor No Fix Printer", "entry-points", None,
             ["lacks DALVIRE_FixSetting"], export="DALVIRE_FixSetting"),
        Case("companion lacks only FixSetting: SettingImport", "Doctor No Fix Printer", None, None,
             ["every step passed", "DALVIRE_SettingImport"], export="DALVIRE_SettingImport", exit_code=0),
        Case("driver directory in another script", "Doctor Wide Path Printer", None, None, ["every step passed"],
             exit_code=0),
        Case("companion path over 259 characters", "Doctor Long Dir Printer", "companion-path", None,
             ["shorter path"], detail="refused (too long)"),
        Case("another library by --library", "Doctor Healthy Printer", None, None, ["every step passed"],
             exit_code=0, library=OTHER_DIR + "TRAMOLEW.dll"),
        Case("--library names no file", "Doctor Healthy Printer", "library", 126,
             ["--library"], library=ROOT + "nowhere\\TRAMOLEW.dll"),
    ]
    for case in cases:
        run_doctor(wine, case)

    host = HOST_DIR + "tramole-host.exe"
    # What each step's fields say for the cases where they matter.
    _, out = wine.run(host, "doctor", "--json", "Doctor 32-bit Printer")
    file_step = step_of(json.loads(out), "companion-file") or {}
    check(file_step.get("machine") == "x86" and file_step.get("dll") is True, "companion is 32-bit",
          "machine and dll", (file_step.get("machine"), file_step.get("dll")), ("x86", True))
    _, out = wine.run(host, "doctor", "--json", "Doctor No Fix Printer")
    entries = step_of(json.loads(out), "entry-points") or {}
    check(entries.get("missing") == ["DALVIRE_FixSetting"] and entries.get("present") == FORWARD_EXPORTS[:4],
          "companion lacks only FixSetting", "entry points", (entries.get("present"), entries.get("missing")),
          (FORWARD_EXPORTS[:4], ["DALVIRE_FixSetting"]))
    _, out = wine.run(host, "doctor", "--json", "Doctor Wide Path Printer")
    path = step_of(json.loads(out), "companion-path") or {}
    wide = DRIVERS + "\u0108omp\\TRAMOLEU.DLL"
    check(path.get("path") == wide, "driver directory in another script", "companion path", path.get("path"), wide)
    _, out = wine.run(host, "doctor", "--json", "Doctor Healthy Printer")
    report = json.loads(out)
    data = step_of(report, "datafile") or {}
    check(data.get("texts_loaded") == 17 and data.get("path") == HOST_DIR + "TRAMOLED.QDF", "healthy printer",
          "datafile", (data.get("path"), data.get("texts_loaded")), (HOST_DIR + "TRAMOLED.QDF", 17))
    path = step_of(report, "companion-path") or {}
    healthy = DRIVERS + "healthy\\TRAMOLEU.DLL"
    check(path.get("path", "").lower() == healthy.lower(), "healthy printer", "companion path", path.get("path"),
          healthy)

    # --library: that library's own texts and data file.
    code, out = wine.run(host, "--library", OTHER_DIR + "TRAMOLEW.dll", "list")
    check(code == 0 and '"Other library text 0"' in out and "Host text" not in out, "--library list",
          "texts", out, "the other library's texts")
    _, out = wine.run(host, "--library", OTHER_DIR + "TRAMOLEW.dll", "doctor", "--json", "Doctor Healthy Printer")
    data = step_of(json.loads(out), "datafile") or {}
    check(data.get("path") == OTHER_DIR + "TRAMOLED.QDF", "--library doctor", "data file", data.get("path"),
          OTHER_DIR + "TRAMOLED.QDF")
    code, out = wine.run(host, "list")
    check(code == 0 and '"Host text 0"' in out, "list without --library", "texts", out, "the host's texts")

    # call: the diagnosis after a 99, exit 3 on 99 and 0 otherwise.
    calls = [
        ("call: companion lacks the entry point", ["DALVIRE_FixSetting", "Doctor No Fix Printer"], 3,
         ["returned 99", "entry-points: FAILED", "lacks DALVIRE_FixSetting"]),
        ("call: missing DLL", ["DALVIRE_SettingImport", "Doctor Needs Helper Printer"], 3,
         ["returned 99", "companion-load: FAILED, error 126", "VENDORHLP.dll not found"]),
        ("call: unknown printer", ["DALVIRE_SettingImport", "Doctor Printer Nobody Registered"], 3,
         ["returned 99", "printer: FAILED, error 1801"]),
        ("call: the companion's own 99", ["DALVIRE_SettingImport", "Doctor Healthy Printer", "99"], 3,
         ["returned 99", "the 99 is the companion's own result"]),
        ("call: a result other than 99", ["DALVIRE_SettingImport", "Doctor Healthy Printer", "5"], 0,
         ["returned 5"]),
    ]
    for row, argv, exit_code, words in calls:
        code, out = wine.run(host, "call", *argv)
        print(f"---- {row}\n{out}", flush=True)
        check(code == exit_code, row, "exit code", code, exit_code)
        for word in words:
            check(word in out, row, "output", out, f"words {word!r}")
        check("datafile" not in out and DECOY_TEXT not in out, row, "output", out,
              "no data file step, no decoy")

    print(f"doctor: {passes} passed, {len(failures)} failed")
    return 0 if not failures and passes else 1


if __name__ == "__main__":
    sys.exit(main())
