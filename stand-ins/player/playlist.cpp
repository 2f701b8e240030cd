#include "playlist.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/handles.h"
#include "stand-ins/code_page_text.h"

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

// The extension from the last dot on, ASCII letters lowered: what the player recognises is ASCII.
std::string LowerExtension(const std::string& name) {
    const size_t dot = LastCharacterOf(name, ".");
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

bool HasAudioExtension(const std::string& name) {
    const std::string extension = LowerExtension(name);
    return extension == ".wav" || extension == ".mp3" || extension == ".wma" || extension == ".pcm";
}

// Seconds of CD audio in a WAV or raw file, from its size; other kinds are not measured.
int32_t RoughSeconds(const std::string& name, unsigned long long bytes) {
    const std::string extension = LowerExtension(name);
    return extension == ".wav" || extension == ".pcm" ? static_cast<int32_t>(bytes / 176400) : 0;
}

std::wstring Wide(const std::string& text) {
    const int count = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(count > 0 ? static_cast<size_t>(count) : 1, L'\0');
    if (count > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], count);
    return wide;
}

// Names as a file manager orders them: case-insensitively, as Windows compares names. Read in the
// system code page, whatever code page the user's locale would give CompareStringA.
bool NameBefore(const std::string& a, const std::string& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE | SORT_STRINGSORT, Wide(a).c_str(), -1,
                          Wide(b).c_str(), -1) == CSTR_LESS_THAN;
}

// A folder's subfolders first, each with everything below it, then its own audio files.
bool AddFolder(const std::string& folder, std::vector<Track>& tracks, std::string& error) {
    WIN32_FIND_DATAA found;
    UniqueFindHandle find(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!find) {
        error = "cannot list " + folder;
        return false;
    }
    std::vector<std::string> folders;
    std::vector<WIN32_FIND_DATAA> files;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            folders.push_back(name);
        } else if (HasAudioExtension(name)) {
            files.push_back(found);
        }
    } while (FindNextFileA(find.get(), &found));
    std::sort(folders.begin(), folders.end(), NameBefore);
    std::sort(files.begin(), files.end(), [](const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
        return NameBefore(a.cFileName, b.cFileName);
    });
    for (const std::string& name : folders) {
        if (!AddFolder(folder + "\\" + name, tracks, error)) return false;
    }
    for (const WIN32_FIND_DATAA& file : files) {
        const std::string name = file.cFileName;
        Track track;
        track.file = folder + "\\" + name;
        track.title = name.substr(0, LastCharacterOf(name, "."));
        track.lengthSeconds =
            RoughSeconds(name, (static_cast<unsigned long long>(file.nFileSizeHigh) << 32) | file.nFileSizeLow);
        track.selected = true;
        tracks.push_back(track);
    }
    return true;
}

}  // namespace

bool ReadPlaylistFolder(const std::string& folder, Playlist& playlist, std::string& error) {
    std::vector<Track> tracks;
    if (!AddFolder(folder, tracks, error)) return false;
    playlist.tracks = tracks;
    return true;
}

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
