// Effect particles: the seven spawnable effect types, the raw start other code
// uses for the kinds without a type, and the per-frame drawing that ages
// them. The records live in the effect pool (pools.h).
#pragma once

// The burst where a hit ends the player's try, centred on (x, y).
inline constexpr int kEffectPlayerHit = 6;
// Starts effect type 0..6 at floor pixel (x, y); nothing when the pool is full.
void SpawnEffect(int type, int x, int y);
// Fills a free effect record as given and counts it: the slot, or -1 when the
// pool is full.
int StartEffect(int kind, int duration, int param, double x, double y, double angle, double scale);
// Draws every live effect additively and advances it; an effect is freed
// once its frame reaches its duration.
void DrawEffects();
