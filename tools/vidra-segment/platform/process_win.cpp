// Child processes on Windows: CreateProcessW with the arguments quoted by the
// C runtime's rules, anonymous pipes read and written on the callers' threads.
#include "platform/command_line_win.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/wide_win.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace vseg {

struct ChildProcess::Handles {
    HANDLE process = nullptr;
    HANDLE in = nullptr, out = nullptr, err = nullptr;
    std::mutex killLock;  // Kill may come from another thread than Wait
    bool reaped = true;
};

namespace {

// Inheritable handles exist only while this is held: a child started on
// another thread at the same moment must not inherit our child's pipe ends
// (it would keep the pipe open, and the reader would never see its end).
std::mutex g_spawnLock;

void CloseH(HANDLE& h) {
    if (h) CloseHandle(h);
    h = nullptr;
}

bool HasExtension(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    const size_t sep = name.find_last_of("/\\");
    return dot != std::string::npos && (sep == std::string::npos || dot > sep);
}

bool IsFile(const std::string& path) {
    const DWORD a = GetFileAttributesW(Widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FindIn(const std::string& folder, const std::string& name) {
    if (folder.empty()) return "";
    const std::string base = folder + (folder.back() == '\\' || folder.back() == '/' ? "" : "\\") + name;
    if (!HasExtension(name) && IsFile(base + ".exe")) return base + ".exe";
    return HasExtension(name) && IsFile(base) ? base : "";
}

}  // namespace

std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows: then each is doubled
        // and the quote escaped.
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    // Before the closing quote, too.
    quoted.append(2 * backslashes, L'\\');
    quoted += L'"';
    return quoted;
}

std::wstring BuildCommandLine(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const std::string& a : argv) {
        if (!line.empty()) line += L' ';
        line += QuoteArgument(Widen(a));
    }
    return line;
}

std::string FindProgram(const std::string& name) {
    if (name.empty()) return "";
    if (name.find_first_of("/\\:") != std::string::npos) {
        if (!HasExtension(name) && IsFile(name + ".exe")) return name + ".exe";
        return IsFile(name) ? name : "";
    }
    // Beside this program first: an unpacked archive with ffmpeg.exe copied in.
    std::string folder, exe;
    SplitPath(ExecutablePath(), folder, exe);
    std::string found = FindIn(folder, name);
    if (!found.empty()) return found;
    const DWORD n = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (n == 0) return "";
    std::wstring wide(n, L'\0');
    wide.resize(GetEnvironmentVariableW(L"PATH", &wide[0], n));
    const std::string path = Narrow(wide);
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(';', start);
        if (end == std::string::npos) end = path.size();
        std::string dir = path.substr(start, end - start);
        if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"') dir = dir.substr(1, dir.size() - 2);
        found = FindIn(dir, name);
        if (!found.empty()) return found;
        start = end + 1;
    }
    return "";
}

std::string Describe(const ProcessStatus& s) {
    if (!s.waited) return "could not be waited for";
    const unsigned code = static_cast<unsigned>(s.exitCode);
    if (code >= 0xC0000000u) {
        // An NTSTATUS: the process crashed (0xC0000005) or was stopped.
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", code);
        return std::string("ended by exception ") + hex;
    }
    return "exited with status " + std::to_string(s.exitCode);
}

const char* FfmpegInstallHint() {
    return "put ffmpeg.exe and ffprobe.exe in a folder on PATH or beside vidra-segment.exe";
}

ChildProcess::ChildProcess() : h_(new Handles) {}

ChildProcess::~ChildProcess() {
    if (Running()) {
        Kill();
        Wait();
    }
    CloseH(h_->in);
    CloseH(h_->out);
    CloseH(h_->err);
}

