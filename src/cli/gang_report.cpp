#include "cli/gang_report.h"

#include <algorithm>
#include <cstdio>

#include "cli/json_results.h"
#include "cli/json_writer.h"
#include "common/convert.h"

namespace vandrel::cli {

namespace {

std::string SecondsText(std::int64_t us) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(us) / 1e6);
    return text;
}

// "1060 PIC16F628A", "3FFF (no chip)", "-" when no ID was read.
std::string ChipText(const RunRecord& record) {
    using Kind = programmer::ChipIdentity::Kind;
    if (!record.chip)
        return "-";
    const programmer::ChipIdentity& chip = *record.chip;
    return Hex4(chip.id) + (chip.kind == Kind::Known     ? " " + chip.deviceName
                            : chip.kind == Kind::NoChip ? std::string(" (no chip)")
                                                        : std::string(" (unknown)"));
}

const char* ChipKind(programmer::ChipIdentity::Kind kind) {
    using Kind = programmer::ChipIdentity::Kind;
    return kind == Kind::Known ? "known" : kind == Kind::Unknown ? "unknown" : "none";
}

void MemberOrNull(JsonWriter& json, const char* key, std::int64_t value) {
    json.Key(key);
    if (value >= 0)
        json.Number(value);
    else
        json.Null();
}

} // namespace

std::string ResultText(const PortResult& result) {
    if (result.status == ExitStatus::Interrupted || result.status == ExitStatus::Terminated)
        return "interrupted";
    if (result.status == ExitStatus::Success && result.record.skipped)
        return "same as the file";
    const RunReport* report = result.record.report ? &*result.record.report : nullptr;
    if (report != nullptr && report->outcome.summary &&
        (result.status == ExitStatus::Success || result.status == ExitStatus::WordErrors))
        return *report->outcome.summary;
    return result.status == ExitStatus::Success ? "complete." : "failed";
}

std::string GangTable(const std::vector<PortResult>& results) {
    std::vector<std::vector<std::string>> rows{{"port", "chip ID", "result", "time"}};
    for (const PortResult& r : results)
        rows.push_back({r.port, ChipText(r.record), ResultText(r), SecondsText(r.us)});
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    std::string text;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? row[c] + std::string(widths[c] - row[c].size() + 2, ' ') : row[c];
        text += line + '\n';
    }
    const auto complete = std::count_if(results.begin(), results.end(),
                                        [](const PortResult& r) { return r.status == ExitStatus::Success; });
    return text + std::to_string(complete) + " of " + std::to_string(results.size()) + " chips complete.\n";
}

std::string GangReportJson(const Invocation& inv, const std::vector<PortResult>& results, const std::string& started) {
    const auto complete = std::count_if(results.begin(), results.end(),
                                        [](const PortResult& r) { return r.status == ExitStatus::Success; });
    JsonWriter json;
    json.BeginObject().Member("command", CommandName(inv.command));
    if (inv.command != Command::Erase)
        json.Member("file", inv.file);
    json.Member("started", started)
        .Member("complete", static_cast<std::int64_t>(complete))
        .Member("failed", static_cast<std::int64_t>(results.size()) - complete)
        .Key("ports")
        .BeginArray();
    for (const PortResult& r : results) {
        const RunRecord& record = r.record;
        const RunReport* report = record.report ? &*record.report : nullptr;
        json.BeginObject().Member("port", r.port).Member("result", ResultName(r.status));
        json.Key("summary");
        if (report != nullptr && report->outcome.summary)
            json.String(*report->outcome.summary);
        else
            json.Null();
        json.Member("errors", report != nullptr && report->outcome.summary
                                  ? ErrorCountOf(*report->outcome.summary).value_or(0)
                                  : 0);
        WriteErrorLines(json, report != nullptr ? report->log : std::vector<std::string>{});
        json.Key("error");
        if (!r.failure.empty())
            json.String(r.failure);
        else if (report != nullptr && !report->outcome.errorBoxes.empty())
            json.String(report->outcome.errorBoxes.front());
        else
            json.Null();
        json.Key("deviceId");
        if (record.chip)
            json.Number(record.chip->id).Member("chip", ChipKind(record.chip->kind));
        else
            json.Null().Key("chip").Null();
        json.Key("device");
        if (!record.device.empty())
            json.String(record.device);
        else
            json.Null();
        json.Key("calibrationKept");
        if (record.kept && (record.kept->Osccal || record.kept->Bandgap)) {
            json.BeginObject();
            if (record.kept->Osccal)
                json.Member("osccal", static_cast<std::int64_t>(*record.kept->Osccal));
            if (record.kept->Bandgap)
                json.Member("bandgap", static_cast<std::int64_t>(*record.kept->Bandgap));
            json.EndObject();
        } else {
            json.Null();
        }
        json.Member("ms", r.us / 1000);
        MemberOrNull(json, "runMs", report != nullptr && report->runUs >= 0 ? report->runUs / 1000 : -1);
        MemberOrNull(json, "estimatedMs", report != nullptr && report->estimatedUs >= 0 ? report->estimatedUs / 1000 : -1);
        json.EndObject();
    }
    return json.EndArray().EndObject().Text();
}

} // namespace vandrel::cli
