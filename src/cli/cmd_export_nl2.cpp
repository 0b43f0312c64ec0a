// torvix-cli export-nl2: writes a track's heart line as a NoLimits 2 element.
#include <cctype>
#include <charconv>
#include <cmath>
#include <iostream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "nl2/element_export.h"
#include "texts/display_texts.h"
#include "texts/messages.h"
#include "track/track.h"

using namespace torvix::texts;
using namespace torvix::track;

namespace torvix::cli {

namespace {

struct ExportOptions {
    std::string input;
    std::string output;
    double heartline = 1.0;
    std::string spacing = "2";
    bool json = false;
};

// Beside the input, its final ".nltrack" (any letter case) replaced by ".nl2elem".
std::string DefaultElementPath(const std::string& input) {
    constexpr std::string_view kExtension = ".nltrack";
    std::string stem = input;
    if (stem.size() >= kExtension.size()) {
        std::string tail = stem.substr(stem.size() - kExtension.size());
        for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tail == kExtension) stem.resize(stem.size() - kExtension.size());
    }
    return stem + ".nl2elem";
}

int RunExport(const ExportOptions& options) {
    double spacing = 0;
    const char* first = options.spacing.data();
    const char* last = first + options.spacing.size();
    const auto parsed = std::from_chars(first, last, spacing);
    nl2::ExportParams params{options.heartline, spacing};
    if (parsed.ec != std::errc() || parsed.ptr != last) params.spacing = std::nan("");
    if (const base::Status checked = nl2::CheckExportParams(params); !checked) {
        std::cerr << "Cannot export: " << checked.message() << ".\n";
        return kBadUsage;
    }
    Track track;
    if (!LoadTrackOrReport(options.input, track, std::cerr)) return kReadFailed;
    const std::string output = options.output.empty() ? DefaultElementPath(options.input) : options.output;
    const nl2::WriteResult written = nl2::WriteElementFile(track, params.heartline, params.spacing, output);
    if (!written.element.status.ok()) {
        std::cerr << written.status.message() << '\n';
        if (options.json) std::cout << nlohmann::json{{"ok", false}, {"error", written.status.message()}}.dump() << '\n';
        return kSolverFailed;
    }
    if (!written.status.ok()) {
        std::cerr << written.status.message() << '\n';
        return kWriteFailed;
    }
    const nl2::ExportResult& e = written.element;
    if (options.json) {
        std::cout << nlohmann::ordered_json{{"ok", true},
                                            {"output", written.written.string()},
                                            {"vertices", e.element.vertices.size()},
                                            {"roll_points", e.element.rolls.size()},
                                            {"length", e.length},
                                            {"spacing", e.spacing},
                                            {"heartline", params.heartline},
                                            {"closed", e.closed}}
                         .dump()
                  << '\n';
    } else {
        std::cout << "Heart line: " << FormatFixed(e.length, 1) << " m" << (e.closed ? ", a closed circuit" : "")
                  << ", heartline height " << FormatFixed(params.heartline, 2) << " m\n"
                  << "Element: " << e.element.vertices.size() << " vertices, " << e.element.rolls.size()
                  << " roll points, at most " << FormatFixed(e.spacing, 2) << " m apart\n"
                  << "Written: " << written.written.string() << '\n'
                  << SplinePositionAdvice(params.heartline) << '\n';
    }
    return kOk;
}

}  // namespace

void AddExportNl2Command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* cmd = app.add_subcommand("export-nl2", "Write a track's heart line as a NoLimits 2 element (.nl2elem)");
    cmd->add_option("track", options->input, "Input .nltrack file")->required();
    cmd->add_option("-o,--output", options->output, "Output file (default: beside the input, .nl2elem)");
    cmd->add_option("--heartline", options->heartline, "Heartline height in metres")->capture_default_str();
    cmd->add_option("--spacing", options->spacing, "Metres of heart line between samples, 0.5 to 10")
        ->capture_default_str();
    cmd->add_flag("--json", options->json, "Print one JSON object");
    cmd->callback([options, &exit_code] { exit_code = RunExport(*options); });
}

}  // namespace torvix::cli
