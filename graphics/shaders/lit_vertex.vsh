; Per-vertex lighting of device lights 0 to 3 (layout 0, one texture
; coordinate set), with the constant registers the library keeps:
;   c0 (0, 1, 0, 0); c1 ambient x material ambient + emissive;
;   c2..c5 projection and c6..c9 view, both transposed; c10 linear fog
;   (end / (end - start), -1 / (end - start), density, e);
;   c11 material diffuse, c12 material specular, c13 (power, 0, 0, 0);
;   light i from c(14 + 7i): view-space position, direction, diffuse,
;   specular, ambient x material ambient, (att0, att1, att2, range squared),
;   (cos theta/2, cos phi/2, 1 / (cos theta/2 - cos phi/2), falloff);
;   b(4 + 3i) enabled, b(5 + 3i) point or spot, b(6 + 3i) spot.
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
mad oFog.x, r0.z, c10.y, c10.x
dp3 r1.x, v1, c6
dp3 r1.y, v1, c7
dp3 r1.z, v1, c8
nrm r2.xyz, r1
mov r3, c0.x                  ; diffuse sum
mov r9, c1                    ; ambient sum
if b4                         ; light 0
  mov r7.x, c0.y              ; attenuation
  mov r4.xyz, -c15            ; towards a directional light
  if b5
    add r4.xyz, c14, -r0       ; towards a point or spot light
    dp3 r6.x, r4, r4
    rsq r6.y, r6.x
    mul r4.xyz, r4, r6.y
    rcp r6.z, r6.y            ; distance
    mad r5.x, c19.z, r6.x, c19.x
    mad r5.x, c19.y, r6.z, r5.x
    rcp r7.x, r5.x
    slt r5.y, r6.x, c19.w      ; inside the range
    mul r7.x, r7.x, r5.y
    if b6
      dp3 r5.z, -r4, c15       ; cosine to the spot axis
      add r5.z, r5.z, -c20.y
      mul_sat r5.z, r5.z, c20.z
      pow r5.z, r5.z, c20.w
      mul r7.x, r7.x, r5.z
    endif
  endif
  dp3 r5.w, r2, r4
  max r5.w, r5.w, c0.x
  mul r5.w, r5.w, r7.x
  mad r3, c16, r5.w, r3
  mad r9, c18, r7.x, r9
endif
if b7                         ; light 1
  mov r7.x, c0.y              ; attenuation
  mov r4.xyz, -c22            ; towards a directional light
  if b8
    add r4.xyz, c21, -r0       ; towards a point or spot light
    dp3 r6.x, r4, r4
    rsq r6.y, r6.x
    mul r4.xyz, r4, r6.y
    rcp r6.z, r6.y            ; distance
    mad r5.x, c26.z, r6.x, c26.x
    mad r5.x, c26.y, r6.z, r5.x
    rcp r7.x, r5.x
    slt r5.y, r6.x, c26.w      ; inside the range
    mul r7.x, r7.x, r5.y
    if b9
      dp3 r5.z, -r4, c22       ; cosine to the spot axis
      add r5.z, r5.z, -c27.y
      mul_sat r5.z, r5.z, c27.z
      pow r5.z, r5.z, c27.w
      mul r7.x, r7.x, r5.z
    endif
  endif
  dp3 r5.w, r2, r4
  max r5.w, r5.w, c0.x
  mul r5.w, r5.w, r7.x
  mad r3, c23, r5.w, r3
  mad r9, c25, r7.x, r9
endif
if b10                         ; light 2
  mov r7.x, c0.y              ; attenuation
  mov r4.xyz, -c29            ; towards a directional light
  if b11
    add r4.xyz, c28, -r0       ; towards a point or spot light
    dp3 r6.x, r4, r4
    rsq r6.y, r6.x
    mul r4.xyz, r4, r6.y
    rcp r6.z, r6.y            ; distance
    mad r5.x, c33.z, r6.x, c33.x
    mad r5.x, c33.y, r6.z, r5.x
    rcp r7.x, r5.x
    slt r5.y, r6.x, c33.w      ; inside the range
    mul r7.x, r7.x, r5.y
    if b12
      dp3 r5.z, -r4, c29       ; cosine to the spot axis
      add r5.z, r5.z, -c34.y
      mul_sat r5.z, r5.z, c34.z
      pow r5.z, r5.z, c34.w
      mul r7.x, r7.x, r5.z
    endif
  endif
  dp3 r5.w, r2, r4
  max r5.w, r5.w, c0.x
  mul r5.w, r5.w, r7.x
  mad r3, c30, r5.w, r3
  mad r9, c32, r7.x, r9
endif
if b13                         ; light 3
  mov r7.x, c0.y              ; attenuation
  mov r4.xyz, -c36            ; towards a directional light
  if b14
    add r4.xyz, c35, -r0       ; towards a point or spot light
    dp3 r6.x, r4, r4
    rsq r6.y, r6.x
    mul r4.xyz, r4, r6.y
    rcp r6.z, r6.y            ; distance
    mad r5.x, c40.z, r6.x, c40.x
    mad r5.x, c40.y, r6.z, r5.x
    rcp r7.x, r5.x
    slt r5.y, r6.x, c40.w      ; inside the range
    mul r7.x, r7.x, r5.y
    if b15
      dp3 r5.z, -r4, c36       ; cosine to the spot axis
      add r5.z, r5.z, -c41.y
      mul_sat r5.z, r5.z, c41.z
      pow r5.z, r5.z, c41.w
      mul r7.x, r7.x, r5.z
    endif
  endif
  dp3 r5.w, r2, r4
  max r5.w, r5.w, c0.x
  mul r5.w, r5.w, r7.x
  mad r3, c37, r5.w, r3
  mad r9, c39, r7.x, r9
endif
mul r3, r3, c11
add r3, r3, r9
mul oD0, r3, v2
mov oT0, v3
