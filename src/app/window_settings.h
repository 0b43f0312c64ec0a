// The window's settings in Torvix.ini, one typed accessor each. Reading gives
// the default for anything not stored; a write that fails is reported once
// (saveFailed), however many follow.
#pragma once

#include <QObject>
#include <QString>
#include <string>

#include "refined/solver_modes.h"
#include "settings/settings_file.h"

namespace torvix::app {

// The six field texts of the solver's own defaults (HeartlineParams): "60", "1.0", "20", "17", "6", "15".
settings::ParameterTexts DefaultParameterTexts();

class WindowSettings : public QObject {
    Q_OBJECT
public:
    explicit WindowSettings(std::string file, QObject* parent = nullptr);

    const std::string& file() const { return file_; }

    // [Settings]: the six parameter fields as typed.
    settings::ParameterTexts Parameters() const;
    void SetParameters(const settings::ParameterTexts& texts);

    // [File_IO]: the folder last loaded from and the folder last saved to.
    std::string LoadFolder(const std::string& fallback) const;
    void SetLoadFolder(const std::string& folder);
    std::string SaveFolder(const std::string& fallback) const;
    void SetSaveFolder(const std::string& folder);

    // [Preferences]: WantSL, the segment count following the last run's
    // average segment length SL (kept as the window writes it).
    bool WantsSegmentLength() const;
    void KeepWantsSegmentLengthOff();
    std::string SegmentLength() const;
    void SetSegmentLength(const std::string& text);

    // [Preferences] Mode: the banking method; anything unknown reads as literal.
    refined::SolverMode Mode() const;
    void SetMode(refined::SolverMode mode);

signals:
    // The first write that failed; later failures are not reported again.
    void saveFailed(const QString& file);

private:
    std::string Get(const char* section, const char* entry, const std::string& fallback) const;
    void Set(const char* section, const char* entry, const std::string& value);
    void Failed();

    std::string file_;
    bool failure_reported_ = false;
};

}  // namespace torvix::app
