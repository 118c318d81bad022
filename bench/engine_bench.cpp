// Times the presentation engine against cp on the same bytes.
//
//   engine_bench [N [S [folder]]]
//
// Makes N noise pictures of S bytes (a JPEG header, then random bytes) in a new folder, warms
// the page cache, times `cp` of the pictures into that folder, then in a child process times the
// engine adding them (one slide each) and saving, for .pptx and .ppt. Prints engine time, copy
// time, their ratio and the engine's peak resident memory. Each time is the best of three runs,
// which keeps other load on the machine out of the figures.

#include "platform/Error.h"
#include "platform/presentation/Engine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace kestrane;

namespace {

constexpr int runs = 3;

constexpr unsigned char jpegHeader[] = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x01, 0xE0, 0x02, 0x80,
                                        0x03, 0x01, 0x11, 0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00};

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void makePicture(const std::string& path, std::uint64_t size, std::mt19937_64& random)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(jpegHeader), sizeof jpegHeader);
    std::vector<std::uint64_t> chunk(8192);
    std::uint64_t left = size > sizeof jpegHeader ? size - sizeof jpegHeader : 0;
    while (left > 0) {
        for (auto& word : chunk)
            word = random();
        const std::uint64_t n = std::min<std::uint64_t>(left, chunk.size() * sizeof(std::uint64_t));
        out.write(reinterpret_cast<const char*>(chunk.data()), std::streamsize(n));
        left -= n;
    }
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

int run(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct EngineRun
{
    bool available = false;
    double seconds = 0;
    long peakKiB = 0;
    std::string error;
};

// In a child, so its peak memory is the engine's alone.
EngineRun timeEngine(const std::vector<std::string>& pictures, const std::string& target)
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        EngineRun result;
        const auto start = std::chrono::steady_clock::now();
        try {
            auto app = presentation::startApplication();
            auto pres = app->Presentations().Add();
            for (std::size_t i = 0; i < pictures.size(); ++i)
                pres->Slides()
                    .Add(int(i + 1), automation::ppLayoutBlank)
                    ->Shapes()
                    .AddPicture(pictures[i], automation::msoFalse, automation::msoTrue, "55", "-60", "612",
                                "792");
            pres->SaveAs(target);
            app->Quit();
            result.available = true;
        } catch (const Error& error) {
            result.error = error.description();
        }
        result.seconds = seconds(start);
        rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        const std::string report = std::to_string(result.available) + " " + std::to_string(result.seconds) +
                                   " " + std::to_string(usage.ru_maxrss) + " " + result.error;
        [[maybe_unused]] const ssize_t written = write(fds[1], report.data(), report.size());
        _exit(0);
    }
    close(fds[1]);
    std::string report;
    char buffer[1024];
    ssize_t got;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0)
        report.append(buffer, std::size_t(got));
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    EngineRun result;
    char error[900] = "";
    int available = 0;
    std::sscanf(report.c_str(), "%d %lf %ld %899[^\n]", &available, &result.seconds, &result.peakKiB, error);
    result.available = available != 0;
    result.error = error;
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 500;
    const std::uint64_t size = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1 << 20;
    std::string folderTemplate =
        (argc > 3 ? std::string(argv[3]) : std::string(".")) + "/engine-bench.XXXXXX";
    if (mkdtemp(folderTemplate.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = folderTemplate;
    std::printf("%zu pictures of %llu bytes in %s\n", count, static_cast<unsigned long long>(size),
                folder.c_str());

    std::mt19937_64 random(42);
    std::vector<std::string> pictures;
    for (std::size_t i = 1; i <= count; ++i) {
        pictures.push_back(folder + "/image" + std::to_string(i) + ".jpg");
        makePicture(pictures.back(), size, random);
    }
    // Warm the page cache: every run reads the pictures from memory.
    std::vector<std::string> cat{"sh", "-c", "cat \"$0\"/image*.jpg > /dev/null", folder};
    run(cat);

    const std::string copies = folder + "/copies";
    std::vector<std::string> cp{"cp"};
    cp.insert(cp.end(), pictures.begin(), pictures.end());
    cp.push_back(copies);
    double copySeconds = 1e30;
    for (int attempt = 0; attempt < runs; ++attempt) {
        run({"mkdir", copies});
        const auto copyStart = std::chrono::steady_clock::now();
        if (run(cp) != 0) {
            std::fprintf(stderr, "cp failed\n");
            return 1;
        }
        copySeconds = std::min(copySeconds, seconds(copyStart));
        run({"rm", "-rf", copies});
    }

    std::printf("copy (cp)        %8.3f s\n", copySeconds);
    for (const char* extension : {".pptx", ".ppt"}) {
        const std::string target = folder + "/bench" + extension;
        EngineRun engine;
        for (int attempt = 0; attempt < runs; ++attempt) {
            const EngineRun next = timeEngine(pictures, target);
            if (attempt == 0 || (next.available && next.seconds < engine.seconds))
                engine = next;
            run({"rm", "-f", target});
        }
        if (!engine.available) {
            std::printf("engine %-5s     n/a (%s)\n", extension, engine.error.c_str());
            continue;
        }
        std::printf("engine %-5s  %8.3f s   ratio %5.2f   peak RSS %6.1f MB\n", extension, engine.seconds,
                    engine.seconds / copySeconds, double(engine.peakKiB) / 1024.0);
    }
    run({"rm", "-rf", folder});
    return 0;
}
