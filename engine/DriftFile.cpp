#include "engine/DriftFile.h"

#include "common/LogResult.h"
#include "common/TextFormat.h"
#include "engine/FileStore.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

constexpr const char* kHeading = "Horalux clock drift";
constexpr const char* kDamaged =
    "Error. The drift file %s is damaged and is ignored: the clock's frequency is learned anew.";

// "key=value" with exactly that key; the value's text.
bool valueOf(const std::string& line, const char* key, std::string& value) {
    const std::string prefix = std::string(key) + "=";
    if (line.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    value = line.substr(prefix.size());
    return !value.empty();
}

// The whole text as a number, or nothing.
std::optional<double> wholeNumber(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string lineWithoutEnd(std::istringstream& in) {
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

}  // namespace

CDriftFile::CDriftFile(std::string fileName, LogSink& log) : m_strFileName(std::move(fileName)), m_log(log) {}

std::string CDriftFile::Encode(const DriftState& state) {
    return FormatText("%s\r\nppm=%.6f\r\noffset=%d\r\n", kHeading, state.frequencyPpm, state.nOffset);
}

std::optional<DriftState> CDriftFile::Decode(const std::string& text) {
    std::istringstream in(text);
    std::string ppmText;
    std::string offsetText;
    if (lineWithoutEnd(in) != kHeading || !valueOf(lineWithoutEnd(in), "ppm", ppmText) ||
        !valueOf(lineWithoutEnd(in), "offset", offsetText)) {
        return std::nullopt;
    }
    const std::optional<double> ppm = wholeNumber(ppmText);
    const std::optional<double> offset = wholeNumber(offsetText);
    if (!ppm || std::fabs(*ppm) > kLimitPpm || !offset || *offset != std::trunc(*offset) ||
        std::fabs(*offset) > INT_MAX) {
        return std::nullopt;
    }
    return DriftState{*ppm, static_cast<int>(*offset)};
}

std::optional<DriftState> CDriftFile::Load() const {
    std::string bytes;
    const FileReadResult read = ReadFileIfPresent(m_strFileName, bytes);
    if (read == FileReadResult::Missing) {
        return std::nullopt;
    }
    const std::optional<DriftState> state = read == FileReadResult::Read ? Decode(bytes) : std::nullopt;
    if (!state) {
        m_log.write(FormatText(kDamaged, m_strFileName.c_str()), LOG_NOTICE, 0.0);
    }
    return state;
}

void CDriftFile::Store(const DriftState& state) const {
    if (ReplaceFileContents(m_strFileName, Encode(state)) != FileWriteResult::Written) {
        m_log.write(FormatText("Error. Failed storing the drift file %s.", m_strFileName.c_str()), LOG_NOTICE,
                    0.0);
    }
}
