#include "ngspice/NgspiceLibrary.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

// libngspice times every load and every solve of its matrix with clock(),
// for statistics that it prints only when asked ("rusage"), and that no
// analysis here asks for. clock() reads the process CPU clock, a system
// call: 1.6 us on the 2-core virtual machine the benchmarks run on, some
// 550 calls a simulation and 40 % of the time of 500 tolerance runs. So
// the program defines clock() and exports it (norvane_ngspice's link
// options), and the library's calls, resolved against the program before
// the C library, come here: the coarse monotonic clock, read without a
// system call, in CLOCKS_PER_SEC units. It is wall time, not CPU time, in
// steps of a few milliseconds; nothing else in the program calls clock().
extern "C" clock_t clock() noexcept
{
    timespec now{};
    if (::clock_gettime(CLOCK_MONOTONIC_COARSE, &now) != 0) {
        return static_cast<clock_t>(-1);
    }
    constexpr clock_t NanosecondsPerTick = 1'000'000'000 / CLOCKS_PER_SEC;
    return static_cast<clock_t>(now.tv_sec) * CLOCKS_PER_SEC +
           static_cast<clock_t>(now.tv_nsec) / NanosecondsPerTick;
}

namespace norvane {

namespace {

std::string SystemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// The file NgspiceLibraryVariable names: opened without blocking (a FIFO
// there hung the program for good), then what was opened is checked to be
// a regular file that begins as an ELF object does, and that same file is
// loaded, through its descriptor. /etc/passwd was "not found" before.
Expected<void*> LoadNamedLibrary(const std::string& named)
{
    const int fd = ::open(named.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? Failure{NgspiceNotFound}
                                                   : Failure{SystemError("cannot open \"" + named + "\"")};
    }
    struct stat info {};
    std::array<char, 4> magic{};
    const bool library = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                         ::pread(fd, magic.data(), magic.size(), 0) == static_cast<ssize_t>(magic.size()) &&
                         std::memcmp(magic.data(),
                                     "\x7f"
                                     "ELF",
                                     magic.size()) == 0;
    void* handle = nullptr;
    std::string why;
    if (library) {
        handle = ::dlopen(("/proc/self/fd/" + std::to_string(fd)).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* error = ::dlerror();
            why = error != nullptr ? error : "unknown";
        }
    }
    ::close(fd);
    if (!library) {
        return Failure{"\"" + named + "\" (" + NgspiceLibraryVariable + ") is not a shared library"};
    }
    if (handle == nullptr) {
        return Failure{"\"" + named + "\" (" + NgspiceLibraryVariable + ") could not be loaded: " + why};
    }
    return handle;
}

Expected<void*> LoadLibrary()
{
    if (const char* named = std::getenv(NgspiceLibraryVariable); named != nullptr && *named != '\0') {
        return LoadNamedLibrary(named);
    }
    for (const char* name : {"libngspice.so.0", "libngspice.so"}) {
        if (void* handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL)) {
            return handle;
        }
    }
    return Failure{NgspiceNotFound};
}

template <typename Function>
bool Find(void* handle, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    return function != nullptr;
}

// A folder of our own holding an empty .spiceinit and an empty spinit;
// removed with everything in it when the object goes.
class StartupFolder {
public:
    StartupFolder() = default;
    StartupFolder(const StartupFolder&) = delete;
    StartupFolder& operator=(const StartupFolder&) = delete;
    ~StartupFolder()
    {
        for (const std::string& file : m_Files) {
            ::unlink(file.c_str());
        }
        if (!m_Path.empty()) {
            ::rmdir(m_Path.c_str());
        }
    }

