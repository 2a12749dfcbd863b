#include "run_files.hpp"
#include "terminal_text.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

// The absolute, normal form of a path that may not exist yet, links in its
// existing part resolved; the name itself when that fails.
std::string resolved_path(const std::string& name) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(name, error);
    if (error) return name;
    path = std::filesystem::weakly_canonical(path, error);
    return error ? name : path.string();
}

}  // namespace

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    bool a_exists = ::stat(a.c_str(), &sa) == 0;
    bool b_exists = ::stat(b.c_str(), &sb) == 0;
    if (a_exists && b_exists)
        return S_ISREG(sa.st_mode) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (a_exists || b_exists) return false;
    return a == b || resolved_path(a) == resolved_path(b);
}

bool files_distinct(const char* program, const std::vector<RunFile>& files) {
    for (std::size_t n = 0; n < files.size(); ++n) {
        const RunFile& named = files[n];
        if (named.role != FileRole::NAMED_OUTPUT) continue;
        for (std::size_t o = 0; o < files.size(); ++o) {
            const RunFile& other = files[o];
            // Each pair of named outputs once.
            if (o == n || (o < n && other.role == FileRole::NAMED_OUTPUT)) continue;
            if (!same_file(named.name, other.name)) continue;
            std::fprintf(stderr, "%s: %s '%s' is the same file as %s '%s'\n", program, named.what,
                         terminal_safe(named.name).c_str(), other.what,
                         terminal_safe(other.name).c_str());
            return false;
        }
    }
    return true;
}

int output_file_problem(const char* name) {
    if (name[0] == '\0') return ENOENT;
    struct stat status {};
    if (::stat(name, &status) == 0) {
        if (S_ISDIR(status.st_mode)) return EISDIR;
        return ::access(name, W_OK) == 0 ? 0 : errno;
    }
    if (errno != ENOENT) return errno;
    // A new file: its directory must take a new name.
    std::filesystem::path directory = std::filesystem::path(name).parent_path();
    const char* where = directory.empty() ? "." : directory.c_str();
    return ::access(where, W_OK | X_OK) == 0 ? 0 : errno;
}

BoundedRead read_bounded(const std::string& name, std::uint64_t limit) {
    BoundedRead read;
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) return read;
    struct stat status {};
    if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<std::uint64_t>(status.st_size) > limit) {
        std::fclose(file);
        read.too_large = true;
        read.size = static_cast<std::uint64_t>(status.st_size);
        return read;
    }
    std::string text;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (text.size() + n > limit) {
            read.too_large = true;
            break;
        }
        text.append(buffer, n);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (!failed && !read.too_large) read.text = std::move(text);
    return read;
}

std::string too_large_text(const char* what, const BoundedRead& read) {
    std::string size =
        read.size > 0 ? std::to_string(read.size) : "more than " + std::to_string(INPUT_LIMIT);
    return std::string(what) + " too large: " + size + " bytes (the limit is " +
           std::to_string(INPUT_LIMIT >> 20) + " MiB)";
}
