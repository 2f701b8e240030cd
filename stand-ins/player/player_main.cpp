// standin-player.exe: loads a general plug-in into a stand-in QCD player and runs a list of
// actions against it. Usage and actions: see README.md.
#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dialog_actions.h"
#include "fault_session.h"
#include "base/handles.h"
#include "standin_host.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: standin-player [--user-hive KEY | --fresh-user-hive KEY] [--engine DIR] [--preload DLL]...\n"
                 "                      [--code-page N]\n"
                 "                      [--fail-call [THREAD:]N] [--fail-only F[,F...]] [--count-calls all] [--patience MS]\n"
                 "                      PLUGIN.dll PLAYLIST|FOLDER|- [ACTION...]\n"
                 "actions: describe | about | menu-command ID | wait MS | log | shutdown | exit-without-shutdown | step NAME\n"
                 "         %s\n",
                 standin::DialogActionsUsage());
}

void PrintLog(const standin::Host& host) {
    for (const standin::HostCall& call : host.Calls())
        std::printf("call: op %d (%d, %d) -> %d\n", call.op, call.param1, call.param2, call.result);
}

// Runs one action; false on a bad action or argument. `next` moves past consumed arguments.
bool RunAction(standin::Host& host, const std::vector<std::string>& args, size_t& next) {
    bool ok = false;
    if (standin::RunDialogAction(host, args, next, ok)) return ok;
    const std::string& action = args[next++];
    auto number = [&](long& value) {
        if (next >= args.size()) return false;
        char* end = nullptr;
        value = std::strtol(args[next].c_str(), &end, 10);
        ++next;
        return end != nullptr && *end == '\0';
    };
    long value = 0;
    if (action == "describe") {
        std::printf("description: %s\n", host.Description().c_str());
    } else if (action == "about") {
        std::printf("about: %d\n", host.About());
    } else if (action == "menu-command" && number(value)) {
        host.SendCommand(static_cast<UINT>(value));
        std::printf("menu-command: %ld\n", value);
    } else if (action == "wait" && number(value)) {
        host.PumpMessages(static_cast<DWORD>(value));
    } else if (action == "log") {
        PrintLog(host);
    } else if (action == "shutdown") {
        host.Shutdown();
        std::printf("shutdown: done\n");
    } else if (action == "exit-without-shutdown") {
        std::printf("exit-without-shutdown\n");
        std::fflush(stdout);
        ExitProcess(0);
    } else {
        std::fprintf(stderr, "standin-player: bad action '%s'\n", action.c_str());
        return false;
    }
    std::fflush(stdout);
    return true;
}

// Where the plug-in's engine loader looks for NeroAPI.dll.
bool PointEngineAt(const std::string& directory) {
    UniqueRegKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ahead\\Shared", 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.get(), "NeroAPI", 0, REG_SZ, reinterpret_cast<const BYTE*>(directory.c_str()),
                          static_cast<DWORD>(directory.size() + 1)) == ERROR_SUCCESS;
}

