/* Identifiers of the import dialog and its controls. Shared by the resource script and the
   dialog code. */
#ifndef VEXMARA_RESOURCE_H
#define VEXMARA_RESOURCE_H

#define IDD_IMPORT 100

#define IDC_GEOSETS 1002
#define IDC_TEXTURE_COUNT 1003
#define IDC_BONES 1004
#define IDC_MATERIALS 1005
#define IDC_VERTICES 1006
#define IDC_TRIANGLES 1007
#define IDC_SWAP_MODEL 3031
#define IDC_SUBMESHES_AS_GROUPS 3035
#define IDC_EXTRACT_ALPHA_MAPS 3037
#define IDC_TEXTURE_DIRECTORY 4001
#define IDC_BROWSE_TEXTURE_DIRECTORY 4002
#define IDC_PICK_ANIMATIONS 5001
#define IDC_ANIMATION_FILES 5002
#define IDC_TEXTURE_LIST 6001

#endif
