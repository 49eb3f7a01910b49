// The "Real time" pass: one replacement on text held in the window instead of on files.
#pragma once

#include "run/RunInputs.h"
#include "run/engine/TextEngine.h"

#include <optional>
#include <string>

namespace vexlo {

/// Picks the operation from which inputs are filled: exactly one find input and at most one
/// replacement input. Nothing for every other combination. Never fails.
std::optional<TextOperation> RealTimeOperation(const RealTimeInputs &inputs,
                                               const TextEngineOptions &options);

/// The lines the text becomes, or nothing when the inputs choose no operation. Never fails.
std::optional<Lines> RealTimePass(const RealTimeInputs &inputs, const Lines &text,
                                  const TextEngineOptions &options);

} // namespace vexlo
