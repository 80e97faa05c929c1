# The Blender add-on as its users get it: out/vexmara-blender.zip installed into a throw-away user
# configuration and enabled, then File > Import > Karnath 3 (.app) called as scripts call it, for
# every case of the table below, each in an empty file. Runs inside Blender (scripts/test-blender):
#
#   blender -b --factory-startup --python-exit-code 1 --python tests/blender/addon_test.py -- \
#       ZIP MAKE_SAMPLE WORK_DIR
#
# MAKE_SAMPLE is vexmara-make-sample, which writes the sample the fixtures are made from; WORK_DIR
# an empty folder. Prints one line per case and exits with 1 when any check failed.
import contextlib
import io
import json
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import tomllib
import traceback

import addon_utils
import bpy
from mathutils import Matrix, Quaternion, Vector

ZIP, MAKE_SAMPLE, WORK = sys.argv[sys.argv.index("--") + 1:][:3]
MODULE = "vexmara_import"
OPERATOR_PROPERTIES = {"filepath", "files", "directory", "swap_model", "submeshes_as_groups",
                       "extract_alpha_maps", "texture_folder", "animations", "animation_folder",
                       "bone_direction"}
UNREADABLE = "The model file could not be read."

failures = []


def check(condition, text):
    if not condition:
        failures.append(text)
    return condition


# ---- fixtures: the sample and what is made of it ------------------------------------------------

def folder(*parts):
    path = os.path.join(WORK, *parts)
    os.makedirs(path, exist_ok=True)
    return path


def copy(source_folder, names, target_folder, renames=None):
    for name in names:
        shutil.copy(os.path.join(source_folder, name),
                    os.path.join(target_folder, (renames or {}).get(name, name)))


def make_fixtures():
    sample = folder("sample")
    subprocess.run([MAKE_SAMPLE, sample], check=True, stdout=subprocess.DEVNULL)
    everything = ["sample.app", "sample.ani", "lower.tex", "lower.tga", "upper.tex", "upper.tga"]
    fixtures = {"sample": os.path.join(sample, "sample.app")}

    # Two models side by side, the first cut short after its first hundred bytes.
    two = folder("two models")
    copy(sample, everything, two)
    with open(os.path.join(sample, "sample.app"), "rb") as whole:
        head = whole.read(100)
    with open(os.path.join(two, "broken.app"), "wb") as broken:
        broken.write(head)
    fixtures["two"] = two
    fixtures["broken"] = os.path.join(two, "broken.app")

    # The sample without the texture of its material "lower".
    lost = folder("lost texture")
    copy(sample, ["sample.app", "sample.ani", "upper.tex", "upper.tga"], lost)
    fixtures["lost"] = os.path.join(lost, "sample.app")

    # Spaces and letters beyond ASCII in every part of the paths, the animation's name too.
    odd = folder("Modèles d'été", "Ωrc kör")
    copy(sample, everything, odd, {"sample.app": "bügel ørk.app", "sample.ani": "gång å.ani"})
    fixtures["odd"] = os.path.join(odd, "bügel ørk.app")

    # The model alone, and its animation under another name in a folder of its own.
    alone = folder("alone")
    copy(sample, ["sample.app", "lower.tex", "lower.tga", "upper.tex", "upper.tga"], alone)
    fixtures["alone"] = os.path.join(alone, "sample.app")
    moves = folder("moves", "deeper")
    copy(sample, ["sample.ani"], moves, {"sample.ani": "walk.ani"})
    fixtures["moves"] = os.path.dirname(moves)
    fixtures["textures"] = sample
    return fixtures


# ---- what the .glb gives: a bone's skinning matrix at a time, in Blender's axes -----------------

def read_glb(path):
    with open(path, "rb") as file:
        data = file.read()
    json_length = struct.unpack_from("<I", data, 12)[0]
    document = json.loads(data[20:20 + json_length])
    binary = data[20 + json_length + 8:]
    return document, binary


def accessor(document, binary, index):
    acc = document["accessors"][index]
    view = document["bufferViews"][acc["bufferView"]]
    width = {"SCALAR": 1, "VEC3": 3, "VEC4": 4, "MAT4": 16}[acc["type"]]
    stride = view.get("byteStride", 4 * width)
    start = view.get("byteOffset", 0) + acc.get("byteOffset", 0)
    return [struct.unpack_from("<%df" % width, binary, start + i * stride)
            for i in range(acc["count"])]


