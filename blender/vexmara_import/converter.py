# Runs the bundled vexmara-import on one model and reads its report. Nothing here touches Blender:
# the converter loads the plug-in library in a process of its own, so that a damaged model can
# never take Blender down, and writes the model as a .glb into a temporary folder.
import json
import os
import platform
import subprocess

# The converter of each system the package brings, in bin/<folder>/ beside this file.
SYSTEMS = {
    ("Linux", "x86_64"): ("linux-x64", "vexmara-import", "vexmara_64.so"),
    ("Windows", "AMD64"): ("windows-x64", "vexmara-import.exe", "vexmara_64.dlx"),
}
SYSTEM_NAMES = {"linux-x64": "Linux x86-64", "windows-x64": "Windows x64"}
PACKAGE = "vexmara-blender.zip"
REINSTALL = ("install " + PACKAGE + " again through Edit > Preferences > Add-ons > Install "
             "(scripts/package-blender writes it)")


class ConverterMissing(Exception):
    """No converter that runs here: the text says what to install."""


class Conversion:
    """What the converter made of one model."""

    def __init__(self):
        self.converted = False
        self.error = ""           # the plug-in's error text, or why the conversion failed
        self.glb = ""             # the .glb written, when converted
        self.warnings = []        # the converter's warnings
        self.missing_textures = []  # names of the materials whose texture was not found
        self.animations = []      # (name of the animation in the .glb, the .ani file it came from)
        self.counts = {}


def running_system():
    """The running system as (platform.system(), platform.machine())."""
    machine = platform.machine()
    # Windows on x64 names itself AMD64; some Pythons give x86_64 or amd64.
    if platform.system() == "Windows" and machine.lower() in ("amd64", "x86_64", "x64"):
        machine = "AMD64"
    return platform.system(), machine


def find_converter(bin_folder):
    """The path of the converter for the running system, or ConverterMissing saying why not."""
    system, machine = running_system()
    entry = SYSTEMS.get((system, machine))
    if entry is None:
        raise ConverterMissing(
            "vexmara has no converter for this system (%s %s): %s brings one for %s. Run Blender "
            "on one of those systems, or build vexmara-import for this one and put it with its "
            "plug-in library into %s" % (system or "unknown", machine or "unknown", PACKAGE,
                                          " and ".join(SYSTEM_NAMES.values()), bin_folder))
    folder, program, library = entry
    here = os.path.join(bin_folder, folder)
    for name in (program, library):
        if not os.path.isfile(os.path.join(here, name)):
            raise ConverterMissing("The converter for %s is not installed (%s is missing): %s" %
                                   (SYSTEM_NAMES[folder], os.path.join(here, name), REINSTALL))
    path = os.path.join(here, program)
    if os.name == "posix" and not os.access(path, os.X_OK):
        # Blender unpacks the add-on's zip without the files' modes.
        try:
            os.chmod(path, os.stat(path).st_mode | 0o111)
        except OSError as error:
            raise ConverterMissing("The converter %s cannot be made executable (%s): %s" %
                                   (path, error.strerror, REINSTALL))
    return path


def _environment(program):
    environment = dict(os.environ)
    if os.name == "posix":
        # The shared libraries the Linux converter needs beyond the C library come beside it.
        folder = os.path.dirname(program)
        earlier = environment.get("LD_LIBRARY_PATH")
        environment["LD_LIBRARY_PATH"] = folder + (":" + earlier if earlier else "")
    return environment


def _decode(data):
    # On Windows the converter writes to a pipe in the ANSI code page; elsewhere in UTF-8.
    return data.decode("mbcs" if os.name == "nt" else "utf-8", errors="replace")


def _did_not_start(program, reason):
    if os.name == "nt":
        needs = "it needs 64-bit Windows"
    else:
        needs = "it needs a 64-bit Linux with the GNU C library 2.34 or later (Debian 12, Ubuntu 22.04)"
    return ConverterMissing("The converter %s does not start (%s): %s; %s" %
                            (program, reason, needs, REINSTALL))


