#pragma once
// program --skip-same: the chip is read first, and the run goes on only
// when it does not already hold what the run would leave.
#include <cstdint>
#include <map>
#include <optional>

#include "cli/chip_words.h"

namespace vandrel::cli {

// The first address where `words` (read from the chip) differ from what a
// program run of `inv` would leave, from the first word of the image to its
// last in each area chosen: the image's words compared as its verify compares
// them (the calibration and the device ID left out), and where the run erases
// the area, the words between them erased. Words past the image's ends are not
// compared: reading a whole area would take longer than the run it spares.
// None: no difference.
std::optional<std::int32_t> FirstDifference(const image::THexFile& image, const device::TPicDevice& device,
                                            const Invocation& inv, const std::map<std::int32_t, std::uint16_t>& words);

// Reads the chosen areas and compares them. The status to end with when the
// run is not to go on: 0 when the chip is already as the file has it (said in
// one line), or the read's failure; none when the chip differs.
std::optional<ExitStatus> SkipIfSame(ChipSession& session, CliContext& ctx, Console& console,
                                     const image::THexFile& image, const device::TPicDevice& device,
                                     const Invocation& inv, const ChipCheck& check);

} // namespace vandrel::cli