def sample_channel(times, values, path, t):
    """A LINEAR channel at time t (slerp for rotations)."""
    times = [k[0] for k in times]
    if t <= times[0]:
        return values[0]
    if t >= times[-1]:
        return values[-1]
    i = max(k for k in range(len(times)) if times[k] <= t)
    f = (t - times[i]) / (times[i + 1] - times[i])
    if path == "rotation":
        a = Quaternion((values[i][3],) + tuple(values[i][:3]))
        b = Quaternion((values[i + 1][3],) + tuple(values[i + 1][:3]))
        q = a.slerp(b, f)
        return (q.x, q.y, q.z, q.w)
    return tuple(x + (y - x) * f for x, y in zip(values[i], values[i + 1]))


def gltf_to_blender():
    return Matrix(((1, 0, 0, 0), (0, 0, -1, 0), (0, 1, 0, 0), (0, 0, 0, 1)))


def skinning_matrix(glb, animation, bone, t):
    """C · (the bone's global transform at time t) · (its inverse bind matrix) · C⁻¹."""
    document, binary = read_glb(glb)
    nodes = document["nodes"]
    local = {}
    for index, node in enumerate(nodes):
        local[index] = {"translation": tuple(node.get("translation", (0, 0, 0))),
                        "rotation": tuple(node.get("rotation", (0, 0, 0, 1))),
                        "scale": tuple(node.get("scale", (1, 1, 1)))}
    anim = next(a for a in document["animations"] if a["name"] == animation)
    for channel in anim["channels"]:
        sampler = anim["samplers"][channel["sampler"]]
        target = channel["target"]
        local[target["node"]][target["path"]] = sample_channel(
            accessor(document, binary, sampler["input"]),
            accessor(document, binary, sampler["output"]), target["path"], t)
    parent = {c: p for p, node in enumerate(nodes) for c in node.get("children", [])}

    def global_matrix(index):
        trs = local[index]
        rotation = trs["rotation"]
        matrix = Matrix.LocRotScale(Vector(trs["translation"]),
                                    Quaternion((rotation[3],) + tuple(rotation[:3])),
                                    Vector(trs["scale"]))
        return global_matrix(parent[index]) @ matrix if index in parent else matrix

    joint = next(i for i, node in enumerate(nodes) if node.get("name") == bone)
    skin = document["skins"][0]
    inverse_bind = accessor(document, binary, skin["inverseBindMatrices"])[
        skin["joints"].index(joint)]
    ibm = Matrix([inverse_bind[c::4] for c in range(4)])  # glTF stores columns
    c = gltf_to_blender()
    return c @ global_matrix(joint) @ ibm @ c.inverted(), document


def blender_skinning_matrix(armature, bone):
    pose = armature.evaluated_get(bpy.context.evaluated_depsgraph_get()).pose.bones[bone]
    world = armature.matrix_world
    return world @ pose.matrix @ armature.data.bones[bone].matrix_local.inverted() @ \
        world.inverted()


def check_pose(case, armature, action):
    """One bone's pose at a key time, from Blender's action, against the .glb."""
    program = addon.converter.find_converter(addon.BIN_FOLDER)
    glb_folder = tempfile.mkdtemp(dir=WORK)
    conversion = addon.converter.convert(program, FIXTURES["sample"], glb_folder)
    if not check(conversion.converted, "%s: the converter did not convert the sample" % case):
        return
    document, binary = read_glb(conversion.glb)
    animation = conversion.animations[0][0]
    anim = next(a for a in document["animations"] if a["name"] == animation)
    times = accessor(document, binary, anim["samplers"][0]["input"])
    t = times[7][0]  # a key in the middle of the sway
    bone = "bone_2"
    expected, _ = skinning_matrix(conversion.glb, animation, bone, t)
    scene = bpy.context.scene
    frame = t * scene.render.fps / scene.render.fps_base
    armature.animation_data.action = action
    scene.frame_set(int(math.floor(frame)), subframe=frame - math.floor(frame))
    got = blender_skinning_matrix(armature, bone)
    difference = max(abs(got[r][c] - expected[r][c]) for r in range(4) for c in range(4))
    check(difference < 1e-4, "%s: %s at frame %.3f is %s, the .glb gives %s" %
          (case, bone, frame, [tuple(round(x, 4) for x in row) for row in got],
           [tuple(round(x, 4) for x in row) for row in expected]))
    # At rest the skinning matrix is the identity: the bone must have moved for this to count.
    check(max(abs(got[r][c] - (r == c)) for r in range(4) for c in range(4)) > 1e-2,
          "%s: %s does not move at frame %.3f" % (case, bone, frame))
    shutil.rmtree(glb_folder)


