#include "output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "ending_signals.hpp"
#include "terminal_text.hpp"

namespace {

const char* name_of_program = "program";

// The directory part of a path, "." for a bare name.
std::string directory_of(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_of(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The mode a new file gets: 0666 less the umask, as open(2) would give it.
mode_t new_file_mode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void start_program(const char* name) {
    name_of_program = name;
    end_cleanly_on_signals();
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lower descriptors are open, so this takes fd itself.
        int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

const char* program_name() { return name_of_program; }

bool report_write_failure(const char* what, const std::string& name, int error) {
    std::string folder = directory_of(name);
    if ((error == EACCES || error == EPERM || error == EROFS) &&
        ::access(folder.c_str(), W_OK | X_OK) != 0) {
        // The temporary file beside the target could not be made.
        std::fprintf(stderr, "%s: cannot write %s '%s': the folder '%s' takes no new file: %s\n",
                     name_of_program, what, terminal_safe(name).c_str(),
                     terminal_safe(folder).c_str(), std::strerror(error));
        return false;
    }
    // open_own_name's refusal of a special file at the name.
    const char* reason = error == EEXIST ? "not a regular file" : std::strerror(error);
    std::fprintf(stderr, "%s: cannot write %s '%s': %s\n", name_of_program, what,
                 terminal_safe(name).c_str(), reason);
    return false;
}

bool report_output_failure(int error) {
    std::fprintf(stderr, "%s: cannot write the standard output: %s\n", name_of_program,
                 std::strerror(error));
    return false;
}

OutputFile::~OutputFile() { abandon(); }

int OutputFile::open(const std::string& name) {
    abandon();
    if (name.empty()) return ENOENT;
    target_ = name;
    struct stat status {};
    bool exists = ::stat(name.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) return errno;
    if (exists && S_ISDIR(status.st_mode)) return EISDIR;
    if (exists && !S_ISREG(status.st_mode)) {
        // A device or a FIFO: written in place.
        return open_in_place();
    }
    if (exists) {
        // Through a link, the file it names is the one replaced.
        char resolved[PATH_MAX];
        if (::realpath(name.c_str(), resolved) != nullptr) target_ = resolved;
    }
    return open_beside(exists ? &status : nullptr);
}

int OutputFile::open_own_name(const std::string& name) {
    abandon();
    if (name.empty()) return ENOENT;
    target_ = name;
    struct stat status {};
    bool exists = ::lstat(name.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) return errno;
    if (exists && S_ISDIR(status.st_mode)) return EISDIR;
    if (exists && S_ISLNK(status.st_mode)) {
        // The link itself is replaced, with a new file's mode.
        replaces_link_ = true;
        return open_beside(nullptr);
    }
    if (exists && !S_ISREG(status.st_mode)) return EEXIST;
    return open_beside(exists ? &status : nullptr);
}

int OutputFile::open_beside(const struct stat* existing) {
    // A write-protected file is refused as opening it in place would be,
    // though the rename could replace it.
    if (existing != nullptr && ::access(target_.c_str(), W_OK) != 0) return errno;
    // The name's start keeps the temporary file recognisable; cut so that
    // the whole stays within the longest name a directory takes.
    std::string pattern =
        directory_of(target_) + "/." + base_of(target_).substr(0, 200) + ".XXXXXX";
    int fd = ::mkstemp(pattern.data());
    // Without a temporary file beside it a regular target is refused, never
    // written in place: a failing write would leave half a file.
    if (fd < 0) return errno;
    temporary_ = pattern;
    removal_slot_ = remove_at_signal(temporary_.c_str());
    if (existing != nullptr) {
        ::fchmod(fd, existing->st_mode & 07777);
        if (::fchown(fd, existing->st_uid, existing->st_gid) != 0) {
            // Kept by whoever runs the program.
        }
    } else {
        ::fchmod(fd, new_file_mode());
    }
    stream_ = ::fdopen(fd, "w");
    if (stream_ == nullptr) {
        int error = errno;
        ::close(fd);
        abandon();
        return error;
    }
    fd_ = fd;
    return 0;
}

int OutputFile::open_in_place() {
    stream_ = std::fopen(target_.c_str(), "w");
    if (stream_ == nullptr) return errno;
    fd_ = ::fileno(stream_);
    return 0;
}

int OutputFile::commit() {
    if (stream_ == nullptr) return EBADF;
    int error = 0;
    if (std::fflush(stream_) != 0) error = errno;
    if (error == 0 && std::ferror(stream_) != 0) error = EIO;
    // Devices and FIFOs may not sync; their writes have been made.
    if (error == 0 && ::fsync(::fileno(stream_)) != 0 && !temporary_.empty()) error = errno;
    if (std::fclose(stream_) != 0 && error == 0) error = errno;
    stream_ = nullptr;
    fd_ = -1;
    if (error == 0 && !temporary_.empty()) {
        if (::rename(temporary_.c_str(), target_.c_str()) != 0) error = errno;
        if (error == 0) {
            temporary_.clear();
            keep_at_signal(removal_slot_);
            removal_slot_ = -1;
        }
    }
    abandon();
    return error;
}

void OutputFile::commit_in_signal_handler() const {
    if (fd_ < 0 || temporary_.empty()) return;
    if (::fsync(fd_) == 0) ::rename(temporary_.c_str(), target_.c_str());
}

void OutputFile::abandon() {
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    keep_at_signal(removal_slot_);
    removal_slot_ = -1;
    replaces_link_ = false;
}

namespace {

// The text into a file open() made, then committed.
int write_and_commit(OutputFile& file, std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), file.stream()) != text.size()) {
        int error = errno != 0 ? errno : EIO;
        file.abandon();
        return error;
    }
    return file.commit();
}

}  // namespace

int write_output_file(const std::string& name, std::string_view text) {
    OutputFile file;
    if (int error = file.open(name)) return error;
    return write_and_commit(file, text);
}

int write_own_output_file(const std::string& name, std::string_view text, bool& replaced_link) {
    OutputFile file;
    replaced_link = false;
    if (int error = file.open_own_name(name)) return error;
    bool link = file.replaces_link();
    int error = write_and_commit(file, text);
    replaced_link = error == 0 && link;
    return error;
}
