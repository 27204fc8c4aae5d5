// Which side of a device something concerns: what it records or what it plays.
#pragma once

#include <array>

namespace velmora::settings {

enum class AudioDirection { input, output };

// Output first: every pass over both directions decides the output before the input.
inline constexpr std::array<AudioDirection, 2> kOutputThenInput{AudioDirection::output,
                                                                AudioDirection::input};

constexpr bool isInput(AudioDirection direction) { return direction == AudioDirection::input; }

}  // namespace velmora::settings
