// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/PerCarrier.h"

#include "cli/Arguments.h"
#include "cli/Interrupt.h"
#include "cli/Report.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalText.h"

#include <cstdio>

namespace lumora::cli {

JsonObject CarrierObject(const CarrierInput& carrier, Code code) {
    JsonObject object;
    object.String("file", carrier.Operand()).String("code", InfoOf(code).name);
    return object;
}

JsonObject& AddFailure(JsonObject& object, Reason reason, const std::string& message) {
    if (reason != Reason::None)
        object.String("reason", ReasonName(reason));
    return object.String("message", message);
}

int ForEachCarrier(const Arguments& args, const CarrierWork& work) {
    const auto& operands = args.Operands();
    if (operands.empty())
        throw UsageError(args.Command(), args.Command() + " needs a CARRIER");
    RequireStdinOnce(args, operands);
    const bool several = operands.size() > 1;
    std::vector<std::string> objects;
    int status = 0;
    for (const std::string& operand : operands) {
        CarrierResult result;
        try {
            const CarrierInput carrier(operand);
            result = work(carrier, several);
        } catch (const CliError& error) {
            if (error.GetCode() == Code::Usage || PendingSignal() != 0)
                throw;
            result.code = error.GetCode();
            result.entry =
                JsonObject().String("file", operand).String("code", InfoOf(error.GetCode()).name);
            AddFailure(result.entry, error.GetReason(), error.what());
            // Each line names its carrier, unless the error names it already.
            const std::string text = error.what();
            const bool named = !several || text.find(operand) != std::string::npos;
            std::string line =
                "lumora-cli: " +
                Shown(named ? text : operand + ": " + text, TextKind::Line, Stream::Err) + "\n";
            std::fputs(line.c_str(), stderr);
        }
        objects.push_back(result.entry.Text());
        if (status == 0 && result.code != Code::Ok)
            status = InfoOf(result.code).exitStatus;
    }
    if (JsonOutput())
        PrintJson(JsonArray(objects));
    return status;
}

std::string EntriesJson(const std::vector<HiddenEntry>& entries) {
    std::vector<std::string> items;
    for (const HiddenEntry& entry : entries)
        items.push_back(JsonObject()
                            .String("name", entry.name)
                            .Number("size", entry.size)
                            .Bool("damaged", entry.damaged)
                            .Text());
    return JsonArray(items);
}

} // namespace lumora::cli
