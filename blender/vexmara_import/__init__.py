# File > Import > Karnath 3 (.app): imports game models with their animations and textures. Each
# model is converted by the bundled vexmara-import (a process of its own, which loads the plug-in
# library) into a .glb in a temporary folder, which Blender's own glTF importer then reads.
import os
import shutil
import tempfile

import bpy
from bpy.props import BoolProperty, CollectionProperty, EnumProperty, StringProperty
from bpy_extras.io_utils import ImportHelper

from . import converter, scene

bl_info = {
    "name": "Karnath 3 models (vexmara)",
    "author": "vexmara",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "File > Import > Karnath 3 (.app)",
    "description": "Imports Karnath 3 models (.app) with their textures and animations (.ani)",
    "doc_url": "",
    "category": "Import-Export",
}

BIN_FOLDER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bin")

BONE_DIRECTIONS = (
    ("TEMPERANCE", "Temperance",
     "A bone points along the one of its own axes closest to its child, so that its axes stay "
     "the game bone's axes"),
    ("FORTUNE", "Fortune",
     "A bone with one child ends at its child's head; its axes may tilt away from the game's"),
    ("BLENDER", "Blender",
     "Every bone points along its local +Y axis of the glTF file"),
)


class IMPORT_SCENE_OT_vexmara_app(bpy.types.Operator, ImportHelper):
    """Import Karnath 3 models (.app) with their textures and animations"""

    bl_idname = "import_scene.vexmara_app"
    bl_label = "Import Karnath 3 (.app)"
    bl_options = {"REGISTER", "UNDO"}

    filename_ext = ".app"
    # The file browser shows only the files this names.
    filter_glob: StringProperty(default="*.app", options={"HIDDEN"})

    files: CollectionProperty(type=bpy.types.OperatorFileListElement,
                              options={"HIDDEN", "SKIP_SAVE"})
    directory: StringProperty(subtype="DIR_PATH", options={"HIDDEN", "SKIP_SAVE"})

    swap_model: BoolProperty(
        name="Swap model", default=True,
        description="Turn the model from the game's axes (z up) to glTF's (y up), so that it "
                    "stands upright in Blender")
    submeshes_as_groups: BoolProperty(
        name="Import submeshes as groups", default=False,
        description="The import dialog's box: the host's groups, one per submesh instead of one "
                    "per material (the glTF file carries no groups)")
    extract_alpha_maps: BoolProperty(
        name="Extract alpha maps", default=False,
        description="Take each texture's alpha channel from the alpha map NAME_A.tga, which is "
                    "written beside the texture")
    texture_folder: StringProperty(
        name="Texture Folder", subtype="DIR_PATH", default="",
        description="The folder of the texture files; empty: the model's own folder")
    animations: EnumProperty(
        name="Animations", default="MATCHED",
        items=(
            ("MATCHED", "Matched by bones",
             "The .ani files below the model's folder whose tracks fit the model's bones"),
            ("FOLDER", "From a folder",
             "The .ani files below the animation folder whose tracks fit the model's bones"),
            ("NONE", "None", "No animations"),
        ),
        description="Which animation files come with each model, each as an action")
    animation_folder: StringProperty(
        name="Animation Folder", subtype="DIR_PATH", default="",
        description="The folder whose .ani files are offered to each model (Animations: From "
                    "a folder)")
    bone_direction: EnumProperty(
        name="Bone Direction", default="TEMPERANCE", items=BONE_DIRECTIONS,
        description="Where each bone's tail goes: the glTF importer's bone heuristic")

    def draw(self, context):
        pass  # the panels below draw the options

    def model_paths(self):
        folder = _absolute(self.directory) or os.path.dirname(_absolute(self.filepath))
        names = [f.name for f in self.files if f.name]
        if names:
            return [os.path.join(folder, name) for name in names]
        return [_absolute(self.filepath)] if self.filepath else []

    def execute(self, context):
        models = self.model_paths()
        if not models:
            self.report({"ERROR"}, "No model file (.app) was chosen")
            return {"CANCELLED"}
        if self.animations == "FOLDER" and not self.animation_folder:
            self.report({"ERROR"}, "Animations from a folder: choose the animation folder")
            return {"CANCELLED"}
        options = self.converter_options()
        for key, label in (("texture_folder", "Texture Folder"),
                           ("animation_folder", "Animation Folder")):
            if key == "animation_folder" and self.animations != "FOLDER":
                continue
            if options[key] and not os.path.isdir(options[key]):
                self.report({"ERROR"}, "%s: %s is not a folder" % (label, options[key]))
                return {"CANCELLED"}
        try:
            program = converter.find_converter(BIN_FOLDER)
        except converter.ConverterMissing as error:
            self.report({"ERROR"}, str(error))
            return {"CANCELLED"}

        window_manager = context.window_manager
        several = len(models) > 1
        if several:
            window_manager.progress_begin(0, len(models))
        imported = []
        try:
            for index, model in enumerate(models):
                result = self.import_one(context, program, model, options)
                if result is not None:
                    imported.append(result)
                if several:
                    window_manager.progress_update(index + 1)
        except converter.ConverterMissing as error:
            self.report({"ERROR"}, str(error))
        finally:
            if several:
                window_manager.progress_end()
        scene.cover_frames(context.scene, [m.actions[0] for m in imported if m.actions])
        return {"FINISHED"} if imported else {"CANCELLED"}

    def converter_options(self):
        return {
            "swap_model": self.swap_model,
            "submeshes_as_groups": self.submeshes_as_groups,
            "extract_alpha_maps": self.extract_alpha_maps,
            "texture_folder": _absolute(self.texture_folder),
            "animations": self.animations,
            "animation_folder": _absolute(self.animation_folder),
        }

    def import_one(self, context, program, model, options):
        """Converts and imports one model; reports what went wrong and gives None then."""
        label = os.path.basename(model)
        try:
            folder = tempfile.mkdtemp(prefix="vexmara-")
        except OSError as error:
            self.report({"ERROR"}, "%s: no temporary folder could be made (%s)" %
                        (label, error.strerror or error))
            return None
        try:
            conversion = converter.convert(program, model, folder, **options)
            if not conversion.converted:
                self.report({"ERROR"}, "%s: %s" % (label, conversion.error))
                return None
            for warning in conversion.warnings:
                self.report({"WARNING"}, "%s: %s" % (label, warning))
            textures = options["texture_folder"] or os.path.dirname(model)
            for material in conversion.missing_textures:
                self.report({"WARNING"}, '%s: the texture of material "%s" was not found in %s' %
                            (label, material, textures))
            names = [(name, converter.file_stem(file) if file else name)
                     for name, file in conversion.animations]
            try:
                result = scene.import_model(context, conversion.glb, converter.file_stem(label),
                                            self.bone_direction, names)
            except scene.SceneImportFailed as error:
                self.report({"ERROR"}, "%s: Blender's glTF importer failed: %s" % (label, error))
                return None
            self.report({"INFO"}, "%s: %s" % (label, _summary(conversion, result)))
            return result
        finally:
            shutil.rmtree(folder, ignore_errors=True)
            if os.path.exists(folder):
                self.report({"WARNING"}, "The temporary folder %s could not be removed" % folder)