# ---- the table -----------------------------------------------------------------------------------

def model(meshes=2, vertices=234, bones=4, actions=("sample",), textured=("lower", "upper"),
          untextured=(), up="Z"):
    return {"meshes": meshes, "vertices": vertices, "bones": bones, "actions": list(actions),
            "textured": set(textured), "untextured": set(untextured), "up": up}


def cases(f):
    return [
        {"name": "the sample with its animation, matched by bones",
         "call": {"filepath": f["sample"]},
         "result": "FINISHED", "collections": {"sample": model()}, "pose": True},
        {"name": "two models selected at once, the first damaged",
         "call": {"directory": f["two"], "files": [{"name": "broken.app"}, {"name": "sample.app"}]},
         "result": "FINISHED", "collections": {"sample": model()},
         "errors": ["broken.app: " + UNREADABLE]},
        {"name": "a damaged model alone",
         "call": {"filepath": f["broken"]},
         "result": "CANCELLED", "errors": ["broken.app: " + UNREADABLE]},
        {"name": "a model whose texture is missing",
         "call": {"filepath": f["lost"]},
         "result": "FINISHED",
         "collections": {"sample": model(textured=("upper",), untextured=("lower",))},
         "warnings": ['sample.app: the texture of material "lower" was not found in ' +
                      os.path.dirname(f["lost"])]},
        {"name": "the texture folder given",
         "call": {"filepath": f["lost"], "texture_folder": f["textures"]},
         "result": "FINISHED", "collections": {"sample": model()}},
        {"name": "a texture folder that is not there",
         "call": {"filepath": f["sample"], "texture_folder": os.path.join(WORK, "nowhere")},
         "result": "CANCELLED",
         "errors": ["Texture Folder: %s is not a folder" % os.path.join(WORK, "nowhere")]},
        {"name": "a path with spaces and letters beyond ASCII",
         "call": {"filepath": f["odd"]},
         "result": "FINISHED", "collections": {"bügel ørk": model(actions=("gång å",))}},
        {"name": "paths relative to the current folder",
         "cwd": WORK,
         "call": {"filepath": os.path.relpath(f["alone"], WORK), "animations": "FOLDER",
                  "animation_folder": os.path.relpath(f["moves"], WORK)},
         "result": "FINISHED", "collections": {"sample": model(actions=("walk",))}},
        {"name": "animations from a folder",
         "call": {"filepath": f["alone"], "animations": "FOLDER", "animation_folder": f["moves"]},
         "result": "FINISHED", "collections": {"sample": model(actions=("walk",))}},
        {"name": "animations from a folder not named",
         "call": {"filepath": f["alone"], "animations": "FOLDER"},
         "result": "CANCELLED",
         "errors": ["Animations from a folder: choose the animation folder"]},
        {"name": "no animations",
         "call": {"filepath": f["sample"], "animations": "NONE"},
         "result": "FINISHED", "collections": {"sample": model(actions=())}},
        {"name": "no animation below the model's folder",
         "call": {"filepath": f["alone"]},
         "result": "FINISHED", "collections": {"sample": model(actions=())}},
        {"name": "Swap model off: the game's z axis stays the file's up axis",
         "call": {"filepath": f["sample"], "swap_model": False},
         "result": "FINISHED", "collections": {"sample": model(up="-Y")}},
        {"name": "the glTF importer failing half-way",
         "call": {"filepath": f["sample"]}, "patch": "gltf_fails",
         "result": "CANCELLED", "errors": ["sample.app: Blender's glTF importer failed: "]},
        {"name": "no converter for this system",
         "call": {"filepath": f["sample"]}, "patch": "other_system",
         "result": "CANCELLED",
         "errors": ["vexmara has no converter for this system (Darwin arm64): "
                    "vexmara-blender.zip brings one for Linux x86-64 and Windows x64"]},
        {"name": "a converter that does not start",
         "call": {"filepath": f["sample"]}, "patch": "broken_converter",
         "result": "CANCELLED",
         "errors": ["vexmara-import does not start (Exec format error): it needs a 64-bit Linux"]},
        {"name": "a converter that hangs is stopped",
         "call": {"filepath": f["sample"]}, "patch": "hanging_converter",
         "result": "CANCELLED",
         "errors": ["sample.app: the converter took longer than 1 s over it and was stopped"]},
    ]


