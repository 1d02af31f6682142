#include "byte_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kiv {

bool ReadFileBytes(const std::string &path, std::size_t maxSize, std::vector<std::uint8_t> *bytes,
                   std::string *error, int *osError)
{
    auto fail = [&](int code, const std::string &why) {
        if (error)
            *error = why;
        if (osError)
            *osError = code;
        return false;
    };
    bytes->clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        return fail(code, "Can not open " + path + ": " + std::strerror(code));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int code = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(fd);
        return fail(code, path + " is not a file");
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxSize) {
        ::close(fd);
        return fail(0, path + " is too large (" + std::to_string(info.st_size) + " bytes; at most " +
                           std::to_string(maxSize) + " are read)");
    }
    bytes->resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes->size()) {
        const ssize_t got = ::read(fd, bytes->data() + done, bytes->size() - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            ::close(fd);
            bytes->clear();
            return fail(code, "Can not read " + path + ": " + std::strerror(code));
        }
        if (got == 0)
            break;   // the file shrank while being read
        done += static_cast<std::size_t>(got);
    }
    bytes->resize(done);
    ::close(fd);
    return true;
}

}  // namespace kiv
