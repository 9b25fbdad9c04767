// The Ka 43M gain slider: the camera takes its gain as a factor from 1 in tenths, the slider
// gives each whole factor `step` positions.
#pragma once

namespace kelpax {

struct KaGainSlider {
  int minimum = 0;
  int maximum = 150;
  int ticks = 16; // one tick per whole factor, 1 to 16

  // Positions per whole factor: the slider's span over the gaps between its ticks.
  double step() const;
  // Gain of a slider position: position / step + 1.
  double gainAt(int position) const;
  // Position of a gain: the gain rounded to tenths, less 1, times the step; held inside the
  // slider.
  int positionOf(double gain) const;
};

} // namespace kelpax