@contextlib.contextmanager
def converter_replaced_by(content):
    """The bundled converter is, for the time of the block, an executable file of `content`."""
    program = addon.converter.find_converter(addon.BIN_FOLDER)
    kept = program + ".kept"
    os.rename(program, kept)
    try:
        with open(program, "wb") as file:
            file.write(content)
        os.chmod(program, 0o755)
        yield
    finally:
        os.replace(kept, program)


@contextlib.contextmanager
def patched(kind):
    if kind == "gltf_fails":
        # The importer has made its objects, and then something fails.
        real = addon.scene._name_actions

        def failing(objects, animations):
            raise addon.scene.SceneImportFailed("made to fail after %d objects" % len(objects))
        addon.scene._name_actions = failing
        try:
            yield
        finally:
            addon.scene._name_actions = real
    elif kind == "other_system":
        real = addon.converter.running_system
        addon.converter.running_system = lambda: ("Darwin", "arm64")
        try:
            yield
        finally:
            addon.converter.running_system = real
    elif kind == "hanging_converter":
        timeout = addon.converter.TIMEOUT_SECONDS
        addon.converter.TIMEOUT_SECONDS = 1
        try:
            with converter_replaced_by(b"#!/bin/sh\nexec sleep 30\n"):
                yield
        finally:
            addon.converter.TIMEOUT_SECONDS = timeout
    elif kind == "broken_converter":
        with converter_replaced_by(b"\x7fELF but not a program"):
            yield
    else:
        yield


def data_blocks():
    return {(name, block.as_pointer()) for name in dir(bpy.data)
            for block in (getattr(bpy.data, name, None) if isinstance(
                getattr(bpy.data, name, None), bpy.types.bpy_prop_collection) else [])
            if isinstance(block, bpy.types.ID)}


def run_case(case, results):
    bpy.ops.wm.read_homefile(use_empty=True)
    scene = bpy.context.scene
    before = data_blocks()
    frames_before = (scene.frame_start, scene.frame_end)
    out = io.StringIO()
    results.clear()
    here = os.getcwd()
    with patched(case.get("patch")), contextlib.redirect_stdout(out):
        try:
            os.chdir(case.get("cwd", here))
            bpy.ops.import_scene.vexmara_app(**case["call"])
        except RuntimeError:
            pass  # an operator that reports an error raises; the result is recorded below
        finally:
            os.chdir(here)
    name = case["name"]
    printed = out.getvalue().splitlines()
    check(results == [{case["result"]}], "%s: the operator gave %s, not %s" %
          (name, results, case["result"]))

    for level, key in (("Error: ", "errors"), ("Warning: ", "warnings")):
        lines = [line[len(level):] for line in printed if line.startswith(level)]
        expected = case.get(key, [])
        check(len(lines) == len(expected) and
              all(any(e in line for line in lines) for e in expected),
              "%s: the %s reported are %s, expected %s" % (name, key, lines, expected))
    check(not any("Traceback" in line for line in printed), "%s: a traceback:\n%s" %
          (name, out.getvalue()))
    check(os.listdir(TEMPORARY) == [], "%s: left in the temporary folder: %s" %
          (name, os.listdir(TEMPORARY)))

    collections = case.get("collections", {})
    if not collections:
        check(data_blocks() == before, "%s: data blocks were made: %s" %
              (name, sorted(n for n, _ in data_blocks() - before)))
        check((scene.frame_start, scene.frame_end) == frames_before,
              "%s: the frame range changed" % name)
        return
    check(set(c.name for c in bpy.data.collections) == set(collections),
          "%s: the collections are %s" % (name, [c.name for c in bpy.data.collections]))
    first_actions = []
    for collection_name, want in collections.items():
        collection = bpy.data.collections.get(collection_name)
        if not check(collection is not None, "%s: no collection %s" % (name, collection_name)):
            continue
        check(collection.name in scene.collection.children,
              "%s: %s is not in the scene" % (name, collection_name))
        objects = list(collection.objects)
        check(all(o.users_collection == (collection,) for o in objects),
              "%s: an object of %s is in another collection too" % (name, collection_name))
        meshes = [o for o in objects if o.type == "MESH"]
        armatures = [o for o in objects if o.type == "ARMATURE"]
        check(len(meshes) == want["meshes"], "%s: %d meshes" % (name, len(meshes)))
        vertices = sum(len(o.data.vertices) for o in meshes)
        check(vertices == want["vertices"], "%s: %d vertices" % (name, vertices))
        if not check(len(armatures) == 1, "%s: %d armatures" % (name, len(armatures))):
            continue
        armature = armatures[0]
        check(len(armature.data.bones) == want["bones"], "%s: %d bones" %
              (name, len(armature.data.bones)))
        check(all(any(m.type == "ARMATURE" and m.object == armature for m in o.modifiers)
                  for o in meshes), "%s: a mesh is not deformed by the armature" % name)
        check_actions(name, armature, want["actions"], first_actions)
        check_materials(name, meshes, want)
        check_up_axis(name, meshes, want["up"])
        if case.get("pose") and armature.animation_data and armature.animation_data.action:
            check_pose(name, armature, armature.animation_data.action)
    if first_actions:
        start = math.floor(min(a.frame_range[0] for a in first_actions))
        end = math.ceil(max(a.frame_range[1] for a in first_actions))
        check((scene.frame_start, scene.frame_end) == (start, end),
              "%s: the frame range is %d..%d, the action's %d..%d" %
              (name, scene.frame_start, scene.frame_end, start, end))


