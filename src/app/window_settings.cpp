#include "app/window_settings.h"

#include <array>
#include <charconv>

#include "app/window_logic.h"
#include "heartline/solver.h"
#include "texts/display_texts.h"

using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::settings;
using namespace torvix::texts;

namespace torvix::app {

namespace {

// The shortest text that reads back as `value` ("20", "17.5").
std::string Shortest(double value) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

}  // namespace

ParameterTexts DefaultParameterTexts() {
    const HeartlineParams p;
    // The heartline field has always shown its decimal ("1.0"); the speeds show whole numbers plainly.
    return ParameterTexts{std::to_string(p.segments), FormatFixed(p.heartline, 1), Shortest(p.start_speed),
                          Shortest(p.end_speed),      std::to_string(p.precision), std::to_string(p.filter)};
}

WindowSettings::WindowSettings(std::string file, QObject* parent) : QObject(parent), file_(std::move(file)) {}

std::string WindowSettings::Get(const char* section, const char* entry, const std::string& fallback) const {
    return GetINISetting(SettingsFile(file_), section, entry, fallback);
}

void WindowSettings::Set(const char* section, const char* entry, const std::string& value) {
    if (!SaveINISetting(SettingsFile(file_), section, entry, value)) Failed();
}

void WindowSettings::Failed() {
    if (failure_reported_) return;
    failure_reported_ = true;
    emit saveFailed(QString::fromStdString(file_));
}

ParameterTexts WindowSettings::Parameters() const {
    return LoadParameterTexts(SettingsFile(file_), DefaultParameterTexts());
}

void WindowSettings::SetParameters(const ParameterTexts& texts) {
    if (!SaveParameterTexts(SettingsFile(file_), texts)) Failed();
}

std::string WindowSettings::LoadFolder(const std::string& fallback) const { return Get("File_IO", "LoadPath", fallback); }
void WindowSettings::SetLoadFolder(const std::string& folder) { Set("File_IO", "LoadPath", folder); }
std::string WindowSettings::SaveFolder(const std::string& fallback) const { return Get("File_IO", "SavePath", fallback); }
void WindowSettings::SetSaveFolder(const std::string& folder) { Set("File_IO", "SavePath", folder); }

bool WindowSettings::WantsSegmentLength() const {
    return torvix::app::WantsSegmentLength(Get("Preferences", "WantSL", "0"));
}
void WindowSettings::KeepWantsSegmentLengthOff() { Set("Preferences", "WantSL", "0"); }
std::string WindowSettings::SegmentLength() const { return Get("Preferences", "SL", "2"); }
void WindowSettings::SetSegmentLength(const std::string& text) { Set("Preferences", "SL", text); }

SolverMode WindowSettings::Mode() const {
    std::string stored = QString::fromStdString(Get("Preferences", "Mode", ModeName(SolverMode::kLiteral)))
                             .trimmed()
                             .toLower()
                             .toStdString();
    return ParseMode(stored).value_or(SolverMode::kLiteral);
}

void WindowSettings::SetMode(SolverMode mode) { Set("Preferences", "Mode", ModeName(mode)); }

}  // namespace torvix::app
