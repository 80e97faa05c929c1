# Imports glTF files into Blender, one after the other in one Blender process, and prints one JSON
# line per file with what Blender built:
#
#   blender -b --factory-startup --python-exit-code 1 --python blender-import.py -- FILE...
#
# Each line: {"file", "error", "meshes": [{"name", "vertices", "faces", "armature"}],
# "armatures": [{"name", "bones"}], "actions": [names], "materials": [{"name", "images":
# [{"name", "width", "height", "pixels"}]}]}. "armature" is the object of the mesh's armature
# modifier, or null; an image "pixels" when Blender holds pixels for it. "error" is null, or why
# the import failed. Run with a clean environment: a Python version manager's or a virtual
# environment's variables make Blender load the wrong Python library.
import json
import sys

import bpy
import numpy

# Debian 12's glTF importer still uses numpy.bool, which numpy 1.24 removed.
numpy.bool = bool


def material_images(material):
    images = []
    if material.node_tree is not None:
        for node in material.node_tree.nodes:
            if node.type == "TEX_IMAGE" and node.image is not None:
                image = node.image
                width, height = image.size[0], image.size[1]
                images.append({"name": image.name, "width": width, "height": height,
                               "pixels": width > 0 and height > 0 and image.has_data})
    return images


def describe(path):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    result = {"file": path, "error": None, "meshes": [], "armatures": [], "actions": [], "materials": []}
    try:
        bpy.ops.import_scene.gltf(filepath=path)
    except Exception as error:  # the importer reports a broken file by raising
        result["error"] = str(error)
        return result
    for obj in bpy.data.objects:
        if obj.type == "MESH":
            armature = next((m.object.name for m in obj.modifiers if m.type == "ARMATURE" and m.object), None)
            result["meshes"].append({"name": obj.name, "vertices": len(obj.data.vertices),
                                     "faces": len(obj.data.polygons), "armature": armature})
        elif obj.type == "ARMATURE":
            result["armatures"].append({"name": obj.name, "bones": len(obj.data.bones)})
    result["actions"] = sorted(action.name for action in bpy.data.actions)
    for material in bpy.data.materials:
        result["materials"].append({"name": material.name, "images": material_images(material)})
    return result


files = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
for path in files:
    print("BLENDER-IMPORT " + json.dumps(describe(path)), flush=True)
