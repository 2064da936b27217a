// SPDX-License-Identifier: GPL-2.0-or-later
// Commands that take several carriers (info, list, verify) run their work once for each.
// Each failure is told (on stderr, or as the carrier's JSON object with its own code) and
// the next carrier follows; the exit status is 0 when all succeeded, else that of the
// first failure. --json prints an array of one object per carrier, however many there
// are.
#pragma once

#include "cli/CliError.h"
#include "cli/Json.h"
#include "engine/HiddenEntry.h"

#include <functional>
#include <string>
#include <vector>

namespace lumora::cli {

class Arguments;
class CarrierInput;

struct CarrierResult {
    Code code = Code::Ok;
    JsonObject entry; // its object in the array --json prints
};

// `work` prints its text output itself; `several` tells it that more carriers follow or
// came before.
using CarrierWork = std::function<CarrierResult(const CarrierInput& carrier, bool several)>;

[[nodiscard]] int ForEachCarrier(const Arguments& args, const CarrierWork& work);

// The start of a carrier's JSON object: {"file": ..., "code": ...}.
JsonObject CarrierObject(const CarrierInput& carrier, Code code);

// The JSON array of a carrier's hidden files: [{"name", "size", "damaged"}...].
std::string EntriesJson(const std::vector<HiddenEntry>& entries);

// The members that tell a failure in JSON: "reason" (its name, where it has one) and
// "message".
JsonObject& AddFailure(JsonObject& object, Reason reason, const std::string& message);

} // namespace lumora::cli