// The same run with the fault injector: every step is watched and followed until the plug-in's
// threads wait again, a failed action does not end the scenario (what follows it must still be
// sound), and the end is checked. Exit status as without it, or 6 when a check after unload fails.
int RunWithFaults(const standin::FaultOptions& faults, const standin::Playlist& playlist, const std::string& pluginPath,
                  const std::vector<std::string>& args, size_t next) {
    // The stand-in engine imports the audio compression manager, whose every load under Wine opens
    // registry keys it never closes; loaded once here, the engine's loading leaves nothing behind.
    const UniqueModule audioCompression(LoadLibraryA("msacm32.dll"));
    standin::StartBoxWatcher();
    standin::SetActionPatience(faults.patience);
    standin::Host host(playlist);
    standin::FaultSession session(faults);
    if (!host.Load(pluginPath)) {
        std::fprintf(stderr, "standin-player: %s\n", host.error().c_str());
        return 3;
    }
    if (!session.Install(host.module())) return 2;
    std::printf("loaded: %d\n", host.CallModule());
    std::fflush(stdout);
    session.EndStep(host);
    int status = 0;
    bool stepsNamed = false;
    while (next < args.size()) {
        if (args[next] == "step" && next + 1 < args.size()) {
            session.BeginStep(args[next + 1]);
            stepsNamed = true;
            next += 2;
            continue;
        }
        const std::string action = args[next];
        if (!stepsNamed) session.BeginStep(action);
        if (!RunAction(host, args, next)) {
            std::printf("check: the action \"%s\" failed\n", action.c_str());
            status = 2;
        }
        session.EndStep(host);
    }
    session.BeginStep("shutdown");
    if (host.running()) host.Shutdown();
    session.BeginStep("unload");
    const bool unloaded = host.Unload(faults.patience);
    const int checks = session.Finish(host, unloaded);
    std::printf("end: status %d\n", status != 0 ? status : checks);
    std::fflush(stdout);
    return status != 0 ? status : checks;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    size_t next = 0;
    standin::FaultOptions faults;
    for (; next + 1 < args.size() && args[next].compare(0, 2, "--") == 0; next += 2) {
        const std::string& option = args[next];
        const std::string& value = args[next + 1];
        std::string error;
        if (standin::ParseFaultOption(option, value, faults, error)) {
            if (!error.empty()) {
                std::fprintf(stderr, "standin-player: %s\n", error.c_str());
                return 2;
            }
        } else if (option == "--user-hive" || option == "--fresh-user-hive") {
            // A fresh hive starts from the plug-in's defaults, whatever an earlier run chose.
            if (option == "--fresh-user-hive") SHDeleteKeyA(HKEY_CURRENT_USER, value.c_str());
            if (!standin::RedirectUserHive(value)) {
                std::fprintf(stderr, "standin-player: cannot redirect the user hive to %s\n", value.c_str());
                return 2;
            }
        } else if (option == "--engine") {
            if (!PointEngineAt(value)) {
                std::fprintf(stderr, "standin-player: cannot point the engine registry value at %s\n", value.c_str());
                return 2;
            }
        } else if (option == "--code-page") {
            // Without the locale it asks for, Wine quietly gives the process another code page.
            if (std::to_string(GetACP()) != value) {
                std::fprintf(stderr, "standin-player: the process has code page %u, not %s\n", GetACP(), value.c_str());
                return 2;
            }
            std::printf("code page: %u\n", GetACP());
        } else if (option == "--preload") {
            // A library another plug-in would have brought into the player's process; kept to the end.
            if (LoadLibraryA(value.c_str()) == nullptr) {
                std::fprintf(stderr, "standin-player: cannot preload %s (error %lu)\n", value.c_str(), GetLastError());
                return 2;
            }
        } else {
            Usage();
            return 2;
        }
    }
    if (args.size() < next + 2) {
        Usage();
        return 2;
    }
    const std::string pluginPath = args[next++];
    const std::string playlistPath = args[next++];

    standin::Playlist playlist;
    std::string error;
    const DWORD attributes = GetFileAttributesA(playlistPath.c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (playlistPath != "-" && !(folder ? standin::ReadPlaylistFolder(playlistPath, playlist, error)
                                        : standin::ReadPlaylistFile(playlistPath, playlist, error))) {
        std::fprintf(stderr, "standin-player: %s\n", error.c_str());
        return 2;
    }
    if (faults.active) return RunWithFaults(faults, playlist, pluginPath, args, next);
    standin::Host host(playlist);
    if (!host.Load(pluginPath)) {
        std::fprintf(stderr, "standin-player: %s\n", host.error().c_str());
        return 3;
    }
    std::printf("loaded: %d\n", host.CallModule());
    std::fflush(stdout);
    int status = 0;
    while (next < args.size() && status == 0) {
        if (!RunAction(host, args, next)) status = 2;
    }
    // A player ends in order, also after an error of its own: shutdown (when still running), then
    // unload. A plug-in left loaded would take the end of the process for a crash.
    if (host.running()) host.Shutdown();
    const bool unloaded = host.Unload();
    if (status != 0) return status;
    return unloaded ? 0 : 4;
}
