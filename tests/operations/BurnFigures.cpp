// Prints what a full burn of the sample image costs on the simulated camera without latency: the
// requests of each stage and the process's CPU time. Not a test; run by hand for the notes.
#include <ctime>
#include <iostream>
#include <sstream>

#include "operations/Operations.h"
#include "rom/SampleImage.h"
#include "simcam/SimCamera.h"
#include "tests/operations/RecordingControls.h"

using namespace torvane;

int main() {
  simcam::SimCamera sim;
  std::ostringstream console;
  operations::CameraContext context(sim, sim.Clock(), console);
  operations::testing::RecordingControls controls;
  const auto sample = rom::BuildSampleImage({});
  if (!sample.problem.empty() || context.link.FindCamera() != 0) return 1;

  // Stage boundaries: protection off (bar 1003 at 2), erased (1004 at 1), blank check passed (3),
  // programmed (6), verified (8), protection on (9).
  std::uint64_t marks[6] = {};
  controls.onEvent = [&](const operations::testing::ControlEvent& event) {
    using Kind = operations::testing::ControlEvent::Kind;
    if (event.kind != Kind::Position) return;
    if (event.id == operations::kBarStep && event.first == 2 && marks[0] == 0) marks[0] = sim.RequestCount();
    if (event.id != operations::kBarTotal) return;
    const int slots[10] = {-1, 1, -1, 2, -1, -1, 3, -1, 4, 5};
    if (slots[event.first] > 0) marks[slots[event.first]] = sim.RequestCount();
  };
  const std::uint64_t start = sim.RequestCount();
  const std::clock_t cpuStart = std::clock();
  const auto report = operations::BurnImage(context, controls, rom::ImageBytes(sample.bytes.data(), rom::kRomSize));
  const std::clock_t cpuEnd = std::clock();

  std::cout << "result " << report.result << "\n"
            << "write protection off " << marks[0] - start << "\n"
            << "erase " << marks[1] - marks[0] << "\n"
            << "blank check " << marks[2] - marks[1] << "\n"
            << "programming " << marks[3] - marks[2] << "\n"
            << "verification " << marks[4] - marks[3] << "\n"
            << "write protection on " << marks[5] - marks[4] << "\n"
            << "total " << sim.RequestCount() - start << "\n"
            << "cpu ms " << 1000.0 * static_cast<double>(cpuEnd - cpuStart) / CLOCKS_PER_SEC << "\n";
  return report.result == 1 ? 0 : 1;
}
