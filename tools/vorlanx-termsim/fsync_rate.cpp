// vorlanx-fsync-rate: how many small durable writes a second the disk under a directory takes.
// A booked payment cannot be acknowledged faster than its commit reaches the disk, so this is
// the ceiling that the payment rate of the service is compared with.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: vorlanx-fsync-rate DIR [SECONDS]\n  appends 512 bytes and fsyncs, in a loop, in a "
                     "scratch file under DIR (default 3 s)\n";
        return 2;
    }
    const double seconds = argc == 3 ? std::atof(argv[2]) : 3.0;
    const std::filesystem::path file = std::filesystem::path(argv[1]) / "fsync-rate.tmp";
    const int fd = ::open(file.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    if (fd < 0) {
        std::perror(file.c_str());
        return 1;
    }
    char block[512];
    for (auto& c : block)
        c = 'x';
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    long count = 0;
    while (Clock::now() < end) {
        if (::write(fd, block, sizeof block) != static_cast<ssize_t>(sizeof block) || ::fsync(fd) != 0) {
            std::perror("write/fsync");
            ::close(fd);
            return 1;
        }
        ++count;
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    ::close(fd);
    std::filesystem::remove(file);
    std::printf("%.0f\n", static_cast<double>(count) / elapsed);
    return 0;
}
