# Draws the demo sample as the add-on imports it, for the README: Blender's Workbench renderer,
# headless, with the add-on installed from the zip into a throw-away user configuration
# (scripts/render-blender sets that up):
#
#   blender -b --factory-startup --python-exit-code 1 --python blender/tools/render-sample.py -- \
#       ZIP SAMPLE.app OUT.png
import math
import sys

import bpy
from mathutils import Vector

ZIP, SAMPLE, OUT = sys.argv[sys.argv.index("--") + 1:][:3]

bpy.ops.wm.read_homefile(use_empty=True)
bpy.ops.preferences.addon_install(filepath=ZIP, overwrite=True)
bpy.ops.preferences.addon_enable(module="vexmara_import")
bpy.ops.import_scene.vexmara_app(filepath=SAMPLE)

scene = bpy.context.scene
# A frame a little before the middle of the sway, where the tube bends most.
scene.frame_set(12)

camera = bpy.data.objects.new("camera", bpy.data.cameras.new("camera"))
scene.collection.objects.link(camera)
scene.camera = camera
# Aimed at the middle of the posed model, from the front and a little above, far enough for all
# of it to show.
depsgraph = bpy.context.evaluated_depsgraph_get()
points = []
for obj in bpy.data.objects:
    if obj.type == "MESH":
        evaluated = obj.evaluated_get(depsgraph)
        points += [evaluated.matrix_world @ v.co for v in evaluated.to_mesh().vertices]
        evaluated.to_mesh_clear()
low = Vector([min(p[i] for p in points) for i in range(3)])
high = Vector([max(p[i] for p in points) for i in range(3)])
target = (low + high) / 2
camera.location = target + Vector((0.55, -0.75, 0.3)).normalized() * (high - low).length * 1.9
camera.rotation_euler = (target - camera.location).to_track_quat("-Z", "Y").to_euler()
camera.data.lens = 50

scene.render.engine = "BLENDER_WORKBENCH"
shading = scene.display.shading
shading.light = "STUDIO"
shading.color_type = "TEXTURE"
shading.show_cavity = True
shading.show_shadows = True
scene.display.render_aa = "8"
scene.render.resolution_x = 720
scene.render.resolution_y = 540
scene.render.resolution_percentage = 100
scene.render.film_transparent = False
world = bpy.data.worlds.new("world")
world.color = (0.18, 0.19, 0.21)
scene.world = world
scene.render.image_settings.file_format = "PNG"
scene.render.image_settings.color_mode = "RGB"
scene.render.image_settings.compression = 100
scene.render.filepath = OUT
bpy.ops.render.render(write_still=True)
