// Runs a program several times with standard input from a file and standard
// output to /dev/null, and prints the median wall time in seconds, the
// largest peak resident set size in KiB and the median processor time (user
// and system) in seconds:  measure RUNS INPUT PROGRAM
// On a busy machine the processor time is the steadier of the two times.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: measure RUNS INPUT PROGRAM\n");
        return 2;
    }
    int runs = std::atoi(argv[1]);
    std::vector<double> seconds;
    std::vector<double> cpu_seconds;
    long peak_kib = 0;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        pid_t child = fork();
        if (child == 0) {
            int in = open(argv[2], O_RDONLY);
            int out = open("/dev/null", O_WRONLY);
            if (in < 0 || out < 0) _exit(126);
            dup2(in, STDIN_FILENO);
            dup2(out, STDOUT_FILENO);
            execl(argv[3], argv[3], static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        struct rusage usage {};
        wait4(child, &status, 0, &usage);
        auto end = std::chrono::steady_clock::now();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "measure: %s failed\n", argv[3]);
            return 1;
        }
        seconds.push_back(std::chrono::duration<double>(end - start).count());
        peak_kib = std::max(peak_kib, usage.ru_maxrss);
        cpu_seconds.push_back(static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) /
                                  1e6);
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(cpu_seconds.begin(), cpu_seconds.end());
    std::printf("%.6f %ld %.6f\n", seconds[seconds.size() / 2], peak_kib,
                cpu_seconds[cpu_seconds.size() / 2]);
    return 0;
}
