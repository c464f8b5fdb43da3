// The sensitivity slider's rule: where the knob sits gives the tick interval. The
// slider sets the interval by it and a first run starts from it; the settings file
// stores both numbers, and reading them back never derives one from the other.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/units.h"

namespace tarn {

// The knob's accepted places, in pixels of the design scale right of its origin. A
// place outside them is ignored, not clamped to the nearest end.
inline constexpr std::int32_t kFirstSliderPosition = 1;
inline constexpr std::int32_t kLastSliderPosition = 128;
// The knob's left edge within its frame, in design pixels, is the position plus this.
inline constexpr std::int32_t kKnobOrigin = 8;

// The intervals the slider gives: the longest at the left end ("min"), then one
// millisecond less every five positions, down to the shortest at the right ("max").
inline constexpr std::int32_t kLongestTickInterval = 26;
inline constexpr std::int32_t kShortestTickInterval = 1;
inline constexpr std::int32_t kSliderPositionsPerMillisecond = 5;

// The tick interval in milliseconds at a slider position; nothing outside the slider.
constexpr std::optional<std::int32_t> TickInterval(std::int32_t position) {
    if (position < kFirstSliderPosition || position > kLastSliderPosition) return std::nullopt;
    return kLongestTickInterval - position / kSliderPositionsPerMillisecond;
}
static_assert(TickInterval(kLastSliderPosition) == kShortestTickInterval, "the right end gives the shortest interval");

// The slider position of a knob whose left edge is at `knobLeft` design pixels, and back
// (in twips, as the settings reader hands it to the toolkit). Where that lands on the
// screen at each scaling, and where a drag, a key or another monitor takes the knob,
// is shell/knob.h's.
constexpr std::int32_t SliderPosition(std::int32_t knobLeft) { return knobLeft - kKnobOrigin; }
constexpr double KnobLeftTwips(std::int32_t position) { return (position + kKnobOrigin) * kDesignTwipsPerPixel; }

}  // namespace tarn
