#include "engine/replaced_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace mergon {

int writeFailureCode(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return kPermissionDenied;
    case ENOENT:
    case ENOTDIR:
        return kPathNotFound;
    default:
        return kOutputFailed;
    }
}

namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinks = 40; // as the kernel follows them

// The file a path's links lead to; the path itself when it is no link or does not exist.
bool followLinks(std::string &path) {
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        std::error_code error;
        const fs::path link = fs::read_symlink(path, error);
        if (error)
            return false;
        path = (link.is_absolute() ? link : fs::path(path).parent_path() / link).string();
    }
    errno = ELOOP;
    return false;
}

std::string folderOf(const std::string &path) {
    const fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

// Creates a new file beside `target` under a name no other file has; errno tells a failure.
int createBeside(const std::string &target, mode_t mode, std::string &created) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
    const fs::path folder = folderOf(target);
    // Built by appending: GCC 12 warns falsely about "." + string (-Wrestrict).
    std::string stem(1, '.');
    stem += fs::path(target).filename().string();
    stem += '.';
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem;
        for (int i = 0; i < 8; ++i)
            name += kLetters[letter(random)];
        created = (folder / name).string();
        const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

ReplacedFile::~ReplacedFile() {
    discard();
    std::free(held_);
}

void ReplacedFile::discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!committed_ && !newPath_.empty())
        ::unlink(newPath_.c_str());
    newPath_.clear();
}

Status ReplacedFile::failure(int error, const char *what) const {
    return Status::failure(
        writeFailureCode(error),
        std::string("Cannot ") + what + " " + path_ + ": " + std::strerror(error), path_);
}

Status ReplacedFile::prepare(const std::string &path, InPlace inPlace) {
    discard();
    path_ = target_ = path;
    committed_ = inPlace_ = false;
    if (!followLinks(target_))
        return failure(errno, "follow the links of");

    struct stat folder {};
    if (::stat(folderOf(target_).c_str(), &folder) != 0)
        return failure(errno, "find the folder of");
    if (!S_ISDIR(folder.st_mode))
        return failure(ENOTDIR, "find the folder of");

    // An existing output must be a regular file that opens for writing; it is not emptied.
    struct stat old {};
    const bool exists = ::stat(target_.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return failure(errno, "open");
    if (exists) {
        if (!S_ISREG(old.st_mode))
            return Status::failure(kOutputFailed, "Cannot write " + path_ + ": not a regular file",
                                   path_);
        const int fd = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return failure(errno == ENOENT ? EIO : errno, "open");
        ::close(fd);
    }

    // A new file takes the usual permissions (0666 less the umask), a replacement the old
    // file's owner, where that can be kept, and its permission bits.
    fd_ = createBeside(target_, exists ? 0600 : 0666, newPath_);
    if (fd_ < 0) {
        const int error = errno;
        newPath_.clear();
        if (exists && inPlace == InPlace::kAllowed &&
            (error == EACCES || error == EPERM || error == EROFS)) {
            inPlace_ = true;
            return Status::success();
        }
        return failure(error, "create a file in the folder of");
    }
    if (exists) {
        if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
            ::fchown(fd_, old.st_uid, old.st_gid) != 0) {
            // Only root may give a file away: the replacement is then the writer's own.
        }
        if (::fchmod(fd_, old.st_mode & 07777) != 0) {
            const int error = errno;
            discard();
            return failure(error, "keep the permissions of");
        }
    }
    return Status::success();
}

std::FILE *ReplacedFile::openStream() {
    if (inPlace_) {
        std::free(held_);
        held_ = nullptr;
        heldSize_ = 0;
        return ::open_memstream(&held_, &heldSize_);
    }
    if (fd_ < 0) {
        errno = EBADF;
        return nullptr;
    }
    const int fd = ::dup(fd_);
    std::FILE *stream = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (!stream && fd >= 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return stream;
}

Status ReplacedFile::commit() {
    if (committed_)
        return Status::success();
    if (inPlace_)
        return commitInPlace();
    if (fd_ < 0)
        return failure(EBADF, "write");
    if (::fsync(fd_) != 0)
        return failure(errno, "write");
    ::close(fd_);
    fd_ = -1;
    if (::rename(newPath_.c_str(), target_.c_str()) != 0)
        return failure(errno, "replace");
    committed_ = true;
    newPath_.clear();
    // The rename itself reaches the disk with the folder.
    const int folder = ::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return Status::success();
}

Status ReplacedFile::commitInPlace() {
    const int fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return failure(errno, "open");
    const auto fail = [&](const char *what) {
        const int error = errno;
        ::close(fd);
        return failure(error, what);
    };
    // With the space reserved, a full disk fails here, before the old content is touched.
    const off_t size = static_cast<off_t>(heldSize_);
    if (size > 0 && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS)
        return fail("write");
    for (std::size_t done = 0; done < heldSize_;) {
        const ssize_t n = ::pwrite(fd, held_ + done, heldSize_ - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? fail("write") : (errno = EIO, fail("write"));
        done += static_cast<std::size_t>(n);
    }
    if (::ftruncate(fd, size) != 0 || ::fsync(fd) != 0)
        return fail("write");
    if (::close(fd) != 0)
        return failure(errno, "close");
    committed_ = true;
    return Status::success();
}

Status PendingOutputs::add(const std::string &path, InPlace inPlace) {
    files_.emplace_back();
    Status status = files_.back().prepare(path, inPlace);
    if (!status.ok())
        files_.pop_back();
    return status;
}

Status PendingOutputs::commit() {
    for (bool inPlace : {true, false})
        for (ReplacedFile &file : files_)
            if (file.writesInPlace() == inPlace) {
                Status status = file.commit();
                if (!status.ok())
                    return status;
            }
    return Status::success();
}

} // namespace mergon
