; The vertex half of per-pixel lighting (layout 0, one texture coordinate
; set): position through the view (c6 to c9) and projection (c2 to c5); the
; view-space normal to oT1 and the direction towards device light 0 to oT2;
; the vertex colour passes through.
vs_2_0
dcl_position v0
dcl_normal v1
dcl_color0 v2
dcl_texcoord0 v3
dp4 r0.x, v0, c6
dp4 r0.y, v0, c7
dp4 r0.z, v0, c8
dp4 r0.w, v0, c9
dp4 oPos.x, r0, c2
dp4 oPos.y, r0, c3
dp4 oPos.z, r0, c4
dp4 oPos.w, r0, c5
dp3 oT1.x, v1, c6
dp3 oT1.y, v1, c7
dp3 oT1.z, v1, c8
mov r1.xyz, -c15              ; towards a directional light
if b5
  add r1.xyz, c14, -r0        ; towards a point or spot light
endif
mov oT2.xyz, r1
mov oT0, v3
mov oD0, v2
