#include "playlist.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace standin {
namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

bool ParseNumber(const std::string& text, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return end != nullptr && *end == '\0';
}

std::string TempSettingsPath() {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "standin-player-" + std::to_string(GetCurrentProcessId()) + ".ini";
}

bool ParseTrack(const std::string& line, Track& track) {
    std::vector<std::string> fields = SplitTabs(line);
    if (fields.size() < 1 || fields.size() > 5 || fields[0].empty()) return false;
    fields.resize(5);
    track.file = fields[0];
    track.title = fields[1];
    track.artist = fields[2];
    long number = 0;
    if (!fields[3].empty() && !ParseNumber(fields[3], number)) return false;
    track.lengthSeconds = static_cast<int32_t>(number);
    number = 0;
    if (!fields[4].empty() && !ParseNumber(fields[4], number)) return false;
    track.selected = number != 0;
    return true;
}

}  // namespace

bool ReadPlaylistFile(const std::string& path, Playlist& playlist, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::string delimiterKey = "DelimArtAlb=";
        const std::string settingsKey = "settings=";
        long style = 0;
        if (line.compare(0, delimiterKey.size(), delimiterKey) == 0 &&
            ParseNumber(line.substr(delimiterKey.size()), style)) {
            playlist.settingsFile = TempSettingsPath();
            if (!WritePlayerSettingsFile(playlist.settingsFile, static_cast<int>(style))) {
                error = "cannot write " + playlist.settingsFile;
                return false;
            }
            continue;
        }
        if (line.compare(0, settingsKey.size(), settingsKey) == 0) {
            playlist.settingsFile = line.substr(settingsKey.size());
            continue;
        }
        Track track;
        if (!ParseTrack(line, track)) {
            error = path + ":" + std::to_string(number) + ": malformed track line";
            return false;
        }
        playlist.tracks.push_back(track);
    }
    return true;
}

bool WritePlayerSettingsFile(const std::string& path, int delimArtAlb) {
    std::ofstream file(path, std::ios::trunc);
    file << "[QCD Player]\r\nDelimArtAlb=" << delimArtAlb << "\r\n";
    return static_cast<bool>(file);
}

}  // namespace standin
