// The sensitivity slider's knob on the screen: where it stands at a slider position,
// which position a place on the screen stands for, and where a drag, a key or a move to
// a monitor of another scaling takes it. Positions are design pixels (tick_rate.h), so
// every scaling has the same places on the drawn track. The form, the backend and the
// recording fake all place and read the knob through these.
#pragma once

#include <cstdint>
#include <optional>

#include "shell/layout_math.h"

namespace tarn::layout {

// The knob at slider position `position`, in pixels within its frame at a scaling: its
// left edge at the design pixel the position stands for, its top and size the design's.
PixelRect knobRect(std::int32_t position, double tppX, double tppY);

// The slider position a knob whose left edge lies `left` pixels into its frame stands
// for: the design pixel whose left edge that reaches, rounded up, so a knob placed at a
// position reads back as that position and one pixel further never as one before it.
// It may lie off the track (a stored position above it, or a drag past an end).
std::int32_t knobPosition(std::int32_t left, double tpp);

// A drag that would put the knob's left edge `left` pixels into its frame: the position
// it slides to, or nothing off the track, where the move is ignored, not clamped.
std::optional<std::int32_t> dragPosition(std::int32_t left, double tpp);

// A key on the knob at `position`, which gives `interval`: Home the left end, End the
// right end, Left and Right the nearest position that way at which the interval is no
// longer `interval`, so each press changes it. Nothing for any other key, or when every
// place that way keeps the interval.
std::optional<std::int32_t> keyPosition(int key, std::int32_t position, std::int32_t interval);

// The knob after the window changed scaling (moved to a monitor of another DPI), its
// left edge `left` pixels into its frame before: placed afresh at the position it stood
// for, so it lands where the settings or a slide would put it at the new scaling and a
// press there reads the same position. Carried over as twips, some places would land a
// pixel off, the far left one outside the accepted range.
PixelRect knobAfterDpiChange(std::int32_t left, double fromTpp, double toTpp);

}  // namespace tarn::layout