    [[nodiscard]] Status Create()
    {
        // TMPDIR when it names a usable folder, else the user's runtime
        // folder, else /tmp: a TMPDIR that does not exist must not turn
        // every simulation off. Only when none works is the first named.
        std::vector<std::string> folders;
        for (const char* variable : {"TMPDIR", "XDG_RUNTIME_DIR"}) {
            const char* folder = std::getenv(variable);
            if (folder != nullptr && *folder == '/') {
                folders.emplace_back(folder);
            }
        }
        folders.emplace_back("/tmp");
        std::string failed;
        for (const std::string& folder : folders) {
            std::string pattern = folder + "/norvane-ngspice-XXXXXX";
            if (::mkdtemp(pattern.data()) != nullptr) {
                m_Path = pattern;
                break;
            }
            if (failed.empty()) {
                failed = SystemError("cannot make a folder for ngspice's start-up files in " + pattern);
            }
        }
        if (m_Path.empty()) {
            return Failure{failed};
        }
        for (const char* name : {"/.spiceinit", "/spinit"}) {
            const std::string file = m_Path + name;
            const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0) {
                return Failure{SystemError("cannot write " + file)};
            }
            ::close(fd);
            m_Files.push_back(file);
        }
        return {};
    }

    const std::string& Path() const { return m_Path; }

private:
    std::string m_Path;
    std::vector<std::string> m_Files;
};

// Sets an environment variable for as long as the object lives.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const std::string& value) : m_Name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_Old = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;
    ~EnvironmentOverride()
    {
        if (m_Old) {
            ::setenv(m_Name, m_Old->c_str(), 1);
        } else {
            ::unsetenv(m_Name);
        }
    }

private:
    const char* m_Name;
    std::optional<std::string> m_Old;
};

} // namespace

Expected<NgspiceApi> OpenNgspice()
{
    const Expected<void*> loaded = LoadLibrary();
    if (!loaded) {
        return Failure{loaded.Message()};
    }
    void* handle = *loaded;
    NgspiceApi api;
    const bool complete =
        Find(handle, "ngSpice_Init", api.m_Init) && Find(handle, "ngSpice_Command", api.m_Command) &&
        Find(handle, "ngSpice_Circ", api.m_Circ) && Find(handle, "ngGet_Vec_Info", api.m_VectorInfo) &&
        Find(handle, "ngSpice_AllPlots", api.m_AllPlots) && Find(handle, "ngSpice_running", api.m_Running);
    if (!complete) {
        return Failure{"the loaded ngspice library lacks functions of the shared API"};
    }
    Find(handle, "ngSpice_nospinit", api.m_NoSpinit);
    Find(handle, "ngSpice_nospiceinit", api.m_NoSpiceinit);
    return api;
}

Status StartNgspice(const NgspiceApi& api, const NgspiceCallbacks& callbacks)
{
    StartupFolder folder;
    if (Status created = folder.Create(); !created) {
        return created;
    }
    const int previous = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (previous < 0) {
        return Failure{SystemError("cannot open the current folder to return to it")};
    }
    if (::chdir(folder.Path().c_str()) != 0) {
        const Status failed = Failure{SystemError("cannot enter " + folder.Path())};
        ::close(previous);
        return failed;
    }
    struct sigaction interrupt {};
    ::sigaction(SIGINT, nullptr, &interrupt);
    int rc = 0;
    {
        const EnvironmentOverride scripts("SPICE_SCRIPTS", folder.Path());
        if (api.m_NoSpinit != nullptr) {
            api.m_NoSpinit();
        }
        if (api.m_NoSpiceinit != nullptr) {
            api.m_NoSpiceinit();
        }
        rc = api.m_Init(callbacks.m_Print, callbacks.m_Status, callbacks.m_Exit, nullptr, nullptr,
                        callbacks.m_Background, nullptr);
    }
    ::sigaction(SIGINT, &interrupt, nullptr);
    const bool back = ::fchdir(previous) == 0;
    ::close(previous);
    if (!back) {
        return Failure{SystemError("cannot return to the current folder after starting ngspice")};
    }
    if (rc != 0) {
        return Failure{"ngspice could not be initialised"};
    }
    return {};
}

} // namespace norvane
