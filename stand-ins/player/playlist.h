#pragma once
// The stand-in player's playlist: what the service callback answers from.

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

struct Track {
    std::string file;
    std::string title;
    std::string artist;
    int32_t lengthSeconds = 0;
    bool selected = false;
};

struct Playlist {
    std::vector<Track> tracks;
    // The player's settings file named by service 108; empty answers 0 (no file).
    std::string settingsFile;
    // A player that fails every text request (100, 101, 103, 108): each answers 0.
    bool textsFail = false;
    // A player that answers 0 to every request, its main window (1) and the track count included.
    bool answersNothing = false;
};

// Reads a playlist file (format in README.md); false when it cannot be read or a line is malformed.
bool ReadPlaylistFile(const std::string& path, Playlist& playlist, std::string& error);
// Every audio file (".wav", ".mp3", ".wma", ".pcm") of a folder and of the folders below it, in the
// order a file manager shows them: in each folder its subfolders first, then its files, each by name
// without regard to case. All selected; the title is the file name without its extension.
bool ReadPlaylistFolder(const std::string& folder, Playlist& playlist, std::string& error);
// Writes a player settings file with [QCD Player] DelimArtAlb=<style>.
bool WritePlayerSettingsFile(const std::string& path, int delimArtAlb);

}  // namespace standin
