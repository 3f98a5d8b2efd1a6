#include "cli/json_results.h"

#include "cli/json_writer.h"

namespace vandrel::cli {

std::string DevicesJson(const std::string& path, const std::vector<device::TPicDevice>& devices) {
    JsonWriter json;
    json.BeginObject().Member("deviceFile", path).Key("devices").BeginArray();
    for (const device::TPicDevice& d : devices) {
        json.BeginObject()
            .Member("name", d.Name)
            .Member("programWords", std::max<int>(d.ProgramMemory.Size, 0))
            .Member("eepromBytes", std::max<int>(d.DataMemory.Size, 0))
            .Member("lvp", d.LVP)
            .Key("deviceId");
        if (programmer::HasDeviceId(d))
            json.Number(d.DeviceIDValue);
        else
            json.Null();
        json.EndObject();
    }
    return json.EndArray().EndObject().Text();
}

std::string PortsJson(const std::vector<std::pair<std::string, std::string>>& rows) {
    JsonWriter json;
    json.BeginObject().Key("ports").BeginArray();
    for (const auto& [name, what] : rows)
        json.BeginObject().Member("name", name).Member("description", what).EndObject();
    return json.EndArray().EndObject().Text();
}

ExitStatus DetectJson(Console& console, const std::string& port, const programmer::ChipIdentity& chip,
                      const device::TPicDevice* expected, const std::string& fileLabel) {
    using Kind = programmer::ChipIdentity::Kind;
    JsonWriter json;
    json.BeginObject()
        .Member("port", port)
        .Member("deviceId", chip.id)
        .Member("chip", chip.kind == Kind::Known ? "known" : chip.kind == Kind::Unknown ? "unknown" : "none")
        .Member("description", DescribeChip(chip, fileLabel))
        .Key("device");
    if (chip.kind == Kind::Known) {
        json.String(chip.deviceName).Member("revision", chip.revision);
        // Devices that share the ID (the 16F636 and 16F639): every one of them.
        if (chip.deviceNames.size() > 1) {
            json.Key("devices").BeginArray();
            for (const std::string& name : chip.deviceNames)
                json.String(name);
            json.EndArray();
        }
    } else {
        json.Null();
    }
    ExitStatus status = chip.kind == Kind::Known ? ExitStatus::Success : ExitStatus::Trouble;
    if (expected != nullptr) {
        json.Member("expected", expected->Name).Key("matches");
        if (chip.kind == Kind::Known && programmer::HasDeviceId(*expected)) {
            const bool matches = programmer::IdMatches(chip.id, *expected);
            json.Bool(matches);
            if (!matches)
                status = ExitStatus::WordErrors;
        } else {
            json.Null();
        }
    }
    console.Result(json.EndObject().Text());
    return status;
}

std::string RunJson(const Invocation& inv, const std::string& device, const RunReport* report) {
    JsonWriter json;
    json.BeginObject().Member("command", CommandName(inv.command)).Member("device", device);
    if (inv.command != Command::Erase)
        json.Member("file", inv.file);
    if (report == nullptr)
        return json.Member("result", "skipped").Member("errors", 0).EndObject().Text();
    const RunOutcome& outcome = report->outcome;
    json.Member("result", ResultName(ExitStatusOf(outcome)));
    json.Member("errors", outcome.summary ? ErrorCountOf(*outcome.summary).value_or(0) : 0);
    WriteErrorLines(json, report->log);
    if (!outcome.errorBoxes.empty())
        json.Member("error", outcome.errorBoxes.front());
    return json.EndObject().Text();
}

const char* ResultName(ExitStatus status) {
    return status == ExitStatus::Success      ? "complete"
           : status == ExitStatus::WordErrors  ? "errors"
           : status == ExitStatus::Interrupted ? "interrupted"
                                               : "failed";
}

void WriteErrorLines(JsonWriter& json, const std::vector<std::string>& log) {
    json.Key("errorLines").BeginArray();
    for (const std::string& line : log)
        if (line.find(" Error at [") != std::string::npos)
            json.String(line);
    json.EndArray();
}

} // namespace vandrel::cli