def check_actions(name, armature, wanted, first_actions):
    data = armature.animation_data
    tracks = list(data.nla_tracks) if data else []
    # NLA tracks are listed bottom to top; the first animation's is on top.
    names = [t.name for t in reversed(tracks)]
    check(names == wanted, "%s: the NLA tracks are %s, expected %s" % (name, names, wanted))
    for track in tracks:
        check(len(track.strips) == 1 and track.strips[0].action is not None and
              track.strips[0].action.name == track.name,
              "%s: track %s does not hold the action %s alone" % (name, track.name, track.name))
        if track.strips and track.strips[0].action:
            action = track.strips[0].action
            check(track.strips[0].frame_start == math.floor(action.frame_range[0]),
                  "%s: the strip of %s starts at %s, its action at %s" %
                  (name, track.name, track.strips[0].frame_start, action.frame_range[0]))
    actions = sorted(a.name for a in bpy.data.actions)
    check(actions == sorted(wanted), "%s: the actions are %s" % (name, actions))
    if wanted:
        active = data.action.name if data and data.action else None
        check(active == wanted[0], "%s: the active action is %s" % (name, active))
        check(data.nla_tracks.active is not None and data.nla_tracks.active.name == wanted[0],
              "%s: the active track is not %s" % (name, wanted[0]))
        if data.action is not None:
            first_actions.append(data.action)
            check(data.action.frame_range[1] > data.action.frame_range[0],
                  "%s: the action %s has no length" % (name, data.action.name))


def check_materials(name, meshes, want):
    materials = {slot.material for o in meshes for slot in o.material_slots if slot.material}
    check({m.name for m in materials} == want["textured"] | want["untextured"],
          "%s: the materials are %s" % (name, sorted(m.name for m in materials)))
    for material in materials:
        images = [n.image for n in material.node_tree.nodes
                  if n.type == "TEX_IMAGE" and n.image is not None]
        if material.name in want["textured"]:
            check(len(images) == 1 and images[0].size[0] > 0 and images[0].has_data,
                  "%s: material %s has no image with pixels" % (name, material.name))
        else:
            check(images == [], "%s: material %s has an image" % (name, material.name))


def check_up_axis(name, meshes, up):
    # The tube runs four units along the game's z axis, from the origin.
    points = [o.matrix_world @ v.co for o in meshes for v in o.data.vertices]
    axis = {"Z": (2, 1), "-Y": (1, -1)}[up]
    far = max(p[axis[0]] * axis[1] for p in points)
    check(abs(far - 4) < 1e-3, "%s: the model reaches %.3f along %s, not 4" % (name, far, up))


# ---- the package -------------------------------------------------------------------------------