def arguments(model, glb, report, swap_model=True, submeshes_as_groups=False,
              extract_alpha_maps=False, texture_folder="", animations="MATCHED",
              animation_folder=""):
    """The converter's arguments after its own path."""
    result = [model, "-o", glb, "--report", report]
    if not swap_model:
        result.append("--no-swap")
    if submeshes_as_groups:
        result.append("--groups")
    if extract_alpha_maps:
        result.append("--alpha")
    if texture_folder:
        result += ["--textures", texture_folder]
    if animations == "MATCHED":
        result += ["--anims", "auto"]
    elif animations == "FOLDER":
        result += ["--anims", animation_folder]
    return result


# A model that keeps the converter busy longer than this is given up, and the converter with it,
# so that Blender never waits on a file for ever.
TIMEOUT_SECONDS = 600


def convert(program, model, folder, **options):
    """Converts `model` into `folder` (a fresh temporary folder) and gives its Conversion. Raises
    ConverterMissing when the converter does not start."""
    glb = os.path.join(folder, "model.glb")
    report_path = os.path.join(folder, "report.json")
    command = [program] + arguments(model, glb, report_path, **options)
    extra = {}
    if os.name == "nt":
        extra["creationflags"] = getattr(subprocess, "CREATE_NO_WINDOW", 0)
    try:
        run = subprocess.run(command, cwd=folder, env=_environment(program),
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, timeout=TIMEOUT_SECONDS, **extra)
    except OSError as error:
        raise _did_not_start(program, error.strerror or str(error))
    except subprocess.TimeoutExpired:
        conversion = Conversion()
        conversion.error = ("the converter took longer than %g s over it and was stopped"
                            % TIMEOUT_SECONDS)
        return conversion
    err = _decode(run.stderr).strip()
    if os.name == "posix" and run.returncode == 127 and (
            "error while loading shared libraries" in err or "not found" in err):
        raise _did_not_start(program, err.splitlines()[-1] if err else "exit code 127")

    conversion = Conversion()
    entry = _read_report(report_path)
    if entry is not None:
        conversion.error = entry.get("error") or ""
        conversion.warnings = list(entry.get("warnings") or [])
        conversion.counts = dict(entry.get("counts") or {})
        conversion.missing_textures = [m.get("name", "") for m in entry.get("materials") or []
                                       if m.get("missing")]
        conversion.animations = [(a.get("name", ""), a.get("file", ""))
                                 for a in entry.get("gltfAnimations") or []]
    if run.returncode == 0 and entry is not None and entry.get("status") == "converted" and \
            os.path.isfile(glb):
        conversion.converted = True
        conversion.glb = glb
        return conversion
    if not conversion.error:
        conversion.error = _failure_text(run.returncode, err, entry is not None)
    return conversion


def _read_report(path):
    try:
        with open(path, "r", encoding="utf-8") as file:
            models = json.load(file).get("models") or []
    except (OSError, ValueError, AttributeError):
        return None
    return models[0] if models and isinstance(models[0], dict) else None


def _failure_text(code, err, has_report):
    # The converter prints "vexmara-import: MODEL: TEXT" last; a usage error is followed by a
    # line pointing at --help.
    lines = [line for line in err.splitlines() if line and not line.startswith("Run with --help")]
    last = lines[-1] if lines else ""
    if code < 0:
        return "the converter was ended by signal %d before it finished" % -code
    if os.name == "nt" and code >= 0xC0000000:
        return "the converter was ended by exception 0x%08X before it finished" % code
    if last:
        return last
    if code == 0 and not has_report:
        return "the converter wrote no report"
    return "the converter failed with exit code %d" % code


def file_stem(path):
    """The file name without folder and extension, for '/' and '\\' alike."""
    name = path.replace("\\", "/").rsplit("/", 1)[-1]
    stem, dot, _ = name.rpartition(".")
    return stem if dot and stem else name
