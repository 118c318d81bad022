// The native half of bench/run, which compares the engine with cp and a peer library.
//
//   engine_bench pictures FOLDER COUNT BYTES   writes image1.jpg ... imageCOUNT.jpg into FOLDER
//   engine_bench save FOLDER COUNT TARGET [SECONDS]
//                                              the engine's job: one blank slide per picture,
//                                              placed as the defaults place them, saved as TARGET
//                                              SECONDS after the last picture was added, the time
//                                              the user spends in the Save-As dialog (default 0),
//                                              in a process with a second thread, as the program
//                                              has its windowing and D-Bus threads
//   engine_bench measure COMMAND [ARGUMENT...] runs COMMAND, then prints its wall time in seconds
//                                              and the peak resident memory in KiB of it and of
//                                              the children it waited for
//
// A picture is a JPEG header followed by random bytes: the engine copies pictures unchanged, so
// their content does not matter, and noise cannot be compressed by anyone.

#include "base/Error.h"
#include "engine/Engine.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <spawn.h>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

using namespace kestrane;

namespace {

constexpr unsigned char jpegHeader[] = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x01, 0xE0, 0x02, 0x80,
                                        0x03, 0x01, 0x11, 0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00};

std::string picturePath(const std::string& folder, std::size_t number)
{
    return folder + "/image" + std::to_string(number) + ".jpg";
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
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

int makePictures(const std::string& folder, std::size_t count, std::uint64_t size)
{
    std::mt19937_64 random(42);
    for (std::size_t i = 1; i <= count; ++i)
        makePicture(picturePath(folder, i), size, random);
    return 0;
}

// What the conversion asks of the engine, and nothing else.
int save(const std::string& folder, std::size_t count, const std::string& target, double dialogSeconds)
{
    // The program always runs more than one thread, and once a process has a second thread, the
    // kernel waits for an RCU grace period each time the process's table of open files grows (every
    // picture added is one more open file): 20 to 40 ms over 2000 pictures here.
    const std::jthread idle([](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any stopped;
        std::unique_lock lock(mutex);
        stopped.wait(lock, stop, [] { return false; });
    });
    try {
        auto application = presentation::startApplication();
        auto presentation = application->Presentations().Add();
        for (std::size_t i = 1; i <= count; ++i)
            presentation->Slides()
                .Add(int(i), automation::ppLayoutBlank)
                ->Shapes()
                .AddPicture(picturePath(folder, i), automation::msoFalse, automation::msoTrue, "55", "-60",
                            "612", "792");
        std::this_thread::sleep_for(std::chrono::duration<double>(dialogSeconds));
        presentation->SaveAs(target);
        application->Quit();
    } catch (const Error& error) {
        std::fprintf(stderr, "engine_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}

int measure(char** command)
{
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, command[0], nullptr, nullptr, command, environ) != 0) {
        std::perror(command[0]);
        return 1;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        std::perror("wait4");
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "engine_bench: %s failed\n", command[0]);
        return 1;
    }
    std::printf("%.4f %ld\n", seconds, usage.ru_maxrss);
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: engine_bench pictures FOLDER COUNT BYTES\n"
                         "       engine_bench save FOLDER COUNT TARGET [SECONDS]\n"
                         "       engine_bench measure COMMAND [ARGUMENT...]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "pictures" && argc == 5)
        return makePictures(argv[2], std::strtoull(argv[3], nullptr, 10),
                            std::strtoull(argv[4], nullptr, 10));
    if (mode == "save" && (argc == 5 || argc == 6))
        return save(argv[2], std::strtoull(argv[3], nullptr, 10), argv[4],
                    argc == 6 ? std::strtod(argv[5], nullptr) : 0);
    if (mode == "measure" && argc > 2)
        return measure(argv + 2);
    return usage();
}