def _absolute(path):
    """A path of the file browser or a script as an absolute one ('//' is the .blend file's
    folder); the converter runs in its temporary folder. Empty stays empty."""
    return os.path.abspath(bpy.path.abspath(path)) if path else ""


def _summary(conversion, result):
    counts = conversion.counts
    text = "%d meshes, %d vertices, %d bones" % (
        counts.get("meshes", 0), counts.get("vertices", 0), counts.get("bones", 0))
    if result.actions:
        return text + ", animations " + ", ".join(a.name for a in result.actions)
    return text + ", no animations"


class _OptionsPanel:
    """A panel of the operator's options in the file browser's sidebar."""

    bl_space_type = "FILE_BROWSER"
    bl_region_type = "TOOL_PROPS"
    bl_parent_id = "FILE_PT_operator"
    properties = ()

    @classmethod
    def poll(cls, context):
        operator = context.space_data.active_operator
        return operator is not None and operator.bl_idname == "IMPORT_SCENE_OT_vexmara_app"

    def draw(self, context):
        layout = self.layout
        layout.use_property_split = True
        layout.use_property_decorate = False
        operator = context.space_data.active_operator
        for name in self.properties:
            row = layout.row()
            if name == "animation_folder":
                row.enabled = operator.animations == "FOLDER"
            row.prop(operator, name)


class VEXMARA_PT_import_options(_OptionsPanel, bpy.types.Panel):
    bl_label = "Import Options"
    properties = ("swap_model", "submeshes_as_groups", "extract_alpha_maps")


class VEXMARA_PT_import_textures(_OptionsPanel, bpy.types.Panel):
    bl_label = "Textures"
    properties = ("texture_folder",)


class VEXMARA_PT_import_animations(_OptionsPanel, bpy.types.Panel):
    bl_label = "Animations"
    properties = ("animations", "animation_folder")


class VEXMARA_PT_import_bones(_OptionsPanel, bpy.types.Panel):
    bl_label = "Bones"
    properties = ("bone_direction",)


PANELS = (VEXMARA_PT_import_options, VEXMARA_PT_import_textures, VEXMARA_PT_import_animations,
          VEXMARA_PT_import_bones)
CLASSES = (IMPORT_SCENE_OT_vexmara_app,) + PANELS


def menu_import(self, context):
    self.layout.operator(IMPORT_SCENE_OT_vexmara_app.bl_idname, text="Karnath 3 (.app)")


def register():
    for cls in CLASSES:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_import.append(menu_import)


def unregister():
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    for cls in reversed(CLASSES):
        bpy.utils.unregister_class(cls)