def check_package():
    import zipfile

    with zipfile.ZipFile(ZIP) as archive:
        names = set(archive.namelist())
    for wanted in ("__init__.py", "blender_manifest.toml", "bin/linux-x64/vexmara-import",
                   "bin/linux-x64/vexmara_64.so", "bin/windows-x64/vexmara-import.exe",
                   "bin/windows-x64/vexmara_64.dlx"):
        check(MODULE + "/" + wanted in names, "the package holds no %s/%s" % (MODULE, wanted))
    folder_of = os.path.dirname(addon.__file__)
    with open(os.path.join(folder_of, "blender_manifest.toml"), "rb") as file:
        manifest = tomllib.load(file)
    check(manifest.get("id") == MODULE and manifest.get("type") == "add-on",
          "the manifest names %s (%s)" % (manifest.get("id"), manifest.get("type")))
    check(manifest.get("version") == ".".join(map(str, addon.bl_info["version"])),
          "the manifest's version %s is not bl_info's %s" %
          (manifest.get("version"), addon.bl_info["version"]))
    for key in ("schema_version", "name", "tagline", "maintainer", "blender_version_min",
                "license"):
        check(key in manifest, "the manifest has no %s" % key)
    check(set(manifest.get("platforms", [])) == {"linux-x64", "windows-x64"},
          "the manifest's platforms are %s" % manifest.get("platforms"))
    check(addon.bl_info["blender"] <= (3, 4, 0), "bl_info asks for Blender %s" %
          (addon.bl_info["blender"],))

    rna = bpy.ops.import_scene.vexmara_app.get_rna_type()
    properties = {p.identifier for p in rna.properties if p.identifier != "rna_type"}
    check(properties == OPERATOR_PROPERTIES | {"filter_glob"},
          "the operator's properties are %s" % sorted(properties))
    drawn = [name for panel in addon.PANELS for name in panel.properties]
    check(sorted(drawn) == sorted(OPERATOR_PROPERTIES - {"filepath", "files", "directory"}),
          "the panels draw %s" % drawn)
    check(rna.properties["bone_direction"].default == "TEMPERANCE",
          "bone_direction does not default to TEMPERANCE")


def check_removal():
    bpy.ops.preferences.addon_disable(module=MODULE)
    menu = bpy.types.TOPBAR_MT_file_import
    drawn = getattr(menu.draw, "_draw_funcs", [])
    check(not hasattr(bpy.types, "IMPORT_SCENE_OT_vexmara_app") and
          not any(getattr(f, "__module__", "") == MODULE for f in drawn),
          "disabling leaves the operator or its menu entry")
    folder_of = os.path.dirname(addon.__file__)
    try:
        bpy.ops.preferences.addon_remove(module=MODULE)
    except RuntimeError as error:
        # Having removed the add-on, the operator redraws the preferences' area, which Blender
        # has not without a window.
        check("tag_redraw" in str(error), "removing the add-on failed: %s" % error)
    check(not os.path.exists(folder_of), "removing leaves %s" % folder_of)
    check(MODULE not in {m.__name__ for m in addon_utils.modules()},
          "Blender still lists the add-on after its removal")


# ---- main -----------------------------------------------------------------------------------------

def main():
    global addon, FIXTURES, TEMPORARY
    bpy.ops.preferences.addon_install(filepath=ZIP, overwrite=True)
    bpy.ops.preferences.addon_enable(module=MODULE)
    import vexmara_import as addon

    installed = os.path.dirname(addon.__file__)
    user_scripts = bpy.utils.user_resource("SCRIPTS")
    check(os.path.realpath(installed).startswith(os.path.realpath(user_scripts)),
          "the add-on was loaded from %s, not the user configuration" % installed)
    check(MODULE in bpy.context.preferences.addons, "the add-on is not enabled")

    FIXTURES = make_fixtures()
    TEMPORARY = folder("temporary")
    tempfile.tempdir = TEMPORARY  # where the add-on makes its temporary folders

    check_package()
    operator = addon.IMPORT_SCENE_OT_vexmara_app
    results = []
    real_execute = operator.execute

    def recording(self, context):
        result = real_execute(self, context)
        results.append(set(result))
        return result
    operator.execute = recording
    for case in cases(FIXTURES):
        count = len(failures)
        try:
            run_case(case, results)
        except Exception:
            failures.append("%s: %s" % (case["name"], traceback.format_exc()))
        print("%s  %s" % ("ok    " if len(failures) == count else "FAILED", case["name"]))
    operator.execute = real_execute
    tempfile.tempdir = None
    check_removal()


try:
    main()
except Exception:
    failures.append(traceback.format_exc())
for failure in failures:
    print("FAILED: " + failure)
print("Blender %s, add-on test: %d failures" % (bpy.app.version_string, len(failures)))
sys.exit(1 if failures else 0)