SpawnError ChildProcess::Start(const std::vector<std::string>& argv, Stdio in, Stdio out, Stdio err) {
    if (argv.empty()) return SpawnError::Other;
    const std::string program = FindProgram(argv[0]);
    if (program.empty()) return SpawnError::NotFound;
    std::vector<std::string> args = argv;
    args[0] = program;
    std::wstring commandLine = BuildCommandLine(args);

    std::lock_guard<std::mutex> lock(g_spawnLock);
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childEnd[3] = {nullptr, nullptr, nullptr}, ours[3] = {nullptr, nullptr, nullptr};
    auto closeAll = [&] {
        for (HANDLE& hnd : childEnd) CloseH(hnd);
        for (HANDLE& hnd : ours) CloseH(hnd);
    };
    const Stdio modes[3] = {in, out, err};
    bool ok = true;
    for (int i = 0; i < 3 && ok; ++i) {
        if (modes[i] == Stdio::Pipe) {
            HANDLE r = nullptr, w = nullptr;
            // Frames are megabytes: a large pipe means fewer switches per frame.
            ok = CreatePipe(&r, &w, &inherit, 1 << 20) != 0;
            if (!ok) break;
            childEnd[i] = i == 0 ? r : w;
            ours[i] = i == 0 ? w : r;
            SetHandleInformation(ours[i], HANDLE_FLAG_INHERIT, 0);
        } else if (modes[i] == Stdio::Inherit && i == 2) {
            HANDLE mine = GetStdHandle(STD_ERROR_HANDLE);
            if (mine && mine != INVALID_HANDLE_VALUE &&
                DuplicateHandle(GetCurrentProcess(), mine, GetCurrentProcess(), &childEnd[i], 0, TRUE,
                                DUPLICATE_SAME_ACCESS))
                continue;
            childEnd[i] = nullptr;
        }
        if (!childEnd[i]) {
            // Never our standard output or input: the null device.
            childEnd[i] = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inherit, OPEN_EXISTING, 0, nullptr);
            ok = childEnd[i] != INVALID_HANDLE_VALUE;
            if (!ok) childEnd[i] = nullptr;
        }
    }
    if (!ok) {
        closeAll();
        return SpawnError::Other;
    }
    STARTUPINFOW si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = childEnd[0];
    si.hStdOutput = childEnd[1];
    si.hStdError = childEnd[2];
    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof pi);
    // Not in our console (a hidden one of its own) and in a group of its own:
    // Ctrl-C and Ctrl-Break, which a console sends to every process attached
    // to it, reach only us, and we finish the outputs (ffmpeg would stop
    // mid-file and fail our writes). Its standard error still goes where ours does.
    const BOOL started = CreateProcessW(Widen(program).c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                        CREATE_NEW_PROCESS_GROUP | CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    const DWORD why = GetLastError();
    for (HANDLE& hnd : childEnd) CloseH(hnd);
    if (!started) {
        closeAll();
        return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND ? SpawnError::NotFound : SpawnError::Other;
    }
    CloseHandle(pi.hThread);
    h_->process = pi.hProcess;
    h_->reaped = false;
    h_->in = ours[0];
    h_->out = ours[1];
    h_->err = ours[2];
    return SpawnError::None;
}

bool ChildProcess::Running() const { return !h_->reaped; }

size_t ChildProcess::Read(void* buffer, size_t n) {
    size_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (h_->out && done < n) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
        if (!ReadFile(h_->out, p + done, want, &got, nullptr) || got == 0) break;  // ERROR_BROKEN_PIPE: the end
        done += got;
    }
    return done;
}

bool ChildProcess::Write(const void* buffer, size_t n) {
    size_t done = 0;
    const auto* p = static_cast<const char*>(buffer);
    while (done < n) {
        if (!h_->in) return false;
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
        if (!WriteFile(h_->in, p + done, want, &put, nullptr) || put == 0) return false;
        done += put;
    }
    return true;
}

std::string ChildProcess::ReadAll() {
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = Read(chunk, sizeof chunk)) > 0) {
        text.append(chunk, got);
        if (got < sizeof chunk) break;  // Read returns short only at the end
    }
    return text;
}

std::string ChildProcess::ReadError() {
    char chunk[1024];
    DWORD got = 0;
    if (!h_->err || !ReadFile(h_->err, chunk, sizeof chunk, &got, nullptr) || got == 0) return "";
    return std::string(chunk, got);
}

void ChildProcess::CloseInput() { CloseH(h_->in); }
void ChildProcess::CloseOutput() { CloseH(h_->out); }

ProcessStatus ChildProcess::Wait() {
    CloseH(h_->in);
    CloseH(h_->out);
    ProcessStatus s;
    if (h_->reaped) return s;
    const bool waited = WaitForSingleObject(h_->process, INFINITE) == WAIT_OBJECT_0;
    DWORD code = 0;
    const bool known = waited && GetExitCodeProcess(h_->process, &code);
    {
        std::lock_guard<std::mutex> lock(h_->killLock);
        h_->reaped = true;
        CloseH(h_->process);
    }
    if (!known) return s;
    s.waited = true;
    s.exitCode = static_cast<int>(code);
    return s;
}

void ChildProcess::Kill() {
    // At once, as SIGKILL on POSIX: ffmpeg asked to stop would try to finish
    // its output and complain about the pipe we are closing.
    std::lock_guard<std::mutex> lock(h_->killLock);
    if (!h_->reaped && h_->process) TerminateProcess(h_->process, 1);
}

}  // namespace vseg
