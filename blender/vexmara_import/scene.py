# Brings a converted model into the scene with Blender's own glTF importer: into a collection of
# its own, each animation as an action named after its .ani file on an NLA track of its own. An
# import that fails on the way takes back every data block it made, so that the file is as it was.
import math

import bpy


class SceneImportFailed(Exception):
    pass


class ImportedModel:
    def __init__(self, collection, objects, actions):
        self.collection = collection
        self.objects = objects
        self.actions = actions  # in the order of the animation files, the active one first


def _id_collections():
    """Every collection of data blocks in bpy.data that can lose one."""
    result = []
    for name in dir(bpy.data):
        value = getattr(bpy.data, name, None)
        if isinstance(value, bpy.types.bpy_prop_collection) and hasattr(value, "remove"):
            result.append(value)
    return result


def _data_blocks():
    return {block.as_pointer(): block for ids in _id_collections() for block in ids}


def _allow_old_numpy_use():
    # Blender 3.4's glTF importer still uses numpy.bool, which numpy 1.24 removed.
    import numpy

    if "bool" not in numpy.__dict__:
        numpy.bool = bool


class _SceneState:
    """What the glTF importer changes outside its own data blocks."""

    def __init__(self, context):
        self.scene = context.scene
        self.engine = context.scene.render.engine
        self.active = context.view_layer.objects.active
        self.selected = [o for o in context.view_layer.objects if o.select_get()]

    def restore(self, context):
        self.scene.render.engine = self.engine
        for obj in context.view_layer.objects:
            obj.select_set(obj in self.selected)
        context.view_layer.objects.active = self.active


def _find_layer(layer, collection):
    if layer.collection == collection:
        return layer
    for child in layer.children:
        found = _find_layer(child, collection)
        if found is not None:
            return found
    return None


def import_model(context, glb, collection_name, bone_direction, animations):
    """Imports `glb` into a new collection named `collection_name` inside the active one.
    `animations` pairs each animation's name in the .glb with the name its action gets.
    Raises SceneImportFailed, leaving the file as it was."""
    before = _data_blocks()
    state = _SceneState(context)
    view_layer = context.view_layer
    outer = view_layer.active_layer_collection
    try:
        collection = bpy.data.collections.new(collection_name)
        outer.collection.children.link(collection)
        view_layer.active_layer_collection = _find_layer(outer, collection)
        _allow_old_numpy_use()
        try:
            result = bpy.ops.import_scene.gltf(filepath=glb, bone_heuristic=bone_direction,
                                               import_pack_images=True)
        except RuntimeError as error:  # the importer's error reports, or its own fault
            raise SceneImportFailed(_first_line(str(error)) or "it failed")
        if "FINISHED" not in result:
            raise SceneImportFailed("it did not finish")
        after = _data_blocks()
        new_objects = [b for p, b in after.items()
                       if p not in before and isinstance(b, bpy.types.Object)]
        # Blender 3.4's importer links its objects to the scene's own collection, later ones to
        # the active collection: either way they end in the model's collection alone.
        for obj in new_objects:
            if collection not in obj.users_collection:
                collection.objects.link(obj)
            for other in list(obj.users_collection):
                if other != collection:
                    other.objects.unlink(obj)
        actions = _name_actions(new_objects, animations)
    except BaseException:
        view_layer.active_layer_collection = outer
        state.restore(context)
        _take_back(before)
        raise
    view_layer.active_layer_collection = outer
    return ImportedModel(collection, new_objects, actions)


def _first_line(text):
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("Error: "):
            line = line[len("Error: "):]
        if line:
            return line
    return ""


def _take_back(before):
    made = [b for p, b in _data_blocks().items() if p not in before]
    if made:
        bpy.data.batch_remove(ids=made)


def _name_actions(objects, animations):
    """Renames the importer's action of each animation after its file, puts each on an NLA track
    of that name starting where the action starts, and makes the first one active."""
    wanted = dict(animations)
    order = [name for name, _ in animations]
    found = {}  # animation's name in the .glb -> [(object, track)]
    for obj in objects:
        data = obj.animation_data
        if data is None:
            continue
        for track in data.nla_tracks:
            if track.name in wanted and len(track.strips) == 1 and track.strips[0].action:
                found.setdefault(track.name, []).append((obj, track))
    actions = []
    for name in order:
        for obj, track in found.get(name, []):
            strip = track.strips[0]
            action = strip.action
            action.name = wanted[name]
            start = int(math.floor(action.frame_range[0]))
            track.strips.remove(strip)
            track.strips.new(action.name, start, action)
            track.name = action.name
            if action not in actions:
                actions.append(action)
    # The first animation's action plays; its track is the active one.
    for obj, track in found.get(order[0], []) if order else []:
        obj.animation_data.action = track.strips[0].action
        obj.animation_data.nla_tracks.active = track
    return actions


def cover_frames(scene, actions):
    """Sets the scene's frame range to cover the given actions."""
    if not actions:
        return
    start = min(a.frame_range[0] for a in actions)
    end = max(a.frame_range[1] for a in actions)
    scene.frame_start = int(math.floor(start))
    scene.frame_end = max(int(math.ceil(end)), scene.frame_start)
